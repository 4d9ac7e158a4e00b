#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
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

// One power-on of a virtual printer and a started link to it.
struct PoweredPrinter : test::VirtualBench {
  explicit PoweredPrinter(const EepromBytes* eeprom = nullptr) {
    if (eeprom) {
      for (int a = 0; a < 256; ++a)
        printer.SetEeprom(static_cast<std::uint8_t>(a), (*eeprom)[static_cast<std::size_t>(a)]);
    }
    started = Start();
  }
  Memo memo;
  Bench& context = Procedures(memo);
  Reporter& reporter = context.reporter;
  bool started = false;
};

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
}

class Record : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("backup-record-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(Record, BidSessionKeepsOldAndNewValuesAndTheReportShowsThem) {
  PoweredPrinter bench;
  ASSERT_TRUE(bench.started);
  FileServiceRecord record(folder_.string(), "test 1", "TVUSB1", Model::Q40);
  bench.reporter.SetRecorder(&record);

  EepromBytes bytes{};
  ASSERT_EQ(ReadWholeEeprom(bench.context, bytes), kOk);
  record.Identified(bytes);
  ASSERT_EQ(ReadBidRows(bench.context, {}), kOk);
  std::array<std::optional<std::string>, kBidRowCount> entries;
  entries[0] = "-3";  // VSD1 Black, stored at 0x72 as 0x02
  entries[7] = "99";  // out of range: refused
  WriteBidRows(bench.context, entries);
  ASSERT_EQ(bench.printer.Eeprom(0x72), 0xFD);

  std::vector<RecordEntry> read;
  std::string why;
  ASSERT_TRUE(ReadRecord(folder_.string(), "Q4A0071234", read, why)) << why;
  ASSERT_EQ(read.size(), 1u);
  const RecordEntry& e = read[0];
  EXPECT_EQ(e.operation, "Bi-D adjustment");
  EXPECT_EQ(e.result, "failed (result 0x7000)");
  EXPECT_EQ(e.model, "Vantor Q40");
  EXPECT_EQ(e.headId, "123451738521%");  // weighted sum 1149, K = 37 - 2
  ASSERT_EQ(e.changes.size(), 1u);
  EXPECT_EQ(e.changes[0].address, 0x72);
  EXPECT_EQ(e.changes[0].before, std::optional<std::uint8_t>(0x02));
  EXPECT_EQ(e.changes[0].after, 0xFD);
  ASSERT_TRUE(e.bytes);
  EXPECT_EQ((*e.bytes)[0x72], 0x02);

  const std::string html = ReportHtml("Q4A0071234", read);
  EXPECT_NE(html.find("<td>0x72</td><td>Bi-D VSD1 Black</td><td>2 (02)</td><td>-3 (FD)</td>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<td>Q4A0071234</td>"), std::string::npos);
  EXPECT_NE(html.find("class=\"failed\""), std::string::npos);
  // Factory counters of the Q40: 0x1A2B points, 0x0F3C pages.
  EXPECT_NE(html.find("6699 points"), std::string::npos);
  EXPECT_NE(html.find("<td>3900</td>"), std::string::npos);
}

TEST_F(Record, ALaterSessionIsFiledUnderThePrinterLastIdentifiedOnItsPort) {
  {
    FileServiceRecord first(folder_.string(), "test 1", "TVUSB1", Model::Q40);
    first.Identified(sim::VirtualPrinter::FactoryImage(Model::Q40));
    first.Operation("EEPROM backup", {}, "done");
  }
  FileServiceRecord second(folder_.string(), "test 1", "TVUSB1", Model::Q40);
  second.Operation("PF adjustment", {{0x7D, std::nullopt, 0x02}}, "done");
  FileServiceRecord elsewhere(folder_.string(), "test 1", "LPT1", Model::Q40);
  elsewhere.Operation("head cleaning", {}, "done");

  EXPECT_EQ(RecordedPrinters(folder_.string()).size(), 2u);
  std::vector<RecordEntry> read;
  std::string why;
  ASSERT_TRUE(ReadRecord(folder_.string(), "Q4A0071234", read, why)) << why;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_TRUE(read[0].identified);
  EXPECT_FALSE(read[1].identified);
  EXPECT_FALSE(read[1].changes[0].before) << "nothing read it";
  EXPECT_NE(read[0].session, read[1].session);
  ASSERT_TRUE(ReadRecord(folder_.string(), "unidentified", read, why)) << why;
  EXPECT_EQ(read[0].operation, "head cleaning");
  EXPECT_NE(HistoryText(read).find("head cleaning"), std::string::npos);
}

}  // namespace
}  // namespace vantor::procedures
