// What the printing workflows share: the remote-mode block, the completion words, reporting.
#pragma once

#include <string_view>

#include "adjust/procedures/ProcedureContext.h"

namespace vantor::procedures {

inline constexpr std::string_view kCompletionOfPrinting = "Completion the printing.";

// The set-up block that precedes a pattern job.
inline Result RemoteModeBlock(RemoteCommands& remote) {
  VANTOR_TRY(remote.EnterRemoteMode());
  VANTOR_TRY(remote.SendSnCommand());
  return remote.ExitRemoteMode();
}

// Runs body and hands its failure to ReportResult.
template <typename Body>
Result ReportedJob(Reporter& reporter, Body body) {
  const Result r = body();
  if (r != kOk) reporter.ReportResult(r);
  return r;
}

}  // namespace vantor::procedures
