// The one object through which every byte reaches the printer and every reply comes back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "Clock.h"
#include "Model.h"
#include "PortDevice.h"
#include "Result.h"

namespace vantor {

class WireTrace;

// Last-error codes of the port.
inline constexpr std::int16_t kPortNoError = 1;
inline constexpr std::int16_t kPortCannotOpen = -105;
inline constexpr std::int16_t kPortReceiveTimeout = -104;
inline constexpr std::int16_t kPortSendTimeout = -103;
inline constexpr std::int16_t kPortReadFailed = -82;
inline constexpr std::int16_t kPortWriteFailed = -81;
inline constexpr std::int16_t kPortNoDeviceId = -110;

inline constexpr std::size_t kPortBufferSize = 1024;

class PrinterPort {
 public:
  PrinterPort(const PortTable& table, Clock& clock);
  ~PrinterPort();
  PrinterPort(const PrinterPort&) = delete;
  PrinterPort& operator=(const PrinterPort&) = delete;

  void SetTrace(WireTrace* trace) { trace_ = trace; }

  Result OpenPort(PortCode code);
  void ClosePort();
  Result WritePort(const std::uint8_t* bytes, std::size_t count);
  // buffer must hold kPortBufferSize bytes; count receives the bytes read.
  Result ReadPort(std::uint8_t* buffer, std::size_t& count);
  Result QueryDeviceId();
  std::int16_t PortError() const { return lastError_; }
  // Puts back an earlier failure's code after clean-up steps that must not hide it.
  void RestoreError(std::int16_t code) { lastError_ = code; }

  bool IsOpen() const { return device_ != nullptr; }
  InterfaceKind Kind() const { return kind_; }
  const std::string& PortName() const { return portName_; }
  // The last device-ID reply (empty when none).
  std::span<const std::uint8_t> DeviceIdReply() const {
    return {deviceId_.data(), deviceIdLength_};
  }
  // The model the last device ID names, if it names one of ours.
  std::optional<Model> ReportedModel() const;
  // Why the last open failed, for the port doctor and the trace.
  const std::string& OpenFailureReason() const { return openFailure_; }

 private:
  Result ReadParallel(std::uint8_t* buffer, std::size_t& count);
  Result ReadUsb(std::uint8_t* buffer, std::size_t& count);
  // Reads exactly `want` bytes within the 10-second rule.
  Result ReadExactly(std::uint8_t* buffer, std::size_t want);
  Result Fail(std::int16_t code) {
    lastError_ = code;
    return kPortFailure;
  }

  const PortTable& table_;
  Clock& clock_;
  WireTrace* trace_ = nullptr;
  std::unique_ptr<PortDevice> device_;
  InterfaceKind kind_ = InterfaceKind::Parallel;
  std::string portName_;
  std::string openFailure_;
  std::int16_t lastError_ = kPortNoError;
  std::array<std::uint8_t, 200> deviceId_{};
  std::size_t deviceIdLength_ = 0;
};

}  // namespace vantor
