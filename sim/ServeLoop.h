// What serving the virtual printer to another program does on every platform, whatever carries
// the bytes: the device ID beside the served name, the bytes to and from the printer, and the
// console lines.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "link/PortDevice.h"
#include "sim/VirtualPrinter.h"

namespace vantor::sim {

// The printer as the host sees it through the carrier.
class ServedPrinter {
 public:
  explicit ServedPrinter(VirtualPrinter& printer);

  void FromHost(std::span<const std::uint8_t> bytes);
  // Takes the replies whose time has come (late ones too) into Outgoing().
  void CollectReplies();
  std::vector<std::uint8_t>& Outgoing() { return outgoing_; }
  // The carrier sent n bytes of Outgoing().
  void Sent(std::size_t n);
  // The host went away (a cable pulled): what it did not hear is dropped, and the next host
  // starts from a fresh link, as after a real printer's USB reset.
  void HostGone();
  // The device ID as the USB request returns it: two bytes of length, then the text.
  std::vector<std::uint8_t> DeviceId();

 private:
  VirtualPrinter& printer_;
  std::unique_ptr<PortDevice> device_;
  std::vector<std::uint8_t> outgoing_;
  std::vector<std::uint8_t> buffer_;
};

// Console lines gathered from the pieces a nonblocking read gives.
class ConsoleLines {
 public:
  // False when a line asks to quit.
  bool Feed(VirtualPrinter& printer, const char* bytes, std::size_t n, std::ostream& log);
  // The lines a stream other than standard input holds already (tests).
  static bool Drain(VirtualPrinter& printer, std::istream& console, std::ostream& log);

 private:
  std::string pending_;
};

// Writes the device-ID file for clients of linkPath; on failure says why on errors.
bool WriteDeviceIdFile(std::span<const std::uint8_t> id, const std::string& linkPath,
                       std::ostream& errors);

}  // namespace vantor::sim
