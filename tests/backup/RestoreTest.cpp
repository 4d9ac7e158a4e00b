#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "adjust/procedures/EepromRestore.h"
#include "adjust/procedures/ServiceRecord.h"
#include "link/Link.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/VirtualBench.h"

namespace vantor::procedures {
namespace {

class Memo final : public MessageDisplay {
 public:
  void Show(MessageKind, std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

// The restore's record entry.
struct LastOperation final : ServiceRecorder {
  void Known(std::uint8_t, std::uint8_t) override {}
  void Identified(const EepromBytes&, const AddressSet*) override {}
  void Operation(std::string_view, std::vector<RecordedChange> written,
                 std::string_view words) override {
    changes = std::move(written);
    result = words;
  }
  std::vector<WriteOutcome> Outcomes() const {
    std::vector<WriteOutcome> list;
    for (const RecordedChange& c : changes) list.push_back(c.outcome.value());
    return list;
  }
  std::vector<RecordedChange> changes;
  std::string result;
};

// One power-on of a virtual printer and a started link to it.
struct PoweredPrinter : test::VirtualBench {
  explicit PoweredPrinter(const EepromBytes* eeprom = nullptr) {
    if (eeprom) {
      for (int a = 0; a < 256; ++a)
        printer.SetEeprom(static_cast<std::uint8_t>(a), (*eeprom)[static_cast<std::size_t>(a)]);
    }
    started = Start();
    reporter.SetRecorder(&record);
  }
  Memo memo;
  ProcedureContext& context = Procedures(memo);
  Reporter& reporter = context.reporter;
  LastOperation record;
  bool started = false;
};

constexpr auto kConfirmed = WriteOutcome::Confirmed;

EepromImage Backup(PoweredPrinter& bench) {
  EepromImage image;
  EXPECT_EQ(ReadWholeEeprom(bench.context, image.bytes), kOk);
  return image;
}

std::vector<std::uint8_t> Addresses(const std::vector<ByteChange>& changes) {
  std::vector<std::uint8_t> list;
  for (const ByteChange& c : changes) list.push_back(c.address);
  return list;
}

TEST(Restore, RoundTripPutsBackEveryChangedByteVerified) {
  PoweredPrinter bench;
  ASSERT_TRUE(bench.started);
  const EepromImage image = Backup(bench);
  EXPECT_EQ(image.bytes, bench.printer.EepromImage());

  bench.printer.SetEeprom(0x72, 0xFD);
  bench.printer.SetEeprom(0x7D, 0x03);
  bench.printer.SetEeprom(0x5D, 134);
  EepromBytes now{};
  ASSERT_EQ(ReadWholeEeprom(bench.context, now), kOk);
  const auto changes = Differences(now, image.bytes);
  ASSERT_EQ(Addresses(changes), (std::vector<std::uint8_t>{0x5D, 0x72, 0x7D}));
  EXPECT_EQ(changes[1].printer, 0xFD);
  EXPECT_EQ(changes[1].image, 0x02);

  const RestoreOutcome outcome = WriteChanges(bench.context, changes);
  EXPECT_TRUE(outcome.Complete());
  EXPECT_EQ(outcome.verified, (std::vector<std::uint8_t>{0x5D, 0x72, 0x7D}));
  EXPECT_TRUE(outcome.notWritten.empty());
  EXPECT_EQ(bench.printer.EepromImage(), image.bytes);
  ASSERT_EQ(ReadWholeEeprom(bench.context, now), kOk);
  EXPECT_TRUE(Differences(now, image.bytes).empty());
}

TEST(Restore, OnlyTheSelectedBytesAreCompared) {
  EepromBytes printer{}, image{};
  image[0x72] = 1;
  image[0x7D] = 2;
  image[0xC2] = 3;
  AddressSet only{};
  ASSERT_TRUE(AddSelection("bid", only));
  EXPECT_EQ(Addresses(Differences(printer, image, &only)), (std::vector<std::uint8_t>{0x72}));
  EXPECT_EQ(Addresses(Differences(printer, image)), (std::vector<std::uint8_t>{0x72, 0x7D, 0xC2}));
}

TEST(Restore, RefusesAnImageOfAnotherModelOrPrinter) {
  const EepromBytes printer = sim::VirtualPrinter::FactoryImage(Model::Q40);
  EepromImage image;
  image.model = Model::Q40;
  image.bytes = printer;
  image.bytes[0x72] = 0x10;  // adjustment values may differ
  image.bytes[0xCC] = 'Z';   // so may the date code of the USB ID
  EXPECT_EQ(CheckImageFits(image, Model::Q40, printer), ImageFit::Fits);
  EXPECT_EQ(CheckImageFits(image, Model::Q30, printer), ImageFit::OtherModel);
  for (const std::uint8_t identity : {0xAF, 0xA4, 0xAE, 0xC2, 0xCB}) {
    EepromImage other = image;
    other.bytes[identity] ^= 1;
    EXPECT_EQ(CheckImageFits(other, Model::Q40, printer), ImageFit::OtherPrinter)
        << static_cast<int>(identity);
  }
}

TEST(Restore, PowerLossMidwayIsNamedAndASecondRunFinishes) {
  auto bench = std::make_unique<PoweredPrinter>();
  ASSERT_TRUE(bench->started);
  const EepromImage image = Backup(*bench);
  const std::vector<std::uint8_t> changed = {0x10, 0x20, 0x5D, 0x72, 0x7D};
  for (const std::uint8_t a : changed) bench->printer.SetEeprom(a, image.bytes[a] ^ 0x40);
  const EepromBytes before = bench->printer.EepromImage();

  bench->printer.GetFaults().eepromWritesBeforePowerLoss = 2;
  const RestoreOutcome first = WriteChanges(bench->context, Differences(before, image.bytes));
  EXPECT_FALSE(first.Complete());
  EXPECT_NE(first.result, kOk);
  EXPECT_EQ(first.verified, (std::vector<std::uint8_t>{0x10, 0x20}));
  EXPECT_EQ(first.uncertain, std::optional<std::uint8_t>(0x5D));
  EXPECT_EQ(first.notWritten, (std::vector<std::uint8_t>{0x72, 0x7D}));
  EXPECT_FALSE(bench->memo.lines.empty()) << "the link failure is reported";
  EXPECT_EQ(bench->record.Outcomes(),
            (std::vector<WriteOutcome>{kConfirmed, kConfirmed, WriteOutcome::Unknown}));
  EXPECT_EQ(bench->record.changes[2].before, std::optional<std::uint8_t>(before[0x5D]));
  EXPECT_TRUE(bench->record.result.starts_with("failed: ")) << bench->record.result;
  EXPECT_TRUE(bench->record.result.ends_with("; not confirmed: EEPROM byte 5D"))
      << bench->record.result;

  // Power comes back: the EEPROM holds what was written before the loss.
  const EepromBytes afterLoss = bench->printer.EepromImage();
  EXPECT_EQ(afterLoss[0x10], image.bytes[0x10]);
  EXPECT_EQ(afterLoss[0x20], image.bytes[0x20]);
  for (const std::uint8_t a : {0x5D, 0x72, 0x7D}) EXPECT_EQ(afterLoss[a], before[a]) << int(a);
  bench = std::make_unique<PoweredPrinter>(&afterLoss);
  ASSERT_TRUE(bench->started);

  EepromBytes now{};
  ASSERT_EQ(ReadWholeEeprom(bench->context, now), kOk);
  const auto rest = Differences(now, image.bytes);
  EXPECT_EQ(Addresses(rest), (std::vector<std::uint8_t>{0x5D, 0x72, 0x7D}));
  const RestoreOutcome second = WriteChanges(bench->context, rest);
  EXPECT_TRUE(second.Complete());
  EXPECT_EQ(bench->printer.EepromImage(), image.bytes);
  ASSERT_EQ(ReadWholeEeprom(bench->context, now), kOk);
  EXPECT_TRUE(Differences(now, image.bytes).empty()) << "a third run has nothing to do";
}

TEST(Restore, AWriteThatDoesNotTakeStopsAtThatByte) {
  PoweredPrinter bench;
  ASSERT_TRUE(bench.started);
  const EepromImage image = Backup(bench);
  bench.printer.SetEeprom(0x72, 0x11);
  bench.printer.SetEeprom(0x73, 0x22);
  bench.printer.SetEeprom(0x74, 0x33);
  const EepromBytes before = bench.printer.EepromImage();
  const auto changes = Differences(before, image.bytes);

  bench.printer.GetFaults().eepromWritesIgnored = 1;
  const RestoreOutcome outcome = WriteChanges(bench.context, changes);
  EXPECT_FALSE(outcome.Complete());
  EXPECT_EQ(outcome.result, kOk) << "the link itself is fine";
  EXPECT_TRUE(outcome.verified.empty());
  EXPECT_EQ(outcome.mismatch, std::optional<std::uint8_t>(0x72));
  EXPECT_EQ(outcome.readBack, 0x11);
  EXPECT_EQ(outcome.notWritten, (std::vector<std::uint8_t>{0x73, 0x74}));
  EXPECT_EQ(bench.printer.EepromImage(), before) << "nothing after the failing byte is written";
  EXPECT_EQ(bench.record.result, "not confirmed: EEPROM byte 72");
  ASSERT_EQ(bench.record.changes.size(), 1u);
  EXPECT_EQ(bench.record.changes[0].outcome, WriteOutcome::NotConfirmed);
  EXPECT_EQ(bench.record.changes[0].intended, image.bytes[0x72]);
  EXPECT_EQ(bench.record.changes[0].held, std::optional<std::uint8_t>(0x11));
}

// Every byte held before the power went: the record says so, then the failure.
TEST(Restore, AFailureAfterEveryByteHeldIsRecordedAfterThem) {
  PoweredPrinter bench;
  ASSERT_TRUE(bench.started);
  const EepromImage image = Backup(bench);
  bench.printer.SetEeprom(0x72, 0x11);
  const auto changes = Differences(bench.printer.EepromImage(), image.bytes);
  // Credit, credit request and the command, for the write and for its read-back.
  bench.printer.GetFaults().powerLoss = true;
  bench.printer.GetFaults().armAfterReplies = 6;
  const RestoreOutcome outcome = WriteChanges(bench.context, changes);
  EXPECT_NE(outcome.result, kOk);
  EXPECT_EQ(outcome.verified, (std::vector<std::uint8_t>{0x72}));
  EXPECT_EQ(bench.record.Outcomes(), (std::vector<WriteOutcome>{kConfirmed}));
  EXPECT_TRUE(bench.record.result.starts_with("confirmed, then failed: ")) << bench.record.result;
}

}  // namespace
}  // namespace vantor::procedures
