// vantorctl's exit codes, the same for every command.
#pragma once

#include <string_view>

#include "link/Result.h"

namespace vantor::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 3;
inline constexpr int kExitInterrupted = 130;  // SIGINT; SIGTERM gives 143

// The same table for every command; --help and the README show it.
inline constexpr std::string_view kExitCodeTable =
    "Exit codes:\n"
    "  0    done\n"
    "  1    the printer or the link failed (including a printer error or a printer not ready)\n"
    "  2    usage or invalid input (unknown command, wrong value, value out of range) or a file\n"
    "       problem (missing, damaged or foreign)\n"
    "  3    cancelled (a declined confirmation or no answer)\n"
    "  130  interrupted by Ctrl-C (SIGINT); the link was shut down\n"
    "  143  ended by SIGTERM; the link was shut down\n";

// The class of a printer result: a format or range check of typed input is a usage fault, the
// rest is the printer's or the link's.
inline int ExitForResult(Result result) {
  switch (result) {
    case kOk:
      return kExitOk;
    case kHeadIdFailure:
    case kBidRangeFailure:
    case kUsbIdFailure:
    case kInputRejected:
      return kExitUsage;
    default:
      return kExitFailure;
  }
}

}  // namespace vantor::cli
