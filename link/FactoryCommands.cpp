#include "FactoryCommands.h"

#include <array>
#include <string_view>

#include "PrinterPace.h"

namespace vantor {

namespace {
constexpr std::uint8_t kEscAt[2] = {0x1B, 0x40};

std::uint8_t Lo(int v) {
  return static_cast<std::uint8_t>(v & 0xFF);
}
std::uint8_t Hi(int v) {
  return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
// Frames whose effect the printer keeps: a committed adjustment, a cleaning or an ink charge.
// Bi-D and PF values alone only set up a print; reads and print modes leave nothing behind.
bool ChangesPrinter(wire::FrameCode code) {
  for (const wire::FrameCode& kept : {wire::kFinishAdjustWriteFrame, wire::kCleanOrChargeFrame}) {
    if (code.code == kept.code && code.sub == kept.sub) return true;
  }
  return false;
}
}  // namespace

Result FactoryCommands::Send(wire::FrameCode code, std::span<const std::uint8_t> params) {
  if (paceMs_ != nullptr) {
    *paceMs_ += pace::FrameMs(code.code, params);
    return kOk;
  }
  if (ChangesPrinter(code)) channel_.BeforeChange();
  return channel_.SendData(wire::FactoryFrame(channel_.GetModelBytes(), code, params).View());
}

Result FactoryCommands::FactoryReadEepromByte(std::uint8_t address, std::uint8_t& value) {
  resultField_ = kFactoryResultOk;
  const std::uint8_t params[1] = {address};
  VANTOR_TRY(Send(wire::kEepromReadFrame, params));
  std::array<std::uint8_t, kPortBufferSize> reply{};
  std::size_t count = 0;
  VANTOR_TRY(channel_.ReceiveData(reply, count));
  const std::string_view text(reinterpret_cast<const char*>(reply.data()), count);
  if (!PacketChannel::DecodeEepromReply(text, value)) {
    resultField_ = kFactoryResultBadReply;
    return kFactoryReplyFailure;
  }
  return kOk;
}

Result FactoryCommands::SetBidValues(std::uint8_t dotType, int first, int second) {
  const std::uint8_t params[5] = {static_cast<std::uint8_t>(dotType - 3), Lo(first),
                                  static_cast<std::uint8_t>(first < 0 ? 0xFF : 0x00), Lo(second),
                                  static_cast<std::uint8_t>(second < 0 ? 0xFF : 0x00)};
  return Send(wire::kBidValuesFrame, params);
}

Result FactoryCommands::CleanOrCharge(std::uint8_t kind) {
  const std::uint8_t params[1] = {kind};
  VANTOR_TRY(Send(wire::kCleanOrChargeFrame, params));
  return channel_.QueuePrintData(kEscAt, sizeof kEscAt);
}

Result FactoryCommands::FactoryCommandCB() {
  return Send(wire::kCommandCBFrame, {});
}

Result FactoryCommands::FactoryCommandD1(std::uint8_t v) {
  const std::uint8_t params[1] = {v};
  return Send(wire::kCommandD1Frame, params);
}

Result FactoryCommands::FinishAdjustWrite() {
  return Send(wire::kFinishAdjustWriteFrame, {});
}

Result FactoryCommands::SetPfValue(std::uint8_t v) {
  const std::uint8_t params[1] = {v};
  return Send(wire::kPfValueFrame, params);
}

Result FactoryCommands::CrCommandCD(std::uint8_t a, int n) {
  const std::uint8_t params[4] = {a, 0x00, Lo(n), Hi(n)};
  return Send(wire::kCrCDFrame, params);
}

Result FactoryCommands::CrCommandC5(std::uint8_t a, std::uint8_t b, int n) {
  const std::uint8_t params[4] = {a, b, Lo(n), Hi(n)};
  return Send(wire::kCrC5Frame, params);
}

Result FactoryCommands::CrCommandCA(std::uint8_t v) {
  const std::uint8_t params[1] = {v};
  return Send(wire::kCrCAFrame, params);
}

Result FactoryCommands::DispersionPrepare() {
  VANTOR_TRY(CrCommandCD(6, -6));
  return CrCommandC5(0x35, 1, 150);
}

Result FactoryCommands::CarriageToHome() {
  VANTOR_TRY(CrCommandCD(8, 91));
  return CrCommandCD(6, 0);
}

Result FactoryCommands::TransportCycleA(bool shortCycle) {
  VANTOR_TRY(CrCommandC5(0x42, 0, 8000));
  VANTOR_TRY(CrCommandCA(1));
  VANTOR_TRY(CrCommandC5(0x40, 0, 6959));
  VANTOR_TRY(CrCommandCA(1));
  const int rounds = 2 * (shortCycle ? 1 : 3);
  for (int i = 0; i < rounds; ++i) {
    for (int j = 0; j < 3; ++j) VANTOR_TRY(CrCommandC5(0x40, 0, 30000));
    VANTOR_TRY(CrCommandC5(0x40, 0, 23088));
  }
  VANTOR_TRY(CrCommandCA(shortCycle ? 10 : 100));
  return CrCommandC5(0x43, 1, 150);
}

Result FactoryCommands::TransportCycleB() {
  VANTOR_TRY(CrCommandCD(6, 91));
  VANTOR_TRY(CrCommandCD(7, 242));
  VANTOR_TRY(CrCommandCA(5));
  VANTOR_TRY(CrCommandCD(6, 338));
  VANTOR_TRY(CrCommandC5(0x41, 0, 4780));
  VANTOR_TRY(CrCommandCA(1));
  VANTOR_TRY(CrCommandC5(0x41, 0, 17090));
  VANTOR_TRY(CrCommandCA(1));
  VANTOR_TRY(CrCommandC5(0x42, 1, 8000));
  VANTOR_TRY(CrCommandCA(1));
  return CrCommandC5(0x40, 1, 6959);
}

std::int64_t FactoryCommands::PaceMs(const std::function<Result()>& frames) {
  std::int64_t ms = 0;
  paceMs_ = &ms;
  (void)frames();
  paceMs_ = nullptr;
  return ms;
}

std::int8_t FactoryCommands::DispersionValue(int sumA, int sumB) {
  int value = (576 + sumA - sumB) / 3;
  if (value > 45) value = 120;
  if (value < -45) value = -120;
  return static_cast<std::int8_t>(value);
}

Result FactoryCommands::MeasureCrDispersion(VerifiedWrites& writes, std::int8_t& value,
                                            const Progress& progress) {
  constexpr int kSteps = 9;
  int step = 0;
  const auto tick = [&] {
    if (progress) progress(++step, kSteps);
  };
  const auto reading = [&](int& sum) -> Result {
    std::uint8_t hi = 0, lo = 0;
    VANTOR_TRY(channel_.ReadEepromByte(eeprom::kCrReadingHi, hi));
    VANTOR_TRY(channel_.ReadEepromByte(eeprom::kCrReadingLo, lo));
    sum += hi * 256 + lo;
    return kOk;
  };

  VANTOR_TRY(DispersionPrepare());
  VANTOR_TRY(CrCommandCD(6, 268));
  for (int i = 0; i < 5; ++i) {
    VANTOR_TRY(CrCommandCD(0, 1268));
    VANTOR_TRY(CrCommandCD(0, 268));
  }
  clock_.SleepMs(kCrSettleMs);
  tick();
  int sumA = 0;
  for (int i = 0; i < kCrReadings; ++i) {
    VANTOR_TRY(CrCommandCD(0, 1268));
    VANTOR_TRY(CrCommandCD(4, 268));
    clock_.SleepMs(kCrForwardReadMs);
    VANTOR_TRY(reading(sumA));
    tick();
  }
  int sumB = 0;
  for (int i = 0; i < kCrReadings; ++i) {
    VANTOR_TRY(CrCommandCD(0, 1268));
    VANTOR_TRY(CrCommandCD(3, 268));
    clock_.SleepMs(kCrBackwardReadMs);
    VANTOR_TRY(reading(sumB));
    tick();
  }
  value = DispersionValue(sumA, sumB);
  VANTOR_TRY(writes.Write(eeprom::kCrDispersion, static_cast<std::uint8_t>(value)));
  VANTOR_TRY(FinishAdjustWrite());
  VANTOR_TRY(writes.Verify());
  VANTOR_TRY(CrCommandCD(6, 0));
  tick();
  tick();
  return kOk;
}

Result FactoryCommands::WriteEepromDefaults(VerifiedWrites& writes) {
  for (std::size_t i = 0; i < 3; ++i)
    VANTOR_TRY(writes.Write(eeprom::kDefaults[i].address, eeprom::kDefaults[i].value));
  switch (channel_.SelectedModel()) {
    case Model::Q40:
      VANTOR_TRY(writes.Write(eeprom::kModelDefault, eeprom::kModelQ40));
      break;
    case Model::Q30:
      VANTOR_TRY(writes.Write(eeprom::kModelDefault, eeprom::kModelQ30));
      break;
    default:
      break;
  }
  return writes.Write(eeprom::kDefaults[3].address, eeprom::kDefaults[3].value);
}

}  // namespace vantor
