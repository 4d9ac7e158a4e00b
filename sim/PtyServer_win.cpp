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

}  // namespace

int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log) {
  return ServeVirtual(printer, clock, linkPath, console, log, ServeOptions{});
}

int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log, const ServeOptions& options) {
  std::ostream& errors = options.errors ? *options.errors : log;
  Resources r;
  gInterrupted = false;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  if (!linkPath.starts_with("\\\\.\\pipe\\")) {
    errors << linkPath << " is not a pipe name (\\\\.\\pipe\\NAME)" << std::endl;
    return 1;
  }
  // One server per name: the first instance only, so no lock file is needed, and the pipe is
  // gone with its server, so it is never stale.
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

  ServedPrinter served(printer);
  if (!WriteDeviceIdFile(served.DeviceId(), linkPath, errors)) return 1;
  r.idFile = DeviceIdFileFor(linkPath);

  log << texts::kServing << linkPath << std::endl;

  std::shared_ptr<StdinLines> stdinLines;
  if (console.rdbuf() == std::cin.rdbuf()) {
    stdinLines = std::make_shared<StdinLines>();
    std::thread(ReadStdin, stdinLines).detach();
  }

  OVERLAPPED connect{};
  OVERLAPPED read{};
  bool client = false;
  bool reading = false;
  bool waitingForClient = false;
  std::vector<std::uint8_t> incoming(4096);
  const auto dropClient = [&] {
    CancelIoEx(r.pipe, nullptr);
    DisconnectNamedPipe(r.pipe);
    client = reading = false;
  };
  bool running = true;
  while (running) {
    if (options.stop && options.stop->load()) break;
    if (gInterrupted) break;
    if (!client && !waitingForClient) {
      connect = OVERLAPPED{};
      connect.hEvent = r.connected;
      ResetEvent(r.connected);
      if (ConnectNamedPipe(r.pipe, &connect)) {
        client = true;
      } else if (GetLastError() == ERROR_PIPE_CONNECTED) {
        client = true;
      } else if (GetLastError() == ERROR_IO_PENDING) {
        waitingForClient = true;
      } else {
        return Fail(errors, "cannot wait for a client on " + linkPath);
      }
    }
    if (client && !reading) {
      read = OVERLAPPED{};
      read.hEvent = r.readDone;
      ResetEvent(r.readDone);
      if (ReadFile(r.pipe, incoming.data(), static_cast<DWORD>(incoming.size()), nullptr, &read) ||
          GetLastError() == ERROR_IO_PENDING) {
        reading = true;
      } else {
        dropClient();
      }
    }
    const HANDLE waitOn = waitingForClient ? r.connected : r.readDone;
    const bool signalled =
        WaitForSingleObject(waitOn, static_cast<DWORD>(options.pollMs)) == WAIT_OBJECT_0;
    if (waitingForClient && signalled) {
      DWORD ignored = 0;
      waitingForClient = false;
      client = GetOverlappedResult(r.pipe, &connect, &ignored, FALSE) != 0;
    } else if (reading && signalled) {
      DWORD n = 0;
      reading = false;
      if (GetOverlappedResult(r.pipe, &read, &n, FALSE)) {
        served.FromHost({incoming.data(), n});
      } else {
        dropClient();  // the client closed its end
      }
    }
    served.CollectReplies();
    if (client && !served.Outgoing().empty()) {
      std::vector<std::uint8_t>& out = served.Outgoing();
      OVERLAPPED write{};
      write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      DWORD n = 0;
      const bool ok =
          (WriteFile(r.pipe, out.data(), static_cast<DWORD>(out.size()), nullptr, &write) ||
           GetLastError() == ERROR_IO_PENDING) &&
          GetOverlappedResult(r.pipe, &write, &n, TRUE);
      CloseHandle(write.hEvent);
      if (!ok) dropClient();
    }
    served.Outgoing().clear();  // sent whole, or nobody to hear it

    if (stdinLines) {
      std::deque<std::string> lines;
      {
        const std::lock_guard lock(stdinLines->mutex);
        lines.swap(stdinLines->lines);
      }
      for (const auto& line : lines) {
        if (running) running = RunConsoleLine(printer, line, log);
      }
    } else {
      running = ConsoleLines::Drain(printer, console, log);
    }
  }
  (void)clock;
  return 0;
}

int ServeVirtualOnDevice(VirtualPrinter&, const std::string&, std::istream&, std::ostream& log,
                         const ServeOptions& options) {
  (options.errors ? *options.errors : log)
      << "serving on a device file is for Linux; serve on a pipe name (--link)" << std::endl;
  return 1;
}

}  // namespace vantor::sim
