#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "link/DeviceFile.h"
#include "sim/StateFiles.h"
#include "sim/Texts.h"

namespace vantor::sim {

namespace {

// Everything the server holds open; released in one place whatever way serving ends.
struct Resources {
  int master = -1;
  int slave = -1;
  int signals = -1;
  sigset_t oldMask{};
  bool maskChanged = false;
  std::string link;
  std::string idFile;
  FileLock lock;  // released last: clients see the link as live while it exists

  ~Resources() {
    if (!link.empty()) ::unlink(link.c_str());
    if (!idFile.empty()) ::unlink(idFile.c_str());
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
    if (signals >= 0) ::close(signals);
    if (maskChanged) ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  }
};

int Fail(std::ostream& log, const std::string& what) {
  log << what << ": " << std::strerror(errno) << std::endl;
  return 1;
}

}  // namespace

int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log) {
  return ServeVirtual(printer, clock, linkPath, console, log, ServeOptions{});
}

int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log, const ServeOptions& options) {
  std::ostream& errors = options.errors ? *options.errors : log;
  Resources r;
  // Signals are read as events, so the link and the ID file are always removed.
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  if (::pthread_sigmask(SIG_BLOCK, &mask, &r.oldMask) == 0) r.maskChanged = true;
  r.signals = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);

  r.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (r.master < 0) return Fail(errors, "cannot open a pseudo-terminal");
  if (::grantpt(r.master) != 0 || ::unlockpt(r.master) != 0) {
    return Fail(errors, "cannot unlock the pseudo-terminal");
  }
  char name[128] = {};
  if (::ptsname_r(r.master, name, sizeof name) != 0) return Fail(errors, "no pseudo-terminal name");
  // Our own hold on the terminal keeps the master from seeing a hang-up between clients.
  r.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (r.slave < 0) return Fail(errors, std::string("cannot open ") + name);
  termios t{};
  if (::tcgetattr(r.slave, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(r.slave, TCSANOW, &t);
  }
  ::fcntl(r.master, F_SETFL, ::fcntl(r.master, F_GETFL) | O_NONBLOCK);

  // One server per link, for as long as it serves; a link without a live holder is stale.
  std::string holder, lockError;
  if (!r.lock.Acquire(LockFileFor(linkPath), holder, lockError)) {
    if (lockError.empty()) {
      lockError =
          linkPath + " is served by " + (holder.empty() ? "another process" : "process " + holder);
    }
    errors << lockError << std::endl;
    return 1;
  }

  struct stat st {};
  if (::lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      errors << linkPath << " exists and is not a symbolic link" << std::endl;
      return 1;
    }
    ::unlink(linkPath.c_str());  // left by a server that did not end cleanly
  }
  if (::symlink(name, linkPath.c_str()) != 0) return Fail(errors, "cannot create " + linkPath);
  r.link = linkPath;

  std::vector<std::uint8_t> id(2 + printer.DeviceIdText().size());
  auto device = printer.Connect(InterfaceKind::Usb);
  id.resize(device->DeviceId(id));
  r.idFile = DeviceIdFileFor(linkPath);
  RemoveStaleTemporaries(r.idFile);
  if (std::string why; !ReplaceFile(r.idFile, id, 0644, why)) {
    r.idFile.clear();
    errors << "cannot write " << DeviceIdFileFor(linkPath) << ": " << why << std::endl;
    return 1;
  }

  log << texts::kServing << linkPath << std::endl;

  const bool consoleIsStdin = console.rdbuf() == std::cin.rdbuf();
  int consoleFd = consoleIsStdin ? STDIN_FILENO : -1;
  std::string consoleLine;
  std::vector<std::uint8_t> outgoing;
  std::vector<std::uint8_t> buffer(4096);
  bool running = true;
  while (running) {
    pollfd fds[3] = {{r.master, static_cast<short>(POLLIN | (outgoing.empty() ? 0 : POLLOUT)), 0},
                     {r.signals, POLLIN, 0},
                     {consoleFd, POLLIN, 0}};
    const int ready = ::poll(fds, consoleFd >= 0 ? 3 : 2, options.pollMs);
    if (ready < 0 && errno != EINTR) return Fail(errors, "poll");
    if (options.stop && options.stop->load()) break;
    if (r.signals >= 0 && (fds[1].revents & POLLIN)) break;

    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(r.master, buffer.data(), buffer.size());
      if (n > 0) device->Write({buffer.data(), static_cast<std::size_t>(n)}, 0);
    }
    // Replies, including late ones whose time has come.
    for (;;) {
      const IoResult io = device->Read(buffer, 0);
      if (io.count == 0) break;
      outgoing.insert(outgoing.end(), buffer.begin(), buffer.begin() + io.count);
    }
    while (!outgoing.empty()) {
      const ssize_t n = ::write(r.master, outgoing.data(), outgoing.size());
      if (n <= 0) break;  // the terminal is full; poll says when it drains
      outgoing.erase(outgoing.begin(), outgoing.begin() + n);
    }

    if (consoleFd >= 0 && (fds[2].revents & (POLLIN | POLLHUP))) {
      char chunk[256];
      const ssize_t n = ::read(consoleFd, chunk, sizeof chunk);
      if (n <= 0) {
        consoleFd = -1;  // no more console; serving goes on
      } else {
        consoleLine.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t nl; running && (nl = consoleLine.find('\n')) != std::string::npos;) {
          running = RunConsoleLine(printer, consoleLine.substr(0, nl), log);
          consoleLine.erase(0, nl + 1);
        }
      }
    } else if (!consoleIsStdin) {
      std::string line;
      while (running && console.rdbuf()->in_avail() > 0 && std::getline(console, line)) {
        running = RunConsoleLine(printer, line, log);
      }
    }
  }
  (void)clock;
  return 0;
}

}  // namespace vantor::sim
