#include "ProtocolParsers.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "Frames.h"
#include "Hex.h"

namespace vantor::wire {

namespace {

// Two upper-case hexadecimal digits; anything else has no value (-1).
int HexPairAt(std::string_view text, std::size_t pos) {
  if (pos > text.size()) return -1;
  const auto value = ParseHexByte(text.substr(pos, 2));
  return value ? *value : -1;
}

// The EEPROM reply's own digit rule: '0'-'9', anything else c - 55.
int EepromDigit(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') ? u - '0' : u - 55;
}

bool StartsWithEntry(std::span<const std::uint8_t> bytes, std::size_t count) {
  return std::equal(kEntryPacket.begin(), kEntryPacket.begin() + static_cast<std::ptrdiff_t>(count),
                    bytes.begin(),
                    [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

StatusReport ParseStatusReply(std::string_view text) {
  StatusReport r;
  const std::size_t st = text.find("ST:");
  if (st == std::string_view::npos) return r;
  r.st = HexPairAt(text, st + 3);
  for (const StMapping& m : kStatusTable) {
    if (m.st == r.st) r.status = m.status;
  }
  if (text.find("IQ:") == std::string_view::npos) return r;
  r.complete = true;
  if (const std::size_t er = text.find("ER:"); er != std::string_view::npos) {
    // An error outranks every state but the wait for the initial charge.
    if (r.status != kStatusBeforeFill) r.status = kStatusError;
    r.er = HexPairAt(text, er + 3);
    r.error = kErrorOther;
    for (const ErMapping& m : kErrorTable) {
      if (m.er == r.er) r.error = m.error;
    }
    if (r.error == kErrorOther) r.rawError = static_cast<std::uint8_t>(std::max(r.er, 0));
  }
  return r;
}

std::int16_t ErrorReplyCode(std::span<const std::uint8_t> reply) {
  if (reply.size() > 9 && reply[6] == kErrorReply && reply[9] >= kErrMalformed &&
      reply[9] <= kErrLast) {
    return reply[9];
  }
  return kChannelUnexpected;
}

TransactionReply ClassifyTransactionReply(std::span<const std::uint8_t> reply,
                                          std::uint8_t command) {
  TransactionReply r;
  // Every transaction reply comes back on socket 0; one claiming another socket is damaged.
  if (reply.size() < 2 || reply[0] != kTransactionSocket || reply[1] != kTransactionSocket) {
    return r;
  }
  if (reply.size() > kHeaderSize + 1 &&
      static_cast<std::uint8_t>(reply[6] - command) == kReplyBit) {
    r.kind = ReplyKind::Accepted;
    r.result = reply[7];
    return r;
  }
  const std::int16_t code = ErrorReplyCode(reply);
  if (code != kChannelUnexpected) {
    r.kind = ReplyKind::Error;
    r.error = static_cast<std::uint8_t>(code);
  }
  return r;
}

std::int16_t RefusalCode(std::span<const Refusal> table, std::uint8_t result) {
  for (const Refusal& r : table) {
    if (r.result == result) return r.code;
  }
  return kChannelUnexpected;
}

std::int16_t AcknowledgeCode(std::string_view text) {
  if (text.size() <= kVerdictAt) return kChannelUnexpected;
  switch (text[kVerdictAt]) {
    case 'O':
      return kChannelNoError;
    case 'B':
      return kChannelWriteBusy;
    case 'N':
      return kChannelWriteRefused;
    default:
      return kChannelUnexpected;
  }
}

std::optional<std::uint8_t> ParseEepromReply(std::string_view text) {
  if (!text.starts_with(kEepromReplyPrefix) || text.size() < 16) return std::nullopt;
  return static_cast<std::uint8_t>(EepromDigit(text[14]) * 16 + EepromDigit(text[15]));
}

std::optional<Model> ModelFromDeviceId(std::span<const std::uint8_t> reply) {
  if (reply.size() <= 2) return std::nullopt;
  // The length prefix is binary: the fields start after it.
  const std::string text(reply.begin() + 2, reply.end());
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view field = std::string_view(text).substr(pos, end - pos);
    pos = end + 1;
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string key = Upper(Trimmed(field.substr(0, colon)));
    if (key != "MDL" && key != "MODEL") continue;
    // The model number is the value's last word.
    const std::string value = Upper(Trimmed(field.substr(colon + 1)));
    const std::string_view last = std::string_view(value).substr(value.rfind(' ') + 1);
    if (last == "Q40") return Model::Q40;
    if (last == "Q30") return Model::Q30;
    return std::nullopt;
  }
  return std::nullopt;
}

Frame FrameOf(std::span<const std::uint8_t> bytes, std::size_t maxLength) {
  Frame f;
  if (bytes.size() < kHeaderSize) {
    f.missing = kHeaderSize - bytes.size();
    return f;
  }
  f.length = bytes[2] * 256u + bytes[3];
  if (f.length < kHeaderSize) {
    f.state = FrameState::TooShort;
  } else if (f.length > maxLength) {
    f.state = FrameState::TooLong;
  } else if (bytes.size() < f.length) {
    f.missing = f.length - bytes.size();
  } else {
    f.state = FrameState::Complete;
  }
  return f;
}

void PacketAssembler::Append(std::span<const std::uint8_t> bytes) {
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(at_));
  at_ = 0;
  input_.insert(input_.end(), bytes.begin(), bytes.end());
}

void PacketAssembler::Clear() {
  input_.clear();
  at_ = 0;
  discard_ = 0;
}

PacketAssembler::Event PacketAssembler::Next(bool packetMode) {
  for (;;) {
    const std::span<const std::uint8_t> rest = std::span<const std::uint8_t>(input_).subspan(at_);
    if (discard_ > 0) {
      const std::size_t n = std::min(discard_, rest.size());
      discard_ -= n;
      at_ += n;
      if (discard_ > 0) return {};
      continue;
    }
    if (!packetMode) {
      if (rest.empty()) return {};
      if (rest.size() >= kEntryPacket.size() && StartsWithEntry(rest, kEntryPacket.size())) {
        at_ += kEntryPacket.size();
        return {Kind::Packet, rest[0], rest.first(kEntryPacket.size())};
      }
      // A beginning of the entry packet waits for the rest.
      if (rest.size() < kEntryPacket.size() && StartsWithEntry(rest, rest.size())) return {};
      ++at_;
      continue;
    }
    const Frame f = FrameOf(rest, maxLength_);
    switch (f.state) {
      case FrameState::Incomplete:
        return {};
      case FrameState::TooShort:
        // Nothing can be framed after a length shorter than its header.
        at_ = input_.size();
        return {Kind::Malformed, rest[0], {}};
      case FrameState::TooLong:
        discard_ = f.length;
        return {Kind::TooLong, rest[0], {}};
      case FrameState::Complete:
        at_ += f.length;
        return {Kind::Packet, rest[0], rest.first(f.length)};
    }
  }
}

}  // namespace vantor::wire
