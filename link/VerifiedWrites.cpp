#include "VerifiedWrites.h"

#include <algorithm>

namespace vantor {

Result VerifiedWrites::Write(std::uint8_t address, std::uint8_t value,
                             std::optional<std::uint8_t> before) {
  Sent(address, value, before);
  const Result r = channel_.WriteEepromByte(address, value);
  bytes_.back().failed = r != kOk;
  return r;
}

void VerifiedWrites::Sent(std::uint8_t address, std::uint8_t value,
                          std::optional<std::uint8_t> before) {
  bytes_.push_back({address, value, before, WriteOutcome::Unknown, std::nullopt, false});
}

Result VerifiedWrites::Verify() {
  for (; readBack_ < bytes_.size(); ++readBack_) {
    ByteWrite& b = bytes_[readBack_];
    std::uint8_t held = 0;
    VANTOR_TRY(channel_.ReadEepromByte(b.address, held));
    b.held = held;
    b.outcome = held == b.intended ? WriteOutcome::Confirmed : WriteOutcome::NotConfirmed;
  }
  return kOk;
}

bool VerifiedWrites::AllConfirmed() const {
  return std::all_of(bytes_.begin(), bytes_.end(),
                     [](const ByteWrite& b) { return b.outcome == WriteOutcome::Confirmed; });
}

}  // namespace vantor
