// The printer's side of the 1284.4 link: packet framing, transactions, the two channels, credits
// both ways and the queue of replies the host reads.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/ProtocolParsers.h"
#include "sim/Faults.h"

namespace vantor::sim {

// What the rest of the printer does with the packets the transport lets through.
class PacketHandler {
 public:
  virtual ~PacketHandler() = default;
  // The entry packet: a new host session begins.
  virtual void SessionStarted() = 0;
  // A packet other than data is about to be handled.
  virtual void CommandArrived() = 0;
  // A control command; returns the reply text.
  virtual std::string Control(std::span<const std::uint8_t> payload) = 0;
  virtual void Data(std::span<const std::uint8_t> payload) = 0;
};

class Transport {
 public:
  Transport(Clock& clock, Faults& faults, PacketHandler& handler);

  // Bytes as the host wrote them, in any split.
  void Receive(std::span<const std::uint8_t> bytes);
  // A newly opened port starts without another client's leftovers.
  void Disconnect();

  // Stream reads cross reply boundaries; reply reads give at most one reply.
  std::size_t TakeStream(std::span<std::uint8_t> buffer, std::int64_t limitMs);
  std::size_t TakeReply(std::span<std::uint8_t> buffer, std::int64_t limitMs);
  bool HasReplies() const { return !replies_.empty(); }

  // A reply text on a channel, cut to what the host's packet can hold.
  void QueueText(std::uint8_t socket, const std::string& text);

  bool PacketMode() const { return packetMode_; }
  bool ControlOpen() const { return controlOpen_; }
  bool DataOpen() const { return dataOpen_; }
  std::uint32_t CreditFaults() const { return creditFaults_; }

 private:
  struct Reply {
    std::vector<std::uint8_t> bytes;
    std::int64_t availableMs;
  };
  // One transaction: its command byte, the payload it needs, what it does.
  struct Rule {
    std::uint8_t command;
    std::size_t minPayload;
    void (Transport::*handle)(std::span<const std::uint8_t> payload);
  };
  static const Rule kRules[];

  void HandlePacket(std::span<const std::uint8_t> packet);
  void HandleTransaction(std::span<const std::uint8_t> packet);
  void Init(std::span<const std::uint8_t> p);
  void Open(std::span<const std::uint8_t> p);
  void Close(std::span<const std::uint8_t> p);
  void Credit(std::span<const std::uint8_t> p);
  void Exit(std::span<const std::uint8_t> p);
  bool SocketOpen(std::uint8_t socket) const;
  void ResetChannels();
  void Answer(std::span<const std::uint8_t> payload);
  void QueueReply(std::uint8_t socket, std::span<const std::uint8_t> payload, bool credit);
  void QueueError(std::uint8_t socket, std::uint8_t error);
  bool WaitForReply(std::int64_t limitMs);
  void Consume(std::size_t n);

  Clock& clock_;
  Faults& faults_;
  PacketHandler& handler_;
  wire::PacketAssembler assembler_;

  bool packetMode_ = false;
  bool controlOpen_ = false;
  bool dataOpen_ = false;
  std::uint16_t dataCreditsFromHost_ = 0;  // data packets the host may still send us
  std::uint16_t dataCreditsToHost_ = 0;    // data packets we may still send the host
  std::uint32_t creditFaults_ = 0;         // packets sent without credit, either way
  std::deque<Reply> replies_;
  std::size_t replyOffset_ = 0;  // bytes of the front reply already read
};

}  // namespace vantor::sim
