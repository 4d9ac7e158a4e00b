// A virtual printer on the virtual clock and the link that talks to it, started as the start
// window starts it.
#pragma once

#include "link/Link.h"
#include "sim/VirtualPrinter.h"

namespace vantor::test {

struct VirtualBench {
  // Whatever must hear the printer from its first byte (a capture, a page listener, a state
  // file) is set up before this.
  bool Start(Model model = Model::Q40) {
    printer.AttachTo(table);
    link.channel.SetModel(model);
    return link.port.OpenPort(0x501) == kOk && link.channel.StartLink() == kOk;
  }

  VirtualClock clock;
  sim::VirtualPrinter printer{clock, Model::Q40};
  PortTable table;
  Link link{table, clock};
};

}  // namespace vantor::test
