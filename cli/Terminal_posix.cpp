#include <signal.h>
#include <unistd.h>

#include "cli/Terminal.h"

namespace vantor::cli {

namespace {
std::atomic<bool>* interruptFlag = nullptr;
extern "C" void OnInterruptSignal(int) {
  if (interruptFlag) *interruptFlag = true;
}
}  // namespace

struct InterruptScope::Saved {
  struct sigaction oldInt {};
  struct sigaction oldTerm {};
};

InterruptScope::InterruptScope(std::atomic<bool>& flag) : saved_(std::make_unique<Saved>()) {
  flag = false;
  interruptFlag = &flag;
  struct sigaction action {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &saved_->oldInt);
  ::sigaction(SIGTERM, &action, &saved_->oldTerm);
}

InterruptScope::~InterruptScope() {
  ::sigaction(SIGINT, &saved_->oldInt, nullptr);
  ::sigaction(SIGTERM, &saved_->oldTerm, nullptr);
}

bool StdinIsTerminal() {
  return ::isatty(STDIN_FILENO) == 1;
}

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

// Terminals here understand the sequences as they are.
bool PrepareColourOnStderr() {
  return true;
}

}  // namespace vantor::cli
