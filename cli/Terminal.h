// What the command line asks of the terminal it runs in, one file per platform.
#pragma once

#include <atomic>
#include <memory>

namespace vantor::cli {

// While it lives, Ctrl-C (and a polite request to end) sets `flag` instead of ending the
// process, so the command can close the link; the previous handling returns with the scope.
class InterruptScope {
 public:
  explicit InterruptScope(std::atomic<bool>& flag);
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

// The exit status for the interrupt the last scope received: 130 for Ctrl-C, 143 for a
// request to end (SIGTERM), as a shell reports a process those signals ended.
int InterruptExitStatus();

// Whether standard input or standard error is a terminal (a person, not a script or a file).
bool StdinIsTerminal();
bool StderrIsTerminal();

// Readies standard error for colour sequences; false when it cannot show them.
bool PrepareColourOnStderr();

}  // namespace vantor::cli
