#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "DeviceFile.h"
#include "StreamDevice.h"

namespace vantor {

namespace {

// The kernel's USB printer driver answers this with the device ID; its header lacks it.
constexpr unsigned long DeviceIdRequest(unsigned len) {
  return _IOC(_IOC_READ, 'P', 1, len);
}

std::string OpenErrorText(int err, const std::string& path) {
  switch (err) {
    case ENOENT:
      return path + " does not exist";
    case EACCES:
    case EPERM:
      return "no permission to open " + path;
    case EBUSY:
      return path + " is busy (another program holds it)";
    case ENODEV:
    case ENXIO:
      return "no device behind " + path;
    default:
      return path + ": " + std::strerror(err);
  }
}

// Adds the 2-byte big-endian length that counts itself, as the printer ioctl returns it.
std::size_t WithLengthPrefix(const std::string& text, std::span<std::uint8_t> out) {
  if (text.empty() || out.size() < 2) return 0;
  const std::size_t n = std::min(text.size() + 2, std::min<std::size_t>(out.size(), 0xFFFF));
  out[0] = static_cast<std::uint8_t>(n >> 8);
  out[1] = static_cast<std::uint8_t>(n & 0xFF);
  std::memcpy(out.data() + 2, text.data(), n - 2);
  return n;
}

// The process that holds a lock on the file behind fd, as the kernel lists it; empty when it
// cannot say.
std::string FlockHolder(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return {};
  std::ifstream locks("/proc/locks");
  // "1: FLOCK  ADVISORY  WRITE 4242 00:19:5 0 EOF": pid, then major:minor:inode of the file.
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, type, advisory, access, pid, where;
    if (!(fields >> number >> type)) continue;
    if (type == "->") fields >> type;  // a waiter
    if (type != "FLOCK" || !(fields >> advisory >> access >> pid >> where)) continue;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
    if (inode == st.st_ino && major == ::major(st.st_dev) && minor == ::minor(st.st_dev)) {
      return pid;
    }
  }
  return {};
}

class DeviceFile final : public StreamDevice {
 public:
  DeviceFile(int fd, DeviceFileOptions options) : fd_(fd), options_(std::move(options)) {}
  ~DeviceFile() override { ::close(fd_); }

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) override {
    const std::int64_t deadline = SteadyMs() + limitMs;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::int64_t left = deadline - SteadyMs();
      if (left <= 0) break;
      if (!WaitFor(POLLOUT, left)) continue;
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        return {false, done};
      }
      done += static_cast<std::size_t>(n);
    }
    return {true, done};
  }

  std::size_t DeviceId(std::span<std::uint8_t> buffer) override {
    std::fill(buffer.begin(), buffer.end(), 0);
    const std::size_t n = ReadDeviceId(buffer);
    if (n > 0) MakeRaw();
    return n;
  }

 private:
  std::size_t ReadDeviceId(std::span<std::uint8_t> buffer) {
    if (::ioctl(fd_, DeviceIdRequest(static_cast<unsigned>(buffer.size())), buffer.data()) == 0) {
      const std::size_t n = buffer.size() >= 2 ? buffer[0] * 256u + buffer[1] : 0;
      return std::min(n, buffer.size());
    }
    if (std::string id = SysfsDeviceId(); !id.empty()) return WithLengthPrefix(id, buffer);
    return DeviceIdFromFile(options_, buffer);
  }

  // A terminal that answered as the printer must pass bytes untouched, and stale replies must
  // not be read; one that did not keeps its settings.
  void MakeRaw() {
    if (raw_ || !::isatty(fd_)) return;
    raw_ = true;
    termios t{};
    if (::tcgetattr(fd_, &t) == 0) {
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
    ::tcflush(fd_, TCIOFLUSH);
  }

  bool WaitFor(short events, std::int64_t limitMs) {
    pollfd p{fd_, events, 0};
    const int ms = static_cast<int>(std::clamp<std::int64_t>(limitMs, 0, INT_MAX));
    const int r = ::poll(&p, 1, ms);
    return r > 0 && (p.revents & (events | POLLERR | POLLHUP));
  }

  IoResult ReadSome(std::span<std::uint8_t> buffer, std::int64_t limitMs) override {
    const std::int64_t deadline = SteadyMs() + limitMs;
    for (;;) {
      const std::int64_t left = deadline - SteadyMs();
      if (!WaitFor(POLLIN, std::max<std::int64_t>(left, 0))) {
        if (left <= 0) return {true, 0};
        continue;
      }
      const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
      if (n > 0) return {true, static_cast<std::size_t>(n)};
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        if (left <= 0) return {true, 0};
        continue;
      }
      return {false, 0};
    }
  }

  std::string SysfsDeviceId() const {
    char resolved[PATH_MAX];
    if (!::realpath(options_.path.c_str(), resolved)) return {};
    const std::string real = resolved;
    const std::size_t slash = real.rfind('/');
    const std::string base = real.substr(slash + 1);
    if (real.rfind("/dev/usb/", 0) != 0) return {};
    std::string id = ReadWholeFile("/sys/class/usbmisc/" + base + "/device/ieee1284_id");
    while (!id.empty() && (id.back() == '\n' || id.back() == '\0')) id.pop_back();
    return id;
  }

  int fd_;
  bool raw_ = false;
  DeviceFileOptions options_;
};

}  // namespace

std::string DeviceIdFileFor(const std::string& path) {
  return path + ".device-id";
}

std::string LockFileFor(const std::string& path) {
  return path + ".lock";
}

bool IsStaleServerLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  const std::string lockFile = LockFileFor(path);
  if (::access(lockFile.c_str(), F_OK) != 0 && ::access(DeviceIdFileFor(path).c_str(), F_OK) != 0) {
    return false;  // an ordinary link to a device, not one a server made
  }
  // The server holds its lock for as long as it serves.
  const int fd = ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return true;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return !held;
}

std::unique_ptr<PortDevice> OpenDeviceFile(const DeviceFileOptions& options, InterfaceKind,
                                           OpenFailure& why) {
  // Whatever now owns a dead server's terminal is not the printer.
  if (IsStaleServerLink(options.path)) {
    why.reason = options.path + " is stale: the virtual printer that made it no longer runs";
    return nullptr;
  }
  const int fd = ::open(options.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why.reason = OpenErrorText(errno, options.path);
    return nullptr;
  }
  // A second user's bytes would land in the middle of the first one's session: the device is
  // held until the port closes (the lock goes with the descriptor, also when the process dies).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    why.reason = options.path + " is in use";
    why.inUse = true;
    why.holder = FlockHolder(fd);
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<DeviceFile>(fd, options);
}

}  // namespace vantor
