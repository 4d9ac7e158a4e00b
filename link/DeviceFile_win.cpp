// Device files on Windows: the USB printer-class interface, \\.\LPTn or a named pipe served by
// the virtual printer, opened for overlapped I/O so that every transfer ends at its deadline.
#include <windows.h>
// After windows.h, which they need.
#include <winioctl.h>
// After winioctl.h, which they need.
#include <ntddpar.h>
#include <usbprint.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "DeviceFile.h"
#include "StreamDevice.h"
#include "WinText.h"

namespace vantor {

namespace {

// A USB printer-class read answers at once with zero bytes when the printer has nothing.
constexpr DWORD kEmptyReadPauseMs = 5;
constexpr std::string_view kPipePrefix = "\\\\.\\pipe\\";
// The device-ID request of the printer's USB port driver, and the reply room it expects.
constexpr DWORD kPortDriverIdRequest = 0x221804;
constexpr std::size_t kPortDriverIdSize = 200;

DWORD WaitMs(std::int64_t ms) {
  return static_cast<DWORD>(std::clamp<std::int64_t>(ms, 0, 0x7FFFFFFF));
}

std::string OpenErrorText(DWORD err, const std::string& path) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return path + " does not exist";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_PIPE_BUSY:
      return path + " is busy (another program holds it)";
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NOT_READY:
      return "no device behind " + path;
    default:
      return path + ": Windows error " + std::to_string(err);
  }
}

class DeviceFile final : public StreamDevice {
 public:
  DeviceFile(HANDLE handle, DeviceFileOptions options, InterfaceKind kind)
      : handle_(handle),
        event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        options_(std::move(options)),
        kind_(kind) {}
  ~DeviceFile() override {
    CloseHandle(handle_);
    if (event_) CloseHandle(event_);
  }
  DeviceFile(const DeviceFile&) = delete;
  DeviceFile& operator=(const DeviceFile&) = delete;

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) override {
    const std::int64_t deadline = SteadyMs() + limitMs;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::int64_t left = deadline - SteadyMs();
      if (left <= 0) break;
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
      DWORD n = 0;
      if (!Transfer(false, const_cast<std::uint8_t*>(bytes.data() + done), ask, left, n)) {
        return {false, done + n};
      }
      done += n;
    }
    return {true, done};
  }

  std::size_t DeviceId(std::span<std::uint8_t> buffer) override {
    std::fill(buffer.begin(), buffer.end(), 0);
    // Both drivers answer with the ID behind its 2-byte big-endian length.
    const DWORD code = kind_ == InterfaceKind::Parallel ? IOCTL_PAR_QUERY_RAW_DEVICE_ID
                                                        : IOCTL_USBPRINT_GET_1284_ID;
    DWORD got = 0;
    if (Control(code, buffer, got) && got >= 2) {
      const std::size_t n = buffer[0] * 256u + buffer[1];
      return std::min<std::size_t>({n, got, buffer.size()});
    }
    // The printer's own USB port driver knows only its request; any bytes it gives are the reply.
    if (kind_ == InterfaceKind::Usb && buffer.size() >= kPortDriverIdSize &&
        Control(kPortDriverIdRequest, buffer.first(kPortDriverIdSize), got) && got > 0) {
      return got;
    }
    return DeviceIdFromFile(options_, buffer);
  }

 private:
  // One overlapped ReadFile or WriteFile, cancelled when limitMs passes; false on a failure
  // (count holds what moved before it).
  bool Transfer(bool read, std::uint8_t* data, DWORD size, std::int64_t limitMs, DWORD& count) {
    count = 0;
    OVERLAPPED ov{};
    ov.hEvent = event_;
    ResetEvent(event_);
    const BOOL started = read ? ReadFile(handle_, data, size, nullptr, &ov)
                              : WriteFile(handle_, data, size, nullptr, &ov);
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(event_, WaitMs(limitMs)) != WAIT_OBJECT_0) CancelIoEx(handle_, &ov);
    if (GetOverlappedResult(handle_, &ov, &count, TRUE)) return true;
    return GetLastError() == ERROR_OPERATION_ABORTED;  // the deadline, not a failure
  }

  bool Control(DWORD code, std::span<std::uint8_t> out, DWORD& got) {
    OVERLAPPED ov{};
    ov.hEvent = event_;
    ResetEvent(event_);
    got = 0;
    if (!DeviceIoControl(handle_, code, nullptr, 0, out.data(), static_cast<DWORD>(out.size()),
                         nullptr, &ov) &&
        GetLastError() != ERROR_IO_PENDING) {
      return false;
    }
    if (WaitForSingleObject(event_, 2000) != WAIT_OBJECT_0) CancelIoEx(handle_, &ov);
    return GetOverlappedResult(handle_, &ov, &got, TRUE) != 0;
  }

  IoResult ReadSome(std::span<std::uint8_t> buffer, std::int64_t limitMs) override {
    const std::int64_t deadline = SteadyMs() + limitMs;
    for (;;) {
      const std::int64_t left = deadline - SteadyMs();
      DWORD n = 0;
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1 << 20));
      if (!Transfer(true, buffer.data(), ask, std::max<std::int64_t>(left, 0), n)) {
        return {false, 0};
      }
      if (n > 0) return {true, n};
      if (deadline - SteadyMs() <= 0) return {true, 0};
      Sleep(std::min<DWORD>(kEmptyReadPauseMs, WaitMs(deadline - SteadyMs())));
    }
  }

  HANDLE handle_;
  HANDLE event_;
  DeviceFileOptions options_;
  InterfaceKind kind_;
};

// A named pipe has no file beside it: its companions lie in the temporary folder.
std::string CompanionFile(const std::string& path, const std::string& suffix) {
  if (path.size() > kPipePrefix.size() && path.starts_with(kPipePrefix)) {
    char temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(sizeof temp, temp);
    const std::string dir = n > 0 && n <= MAX_PATH ? std::string(temp, n) : std::string(".\\");
    return dir + "vantor-pipe-" + path.substr(kPipePrefix.size()) + suffix;
  }
  return path + suffix;
}

}  // namespace

std::string DeviceIdFileFor(const std::string& path) {
  return CompanionFile(path, ".device-id");
}

std::string LockFileFor(const std::string& path) {
  return CompanionFile(path, ".lock");
}

// A named pipe goes with the server that made it: none is ever stale.
bool IsStaleServerLink(const std::string&) {
  return false;
}

std::unique_ptr<PortDevice> OpenDeviceFile(const DeviceFileOptions& options, InterfaceKind kind,
                                           OpenFailure& why) {
  const std::wstring path = win::Widen(options.path);
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 2; ++attempt) {
    h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OVERLAPPED, nullptr);
    // A pipe whose one instance is between clients is free again in a moment.
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY) break;
    WaitNamedPipeW(path.c_str(), 1000);
  }
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    why.reason = OpenErrorText(err, options.path);
    // The handle is opened unshared, so a second user is refused here; Windows does not say who.
    why.inUse = err == ERROR_SHARING_VIOLATION || err == ERROR_PIPE_BUSY;
    return nullptr;
  }
  return std::make_unique<DeviceFile>(h, options, kind);
}

}  // namespace vantor
