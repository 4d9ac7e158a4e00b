#include "link/backends/ParallelBackend.h"

#include <ieee1284.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>

#include "link/backends/DeviceIdReply.h"
#include "link/backends/PortTexts.h"

namespace vantor {

namespace {

// Short chunks keep each call within a slice even on a slow handshake.
constexpr std::size_t kChunk = 256;

class Ieee1284Library final : public ParallelLibrary {
 public:
  Ieee1284Library(parport_list list, parport* port) : list_(list), port_(port) {}
  ~Ieee1284Library() override {
    Close();
    ieee1284_free_ports(&list_);
  }
  Ieee1284Library(const Ieee1284Library&) = delete;
  Ieee1284Library& operator=(const Ieee1284Library&) = delete;

  int OpenExclusive(int& capabilities) override {
    int rc = ieee1284_open(port_, F1284_EXCL, &capabilities);
    if (rc != E1284_OK) return rc;
    opened_ = true;
    rc = ieee1284_claim(port_);
    if (rc != E1284_OK) return rc;
    claimed_ = true;
    return E1284_OK;
  }
  void Close() override {
    if (claimed_) ieee1284_release(port_);
    if (opened_) ieee1284_close(port_);
    claimed_ = opened_ = false;
  }
  void SetTimeout(std::int64_t ms) override {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    ieee1284_set_timeout(port_, &tv);
  }
  int Negotiate(int mode) override { return ieee1284_negotiate(port_, mode); }
  void Terminate() override { ieee1284_terminate(port_); }
  std::ptrdiff_t CompatWrite(std::span<const std::uint8_t> bytes) override {
    return ieee1284_compat_write(port_, 0, reinterpret_cast<const char*>(bytes.data()),
                                 bytes.size());
  }
  std::ptrdiff_t NibbleRead(std::span<std::uint8_t> buffer) override {
    return ieee1284_nibble_read(port_, 0, reinterpret_cast<char*>(buffer.data()), buffer.size());
  }
  std::ptrdiff_t EcpWrite(std::span<const std::uint8_t> bytes) override {
    return ieee1284_ecp_write_data(port_, 0, reinterpret_cast<const char*>(bytes.data()),
                                   bytes.size());
  }
  std::ptrdiff_t EcpRead(std::span<std::uint8_t> buffer) override {
    return ieee1284_ecp_read_data(port_, 0, reinterpret_cast<char*>(buffer.data()), buffer.size());
  }
  int EcpForwardToReverse() override { return ieee1284_ecp_fwd_to_rev(port_); }
  int EcpReverseToForward() override { return ieee1284_ecp_rev_to_fwd(port_); }
  std::ptrdiff_t DeviceId(std::span<std::uint8_t> buffer) override {
    return ieee1284_get_deviceid(port_, -1, F1284_FRESH, reinterpret_cast<char*>(buffer.data()),
                                 buffer.size());
  }

 private:
  parport_list list_;
  parport* port_;
  bool opened_ = false;
  bool claimed_ = false;
};

bool SamePort(const parport& port, std::string_view path) {
  if (port.filename && path == port.filename) return true;
  if (!port.name) return false;
  const std::string_view name = port.name;
  return path == name || (path.starts_with("/dev/") && path.substr(5) == name);
}

}  // namespace

std::unique_ptr<ParallelLibrary> FindParallelPort(const std::string& path, OpenFailure& why) {
  parport_list list{};
  if (ieee1284_find_ports(&list, 0) != E1284_OK) {
    why.reason = std::string(texts::kNoParallelPort);
    return nullptr;
  }
  for (int i = 0; i < list.portc; ++i) {
    if (list.portv[i] && SamePort(*list.portv[i], path))
      return std::make_unique<Ieee1284Library>(list, list.portv[i]);
  }
  ieee1284_free_ports(&list);
  why.reason = std::string(texts::kNoParallelPort);
  return nullptr;
}

std::unique_ptr<PortDevice> OpenParallelPort(const std::string& path, OpenFailure& why) {
  auto library = FindParallelPort(path, why);
  if (!library) return nullptr;
  auto device =
      std::make_unique<ParallelDevice>(std::move(library), std::make_unique<SystemClock>(), why);
  if (!device->Ready()) return nullptr;
  return device;
}

ParallelDevice::ParallelDevice(std::unique_ptr<ParallelLibrary> library, Clock& clock,
                               OpenFailure& why)
    : library_(std::move(library)), clock_(clock) {
  Start(why);
}

ParallelDevice::ParallelDevice(std::unique_ptr<ParallelLibrary> library,
                               std::unique_ptr<Clock> clock, OpenFailure& why)
    : library_(std::move(library)), ownedClock_(std::move(clock)), clock_(*ownedClock_) {
  Start(why);
}

ParallelDevice::~ParallelDevice() {
  if (ready_) {
    if (mode_ == Mode::EcpReverse) library_->EcpReverseToForward();
    library_->Terminate();
  }
  library_->Close();
}

void ParallelDevice::Start(OpenFailure& why) {
  int capabilities = 0;
  errno = 0;
  const int rc = library_->OpenExclusive(capabilities);
  if (rc != E1284_OK) {
    const int err = errno;
    library_->Close();
    why.reason = std::string(err == EACCES || err == EPERM ? texts::kPermissionDenied
                             : err == EBUSY                ? texts::kBusy
                                                           : texts::kParallelInit);
    return;
  }
  ready_ = true;
  if ((capabilities & CAP1284_ECP) && library_->Negotiate(M1284_ECP) == E1284_OK) {
    ecp_ = true;
    mode_ = Mode::EcpForward;
  } else {
    library_->Terminate();
    mode_ = Mode::Compat;
  }
}

bool ParallelDevice::ToForward() {
  switch (mode_) {
    case Mode::Compat:
    case Mode::EcpForward:
      return true;
    case Mode::EcpReverse:
      if (library_->EcpReverseToForward() != E1284_OK) return false;
      mode_ = Mode::EcpForward;
      return true;
    case Mode::Nibble:
      library_->Terminate();
      mode_ = Mode::Compat;
      return true;
  }
  return false;
}

bool ParallelDevice::ToReverse() {
  switch (mode_) {
    case Mode::Nibble:
    case Mode::EcpReverse:
      return true;
    case Mode::EcpForward:
      if (library_->EcpForwardToReverse() != E1284_OK) return false;
      mode_ = Mode::EcpReverse;
      return true;
    case Mode::Compat:
      if (library_->Negotiate(M1284_NIBBLE) != E1284_OK) return false;
      mode_ = Mode::Nibble;
      return true;
  }
  return false;
}

IoResult ParallelDevice::Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) {
  if (!ready_ || !ToForward()) return {false, 0};
  const std::int64_t deadline = clock_.NowMs() + std::max<std::int64_t>(limitMs, 1);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const std::int64_t remaining = deadline - clock_.NowMs();
    if (remaining <= 0) break;
    library_->SetTimeout(std::min(remaining, kParallelSliceMs));
    const auto chunk = bytes.subspan(sent, std::min(kChunk, bytes.size() - sent));
    const std::ptrdiff_t n = ecp_ ? library_->EcpWrite(chunk) : library_->CompatWrite(chunk);
    if (n == E1284_TIMEDOUT) continue;
    if (n < 0) return {false, sent};
    sent += std::min(static_cast<std::size_t>(n), chunk.size());
  }
  return {true, sent};
}

IoResult ParallelDevice::Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (buffer.empty()) return {true, 0};
  if (!ready_ || !ToReverse()) return {false, 0};
  const std::int64_t deadline = clock_.NowMs() + std::max<std::int64_t>(limitMs, 1);
  while (clock_.NowMs() < deadline) {
    library_->SetTimeout(std::min(deadline - clock_.NowMs(), kParallelSliceMs));
    const auto chunk = buffer.first(std::min(kChunk, buffer.size()));
    const std::ptrdiff_t n = ecp_ ? library_->EcpRead(chunk) : library_->NibbleRead(chunk);
    if (n > 0) return {true, std::min(static_cast<std::size_t>(n), chunk.size())};
    if (n == 0 || n == E1284_TIMEDOUT || n == E1284_NOTAVAIL) {
      // Nothing waiting: the library may return at once, so pace the retries ourselves.
      if (n != E1284_TIMEDOUT)
        clock_.SleepMs(std::clamp<std::int64_t>(deadline - clock_.NowMs(), 1, 10));
      continue;
    }
    return {false, 0};
  }
  return {true, 0};
}

IoResult ParallelDevice::ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  return Read(buffer, limitMs);
}

std::size_t ParallelDevice::DeviceId(std::span<std::uint8_t> buffer) {
  if (!ready_ || !ToForward()) return 0;
  // The ID negotiation starts from compatibility mode.
  if (mode_ == Mode::EcpForward) library_->Terminate();
  std::array<std::uint8_t, 1024> raw{};
  const std::ptrdiff_t n = library_->DeviceId(raw);
  if (ecp_ && library_->Negotiate(M1284_ECP) != E1284_OK) {
    ecp_ = false;
    mode_ = Mode::Compat;
  }
  if (n <= 0) return 0;
  const auto reply = std::span<const std::uint8_t>(raw).first(std::min<std::size_t>(n, raw.size()));
  const DeviceIdText parsed = ParseDeviceId(reply);
  if (!parsed.Usable()) return 0;
  if (parsed.shape == DeviceIdShape::Exact) {
    const std::size_t copy = std::min(reply.size(), buffer.size());
    std::copy_n(reply.begin(), copy, buffer.begin());
    return copy;
  }
  return WriteDeviceIdReply(parsed.text, buffer);
}

}  // namespace vantor
