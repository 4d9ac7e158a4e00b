// The one way the program writes the EEPROM: an operation's bytes go out, then each is read
// back, so that only what the printer holds is ever called written.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "PacketChannel.h"
#include "Result.h"

namespace vantor {

enum class WriteOutcome : std::uint8_t {
  Unknown,       // sent, or in flight at a failure, and not read back: old or new value
  Confirmed,     // read back as intended
  NotConfirmed,  // read back holding another value
};

struct ByteWrite {
  std::uint8_t address = 0;
  std::uint8_t intended = 0;
  std::optional<std::uint8_t> before;  // when the caller knows it
  WriteOutcome outcome = WriteOutcome::Unknown;
  std::optional<std::uint8_t> held;  // once read back
  bool failed = false;               // its own write failed: the failure tells of it
};

// One per operation. Bytes are read back after the operation's writes (and the frame that
// commits them), in the order written.
class VerifiedWrites {
 public:
  explicit VerifiedWrites(PacketChannel& channel) : channel_(channel) {}
  VerifiedWrites(const VerifiedWrites&) = delete;
  VerifiedWrites& operator=(const VerifiedWrites&) = delete;

  // One byte on the control channel; kept as unknown whatever the answer, since a failed write
  // may still have been taken.
  Result Write(std::uint8_t address, std::uint8_t value, std::optional<std::uint8_t> before = {});
  // A byte another frame sets (the Bi-D and PF values): read back with the rest.
  void Sent(std::uint8_t address, std::uint8_t value, std::optional<std::uint8_t> before = {});
  // Reads back each byte not read back yet; a failure ends the reading and is returned, the
  // bytes after it stay unknown.
  Result Verify();
  // For writes that ended with written: reads back only when they went, since a read after a
  // failure would replace its cause and wait on a printer that may be gone.
  Result Verify(Result written) { return written == kOk ? Verify() : written; }

  const std::vector<ByteWrite>& Bytes() const { return bytes_; }
  bool AllConfirmed() const;
  PacketChannel& Channel() { return channel_; }

 private:
  PacketChannel& channel_;
  std::vector<ByteWrite> bytes_;
  std::size_t readBack_ = 0;  // bytes_ before this index have been read back
};

}  // namespace vantor
