#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/ImageFile.h"

namespace vantor::sim {

ReadOutcome ReadWholeImage(const std::string& path, std::span<std::uint8_t> out,
                           std::string& reason) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return ReadOutcome::Missing;
    reason = std::strerror(errno);
    return ReadOutcome::CannotRead;
  }
  if (!S_ISREG(st.st_mode) || st.st_size != static_cast<off_t>(out.size())) {
    return ReadOutcome::WrongSize;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return ReadOutcome::CannotOpen;
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

}  // namespace vantor::sim
