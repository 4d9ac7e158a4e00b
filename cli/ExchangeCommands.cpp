// exchange: the transportation liquid exchange as a guided sequence on the terminal, with the
// window's instructions, waiting for Enter where the window waits for OK.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <string_view>

#include "adjust/procedures/ExchangeProcedure.h"
#include "cli/Cli.h"
#include "cli/Terminal.h"
#include "cli/TerminalDisplay.h"

namespace vantor::cli {

namespace {

namespace ex = procedures::exchange;

constexpr std::string_view kPromptOk = "[Enter = OK, q = stop] ";
constexpr std::string_view kPromptRepeat = "[Enter = repeat the step, q = stop] ";
constexpr std::string_view kStopped =
    "Exchange stopped; the printer is where the last completed step left it.";

class Guide {
 public:
  // echoEnter: the input is no terminal, so the line the technician ended is not on screen.
  Guide(Session& session, std::istream& in, bool echoEnter)
      : session_(session), in_(in), echoEnter_(echoEnter) {}

  void Say(std::string_view text) {
    session_.reporter.ShowMessage(MessageKind::Replace, text);
    EndLine();
  }

  // False when the technician stops or the input ends. The prompt goes to standard error,
  // as every question does, so that a log of standard output holds the steps only.
  bool WaitForOk(std::string_view prompt = kPromptOk) {
    EndLine();
    session_.err << prompt << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
      session_.err << '\n';
      return false;
    }
    if (echoEnter_) session_.err << '\n';
    return line != "q" && line != "Q";
  }

  // Runs a step until it succeeds; a failed step is reported and offered again, as its panel
  // stays in the window.
  template <typename Step>
  bool Repeat(Step step) {
    while (step() != kOk) {
      if (!WaitForOk(kPromptRepeat)) return false;
      session_.link.channel.RetryAfterSilence();
    }
    EndLine();
    return true;
  }

  // Only the technician stops a step (q or the end of the input): a cancel, not a failure.
  int Stop() {
    Say(kStopped);
    return kExitCancelled;
  }

 private:
  void EndLine() {
    if (auto* terminal = dynamic_cast<TerminalDisplay*>(&session_.reporter.Display()))
      terminal->EndLine();
  }

  Session& session_;
  std::istream& in_;
  bool echoEnter_;
};

int RunExchange(Session& session, std::istream& in, bool echoEnter) {
  procedures::ExchangeProcedure exchange(session.context);
  Guide guide(session, in, echoEnter);

  guide.Say(ex::kTitle);
  guide.Say(ex::kRequiresFourCycles);
  if (!guide.WaitForOk()) return kExitCancelled;
  if (!guide.Repeat([&] { return exchange.Start(); })) return guide.Stop();

  for (bool lastCycle = false; !lastCycle;) {
    guide.Say(exchange.CycleLabel());
    guide.Say(exchange.FirstInstruction());
    guide.Say(ex::kThenPressOk);
    if (!guide.WaitForOk() || !guide.Repeat([&] { return exchange.AirExchange(); }))
      return guide.Stop();
    guide.Say(ex::kInstallLiquid);
    guide.Say(ex::kPressOk);
    if (!guide.WaitForOk() || !guide.Repeat([&] { return exchange.LiquidCleaning(lastCycle); }))
      return guide.Stop();
  }

  guide.Say(ex::kRemoveCartridges);
  guide.Say(ex::kPressOk);
  guide.Say(ex::kFinalOperation);
  if (!guide.WaitForOk() || !guide.Repeat([&] { return exchange.Finish(); })) return guide.Stop();
  session.reporter.ShowMessage(MessageKind::Done, ex::kInHomePosition);
  session.skipLinkShutdown = true;  // the printer is about to be switched off

  guide.Say(ex::kTurnOff);
  guide.Say(ex::kPressOk);
  if (!guide.WaitForOk()) return kExitOk;  // the exchange itself is complete
  guide.Say(ex::kWaitTenSeconds);
  for (int n = ex::kCountdownSeconds; n >= 0; --n) {
    session.clock.SleepMs(1000);
    guide.Say(std::to_string(n));
  }
  guide.Say(ex::kRemoveAcCable);
  return kExitOk;
}

}  // namespace

void AddExchangeCommands(Cli& cli) {
  auto* exchange = cli.App().add_subcommand(
      "exchange", "transportation liquid exchange: four guided cycles, then power-off");
  cli.AddCommand(
      exchange, [](Session& session) { return RunExchange(session, std::cin, !StdinIsTerminal()); },
      false);
}

}  // namespace vantor::cli
