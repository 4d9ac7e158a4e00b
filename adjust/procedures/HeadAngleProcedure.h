// The head angular workflow's printer procedures; the window keeps the panels and the watch.
#pragma once

#include "adjust/procedures/Messages.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

// The head angle check print. The sheet stays in: each check prints below the last one.
Result PrintHeadAngleCheck(Reporter& reporter, Raster& raster);

// Ejects the sheet when the workflow ends; a failure is reported.
Result EjectHeadAngleSheet(Reporter& reporter, Raster& raster);

}  // namespace vantor::procedures
