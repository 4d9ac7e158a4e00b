// The A4 check-pattern print of the check-pattern menu.
#pragma once

#include "adjust/procedures/ProcedureContext.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

// Remote-mode block, then the four pages. A head ID or USB ID that cannot be read stops the
// job with 0x5000 or 0x8000, so the caller's words for those modules should be registered.
Result PrintA4CheckPattern(ProcedureContext& context);

}  // namespace vantor::procedures
