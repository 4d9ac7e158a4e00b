// The virtual printer's EEPROM and the file that keeps it between runs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/FactoryCommands.h"
#include "sim/VirtualPrinter.h"

namespace vantor::sim {

namespace {

constexpr std::uint8_t kExchangeFilled = 0x10;

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

// Writes a temporary file beside the target, syncs it and renames it over the target, so a
// crash leaves either the old image or the new one, never a mixture.
bool WriteAtomically(const std::string& path, const EepromBytes& image, std::string& error) {
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = SystemError("cannot create", temp);
    return false;
  }
  if (!WriteAll(fd, image.data(), image.size()) || ::fsync(fd) != 0) {
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

}  // namespace

bool VirtualPrinter::UseStateFile(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || st.st_size != static_cast<off_t>(eeprom_.size())) {
      error = path + " is not a 256-byte EEPROM image";
      return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = SystemError("cannot open", path);
      return false;
    }
    EepromBytes image{};
    std::size_t got = 0;
    while (got < image.size()) {
      const ssize_t n = ::read(fd, image.data() + got, image.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != image.size()) {
      error = path + " is not a 256-byte EEPROM image";
      return false;
    }
    eeprom_ = image;
  } else if (errno != ENOENT) {
    error = SystemError("cannot read", path);
    return false;
  } else if (!WriteAtomically(path, eeprom_, error)) {
    return false;
  }
  statePath_ = path;
  dirty_ = lazyDirty_ = false;
  saveError_.clear();
  // Power-on: a printer left with transport liquid waits for its initial charge.
  beforeFill_ = eeprom_[eeprom::kExchangeState] == kExchangeFilled;
  Changed();
  return true;
}

void VirtualPrinter::Store(std::uint8_t address, std::uint8_t value) {
  if (eeprom_[address] == value) return;
  eeprom_[address] = value;
  dirty_ = true;
}

bool VirtualPrinter::Save() {
  if (statePath_.empty()) {
    dirty_ = false;
    return true;
  }
  std::string error;
  if (!WriteAtomically(statePath_, eeprom_, error)) {
    saveError_ = error;
    return false;  // still dirty: the next change tries again
  }
  saveError_.clear();
  dirty_ = lazyDirty_ = false;
  return true;
}

void VirtualPrinter::SaveIfDirty() {
  if (dirty_) Save();
}

void VirtualPrinter::SetEeprom(std::uint8_t address, std::uint8_t value) {
  Store(address, value);
  SaveIfDirty();
  Changed();
}

void VirtualPrinter::Changed() {
  if (!observer_ || notifying_) return;
  notifying_ = true;
  observer_();
  notifying_ = false;
}

}  // namespace vantor::sim
