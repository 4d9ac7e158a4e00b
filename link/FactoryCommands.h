// Factory frames (ESC "|") on the data channel, their sequences, and the EEPROM defaults.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "EepromAddresses.h"
#include "Frames.h"
#include "PacketChannel.h"
#include "Protocol.h"
#include "VerifiedWrites.h"

namespace vantor {

inline constexpr std::uint16_t kFactoryResultOk = 1;
inline constexpr std::uint16_t kFactoryResultBadReply = 0xF000;

class FactoryCommands {
 public:
  FactoryCommands(PacketChannel& channel, Clock& clock) : channel_(channel), clock_(clock) {}

  // Data-channel EEPROM read; a bad reply sets the result field to 0xF000 and returns 0x3000.
  Result FactoryReadEepromByte(std::uint8_t address, std::uint8_t& value);
  // Dot type 4..7 is sent as kind 1..4.
  Result SetBidValues(std::uint8_t dotType, int first, int second);
  Result CleanOrCharge(std::uint8_t kind);
  Result FactoryCommandCB();
  Result FactoryCommandD1(std::uint8_t v);
  Result FinishAdjustWrite();
  Result SetPfValue(std::uint8_t v);
  Result CrCommandCD(std::uint8_t a, int n);
  Result CrCommandC5(std::uint8_t a, std::uint8_t b, int n);
  Result CrCommandCA(std::uint8_t v);

  Result DispersionPrepare();
  Result CarriageToHome();
  Result TransportCycleA(bool shortCycle);
  Result TransportCycleB();

  // The CR measurement's pauses: the carriage settles, then each reading of a forward and of
  // a backward move.
  static constexpr std::int64_t kCrSettleMs = 10000;
  static constexpr std::int64_t kCrForwardReadMs = 4000;
  static constexpr std::int64_t kCrBackwardReadMs = 3000;
  static constexpr int kCrReadings = 3;
  static constexpr std::int64_t kCrPausesMs =
      kCrSettleMs + kCrReadings * (kCrForwardReadMs + kCrBackwardReadMs);

  // Progress: called with the step number (1..n) so a terminal can show it; may be empty.
  using Progress = std::function<void(int step, int steps)>;
  // value receives the stored byte (signed). The byte is read back before the carriage
  // returns, so a failure of that last move leaves it confirmed.
  Result MeasureCrDispersion(VerifiedWrites& writes, std::int8_t& value,
                             const Progress& progress = {});
  // The writes are left for the caller to read back.
  Result WriteEepromDefaults(VerifiedWrites& writes);

  std::uint16_t ResultField() const { return resultField_; }

  // How long the frames take the printer at its usual pace: runs them without sending them.
  // For sequences of frames alone (no reads, no pauses).
  std::int64_t PaceMs(const std::function<Result()>& frames);

  // The CR measurement's arithmetic: (576 + A - B) / 3, clamped to +-120 beyond +-45.
  static std::int8_t DispersionValue(int sumA, int sumB);

 private:
  Result Send(wire::FrameCode code, std::span<const std::uint8_t> params);

  PacketChannel& channel_;
  Clock& clock_;
  std::uint16_t resultField_ = kFactoryResultOk;
  std::int64_t* paceMs_ = nullptr;  // set while frames are timed, not sent
};

}  // namespace vantor
