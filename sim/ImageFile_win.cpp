#include "link/WinText.h"
#include "sim/ImageFile.h"

namespace vantor::sim {

ReadOutcome ReadWholeImage(const std::string& path, std::span<std::uint8_t> out,
                           std::string& reason) {
  const DWORD attributes = GetFileAttributesW(win::Widen(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return ReadOutcome::WrongSize;
  }
  // Binary by nature: no CRT text mode to turn 0A into 0D 0A or stop at 1A.
  HANDLE h = CreateFileW(win::Widen(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND) return ReadOutcome::Missing;
    reason = win::ErrorText(err);
    return err == ERROR_PATH_NOT_FOUND ? ReadOutcome::CannotRead : ReadOutcome::CannotOpen;
  }
  LARGE_INTEGER size{};
  ReadOutcome outcome = ReadOutcome::WrongSize;
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size) &&
      size.QuadPart == static_cast<LONGLONG>(out.size())) {
    DWORD got = 0;
    if (ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr) &&
        got == out.size()) {
      outcome = ReadOutcome::Read;
    }
  }
  CloseHandle(h);
  return outcome;
}

}  // namespace vantor::sim
