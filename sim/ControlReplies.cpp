#include "sim/ControlReplies.h"

#include <cstdio>
#include <string_view>

#include "link/Frames.h"
#include "link/Hex.h"
#include "link/Protocol.h"
#include "sim/Mechanism.h"
#include "sim/Texts.h"

namespace vantor::sim {

namespace {

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool IsLetter(std::uint8_t b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

std::string VerdictReply(std::string_view name, std::uint8_t code, std::string_view verdict) {
  // name ":" code ":" puts the verdict's first letter at position 6.
  return std::string(name) + ":" + ByteHex(code) + ":" + std::string(verdict) +
         std::string(texts::kReplyEnd);
}

}  // namespace

std::string EepromReadText(std::uint8_t address, std::uint8_t value) {
  return std::string(texts::kEepromReadHead) + ByteHex(address) + ByteHex(value) +
         std::string(texts::kReplyEnd);
}

std::string ControlReplies::Reply(std::span<const std::uint8_t> payload) {
  if (payload.size() >= 2 && payload[0] == wire::kFrameMark && payload[1] == wire::kFrameMark) {
    return EepromFrameReply(payload);
  }
  if (payload.size() < 4 || !IsLetter(payload[0]) || !IsLetter(payload[1])) {
    return VerdictReply("??", 0, texts::kVerdictRefused);
  }
  const std::string name{static_cast<char>(payload[0]), static_cast<char>(payload[1])};
  const std::size_t length = Le16(&payload[2]);
  if (payload.size() - 4 < length) return VerdictReply(name, 0, texts::kVerdictRefused);
  const std::uint8_t param = length > 0 ? payload[4] : 0;
  if (name == "st") return mechanism_.StatusText();
  if (name == "rs") {
    // The host's last word before it lets go: nothing half-read carries into the next job.
    mechanism_.ResetStream();
    return VerdictReply(name, param, texts::kVerdictOk);
  }
  return VerdictReply(name, param, texts::kVerdictRefused);
}

std::string ControlReplies::EepromFrameReply(std::span<const std::uint8_t> payload) {
  const std::string_view name = texts::kEepromFrameName;
  if (payload.size() < 4) return VerdictReply(name, 0, texts::kVerdictRefused);
  const std::size_t length = Le16(&payload[2]);
  const std::span<const std::uint8_t> body = payload.subspan(4);
  const ModelBytes mine = ModelBytesOf(model_);
  if (length < 6 || body.size() < length) return VerdictReply(name, 0, texts::kVerdictRefused);
  const std::uint8_t code = body[2];
  if (body[0] != mine[0] || body[1] != mine[1] || body[3] != static_cast<std::uint8_t>(~code)) {
    return VerdictReply(name, code, texts::kVerdictRefused);
  }
  const std::uint8_t address = body[5];
  constexpr wire::FrameCode read = wire::kEepromReadFrame;
  constexpr wire::FrameCode write = wire::kEepromWriteFrame;
  if (code == read.code && body[4] == read.sub) return EepromReadText(address, store_[address]);
  if (code == write.code && body[4] == write.sub && length >= write.length) {
    if (std::optional<int>& left = faults_.eepromWritesBeforePowerLoss; left && (*left)-- <= 0) {
      left.reset();
      faults_.dropReplies = -1;
      return {};
    }
    // A printer at work does not take EEPROM writes.
    if (mechanism_.Working()) return VerdictReply(name, code, texts::kVerdictBusy);
    if (faults_.eepromWritesIgnored != 0) {
      if (faults_.eepromWritesIgnored > 0) --faults_.eepromWritesIgnored;
      return VerdictReply(name, code, texts::kVerdictOk);
    }
    const std::uint8_t before = store_[address];
    store_.Store(address, body[6]);
    if (store_.HasFile() && store_.Dirty() && !store_.Save()) {
      // The value would not survive; say so rather than pretend it was written.
      store_.Restore(address, before);
      return VerdictReply(name, code, texts::kVerdictRefused);
    }
    return VerdictReply(name, code, texts::kVerdictOk);
  }
  return VerdictReply(name, code, texts::kVerdictRefused);
}

}  // namespace vantor::sim
