// Faults the tests switch on, and the one place that spends their budgets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Clock.h"
#include "link/Protocol.h"

namespace vantor::sim {

// Counts are one-shot budgets: N means the next N, -1 means always.
struct Faults {
  int dropReplies = 0;            // commands processed but not answered
  std::int64_t replyDelayMs = 0;  // replies arrive this late
  int delayedReplies = 0;
  struct ErrorReply {
    std::uint8_t socket = 0;  // 0x00 transaction, 0x02 control, 0x40 data
    std::uint8_t error = wire::kErrChannelClosed;
  };
  std::optional<ErrorReply> errorReply;  // the next packet on that socket is refused
  int shortWrites = 0;                   // Write reports one byte fewer than it took
  std::int64_t writeDelayMs = 0;         // Write takes this long
  int slowWrites = 0;
  std::optional<std::string> controlReply;  // the next control-channel reply, verbatim
  bool emptyDeviceId = false;
  std::size_t readChunk = 0;  // stream reads return at most this many bytes (0: no limit)
  // EEPROM write faults: the power goes after this many more writes (the next write is lost
  // and nothing is answered any more); writes answered 'O' that keep the old value.
  std::optional<int> eepromWritesBeforePowerLoss;
  int eepromWritesIgnored = 0;

  // How a reply is spoilt on its way to the host.
  enum class Spoil { None, Garbled, Truncated, BitFlip, Oversize };
  Spoil spoil = Spoil::None;
  int spoiltReplies = 0;
  int busyAnswers = 0;     // control commands answered busy
  bool powerLoss = false;  // once armed, the printer takes nothing in and says nothing
  // Every fault above waits until this many replies have gone out (counted down by them).
  int armAfterReplies = 0;

  // Switches a fault on from its text: KIND[,after=N][,count=N|all][,ms=N], KIND one of
  // no-reply, late-reply, garbled, truncated, bit-flip, oversize, short-write, power-loss, busy;
  // "off" switches every fault off. False with the reason for text it does not know.
  bool Apply(const std::string& setting, std::string& why);
  static constexpr std::string_view kKinds =
      "no-reply, late-reply, garbled, truncated, bit-flip, oversize, short-write, power-loss, busy";

  // A reply is about to go out: spends an armed spoiling and counts the arming down.
  void ReplyLeaving(std::vector<std::uint8_t>& reply);
  bool TakeBusyAnswer() { return Armed() && Take(busyAnswers); }
  bool PowerGone() const { return powerLoss && Armed(); }
  // The host waits for a reply and none is left: without power the printer falls silent here,
  // not at the writes it swallows (the host cannot tell those from a printer at work).
  void ReplyAwaited() {
    if (PowerGone()) Fired();
  }

  // The clock that times the first firing; "off" keeps it.
  void SetClock(Clock* clock) { clock_ = clock; }
  // When a fault first spent its budget or a reply was awaited without power, on that clock.
  std::optional<std::int64_t> FirstFiredMs() const { return firstFiredMs_; }

  // Each spends one of its budget when it applies.
  bool TakeSlowWrite() { return Armed() && Take(slowWrites); }
  bool TakeShortWrite() { return Armed() && Take(shortWrites); }
  bool TakeDroppedReply() { return Armed() && Take(dropReplies); }
  std::int64_t TakeReplyDelay() { return Armed() && Take(delayedReplies) ? replyDelayMs : 0; }
  // The error that refuses the next packet on this socket, if one is set for it.
  std::optional<std::uint8_t> TakeErrorReply(std::uint8_t socket);
  std::optional<std::string> TakeControlReply();
  std::size_t ReadLimit(std::size_t want) const;

 private:
  bool Armed() const { return armAfterReplies == 0; }
  bool Take(int& budget);
  bool Fired();

  Clock* clock_ = nullptr;
  std::optional<std::int64_t> firstFiredMs_;
};

}  // namespace vantor::sim
