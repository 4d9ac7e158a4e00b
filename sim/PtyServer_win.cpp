// The virtual printer on a named pipe (\\.\pipe\NAME), Windows' counterpart of the
// pseudo-terminal: one client at a time, a new one may connect when the last has gone.
// First: it includes windows.h and takes back the name ReplaceFile from it.
#include "link/WinText.h"
// Then the rest.
#include <atomic>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

#include "link/DeviceFile.h"
#include "sim/PtyServer.h"
#include "sim/ServeLoop.h"
#include "sim/Texts.h"

namespace vantor::sim {

namespace {

std::atomic<bool> gInterrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD) {
  gInterrupted = true;
  return TRUE;
}

// Console lines from standard input, read by a thread of their own: a console handle cannot
// be waited on together with a pipe.
struct StdinLines {
  std::mutex mutex;
  std::deque<std::string> lines;
};

void ReadStdin(std::shared_ptr<StdinLines> shared) {
  std::string line;
  while (std::getline(std::cin, line)) {
    const std::lock_guard lock(shared->mutex);
    shared->lines.push_back(line);
  }
}

int Fail(std::ostream& log, const std::string& what) {
  log << what << ": " << win::ErrorText(GetLastError()) << std::endl;
  return 1;
}

struct Resources {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  HANDLE readDone = nullptr;
  HANDLE connected = nullptr;
  std::string idFile;

  ~Resources() {
    if (pipe != INVALID_HANDLE_VALUE) {
      CancelIoEx(pipe, nullptr);
      CloseHandle(pipe);
    }
    if (readDone) CloseHandle(readDone);
    if (connected) CloseHandle(connected);
    if (!idFile.empty()) DeleteFileA(idFile.c_str());
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  }
};

// One client at a time on the pipe: waits for it to connect, keeps one read pending, drops it
// when its end closes.
class PipeClient {
 public:
  explicit PipeClient(Resources& r) : r_(r), incoming_(4096) {}

  // Starts waiting for a client and a read, as far as the state allows; false on a failure
  // that ends serving.
  bool Arm() {
    if (!client_ && !waitingForClient_) {
      connect_ = OVERLAPPED{};
      connect_.hEvent = r_.connected;
      ResetEvent(r_.connected);
      if (ConnectNamedPipe(r_.pipe, &connect_) || GetLastError() == ERROR_PIPE_CONNECTED) {
        client_ = true;
      } else if (GetLastError() == ERROR_IO_PENDING) {
        waitingForClient_ = true;
      } else {
        return false;
      }
    }
    if (client_ && !reading_) {
      read_ = OVERLAPPED{};
      read_.hEvent = r_.readDone;
      ResetEvent(r_.readDone);
      if (ReadFile(r_.pipe, incoming_.data(), static_cast<DWORD>(incoming_.size()), nullptr,
                   &read_) ||
          GetLastError() == ERROR_IO_PENDING) {
        reading_ = true;
      } else {
        Drop();
      }
    }
    return true;
  }

  // Waits up to pollMs for a client or for bytes, and hands bytes read to the printer.
  void Poll(int pollMs, ServedPrinter& served) {
    const HANDLE waitOn = waitingForClient_ ? r_.connected : r_.readDone;
    const bool signalled = WaitForSingleObject(waitOn, static_cast<DWORD>(pollMs)) == WAIT_OBJECT_0;
    if (waitingForClient_ && signalled) {
      DWORD ignored = 0;
      waitingForClient_ = false;
      client_ = GetOverlappedResult(r_.pipe, &connect_, &ignored, FALSE) != 0;
    } else if (reading_ && signalled) {
      DWORD n = 0;
      reading_ = false;
      if (GetOverlappedResult(r_.pipe, &read_, &n, FALSE)) {
        served.FromHost({incoming_.data(), n});
      } else {
        Drop();  // the client closed its end
      }
    }
  }

  // Sends the printer's replies whole, or drops them when nobody is there to hear them.
  void Send(std::vector<std::uint8_t>& out) {
    if (client_ && !out.empty()) {
      OVERLAPPED write{};
      write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      DWORD n = 0;
      const bool ok =
          (WriteFile(r_.pipe, out.data(), static_cast<DWORD>(out.size()), nullptr, &write) ||
           GetLastError() == ERROR_IO_PENDING) &&
          GetOverlappedResult(r_.pipe, &write, &n, TRUE);
      CloseHandle(write.hEvent);
      if (!ok) Drop();
    }
    out.clear();
  }

 private:
  void Drop() {
    CancelIoEx(r_.pipe, nullptr);
    DisconnectNamedPipe(r_.pipe);
    client_ = reading_ = false;
  }

  Resources& r_;
  OVERLAPPED connect_{};
  OVERLAPPED read_{};
  bool client_ = false;
  bool reading_ = false;
  bool waitingForClient_ = false;
  std::vector<std::uint8_t> incoming_;
};

// The first instance of the pipe only, so no lock file is needed, and the pipe is gone with its
// server, so it is never stale. 0 when it is there, else the exit status.
int CreatePipe(Resources& r, const std::string& linkPath, std::ostream& errors) {
  if (!linkPath.starts_with("\\\\.\\pipe\\")) {
    errors << linkPath << " is not a pipe name (\\\\.\\pipe\\NAME)" << std::endl;
    return 1;
  }
  r.pipe = CreateNamedPipeW(
      win::Widen(linkPath).c_str(),
      PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 1 << 16, 1 << 16, 0, nullptr);
  if (r.pipe == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_PIPE_BUSY) {
      errors << linkPath << " is served by another process" << std::endl;
      return 1;
    }
    return Fail(errors, "cannot create " + linkPath);
  }
  r.readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  r.connected = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return 0;
}

// Runs the console lines typed since the last turn; false once one of them ends serving.
bool RunConsole(VirtualPrinter& printer, StdinLines* stdinLines, std::istream& console,
                std::ostream& log) {
  if (stdinLines == nullptr) return ConsoleLines::Drain(printer, console, log);
  std::deque<std::string> lines;
  {
    const std::lock_guard lock(stdinLines->mutex);
    lines.swap(stdinLines->lines);
  }
  for (const auto& line : lines) {
    if (!RunConsoleLine(printer, line, log)) return false;
  }
  return true;
}

}  // namespace

int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log) {
  return ServeVirtual(printer, clock, linkPath, console, log, ServeOptions{});
}

int ServeVirtual(VirtualPrinter& printer, Clock& /*clock*/, const std::string& linkPath,
                 std::istream& console, std::ostream& log, const ServeOptions& options) {
  std::ostream& errors = options.errors ? *options.errors : log;
  Resources r;
  gInterrupted = false;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  if (const int status = CreatePipe(r, linkPath, errors); status != 0) return status;

  ServedPrinter served(printer);
  if (!WriteDeviceIdFile(served.DeviceId(), linkPath, errors)) return 1;
  r.idFile = DeviceIdFileFor(linkPath);

  log << texts::kServing << linkPath << std::endl;

  std::shared_ptr<StdinLines> stdinLines;
  if (console.rdbuf() == std::cin.rdbuf()) {
    stdinLines = std::make_shared<StdinLines>();
    std::thread(ReadStdin, stdinLines).detach();
  }

  PipeClient pipe(r);
  bool running = true;
  while (running && !(options.stop && options.stop->load()) && !gInterrupted) {
    if (!pipe.Arm()) return Fail(errors, "cannot wait for a client on " + linkPath);
    pipe.Poll(options.pollMs, served);
    served.CollectReplies();
    pipe.Send(served.Outgoing());
    running = RunConsole(printer, stdinLines.get(), console, log);
  }
  return 0;
}

int ServeVirtualOnDevice(VirtualPrinter&, const std::string&, std::istream&, std::ostream& log,
                         const ServeOptions& options) {
  (options.errors ? *options.errors : log)
      << "serving on a device file is for Linux; serve on a pipe name (--link)" << std::endl;
  return 1;
}

}  // namespace vantor::sim
