// vantorctl: every command runs inside a session that starts the link as the start window does.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/ProcedureContext.h"
#include "cli/CommandOutput.h"
#include "cli/ExitCodes.h"
#include "link/Link.h"
#include "session/SessionSetup.h"

namespace CLI {
class App;
}

namespace vantor::sim {
class VirtualPrinter;
}

namespace vantor::cli {

class TerminalDisplay;

// --color=always and never decide; auto colours a terminal that can show it (not TERM=dumb)
// unless NO_COLOR is set to anything.
bool ColourWanted(std::string_view mode, bool errTerminal, const char* noColour, const char* term);

// A global option's value as typed, or fallback when it was not given (offline commands read
// them themselves, since they run without a session).
std::string GlobalOption(CLI::App& app, const std::string& name, const std::string& fallback);

// One started link for one command. Messages go to the terminal; errors to standard error.
struct Session {
  ProcedureContext& context;  // what the procedures run with
  Link& link;
  Reporter& reporter;
  Clock& clock;
  std::ostream& out;
  std::ostream& err;
  bool interactive;                     // standard error is a terminal (progress is shown)
  sim::VirtualPrinter* virtualPrinter;  // null on a real port
  CommandOutput& report;                // the values for --json
  // The printer was switched off by the command: only the port is closed afterwards.
  bool skipLinkShutdown = false;
};

// A command body returns the exit status; a printer failure is reported through
// session.reporter.ReportResult before returning kExitFailure.
using CommandBody = std::function<int(Session&)>;

class Cli {
 public:
  Cli();
  ~Cli();
  CLI::App& App() { return app_; }
  // Runs body inside a session when the subcommand was chosen. A command that waits for the
  // technician's typing has no --json (its prompts would be lost in the object).
  void AddCommand(CLI::App* subcommand, CommandBody body, bool offersJson = true);
  // A command that does not talk to the printer through a started link (render, serve-virtual).
  void AddOfflineCommand(CLI::App* subcommand, std::function<int()> body, bool offersJson = false);
  // A subcommand registered both ways runs in a session only while online() holds (an option
  // that writes to the printer was given); otherwise its offline body runs and no port opens.
  void OnlineWhen(CLI::App* subcommand, std::function<bool()> online) {
    onlineWhen_.emplace_back(subcommand, std::move(online));
  }
  // Typed input of subcommand is checked by inputOk before any port opens: when it fails, the
  // command ends with "Input data is wrong." and exit 2, whether or not a printer is there.
  void CheckInputFirst(CLI::App* subcommand, std::function<bool()> inputOk) {
    inputChecks_.emplace_back(subcommand, std::move(inputOk));
  }
  int Run(int argc, char** argv, std::ostream& out, std::ostream& err);
  // How long the last command's session took on its clock (virtual time on the virtual printer).
  std::int64_t LastSessionMs() const { return lastSessionMs_; }
  // How long the last command went on after the virtual printer's first fault fired, on the
  // same clock; -1 when none fired.
  std::int64_t LastMsAfterFault() const { return lastMsAfterFault_; }
  // --json was given; an offline command that offers it reads this.
  bool JsonWanted() const { return json_; }

 private:
  struct Options;
  int RunCommand(int argc, char** argv, std::ostream& out, std::ostream& err);
  // Opens the session, runs body, closes it, and words each outcome.
  int RunSession(const CommandBody& body, std::ostream& out, std::ostream& err,
                 CommandOutput& report);
  SessionOptions SetupOptions() const;
  // After the body: the printer's state when a wait ran out, the next step after a lost link.
  void SayWhyItStopped(int status, TerminalDisplay& display, Link& link, Result last,
                       bool virtualPrinter, std::ostream& err) const;
  // The command-line library stays out of this header: it is large, and only the command files
  // need it.
  std::unique_ptr<CLI::App> appOwner_;
  CLI::App& app_;
  std::unique_ptr<Options> options_;
  std::string virtualFile_;
  bool json_ = false;
  std::vector<std::pair<CLI::App*, CommandBody>> commands_;
  std::vector<std::pair<CLI::App*, std::function<int()>>> offline_;
  std::vector<std::pair<CLI::App*, std::function<bool()>>> onlineWhen_;
  std::vector<std::pair<CLI::App*, std::function<bool()>>> inputChecks_;
  std::int64_t lastSessionMs_ = 0;
  std::int64_t lastMsAfterFault_ = -1;
  std::vector<CLI::App*> textOnly_;
};

}  // namespace vantor::cli
