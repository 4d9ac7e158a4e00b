// A link over a scripted printer on virtual time.
#pragma once

#include <gtest/gtest.h>

#include "ScriptedPrinter.h"
#include "link/Link.h"

namespace vantor::test {

// Hands the port a view of a printer the test keeps.
class ForwardingDevice final : public PortDevice {
 public:
  explicit ForwardingDevice(PortDevice& target) : target_(target) {}
  IoResult Write(std::span<const std::uint8_t> b, std::int64_t l) override { return target_.Write(b, l); }
  IoResult Read(std::span<std::uint8_t> b, std::int64_t l) override { return target_.Read(b, l); }
  IoResult ReadReply(std::span<std::uint8_t> b, std::int64_t l) override {
    return target_.ReadReply(b, l);
  }
  std::size_t DeviceId(std::span<std::uint8_t> b) override { return target_.DeviceId(b); }

 private:
  PortDevice& target_;
};

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    for (std::string_view name : kPortNames) {
      table.Set(name, "scripted", [this](InterfaceKind, OpenFailure&) {
        return std::make_unique<ForwardingDevice>(printer);
      });
    }
    link.channel.SetModel(Model::Q40);
  }

  // Opens TVUSB1 (or the given port) and clears what the open wrote.
  void Open(PortCode code = 0x501) {
    ASSERT_EQ(link.port.OpenPort(code), kOk);
  }
  void StartLink(PortCode code = 0x501) {
    Open(code);
    ASSERT_EQ(link.channel.StartLink(), kOk);
    printer.written.clear();
  }

  VirtualClock clock;
  ScriptedPrinter printer{clock};
  PortTable table;
  Link link{table, clock};
};

}  // namespace vantor::test
