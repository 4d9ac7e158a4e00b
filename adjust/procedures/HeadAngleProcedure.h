// The head angular workflow's printer procedures; the window keeps the panels and the watch.
#pragma once

#include "adjust/procedures/ProcedureContext.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

// The head angle check print. The sheet stays in: each check prints below the last one.
Result PrintHeadAngleCheck(ProcedureContext& context);

// Ejects the sheet when the workflow ends; a failure is reported.
Result EjectHeadAngleSheet(ProcedureContext& context);

// What the status watch saw while the technician works at the mechanism.
enum class HeadAngleWatch {
  ReadFailed,  // reported; the watch goes on
  Ready,       // the technician is still at the mechanism
  Cleaning,    // the ink switch was pressed: print again once the cleaning is over
  Error,       // a printer error: the workflow ends, its words are for the caller to show
  Unsettled,   // a state that does not pass by itself; look again on the next tick
};

// One tick of the watch: reads the status, and again at once while the printer is in a
// passing state (printing, busy, nozzle check).
HeadAngleWatch WatchHeadAngleStatus(ProcedureContext& context);

// Waits until the cleaning the ink switch started is over; a failure is reported.
Result AwaitEndOfCleaning(ProcedureContext& context);

}  // namespace vantor::procedures
