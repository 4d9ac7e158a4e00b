// What the printing workflows share: the remote-mode block, the completion words, reporting.
#pragma once

#include <string_view>

#include "adjust/procedures/Messages.h"
#include "link/Fatal.h"
#include "raster/LinkAccess.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

inline constexpr std::string_view kCompletionOfPrinting = "Completion the printing.";

// Outcome of a write that checks the technician's entry first.
enum class WriteOutcome {
  Registered,     // written and reported
  InputRejected,  // "Input data is wrong." shown, nothing written
  Failed,         // a link failure, already reported
};

// The set-up block that precedes a pattern job.
inline Result RemoteModeBlock(RemoteCommands& remote) {
  VANTOR_TRY(remote.EnterRemoteMode());
  VANTOR_TRY(remote.SendSnCommand());
  return remote.ExitRemoteMode();
}

// The link side of a job: its steps and the reads made before it.
inline LinkAccess& AccessOf(Raster& raster) {
  if (raster.Access() == nullptr) FatalProgramError("Program miss!!!");
  return *raster.Access();
}

// Runs body and hands its failure to ReportResult.
template <typename Body>
Result ReportedJob(Reporter& reporter, Body body) {
  const Result r = body();
  if (r != kOk) reporter.ReportResult(r);
  return r;
}

}  // namespace vantor::procedures
