#include "adjust/procedures/EepromRestore.h"

#include <algorithm>

#include "adjust/procedures/ReadBack.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"

namespace vantor::procedures {

Result ReadWholeEeprom(ProcedureContext& context, EepromBytes& bytes,
                       const std::function<void(int)>& progress) {
  AddressSet all{};
  all.fill(true);
  return ReadEepromBytes(context, bytes, all, [&](int done, int) {
    if (progress) progress(done);
  });
}

Result ReadEepromBytes(ProcedureContext& context, EepromBytes& bytes, const AddressSet& which,
                       const std::function<void(int, int)>& progress) {
  PacketChannel& channel = context.link.channel;
  const int total = static_cast<int>(std::count(which.begin(), which.end(), true));
  int done = 0;
  for (std::size_t a = 0; a < bytes.size(); ++a) {
    if (!which[a]) continue;
    const Result r = channel.ReadEepromByte(static_cast<std::uint8_t>(a), bytes[a]);
    if (r != kOk) {
      context.reporter.ReportResult(r);
      return r;
    }
    if (progress) progress(++done, total);
  }
  return kOk;
}

AddressSet IdentityAddresses() {
  AddressSet set{};
  for (const std::uint8_t a : headid::kAddresses) set[a] = true;
  for (std::size_t i = 0; i < usbid::kSerialLength; ++i) set[usbid::kFirstAddress + i] = true;
  return set;
}

std::vector<ByteChange> Differences(const EepromBytes& printer, const EepromBytes& image,
                                    const AddressSet* only) {
  std::vector<ByteChange> changes;
  for (std::size_t a = 0; a < printer.size(); ++a) {
    if (printer[a] == image[a] || (only && !(*only)[a])) continue;
    changes.push_back({static_cast<std::uint8_t>(a), printer[a], image[a]});
  }
  return changes;
}

ImageFit CheckImageFits(const EepromImage& image, Model model, const EepromBytes& printer) {
  if (image.model != model) return ImageFit::OtherModel;
  const auto differs = [&](std::uint8_t a) { return image.bytes[a] != printer[a]; };
  if (std::any_of(headid::kAddresses.begin(), headid::kAddresses.end(), differs))
    return ImageFit::OtherPrinter;
  for (std::size_t i = 0; i < usbid::kSerialLength; ++i) {
    if (differs(static_cast<std::uint8_t>(usbid::kFirstAddress + i))) return ImageFit::OtherPrinter;
  }
  return ImageFit::Fits;
}

RestoreOutcome WriteChanges(ProcedureContext& context, const std::vector<ByteChange>& changes) {
  Link& link = context.link;
  RestoreOutcome outcome;
  CheckedWrites writes(context);
  // Each byte is read back before the next is written, so that a restore stops at the first
  // byte the printer does not take.
  std::size_t next = 0;
  for (; next < changes.size(); ++next) {
    const ByteChange& c = changes[next];
    const Result r = writes.Verify(writes.Path().Write(c.address, c.image, c.printer));
    if (r != kOk) {
      outcome.result = r;
      outcome.uncertain = c.address;
      break;
    }
    if (!writes.Confirmed(c.address)) {
      outcome.mismatch = c.address;
      outcome.readBack = *writes.Path().Bytes().back().held;
      break;
    }
    outcome.verified.push_back(c.address);
  }
  for (std::size_t i = next + 1; i < changes.size(); ++i)
    outcome.notWritten.push_back(changes[i].address);
  // The printer takes the new values as the adjustment workflows leave them.
  if (outcome.result == kOk && !writes.Path().Bytes().empty())
    outcome.result = link.factory.FinishAdjustWrite();
  if (outcome.result != kOk) context.reporter.ReportResult(outcome.result);
  writes.Record("EEPROM restore", outcome.result != kOk ? outcome.result
                                  : outcome.mismatch    ? kNotConfirmed
                                                        : kOk);
  return outcome;
}

}  // namespace vantor::procedures
