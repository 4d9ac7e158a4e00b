// The device beneath PrinterPort: a device file, a USB or parallel backend, or the virtual printer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "Model.h"

namespace vantor {

// The 10-second rule: the longest a transfer may take, and a reply that has begun may take to
// come whole, whatever the caller's own wait.
inline constexpr std::int64_t kTransferLimitMs = 10'000;

struct IoResult {
  bool ok = true;
  std::size_t count = 0;
};

class PortDevice {
 public:
  virtual ~PortDevice() = default;
  // Writes as many bytes as it can before limitMs passes; continues partial writes itself.
  virtual IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) = 0;
  // Byte stream: waits up to limitMs for data, returns what has arrived (count 0: nothing came).
  virtual IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) = 0;
  // One whole reply, as a USB printer port delivers it (count 0: none began within limitMs).
  // A reply longer than the buffer is delivered in pieces on later calls.
  virtual IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) = 0;
  // The IEEE 1284 device-ID reply as the port gives it; returns the bytes copied (0: no reply).
  virtual std::size_t DeviceId(std::span<std::uint8_t> buffer) = 0;
};

// Why a device could not be opened, for the port doctor and traces.
struct OpenFailure {
  std::string reason;
  // Another user holds the device for its session; holder is its process number when the
  // system can say.
  bool inUse = false;
  std::string holder;
};

// Maps the six interface names to devices. A name that maps to nothing opens nothing.
class PortTable {
 public:
  using Opener = std::function<std::unique_ptr<PortDevice>(InterfaceKind, OpenFailure&)>;

  void Set(std::string_view name, std::string description, Opener opener);
  bool Has(std::string_view name) const;
  std::string Describe(std::string_view name) const;
  // nullptr when the name maps to nothing or the device cannot be opened.
  std::unique_ptr<PortDevice> Open(std::string_view name, InterfaceKind kind,
                                   OpenFailure& why) const;

 private:
  struct Entry {
    std::string description;
    Opener opener;
  };
  std::map<std::string, Entry, std::less<>> entries_;
};

}  // namespace vantor
