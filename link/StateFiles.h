// Files kept beside other programs' files (the virtual printer's state, backups): replaced
// whole, never through a planted link, and held by one process at a time.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace vantor {

// The file a chain of symbolic links ends at (the path itself when it is no link).
std::string FollowLinks(const std::string& path);

// Replaces path with bytes through a fresh temporary file beside it, so a crash leaves the old
// content or the new, never a mixture. An existing file keeps its mode; a new one gets
// newMode (permission bits, where the system has them). On failure error holds the system's reason.
bool ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes, unsigned newMode,
                 std::string& error);

// Removes the temporary files that processes no longer running left beside path.
void RemoveStaleTemporaries(const std::string& path);

// An exclusive lock held for the object's lifetime; the lock file names its holder.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileLock& operator=(FileLock&& other) noexcept {
    if (this != &other) {
      Release();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  // False when another process holds it (holder receives its process number, or empty)
  // or when the lock file cannot be made (error says why).
  bool Acquire(const std::string& lockPath, std::string& holder, std::string& error);
  void Release();
  bool Held() const { return fd_ >= 0; }

  // Whether a live process holds the lock at lockPath, without taking it.
  static bool IsHeld(const std::string& lockPath);

 private:
  int fd_ = -1;
};

}  // namespace vantor
