// The transportation liquid exchange: four cycles of air exchange and cleaning with the liquid,
// the counter and ink-flag resets after the fourth, and the carriage parked for power-off.
// The window's panels and vantorctl both drive it step by step.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "adjust/procedures/ProcedureContext.h"

namespace vantor::procedures {

namespace exchange {
inline constexpr std::string_view kTitle = "Transportation liquid exchange ";
inline constexpr std::string_view kRequiresFourCycles =
    "This sequence requires 4 cycle operation to complete.";
inline constexpr std::string_view kStart = "Start";
inline constexpr std::array<std::string_view, 4> kCycleLabels = {
    "This is the 1st cycle.", "This is the 2nd cycle.", "This is the 3rd cycle.",
    "This is the 4th cycle."};
inline constexpr std::string_view kRemoveCartridges = "1. Remove all I/Cs.";
inline constexpr std::string_view kRemoveCartridgesOrTubes =
    "1. Remove all I/Cs, or tubes from      the bottle charged by S46.";
inline constexpr std::string_view kThenPressOk = "2. Then press OK button.";
inline constexpr std::string_view kInstallLiquid =
    "1. Install I/Cs charged by S46 or connect     tubes from the bottle charged by S46.";
inline constexpr std::string_view kPressOk = "2. Press OK button.";
inline constexpr std::string_view kFinalOperation = "This is the final operation to finish.";
inline constexpr std::string_view kTurnOff = "1. Turn off the printer.";
inline constexpr std::string_view kWaitTenSeconds = "Wait for 10 seconds.";
inline constexpr std::string_view kRemoveAcCable = "You can remove AC cable now.";

inline constexpr std::string_view kMovingToOperatingPosition =
    "Moving the CR to the I/C operating position.";
inline constexpr std::string_view kAirExchangeRunning = "Now, air exchange sequence is running.";
inline constexpr std::string_view kLiquidCleaningRunning = "Now, CL by S46 is running.";
inline constexpr std::string_view kReturningHome = "CR is returning to the home position.";
inline constexpr std::string_view kInHomePosition = "Now, CR is in the home position.";

inline constexpr int kCountdownSeconds = 10;
// exchangeStep after the fourth cycle's cleaning, before it returns to 0.
inline constexpr std::uint32_t kLastStep = 7;
}  // namespace exchange

// Every step runs its printer commands in order and stops at the first failure, which it
// reports and returns with exchangeStep unchanged, so the step can be repeated. A busy message
// that finds the printer not ready counts as such a failure (already reported).
class ExchangeProcedure {
 public:
  explicit ExchangeProcedure(ProcedureContext& context)
      : context_(context), reporter_(context.reporter) {}

  std::uint32_t ExchangeStep() const { return step_; }
  // 1..4: the cycle whose air exchange or cleaning comes next.
  int Cycle() const { return static_cast<int>((step_ + 1) / 2 + 1); }
  std::string_view CycleLabel() const { return exchange::kCycleLabels[std::size_t(Cycle() - 1)]; }
  // Cycle 1 starts with the cartridges; later cycles may use tubes from the bottle.
  std::string_view FirstInstruction() const {
    return Cycle() == 1 ? exchange::kRemoveCartridges : exchange::kRemoveCartridgesOrTubes;
  }
  void Reset() { step_ = 0; }
  // The printer work left from `cycle` (1..4) on, its air exchange first when airNext, else its
  // cleaning: "cycle 2 of 4, about 9 min left in all".
  std::string Left(int cycle, bool airNext);

  // Marks the exchange in the EEPROM and moves the carriage to the cartridge position.
  Result Start();
  // Cartridges removed: the air exchange.
  Result AirExchange();
  // Liquid installed: the cleaning with it. After the fourth cycle it also resets the counters
  // and the ink flags, exchangeStep returns to 0 and lastCycle is set.
  Result LiquidCleaning(bool& lastCycle);
  // Parks the carriage at home for power-off.
  Result Finish();

 private:
  Result MoveToOperatingPosition();
  // Each step's frames, sent or only timed at the printer's pace.
  Result AirFrames();
  Result LiquidFrames();
  int PaceSeconds(Result (ExchangeProcedure::*frames)());
  // Reports its own failure and the bytes not confirmed.
  Result ResetCountersAndFlags();
  // Busy text, the body, then the done text; a failing body is reported.
  template <typename Body>
  Result Run(std::string_view busy, Body body, std::string_view done);

  ProcedureContext& context_;
  Reporter& reporter_;
  std::uint32_t step_ = 0;
};

}  // namespace vantor::procedures
