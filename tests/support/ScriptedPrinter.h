// A port device that answers like a printer from a script, and records every byte written.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/PortDevice.h"

namespace vantor::test {

using Bytes = std::vector<std::uint8_t>;

// A reply packet: header with the socket on both bytes, length, then the payload.
Bytes Packet(std::uint8_t socket, const Bytes& payload, std::uint8_t credit = 0);
Bytes TextPayload(const std::string& text);

class ScriptedPrinter final : public PortDevice {
 public:
  explicit ScriptedPrinter(Clock& clock) : clock_(clock) {}

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) override;
  IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  std::size_t DeviceId(std::span<std::uint8_t> buffer) override;

  // Every packet written, in order.
  std::vector<Bytes> written;
  // Replies to the next packets on sockets 0 and 2 (before the automatic answers).
  std::deque<Bytes> nextReplies;
  // Text payloads answering control commands; when empty a ready status or 'O' acknowledge.
  std::deque<std::string> controlTexts;
  // Bytes written by control-channel frames: an unscripted read of one answers its value, so
  // that a write reads back as taken.
  std::map<std::uint8_t, std::uint8_t> eeprom;
  // Packets the printer sends on the data channel, read by ReceiveData.
  std::deque<Bytes> dataReplies;
  std::string deviceId = "MFG:V;MDL:Vantor Q40;CLS:PRINTER;";
  std::uint8_t creditReplyLength = 12;  // 10: a Credit reply without the credit field
  std::size_t shortBy = 0;              // the next write reports this many bytes fewer
  std::int64_t writeTakesMs = 0;        // the next write takes this long
  std::size_t readChunk = 0;            // stream reads return at most this many bytes
  bool silent = false;                  // nothing ever answers
  bool failReads = false;

  // Written packets on one socket, in order.
  std::vector<Bytes> On(std::uint8_t socket) const;

 private:
  void Answer(const Bytes& packet);
  Clock& clock_;
  std::deque<std::uint8_t> stream_;
  std::deque<Bytes> replies_;
};

}  // namespace vantor::test
