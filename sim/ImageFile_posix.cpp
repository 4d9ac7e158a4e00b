#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/ImageFile.h"

namespace vantor::sim {

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ReadOutcome ReadWholeImage(const std::string& path, std::span<std::uint8_t> out,
                           std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return ReadOutcome::Missing;
    error = SystemError("cannot read", path);
    return ReadOutcome::Failed;
  }
  if (!S_ISREG(st.st_mode) || st.st_size != static_cast<off_t>(out.size()))
    return ReadOutcome::WrongSize;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = SystemError("cannot open", path);
    return ReadOutcome::Failed;
  }
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return got == out.size() ? ReadOutcome::Read : ReadOutcome::WrongSize;
}

bool ReplaceAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error) {
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = SystemError("cannot create", temp);
    return false;
  }
  if (!WriteAll(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) {
    error = SystemError("cannot write", temp);
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  ::close(fd);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    error = SystemError("cannot replace", path);
    ::unlink(temp.c_str());
    return false;
  }
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); d >= 0) {
    ::fsync(d);
    ::close(d);
  }
  return true;
}

}  // namespace vantor::sim
