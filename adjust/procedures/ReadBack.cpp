#include "adjust/procedures/ReadBack.h"

#include <vector>

#include "adjust/procedures/ServiceRecord.h"
#include "link/Hex.h"

namespace vantor::procedures {

namespace {
namespace text {
constexpr std::string_view kNotConfirmed = " is not confirmed: ";
constexpr std::string_view kHolds = "the EEPROM holds ";
constexpr std::string_view kNotReadBack = "it could not be read back";
constexpr std::string_view kNotConfirmedRecord = "not confirmed: ";
constexpr std::string_view kConfirmedThen = "confirmed, then ";
constexpr std::string_view kByte = "EEPROM byte ";
}  // namespace text

std::string Shows(Shown shown, std::uint8_t value) {
  switch (shown) {
    case Shown::Signed:
      return std::to_string(static_cast<std::int8_t>(value));
    case Shown::Unsigned:
      return std::to_string(value);
    default:
      return ByteHex(value);
  }
}

// A failure of the link, after which bytes already confirmed stay so; the others refuse an
// entry before anything is written.
bool LinkFailure(Result r) {
  return r.Class() >= kPortFailure.Class() && r.Class() <= kNotReady.Class();
}
}  // namespace

ByteName CheckedWrites::NameOf(const ByteWrite& b) const {
  if (const auto n = names_.find(b.address); n != names_.end()) return n->second;
  return {std::string(text::kByte) + ByteHex(b.address), "= " + ByteHex(b.intended), Shown::Hex};
}

bool CheckedWrites::Confirmed(std::uint8_t address) const {
  for (const ByteWrite& b : path_.Bytes()) {
    if (b.address == address) return b.outcome == WriteOutcome::Confirmed;
  }
  return false;
}

Result CheckedWrites::ReportUnconfirmed(Result failure) {
  Reporter& reporter = context_.reporter;
  if (failure != kOk) reporter.ReportResult(failure);
  // One red block, beneath the failure's words where the display still shows them (a window's
  // memo); a terminal puts it on standard error.
  bool first = true;
  for (const ByteWrite& b : path_.Bytes()) {
    if (b.outcome == WriteOutcome::Confirmed || b.failed) continue;
    const ByteName n = NameOf(b);
    std::string line = n.name + " " + n.text + std::string(text::kNotConfirmed);
    line += b.held ? std::string(text::kHolds) + Shows(n.shown, *b.held)
                   : std::string(text::kNotReadBack);
    const bool opens = first && (failure == kOk || reporter.Display().MessageAreaEmpty());
    reporter.ShowMessage(opens ? MessageKind::Error : MessageKind::NewLine, line + ".");
    first = false;
  }
  if (failure != kOk || first) return failure;
  reporter.ReportResult(kNotConfirmed);
  return kNotConfirmed;
}

void CheckedWrites::Record(std::string_view operation, Result result) {
  std::vector<RecordedChange> changes;
  std::string unconfirmed;
  for (const ByteWrite& b : path_.Bytes()) {
    changes.push_back({b.address, b.before, b.intended, b.outcome, b.held});
    if (b.outcome == WriteOutcome::Confirmed) continue;
    unconfirmed += (unconfirmed.empty() ? "" : ", ") + NameOf(b).name;
  }
  std::string words = FinalResult(context_, result);
  if (!unconfirmed.empty()) {
    words = (result == kNotConfirmed ? "" : words + "; ") + std::string(text::kNotConfirmedRecord) +
            unconfirmed;
  } else if (!changes.empty() && LinkFailure(result)) {
    words = std::string(text::kConfirmedThen) + words;
  }
  RecordOperation(context_.reporter, operation, std::move(changes), words);
}

}  // namespace vantor::procedures
