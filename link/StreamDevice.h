// What the device files of both platforms share: a byte stream with no message boundaries,
// where the header's length field tells where a reply ends.
#pragma once

#include <string>
#include <vector>

#include "DeviceFile.h"
#include "PortDevice.h"

namespace vantor {

class StreamDevice : public PortDevice {
 public:
  IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) final;
  IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) final;

 protected:
  // Waits up to limitMs for bytes and returns what came (count 0: nothing).
  virtual IoResult ReadSome(std::span<std::uint8_t> buffer, std::int64_t limitMs) = 0;

 private:
  std::size_t TakePending(std::span<std::uint8_t> buffer);

  std::vector<std::uint8_t> pending_;
};

std::int64_t SteadyMs();
std::string ReadWholeFile(const std::string& path);
// The device ID the file beside the device holds (the virtual printer writes it), as stored.
std::size_t DeviceIdFromFile(const DeviceFileOptions& options, std::span<std::uint8_t> buffer);

}  // namespace vantor
