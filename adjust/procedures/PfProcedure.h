// The PF adjustment workflow's printer procedures.
#pragma once

#include <string>
#include <string_view>

#include "adjust/procedures/PrintJob.h"
#include "adjust/procedures/ProcedureContext.h"
#include "link/Fields.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

inline constexpr int kPfMin = fields::kPf.range->min;
inline constexpr int kPfMax = fields::kPf.range->max;

// "Printing the PF adjustment pattern": nine candidates around the stored value; the pattern
// ejects its own page. printedWith receives the value stored at print time.
Result PrintPfAdjustment(ProcedureContext& context, int* printedWith = nullptr);

// "Adjust": the stored value as signed decimal, for the edit; a failure is reported.
Result ReadPfValue(ProcedureContext& context, std::string& text);

// "Checking present PF parameter".
Result ShowPresentPfValue(ProcedureContext& context);

// Checks the entry (-4..4, a number) and registers it.
Result WritePfValue(ProcedureContext& context, std::string_view text);

}  // namespace vantor::procedures
