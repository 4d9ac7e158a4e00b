// Faults the tests switch on, and the one place that spends their budgets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

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

  // Each spends one of its budget when it applies.
  bool TakeSlowWrite() { return Take(slowWrites); }
  bool TakeShortWrite() { return Take(shortWrites); }
  bool TakeDroppedReply() { return Take(dropReplies); }
  std::int64_t TakeReplyDelay() { return Take(delayedReplies) ? replyDelayMs : 0; }
  // The error that refuses the next packet on this socket, if one is set for it.
  std::optional<std::uint8_t> TakeErrorReply(std::uint8_t socket);
  std::optional<std::string> TakeControlReply();
  std::size_t ReadLimit(std::size_t want) const;

 private:
  static bool Take(int& budget);
};

}  // namespace vantor::sim
