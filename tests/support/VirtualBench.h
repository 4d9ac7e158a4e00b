// A virtual printer on the virtual clock and the link that talks to it, in a session started
// as the start window starts it.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "session/LinkSession.h"
#include "sim/VirtualPrinter.h"

namespace vantor::test {

struct VirtualBench {
  // Whatever must hear the printer from its first byte (a capture, a page listener, a state
  // file) is set up before this.
  bool Start(Model model = Model::Q40) { return session.Start(0x501, model).result == kOk; }
  // The procedure context; the first call names the display it reports to.
  ProcedureContext& Procedures(MessageDisplay& display) { return session.ContextFor(display); }
  ProcedureContext& Procedures() { return session.ContextFor(silent); }

  VirtualClock clock;
  LinkSession session{clock};
  SilentDisplay silent;

 private:
  bool configured_ = [this] {
    SessionOptions options;
    options.virtualPrinter = true;
    SetupFailure failure;
    if (session.Configure(options, failure)) return true;
    std::fprintf(stderr, "the virtual printer cannot be set up: %s\n", failure.message.c_str());
    std::abort();
  }();

 public:
  sim::VirtualPrinter& printer = *session.Printer();
  PortTable& table = session.Setup().Ports();
  Link& link = session.GetLink();
};

}  // namespace vantor::test
