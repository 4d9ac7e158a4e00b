#include "tests/support/ScriptedPrinter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vantor::test {

Bytes Packet(std::uint8_t socket, const Bytes& payload, std::uint8_t credit) {
  const std::size_t length = payload.size() + 6;
  Bytes p = {socket,
             socket,
             static_cast<std::uint8_t>(length >> 8),
             static_cast<std::uint8_t>(length & 0xFF),
             credit,
             0x00};
  p.insert(p.end(), payload.begin(), payload.end());
  return p;
}

Bytes TextPayload(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

IoResult ScriptedPrinter::Write(std::span<const std::uint8_t> bytes, std::int64_t) {
  if (writeTakesMs) clock_.SleepMs(std::exchange(writeTakesMs, std::int64_t{0}));
  written.emplace_back(bytes.begin(), bytes.end());
  Answer(written.back());
  return {true, bytes.size() - std::min(std::exchange(shortBy, std::size_t{0}), bytes.size())};
}

void ScriptedPrinter::Answer(const Bytes& packet) {
  if (silent || packet.size() < 6) return;
  Bytes reply;
  if (packet[0] == 0x40) {
    if (dataReplies.empty()) return;
    reply = dataReplies.front();
    dataReplies.pop_front();
  } else if (!nextReplies.empty()) {
    reply = nextReplies.front();
    nextReplies.pop_front();
  } else if (packet[0] == 0x00 && packet.size() > 6) {
    // Accept every transaction; credits are granted as asked.
    Bytes payload = {static_cast<std::uint8_t>(packet[6] + 0x80), 0x00};
    if (packet.size() >= 9) payload.insert(payload.end(), {packet[7], packet[8]});
    if (packet[6] == 0x03 && packet.size() >= 11 && creditReplyLength >= 12) {
      payload.insert(payload.end(), {packet[9], packet[10]});
    }
    if (packet[6] == 0x04 && packet.size() >= 13)
      payload.insert(payload.end(), {packet[11], packet[12]});
    reply = Packet(0x00, payload, 0x01);
  } else if (packet[0] == 0x02) {
    std::string text;
    // 7c 7c, length, model bytes, then the command code at 12 and the address at 15.
    const bool eepromFrame = packet.size() >= 16 && packet[6] == 0x7C && packet[7] == 0x7C;
    if (eepromFrame && packet[12] == 0x42 && packet.size() >= 17) eeprom[packet[15]] = packet[16];
    if (!controlTexts.empty()) {
      text = controlTexts.front();
      controlTexts.pop_front();
    } else if (eepromFrame && packet[12] == 0x41 && eeprom.contains(packet[15])) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      text = "@BDC PS\r\nEE:";
      for (const std::uint8_t b : {packet[15], eeprom[packet[15]]}) {
        text += kHex[b >> 4];
        text += kHex[b & 0x0F];
      }
      text += ';';
    } else if (packet.size() > 7 && packet[6] == 's' && packet[7] == 't') {
      text = "@BDC ST2\r\nST:04;IQ:50505050;";
    } else {
      text = "@BDC  OK;";
    }
    reply = Packet(0x02, TextPayload(text));
  } else {
    return;
  }
  replies_.push_back(reply);
  stream_.insert(stream_.end(), reply.begin(), reply.end());
}

IoResult ScriptedPrinter::Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (failReads) return {false, 0};
  if (stream_.empty()) {
    clock_.SleepMs(limitMs);
    return {true, 0};
  }
  std::size_t n = std::min(buffer.size(), stream_.size());
  if (readChunk) n = std::min(n, readChunk);
  std::copy_n(stream_.begin(), n, buffer.begin());
  stream_.erase(stream_.begin(), stream_.begin() + static_cast<std::ptrdiff_t>(n));
  // Keep the whole-reply view in step with the stream.
  std::size_t left = n;
  while (left && !replies_.empty()) {
    const std::size_t take = std::min(left, replies_.front().size());
    replies_.front().erase(replies_.front().begin(),
                           replies_.front().begin() + static_cast<std::ptrdiff_t>(take));
    if (replies_.front().empty()) replies_.pop_front();
    left -= take;
  }
  return {true, n};
}

IoResult ScriptedPrinter::ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (failReads) return {false, 0};
  if (replies_.empty()) {
    clock_.SleepMs(limitMs);
    return {true, 0};
  }
  const std::size_t n = std::min(buffer.size(), replies_.front().size());
  return Read(buffer.first(n), limitMs);
}

std::size_t ScriptedPrinter::DeviceId(std::span<std::uint8_t> buffer) {
  if (deviceId.empty()) return 0;
  const std::size_t n = std::min(buffer.size(), deviceId.size() + 2);
  buffer[0] = static_cast<std::uint8_t>(n >> 8);
  buffer[1] = static_cast<std::uint8_t>(n & 0xFF);
  std::memcpy(buffer.data() + 2, deviceId.data(), n - 2);
  return n;
}

std::vector<Bytes> ScriptedPrinter::On(std::uint8_t socket) const {
  std::vector<Bytes> out;
  for (const Bytes& p : written) {
    if (!p.empty() && p[0] == socket) out.push_back(p);
  }
  return out;
}

}  // namespace vantor::test
