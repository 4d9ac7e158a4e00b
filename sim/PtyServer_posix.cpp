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
#include "link/StateFiles.h"
#include "sim/PtyServer.h"
#include "sim/ServeLoop.h"
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

// Signals are read as events, so that whatever serving made is always removed.
void CatchSignals(Resources& r) {
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  if (::pthread_sigmask(SIG_BLOCK, &mask, &r.oldMask) == 0) r.maskChanged = true;
  r.signals = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
}

bool HostWentAway(int error) {
  return error != EAGAIN && error != EWOULDBLOCK && error != EINTR;
}

int OpenDevice(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
}

// The loop of both carriers. A terminal's host never goes away (the server holds its other
// end). A device's host may: the device is then closed and opened again on every round until
// it opens. Closed at once, because a gadget's printer file is made anew when the gadget is
// bound again, and a file kept open across that breaks the kernel's list of its users.
int Serve(Resources& r, const std::string* device, VirtualPrinter& printer, std::istream& console,
          std::ostream& log, std::ostream& errors, const ServeOptions& options) {
  const bool hostCanGo = device != nullptr;
  ServedPrinter served(printer);
  const bool consoleIsStdin = console.rdbuf() == std::cin.rdbuf();
  int consoleFd = consoleIsStdin ? STDIN_FILENO : -1;
  ConsoleLines consoleLines;
  std::vector<std::uint8_t> buffer(4096);
  bool hostThere = true;
  const auto hostGone = [&] {
    served.HostGone();
    ::close(r.master);
    r.master = -1;
    hostThere = false;
  };
  bool running = true;
  while (running) {
    if (!hostThere) hostThere = (r.master = OpenDevice(*device)) >= 0;
    const int fd = r.master;
    const short want = static_cast<short>(POLLIN | (served.Outgoing().empty() ? 0 : POLLOUT));
    pollfd fds[3] = {
        {hostThere ? fd : -1, want, 0}, {r.signals, POLLIN, 0}, {consoleFd, POLLIN, 0}};
    const int ready = ::poll(fds, consoleFd >= 0 ? 3 : 2, options.pollMs);
    if (ready < 0 && errno != EINTR) return Fail(errors, "poll");
    if (options.stop && options.stop->load()) break;
    if (r.signals >= 0 && (fds[1].revents & POLLIN)) break;

    if (hostCanGo && (fds[0].revents & (POLLERR | POLLHUP))) hostGone();
    if (hostThere && (fds[0].revents & POLLIN)) {
      const ssize_t n = ::read(fd, buffer.data(), buffer.size());
      if (n > 0) {
        served.FromHost({buffer.data(), static_cast<std::size_t>(n)});
      } else if (hostCanGo && (n == 0 || HostWentAway(errno))) {
        hostGone();
      }
    }
    served.CollectReplies();
    if (!hostThere) served.Outgoing().clear();  // nobody to hear them
    while (!served.Outgoing().empty()) {
      const ssize_t n = ::write(fd, served.Outgoing().data(), served.Outgoing().size());
      if (n > 0) {
        served.Sent(static_cast<std::size_t>(n));
        continue;
      }
      if (hostCanGo && n < 0 && HostWentAway(errno)) hostGone();
      break;  // full; poll says when it drains
    }

    if (consoleFd >= 0 && (fds[2].revents & (POLLIN | POLLHUP))) {
      char chunk[256];
      const ssize_t n = ::read(consoleFd, chunk, sizeof chunk);
      if (n <= 0) {
        consoleFd = -1;  // no more console; serving goes on
      } else {
        running = consoleLines.Feed(printer, chunk, static_cast<std::size_t>(n), log);
      }
    } else if (!consoleIsStdin) {
      running = ConsoleLines::Drain(printer, console, log);
    }
  }
  return 0;
}

}  // namespace

int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log) {
  return ServeVirtual(printer, clock, linkPath, console, log, ServeOptions{});
}

int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log, const ServeOptions& options) {
  (void)clock;
  std::ostream& errors = options.errors ? *options.errors : log;
  Resources r;
  CatchSignals(r);

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

  if (!WriteDeviceIdFile(ServedPrinter(printer).DeviceId(), linkPath, errors)) return 1;
  r.idFile = DeviceIdFileFor(linkPath);

  log << texts::kServing << linkPath << std::endl;
  return Serve(r, nullptr, printer, console, log, errors, options);
}

int ServeVirtualOnDevice(VirtualPrinter& printer, const std::string& devicePath,
                         std::istream& console, std::ostream& log, const ServeOptions& options) {
  std::ostream& errors = options.errors ? *options.errors : log;
  Resources r;
  CatchSignals(r);
  // Held as the master is, so that it is closed on every way out.
  r.master = OpenDevice(devicePath);
  if (r.master < 0) return Fail(errors, "cannot open " + devicePath);
  struct stat st {};
  if (::fstat(r.master, &st) != 0 || !S_ISCHR(st.st_mode)) {
    errors << devicePath << " is not a character device" << std::endl;
    return 1;
  }
  log << texts::kServing << devicePath << std::endl;
  return Serve(r, &devicePath, printer, console, log, errors, options);
}

}  // namespace vantor::sim
