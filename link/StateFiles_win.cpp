// State files on Windows: replaced with MoveFileEx, locked with LockFileEx. The lock is a
// CRT descriptor around the handle, so FileLock is one class on both platforms.
// First: it includes windows.h and takes back the name ReplaceFile from it.
#include "link/WinText.h"
// Then the C runtime.
#include <fcntl.h>
#include <io.h>

#include <random>

#include "link/StateFiles.h"

namespace vantor {

namespace {

// Far past any content: the holder's number at the start stays readable while locked
// (Windows' byte-range locks keep other processes from reading what they cover).
constexpr DWORD kLockOffsetHigh = 0x40000000;

std::string RandomSuffix() {
  static std::mt19937_64 engine{std::random_device{}()};
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(8, 'a');
  for (char& c : s) c = kChars[engine() % (sizeof kChars - 1)];
  return s;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

bool ProcessGone(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  DWORD code = 0;
  const bool gone = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return gone;
}

bool TryLock(HANDLE h, DWORD flags) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  return LockFileEx(h, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

HANDLE OpenLockFile(const std::string& lockPath, DWORD access, DWORD disposition) {
  // Never through a planted link.
  return CreateFileW(win::Widen(lockPath).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

// Links are rare on Windows and need privileges to make: the path is taken as it is.
std::string FollowLinks(const std::string& path) {
  return path;
}

// Windows has no mode bits: the new file takes its folder's permissions.
bool ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes, unsigned,
                 std::string& error) {
  std::string temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path + ".tmp." + std::to_string(GetCurrentProcessId()) + "." + RandomSuffix();
    // CREATE_NEW: only when nothing, not even a link, has the name already.
    h = CreateFileW(win::Widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    error = win::ErrorText(GetLastError());
    return false;
  }
  DWORD written = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && FlushFileBuffers(h);
  const DWORD writeError = GetLastError();
  CloseHandle(h);
  if (ok && MoveFileExW(win::Widen(temp).c_str(), win::Widen(path).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  error = win::ErrorText(ok ? GetLastError() : writeError);
  DeleteFileW(win::Widen(temp).c_str());
  return false;
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp.";
  const std::string dir = DirectoryOf(path);
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(win::Widen(dir + "\\" + prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = win::Narrow(found.cFileName);
    if (!name.starts_with(prefix)) continue;
    // NAME.tmp.PID or NAME.tmp.PID.RANDOM
    const std::string rest = name.substr(prefix.size());
    const std::string digits = rest.substr(0, rest.find('.'));
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    if (ProcessGone(static_cast<DWORD>(std::stoul(digits)))) {
      DeleteFileW(win::Widen(dir + "\\" + name).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

FileLock::~FileLock() {
  Release();
}

void FileLock::Release() {
  if (fd_ >= 0) _close(fd_);  // closes the handle, and its lock with it
  fd_ = -1;
}

bool FileLock::Acquire(const std::string& lockPath, std::string& holder, std::string& error) {
  Release();
  holder.clear();
  HANDLE h = OpenLockFile(lockPath, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) {
    error = "cannot lock " + lockPath + ": " + win::ErrorText(GetLastError());
    return false;
  }
  if (!TryLock(h, LOCKFILE_EXCLUSIVE_LOCK)) {
    const DWORD why = GetLastError();
    if (why == ERROR_LOCK_VIOLATION || why == ERROR_IO_PENDING) {
      char text[16] = {};
      DWORD n = 0;
      if (ReadFile(h, text, sizeof text - 1, &n, nullptr) && n > 0) holder.assign(text, n);
      while (!holder.empty() &&
             (holder.back() == '\n' || holder.back() == '\r' || holder.back() == ' ')) {
        holder.pop_back();
      }
    } else {
      error = "cannot lock " + lockPath + ": " + win::ErrorText(why);
    }
    CloseHandle(h);
    return false;
  }
  const std::string pid = std::to_string(GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  if (SetEndOfFile(h)) WriteFile(h, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR);
  if (fd < 0) {
    CloseHandle(h);
    error = "cannot lock " + lockPath;
    return false;
  }
  fd_ = fd;
  return true;
}

bool FileLock::IsHeld(const std::string& lockPath) {
  HANDLE h = OpenLockFile(lockPath, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool held = !TryLock(h, 0);
  CloseHandle(h);  // also drops the shared lock just taken
  return held;
}

}  // namespace vantor
