// The virtual printer on a pseudo-terminal, so that the device-file path can be driven end to
// end by a separate program.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>

#include "link/Clock.h"
#include "sim/VirtualPrinter.h"

namespace vantor::sim {

struct ServeOptions {
  // Serving ends when this becomes true (tests); SIGINT and SIGTERM end it too.
  const std::atomic<bool>* stop = nullptr;
  // How often the loop looks at the console, the stop flag and delayed replies.
  int pollMs = 50;
  // Where failures are told; the log when null.
  std::ostream* errors = nullptr;
};

// Serves until quit, SIGINT or SIGTERM; returns the exit status. The symbolic link linkPath
// leads to the terminal, and the device ID lies beside it for the client. Console lines (from
// standard input when console is std::cin): ink, paper out, paper in, error NN, clear, lever N,
// nozzle, fault KIND[,...] (see Faults::Apply), status, quit. The end of the console input does not
// end serving.
int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log, const ServeOptions& options);
int ServeVirtual(VirtualPrinter& printer, Clock& clock, const std::string& linkPath,
                 std::istream& console, std::ostream& log);

// Serves on an existing character device instead (a USB gadget's printer file): the host is
// whoever is at its other end. The host going away (the cable pulled) drops what it did not
// hear, and the next host starts afresh. No device-ID file: the device's own driver answers
// that request. Not on Windows.
int ServeVirtualOnDevice(VirtualPrinter& printer, const std::string& devicePath,
                         std::istream& console, std::ostream& log, const ServeOptions& options);

// One console line; false when it asks to quit.
bool RunConsoleLine(VirtualPrinter& printer, const std::string& line, std::ostream& log);

}  // namespace vantor::sim
