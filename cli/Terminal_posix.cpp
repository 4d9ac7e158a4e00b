#include <signal.h>
#include <unistd.h>

#include "cli/Terminal.h"

namespace vantor::cli {

namespace {
std::atomic<bool>* interruptFlag = nullptr;
volatile sig_atomic_t firstSignal = 0;
extern "C" void OnInterruptSignal(int signal) {
  if (firstSignal == 0) firstSignal = signal;
  if (interruptFlag) *interruptFlag = true;
}
}  // namespace

struct InterruptScope::Saved {
  struct sigaction oldInt {};
  struct sigaction oldTerm {};
};

InterruptScope::InterruptScope(std::atomic<bool>& flag) : saved_(std::make_unique<Saved>()) {
  flag = false;
  firstSignal = 0;
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

int InterruptExitStatus() {
  return 128 + (firstSignal == 0 ? SIGINT : static_cast<int>(firstSignal));
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
