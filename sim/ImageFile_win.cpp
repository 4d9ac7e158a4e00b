#include <windows.h>

#include "sim/ImageFile.h"

namespace vantor::sim {

namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string SystemError(const std::string& what, const std::string& path) {
  char text[256] = {};
  const DWORD err = GetLastError();
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err,
                           0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.')) --n;
  return what + " " + path + ": " +
         (n > 0 ? std::string(text, n) : "Windows error " + std::to_string(err));
}

}  // namespace

ReadOutcome ReadWholeImage(const std::string& path, std::span<std::uint8_t> out,
                           std::string& error) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND) return ReadOutcome::Missing;
    error = SystemError(err == ERROR_PATH_NOT_FOUND ? "cannot read" : "cannot open", path);
    return ReadOutcome::Failed;
  }
  LARGE_INTEGER size{};
  ReadOutcome outcome = ReadOutcome::WrongSize;
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size) &&
      size.QuadPart == static_cast<LONGLONG>(out.size())) {
    DWORD got = 0;
    if (ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size())
      outcome = ReadOutcome::Read;
  }
  CloseHandle(h);
  return outcome;
}

bool ReplaceAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error) {
  const std::string temp = path + ".tmp." + std::to_string(GetCurrentProcessId());
  HANDLE h = CreateFileW(Widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = SystemError("cannot create", temp);
    return false;
  }
  DWORD written = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && FlushFileBuffers(h);
  if (!ok) error = SystemError("cannot write", temp);
  CloseHandle(h);
  if (ok && !MoveFileExW(Widen(temp).c_str(), Widen(path).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = SystemError("cannot replace", path);
  } else if (ok) {
    return true;
  }
  DeleteFileW(Widen(temp).c_str());
  return false;
}

}  // namespace vantor::sim
