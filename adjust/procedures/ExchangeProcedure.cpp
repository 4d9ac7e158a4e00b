#include "adjust/procedures/ExchangeProcedure.h"

#include "adjust/procedures/Durations.h"
#include "adjust/procedures/ReadBack.h"
#include "adjust/procedures/ServiceRecord.h"

namespace vantor::procedures {

namespace {
constexpr std::uint8_t kExchangeStarted = 0x80;
constexpr std::uint8_t kExchangeFinished = 0x10;
constexpr std::uint8_t kExchangeFlagClear = 0x31;
constexpr std::int64_t kHomeSettleMs = 4000;
}  // namespace

template <typename Body>
Result ExchangeProcedure::Run(std::string_view busy, Body body, std::string_view done) {
  VANTOR_TRY(reporter_.ShowMessage(MessageKind::Busy, busy));
  if (const Result r = body(); r != kOk) {
    reporter_.ReportResult(r);
    return r;
  }
  // The commands have run; a printer that does not become ready afterwards is reported by the
  // message itself and does not undo the step.
  reporter_.ShowMessage(MessageKind::Done, done);
  return kOk;
}

Result ExchangeProcedure::MoveToOperatingPosition() {
  FactoryCommands& f = context_.link.factory;
  VANTOR_TRY(f.CrCommandC5(0x43, 1, 2480));
  VANTOR_TRY(f.CrCommandCD(6, 91));
  return f.CrCommandCD(5, 385);
}

Result ExchangeProcedure::ResetCountersAndFlags() {
  CheckedWrites writes(context_);
  VerifiedWrites& path = writes.Path();
  const Result written = [&]() -> Result {
    for (std::uint8_t a :
         {eeprom::kProtectionCounterHi, eeprom::kProtectionCounterLo, std::uint8_t{0x08},
          std::uint8_t{0x09}, std::uint8_t{0x0A}, std::uint8_t{0x0B}}) {
      VANTOR_TRY(path.Write(a, 0x00));
    }
    for (int a = 0x10; a <= 0x1F; ++a) {
      VANTOR_TRY(path.Write(static_cast<std::uint8_t>(a), 0x00));
    }
    VANTOR_TRY(path.Write(eeprom::kExchangeState, kExchangeFinished));
    VANTOR_TRY(path.Write(kExchangeFlagClear, 0x00));
    return context_.link.factory.FinishAdjustWrite();
  }();
  const Result r = writes.Confirm(written);
  writes.Record("transportation liquid exchange", r);
  return r;
}

Result ExchangeProcedure::AirFrames() {
  FactoryCommands& f = context_.link.factory;
  VANTOR_TRY(f.CarriageToHome());
  VANTOR_TRY(f.TransportCycleA(true));
  VANTOR_TRY(f.TransportCycleB());
  return MoveToOperatingPosition();
}

Result ExchangeProcedure::LiquidFrames() {
  FactoryCommands& f = context_.link.factory;
  VANTOR_TRY(f.CarriageToHome());
  VANTOR_TRY(f.TransportCycleA(false));
  return f.TransportCycleB();
}

int ExchangeProcedure::PaceSeconds(Result (ExchangeProcedure::*frames)()) {
  return durations::Seconds(context_.link.factory.PaceMs([&] { return (this->*frames)(); }));
}

std::string ExchangeProcedure::Left(int cycle, bool airNext) {
  const int cycles = static_cast<int>(exchange::kCycleLabels.size());
  const int air = PaceSeconds(&ExchangeProcedure::AirFrames);
  const int liquid = PaceSeconds(&ExchangeProcedure::LiquidFrames);
  const int seconds = (cycles - cycle) * (air + liquid) + (airNext ? air : 0) + liquid;
  return "cycle " + std::to_string(cycle) + " of " + std::to_string(cycles) + ", about " +
         std::to_string((seconds + 59) / 60) + " min left in all";
}

Result ExchangeProcedure::Start() {
  Link& link = context_.link;
  CheckedWrites writes(context_);
  const Result written = [&]() -> Result {
    VANTOR_TRY(writes.Path().Write(eeprom::kExchangeState, kExchangeStarted));
    return link.factory.FinishAdjustWrite();
  }();
  const Result r = writes.Confirm(written);
  writes.Record("transportation liquid exchange start", r);
  VANTOR_TRY(r);
  const AnnouncedWork work(
      reporter_, {PaceSeconds(&ExchangeProcedure::MoveToOperatingPosition), Left(1, true)});
  VANTOR_TRY(Run(
      exchange::kMovingToOperatingPosition, [&] { return MoveToOperatingPosition(); }, ""));
  step_ = 0;
  return kOk;
}

Result ExchangeProcedure::AirExchange() {
  const AnnouncedWork work(reporter_,
                           {PaceSeconds(&ExchangeProcedure::AirFrames), Left(Cycle(), true)});
  VANTOR_TRY(Run(
      exchange::kAirExchangeRunning, [&] { return AirFrames(); }, ""));
  if (step_ % 2 == 1) ++step_;
  return kOk;
}

Result ExchangeProcedure::LiquidCleaning(bool& lastCycle) {
  const std::uint32_t next = step_ + 1;
  const bool last = next >= exchange::kLastStep;
  lastCycle = false;
  const AnnouncedWork work(reporter_,
                           {PaceSeconds(&ExchangeProcedure::LiquidFrames), Left(Cycle(), false)});
  VANTOR_TRY(Run(
      exchange::kLiquidCleaningRunning, [&] { return LiquidFrames(); }, ""));
  // The done message has waited for the cleaning: a printer at work would refuse the writes.
  if (last) VANTOR_TRY(ResetCountersAndFlags());
  if (const Result r = MoveToOperatingPosition(); r != kOk) {
    reporter_.ReportResult(r);
    return r;
  }
  step_ = last ? 0 : next;
  lastCycle = last;
  return kOk;
}

Result ExchangeProcedure::Finish() {
  Link& link = context_.link;
  VANTOR_TRY(reporter_.ShowMessage(MessageKind::Busy, exchange::kReturningHome));
  if (const Result r = link.factory.CarriageToHome(); r != kOk) {
    reporter_.ReportResult(r);
    return r;
  }
  link.channel.GetClock().SleepMs(kHomeSettleMs);
  return kOk;
}

}  // namespace vantor::procedures
