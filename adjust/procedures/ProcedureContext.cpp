#include "adjust/procedures/ProcedureContext.h"

namespace vantor {

ProcedureContext::ProcedureContext(Link& linkIn, MessageDisplay& display)
    : link(linkIn), reporter(linkIn, display, {&headIdWords_, &bidRangeWords, &usbIdWords_}) {}

}  // namespace vantor
