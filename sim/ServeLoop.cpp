#include "sim/ServeLoop.h"

#include <istream>
#include <ostream>

#include "link/DeviceFile.h"
#include "link/StateFiles.h"
#include "sim/PtyServer.h"

namespace vantor::sim {

ServedPrinter::ServedPrinter(VirtualPrinter& printer)
    : printer_(printer), device_(printer.Connect(InterfaceKind::Usb)), buffer_(4096) {}

void ServedPrinter::FromHost(std::span<const std::uint8_t> bytes) {
  if (!bytes.empty()) device_->Write(bytes, 0);
}

void ServedPrinter::CollectReplies() {
  for (;;) {
    const IoResult io = device_->Read(buffer_, 0);
    if (io.count == 0) break;
    outgoing_.insert(outgoing_.end(), buffer_.begin(), buffer_.begin() + io.count);
  }
}

void ServedPrinter::Sent(std::size_t n) {
  outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<std::ptrdiff_t>(n));
}

void ServedPrinter::HostGone() {
  outgoing_.clear();
  device_ = printer_.Connect(InterfaceKind::Usb);
}

std::vector<std::uint8_t> ServedPrinter::DeviceId() {
  std::vector<std::uint8_t> id(2 + printer_.DeviceIdText().size());
  id.resize(device_->DeviceId(id));
  return id;
}

bool ConsoleLines::Feed(VirtualPrinter& printer, const char* bytes, std::size_t n,
                        std::ostream& log) {
  pending_.append(bytes, n);
  for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
    const std::string line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    if (!RunConsoleLine(printer, line, log)) return false;
  }
  return true;
}

bool ConsoleLines::Drain(VirtualPrinter& printer, std::istream& console, std::ostream& log) {
  std::string line;
  while (console.rdbuf()->in_avail() > 0 && std::getline(console, line)) {
    if (!RunConsoleLine(printer, line, log)) return false;
  }
  return true;
}

bool WriteDeviceIdFile(std::span<const std::uint8_t> id, const std::string& linkPath,
                       std::ostream& errors) {
  const std::string file = DeviceIdFileFor(linkPath);
  RemoveStaleTemporaries(file);
  if (std::string why; !ReplaceFile(file, id, 0644, why)) {
    errors << "cannot write " << file << ": " << why << std::endl;
    return false;
  }
  return true;
}

}  // namespace vantor::sim
