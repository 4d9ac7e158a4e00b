// What a window holds of its printer session: the procedure context for its messages, and the
// end of the session with what it lost. The session itself stays with the program that owns it.
#pragma once

#include <string>

#include "adjust/procedures/ProcedureContext.h"

namespace vantor {

class SessionHandle {
 public:
  virtual ~SessionHandle() = default;
  // The procedure context for one message display (told of paper out too, when it listens);
  // built on first use, then the same.
  virtual ProcedureContext& ContextFor(MessageDisplay& display, PaperOutNotifier* paperOut) = 0;
  // Ends the session (the link shut down unless the printer was switched off); what it could
  // not keep, in words, empty when nothing was lost.
  virtual std::string Close(bool shutdown) = 0;
  // What was lost so far without ending the session (a trace that could not be written).
  virtual std::string LossWords() = 0;
};

}  // namespace vantor
