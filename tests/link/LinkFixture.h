// A link over a scripted printer on virtual time.
#pragma once

#include <gtest/gtest.h>

#include "link/Link.h"
#include "tests/support/ForwardingDevice.h"
#include "tests/support/ScriptedPrinter.h"

namespace vantor::test {

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
  void Open(PortCode code = 0x501) { ASSERT_EQ(link.port.OpenPort(code), kOk); }
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
