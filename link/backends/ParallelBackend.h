// Parallel ports through ppdev, by way of libieee1284: compatibility or ECP mode forward,
// nibble or ECP mode back, each transfer bounded by a deadline of our own because these
// devices cannot be polled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "link/Clock.h"
#include "link/PortDevice.h"

namespace vantor {

// The library calls the backend makes, with the library's return conventions (0 or a byte
// count on success, a negative E1284 code otherwise); tests put a fake port here.
class ParallelLibrary {
 public:
  virtual ~ParallelLibrary() = default;
  // Opens with exclusive access and claims the port.
  virtual int OpenExclusive(int& capabilities) = 0;
  // Releases and closes; safe to call when not open.
  virtual void Close() = 0;
  virtual void SetTimeout(std::int64_t ms) = 0;
  virtual int Negotiate(int mode) = 0;
  virtual void Terminate() = 0;
  virtual std::ptrdiff_t CompatWrite(std::span<const std::uint8_t> bytes) = 0;
  virtual std::ptrdiff_t NibbleRead(std::span<std::uint8_t> buffer) = 0;
  virtual std::ptrdiff_t EcpWrite(std::span<const std::uint8_t> bytes) = 0;
  virtual std::ptrdiff_t EcpRead(std::span<std::uint8_t> buffer) = 0;
  virtual int EcpForwardToReverse() = 0;
  virtual int EcpReverseToForward() = 0;
  // A fresh IEEE 1284 device-ID negotiation, never a cached ID.
  virtual std::ptrdiff_t DeviceId(std::span<std::uint8_t> buffer) = 0;
};

class ParallelDevice final : public PortDevice {
 public:
  // Opens and claims the port; Ready() is false (with the reason) when that failed.
  ParallelDevice(std::unique_ptr<ParallelLibrary> library, Clock& clock, OpenFailure& why);
  ParallelDevice(std::unique_ptr<ParallelLibrary> library, std::unique_ptr<Clock> clock,
                 OpenFailure& why);
  ~ParallelDevice() override;
  ParallelDevice(const ParallelDevice&) = delete;
  ParallelDevice& operator=(const ParallelDevice&) = delete;

  bool Ready() const { return ready_; }
  bool UsesEcp() const { return ecp_; }

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) override;
  IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  std::size_t DeviceId(std::span<std::uint8_t> buffer) override;

 private:
  enum class Mode { Compat, Nibble, EcpForward, EcpReverse };
  void Start(OpenFailure& why);
  bool ToForward();
  bool ToReverse();

  std::unique_ptr<ParallelLibrary> library_;
  std::unique_ptr<Clock> ownedClock_;
  Clock& clock_;
  bool ready_ = false;
  bool ecp_ = false;
  Mode mode_ = Mode::Compat;
};

// The libieee1284 port whose device file is `path` ("/dev/parport0"); nullptr with the reason
// when the library knows no such port.
std::unique_ptr<ParallelLibrary> FindParallelPort(const std::string& path, OpenFailure& why);

// Finds, opens and claims the port; nullptr with the reason on failure.
std::unique_ptr<PortDevice> OpenParallelPort(const std::string& path, OpenFailure& why);

// Longest single library call, so the deadline is checked often enough.
inline constexpr std::int64_t kParallelSliceMs = 100;

}  // namespace vantor
