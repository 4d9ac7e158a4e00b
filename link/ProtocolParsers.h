// Pure functions over the link's bytes: status replies, transaction replies, acknowledgements,
// EEPROM replies and packet framing. No I/O; every length is checked before a byte is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Model.h"
#include "Protocol.h"

namespace vantor::wire {

struct StatusReport {
  bool complete = false;  // both "ST:" and "IQ:" were found
  std::uint16_t status = kStatusNone;
  std::uint16_t error = kErrorNone;
  std::optional<std::uint8_t> rawError;  // the "ER:" value, kept only when error is kErrorOther
  int st = -1;                           // the raw "ST:" value; -1 when absent or not hex
  int er = -1;                           // the raw "ER:" value; -1 when absent or not hex
};

// A status reply's text. Without "ST:" nothing is read; without "IQ:" only the status is.
StatusReport ParseStatusReply(std::string_view text);

enum class ReplyKind { Accepted, Error, Unexpected };
struct TransactionReply {
  ReplyKind kind = ReplyKind::Unexpected;
  std::uint8_t result = 0;  // Accepted: the result byte
  std::uint8_t error = 0;   // Error: the error number, 0x80 to 0x87
};

// A whole reply packet to the transaction whose payload began with `command`; a reply that
// is not on socket 0 in both socket bytes is Unexpected, whatever it carries.
TransactionReply ClassifyTransactionReply(std::span<const std::uint8_t> reply,
                                          std::uint8_t command);
// The error number of an error reply packet, else kChannelUnexpected.
std::int16_t ErrorReplyCode(std::span<const std::uint8_t> reply);
// The channel error code a refused result leaves.
std::int16_t RefusalCode(std::span<const Refusal> table, std::uint8_t result);
// A command reply's verdict: 'O' is kChannelNoError, 'B' busy, 'N' refused, else unexpected.
std::int16_t AcknowledgeCode(std::string_view text);
// An EEPROM read reply of either channel: the prefix and the value at text positions 14-15.
std::optional<std::uint8_t> ParseEepromReply(std::string_view text);

// The model a device-ID reply (2-byte length, then "KEY:value;" text) names in its MDL (or
// MODEL) field: "Vantor Q40", "Q30" and the like. None for a missing field or another model.
std::optional<Model> ModelFromDeviceId(std::span<const std::uint8_t> reply);

enum class FrameState { Incomplete, Complete, TooShort, TooLong };
struct Frame {
  FrameState state = FrameState::Incomplete;
  std::size_t length = 0;   // from the header; 0 until the header is whole
  std::size_t missing = 0;  // Incomplete: bytes still to come
};
// How the bytes at the start of `bytes` frame as a packet of at most maxLength bytes.
Frame FrameOf(std::span<const std::uint8_t> bytes, std::size_t maxLength);

// Takes bytes in any split and gives whole packets, in order.
class PacketAssembler {
 public:
  explicit PacketAssembler(std::size_t maxLength) : maxLength_(maxLength) {}

  enum class Kind { None, Packet, Malformed, TooLong };
  struct Event {
    Kind kind = Kind::None;
    std::uint8_t socket = 0;                 // of the packet, or of the header at fault
    std::span<const std::uint8_t> packet{};  // Packet: valid until the next Append or Clear
  };

  void Append(std::span<const std::uint8_t> bytes);
  // The next packet or framing fault; None when the bytes so far end inside a packet. Before
  // packet mode only the entry packet frames: other bytes are skipped one at a time. A header
  // shorter than itself drops everything held; an oversized packet is skipped whole.
  Event Next(bool packetMode);
  void Clear();
  std::size_t Held() const { return input_.size() - at_; }

 private:
  std::size_t maxLength_;
  std::vector<std::uint8_t> input_;
  std::size_t at_ = 0;       // bytes of input_ already given out
  std::size_t discard_ = 0;  // bytes of an oversized packet still to skip
};

}  // namespace vantor::wire
