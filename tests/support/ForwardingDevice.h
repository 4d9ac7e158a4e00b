// Hands the port a view of a device the test keeps, so the test can inspect it afterwards.
#pragma once

#include "link/PortDevice.h"

namespace vantor::test {

class ForwardingDevice final : public PortDevice {
 public:
  explicit ForwardingDevice(PortDevice& target) : target_(target) {}
  IoResult Write(std::span<const std::uint8_t> b, std::int64_t l) override {
    return target_.Write(b, l);
  }
  IoResult Read(std::span<std::uint8_t> b, std::int64_t l) override { return target_.Read(b, l); }
  IoResult ReadReply(std::span<std::uint8_t> b, std::int64_t l) override {
    return target_.ReadReply(b, l);
  }
  std::size_t DeviceId(std::span<std::uint8_t> b) override { return target_.DeviceId(b); }

 private:
  PortDevice& target_;
};

}  // namespace vantor::test
