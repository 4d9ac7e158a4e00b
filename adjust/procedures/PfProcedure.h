// The PF adjustment workflow's printer procedures.
#pragma once

#include <string>
#include <string_view>

#include "adjust/procedures/Messages.h"
#include "adjust/procedures/PrintJob.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

inline constexpr int kPfMin = -4;
inline constexpr int kPfMax = 4;

// "Printing the PF adjustment pattern": nine candidates around the stored value; the pattern
// ejects its own page.
ReportedResult PrintPfAdjustment(Reporter& reporter, Raster& raster);

// "Adjust": the stored value as signed decimal, for the edit; a failure is reported.
Result ReadPfValue(Reporter& reporter, std::string& text);

// "Checking present PF parameter".
ReportedResult ShowPresentPfValue(Reporter& reporter);

// Checks the entry (-4..4, a number) and registers it.
WriteOutcome WritePfValue(Reporter& reporter, std::string_view text);

}  // namespace vantor::procedures
