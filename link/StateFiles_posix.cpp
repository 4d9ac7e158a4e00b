#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

#include "link/StateFiles.h"

namespace vantor {

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

std::string RandomSuffix() {
  static std::mt19937_64 engine{std::random_device{}()};
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(8, 'a');
  for (char& c : s) c = kChars[engine() % (sizeof kChars - 1)];
  return s;
}

bool ProcessGone(long pid) {
  return pid > 0 && pid <= INT_MAX && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(current.c_str(), target, sizeof target - 1);
    if (n < 0) return current;
    const std::string next(target, static_cast<std::size_t>(n));
    current = next.starts_with('/') ? next : DirectoryOf(current) + "/" + next;
  }
  return current;
}

bool ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes, unsigned newMode,
                 std::string& error) {
  struct stat st {};
  const mode_t mode =
      ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : static_cast<mode_t>(newMode);
  // An unpredictable name, created only when nothing (not even a link) is there already.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp." + std::to_string(::getpid()) + "." + RandomSuffix();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  if (::fchmod(fd, mode) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0) {
    error = std::strerror(errno);
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  ::close(fd);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  if (const int d = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); d >= 0) {
    ::fsync(d);
    ::close(d);
  }
  return true;
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::string dir = DirectoryOf(path);
  const std::size_t slash = path.rfind('/');
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp.";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (!name.starts_with(prefix)) continue;
    // NAME.tmp.PID or NAME.tmp.PID.RANDOM
    const std::string_view rest = name.substr(prefix.size());
    const std::size_t end = rest.find('.');
    const std::string_view digits = rest.substr(0, end);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      continue;
    }
    if (ProcessGone(std::stol(std::string(digits)))) {
      ::unlinkat(::dirfd(d), e->d_name, 0);
    }
  }
  ::closedir(d);
}

FileLock::~FileLock() {
  Release();
}

void FileLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FileLock::Acquire(const std::string& lockPath, std::string& holder, std::string& error) {
  Release();
  holder.clear();
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot lock " + lockPath + ": " + std::strerror(errno);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int why = errno;
    if (why == EWOULDBLOCK) {
      char text[16] = {};
      const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
      if (n > 0) holder.assign(text, static_cast<std::size_t>(n));
      while (!holder.empty() && (holder.back() == '\n' || holder.back() == ' ')) holder.pop_back();
    } else {
      error = "cannot lock " + lockPath + ": " + std::strerror(why);
    }
    ::close(fd);
    return false;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    (void)::pwrite(fd, pid.data(), pid.size(), 0);
  }
  fd_ = fd;
  return true;
}

bool FileLock::IsHeld(const std::string& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

}  // namespace vantor
