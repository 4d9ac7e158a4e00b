#include "adjust/procedures/EepromRestore.h"

#include <algorithm>

#include "adjust/procedures/ServiceRecord.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"

namespace vantor::procedures {

Result ReadWholeEeprom(Bench& bench, EepromBytes& bytes, const std::function<void(int)>& progress) {
  PacketChannel& channel = bench.link.channel;
  for (std::size_t a = 0; a < bytes.size(); ++a) {
    const Result r = channel.ReadEepromByte(static_cast<std::uint8_t>(a), bytes[a]);
    if (r != kOk) {
      bench.reporter.ReportResult(r);
      return r;
    }
    if (progress) progress(static_cast<int>(a) + 1);
  }
  return kOk;
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

RestoreOutcome WriteChanges(Bench& bench, const std::vector<ByteChange>& changes) {
  Link& link = bench.link;
  RestoreOutcome outcome;
  std::vector<RecordedChange> recorded;
  std::size_t next = 0;
  for (; next < changes.size(); ++next) {
    const ByteChange& c = changes[next];
    Result r = link.channel.WriteEepromByte(c.address, c.image);
    std::uint8_t back = 0;
    if (r == kOk) {
      r = link.channel.ReadEepromByte(c.address, back);
    }
    if (r != kOk) {
      outcome.result = r;
      outcome.uncertain = c.address;
      break;
    }
    if (back != c.image) {
      outcome.mismatch = c.address;
      outcome.readBack = back;
      recorded.push_back({c.address, c.printer, back});
      break;
    }
    outcome.verified.push_back(c.address);
    recorded.push_back({c.address, c.printer, c.image});
  }
  for (std::size_t i = next + 1; i < changes.size(); ++i)
    outcome.notWritten.push_back(changes[i].address);
  if (outcome.result == kOk) {
    // The printer takes the new values as the adjustment workflows leave them.
    if (!outcome.verified.empty() || outcome.mismatch)
      outcome.result = link.factory.FinishAdjustWrite();
  }
  if (outcome.result != kOk) bench.reporter.ReportResult(outcome.result);
  std::string result = ResultText(outcome.result);
  if (outcome.mismatch) {
    result = "address " + HexText(*outcome.mismatch) + " read back " + HexText(outcome.readBack);
  } else if (outcome.uncertain) {
    result += "; address " + HexText(*outcome.uncertain) + " unknown";
  }
  RecordOperation(bench.reporter, "EEPROM restore", std::move(recorded), result);
  return outcome;
}

}  // namespace vantor::procedures
