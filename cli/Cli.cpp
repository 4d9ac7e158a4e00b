#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "adjust/procedures/ServiceRecord.h"
#include "cli/Help.h"
#include "cli/ParseErrors.h"
#include "cli/Terminal.h"
#include "cli/TerminalDisplay.h"
#include "session/LinkSession.h"
#include "sim/Faults.h"
#include "sim/VirtualPrinter.h"
#include "words/Words.h"

namespace vantor::cli {

std::string GlobalOption(CLI::App& app, const std::string& name, const std::string& fallback) {
  const CLI::Option* option = app.get_option_no_throw(name);
  if (!option || option->count() == 0) return fallback;
  return option->as<std::string>();
}

bool ColourWanted(std::string_view mode, bool errTerminal, const char* noColour, const char* term) {
  if (mode == "always") return true;
  if (mode == "never") return false;
  const bool dumb = term != nullptr && std::string_view(term) == "dumb";
  return errTerminal && !dumb && (noColour == nullptr || *noColour == '\0');
}

namespace {
// After a failure of a real link, what the technician can do about it.
constexpr std::string_view kLinkNextStep =
    "Check the cable and the power, then run 'vantorctl ports'.";
}  // namespace

struct Cli::Options {
  std::string model = "Q40";
  bool modelGiven = false;  // else the model is the one the printer's device ID names
  std::string port = "TVUSB1";
  std::vector<std::string> devices;
  std::optional<std::string> virtualFile;  // set (possibly empty) when --virtual was given
  std::string trace;
  std::string capture;
  std::string pages;
  std::vector<std::string> faults;
  std::string misalign;
  std::string colour = "auto";
  double waitLimitSeconds = -1;  // none
  bool realTime = false;
};

namespace {
// Set when the technician interrupts a command; every wait ends at its next poll.
std::atomic<bool> interrupted{false};
}  // namespace

Cli::Cli()
    : appOwner_(std::make_unique<CLI::App>("service functions of Vantor Q40 and Q30 printers",
                                           "vantorctl")),
      app_(*appOwner_),
      options_(std::make_unique<Options>()) {
  app_.require_subcommand(1);
  // Set before the commands are added, which inherit both.
  app_.formatter(MakeHelpFormatter());
  app_.set_help_flag("-h,--help", "show this help");
  app_.set_help_all_flag("--help-all", "the help of every command below this one as well");
  // Global options may also follow the command (bid suggest D/*.png --json); subcommands created
  // after this inherit it.
  app_.fallthrough();
  // Typed in any case; the check turns it into the name the rest of the program knows.
  app_.add_option("--model", options_->model,
                  "printer model, in any case; without it the model is the one the printer "
                  "reports")
      ->transform(CLI::IsMember({"Q40", "Q30"}, CLI::ignore_case).description(""))
      ->type_name("Q40|Q30");
  app_.add_option("--port", options_->port, "interface name")
      ->transform(
          CLI::IsMember({"LPT1", "LPT2", "LPT3", "TVUSB1", "TVUSB2", "TVUSB3"}, CLI::ignore_case)
              .description(""))
      ->type_name("LPT1..3|TVUSB1..3")
      ->capture_default_str();
  app_.add_option("--device", options_->devices, "point an interface at a device (repeatable)")
      ->type_name("NAME=PATH")
      ->take_all();
  // Only --virtual=FILE names the file, so a following command is never taken for one.
  app_.add_flag("--virtual{},--virtual-printer{}", virtualFile_,
                "use the virtual printer (also --virtual-printer); --virtual=FILE keeps its "
                "EEPROM in FILE")
      ->option_text("[=FILE]");
  app_.add_option("--trace", options_->trace, "record every port transfer in FILE")
      ->type_name("FILE");
  app_.add_option("--capture", options_->capture,
                  "virtual printer: write the data-channel byte stream to FILE")
      ->type_name("FILE");
  app_.add_option("--pages", options_->pages,
                  "virtual printer: write each printed sheet to DIR as page-001.png, ...")
      ->type_name("DIR");
  app_.add_flag("--real-time", options_->realTime, "virtual printer: take its real time");
  app_.add_flag("--json", json_,
                "write the values as one JSON object on standard output, a failure as one on "
                "standard error");
  app_.add_option("--color", options_->colour,
                  "colour the errors: auto (on a terminal, unless NO_COLOR is set or TERM=dumb), "
                  "always or never")
      ->transform(CLI::IsMember({"auto", "always", "never"}).description(""))
      ->type_name("WHEN")
      ->capture_default_str();
  app_.set_version_flag("--version", "vantorctl " + std::string(procedures::ProgramVersion()),
                        "show the program's version");
  app_.add_option("--wait-limit", options_->waitLimitSeconds,
                  "end every wait for the printer after SECONDS (scripts); no limit by default")
      ->type_name("SECONDS")
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            const double v = std::strtod(text.c_str(), nullptr);
            return std::isfinite(v) && v >= 0 && v <= 86'400 ? std::string() : "0 to 86400 seconds";
          },
          "SECONDS"));
  app_.add_option("--virtual-fault", options_->faults,
                  "virtual printer: KIND[,after=N][,count=N|all][,ms=N] with KIND one of " +
                      std::string(sim::Faults::kKinds))
      ->type_name("KIND[,...]");
  app_.add_option("--virtual-misalign", options_->misalign,
                  "virtual printer: its mechanical errors, e.g. "
                  "bid=vsd1-black:+18,eco-color:-3;pf=-2;tilt=1;top=+4 (kept with --virtual=FILE)")
      ->type_name("ERRORS");
}

Cli::~Cli() = default;

void Cli::AddCommand(CLI::App* subcommand, CommandBody body, bool offersJson) {
  commands_.emplace_back(subcommand, std::move(body));
  if (!offersJson) textOnly_.push_back(subcommand);
}

void Cli::AddOfflineCommand(CLI::App* subcommand, std::function<int()> body, bool offersJson) {
  offline_.emplace_back(subcommand, std::move(body));
  if (!offersJson) textOnly_.push_back(subcommand);
}

int Cli::Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const int status = RunCommand(argc, argv, out, err);
  // A full disk or a closed pipe behind standard output loses what the command found.
  if (!out.flush()) {
    err << "vantorctl: standard output could not be written (a full disk or a closed file?)\n";
    return status == kExitOk ? kExitFailure : status;
  }
  return status;
}

int Cli::RunCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
  try {
    app_.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // With --json the parser's words go into the failure object; the flag is counted as soon as
    // it is read, also when the fault lies in a word before it.
    const bool json = json_ || app_.get_option("--json")->count() > 0;
    std::ostringstream words;
    std::ostream& to = json && e.get_exit_code() != 0 ? words : err;
    int code = kExitUsage;
    if (e.get_exit_code() == 0) {
      code = app_.exit(e, out, to) == 0 ? kExitOk : kExitUsage;
    } else if (!ExplainUnknownWord(app_, args, to) && !ExplainMissing(e, app_, json, to)) {
      to << "vantorctl: " << e.what() << '\n';
    }
    if (&to == &words) {
      CommandOutput report(true);
      report.SetCommand(CommandPath(InnermostParsed(&app_)));
      report.WriteFailure(code, words.str(), err);
    }
    return code;
  }
  // Every name and value ends up in words, JSON or a record, which all need UTF-8; a file name
  // in another encoding is refused rather than mangled.
  for (int i = 1; i < argc; ++i) {
    if (const auto shown = NotUtf8(argv[i])) {
      const std::string words = "vantorctl: '" + *shown + "' is not UTF-8 text; give it in UTF-8";
      if (json_) {
        CommandOutput report(true);
        report.SetCommand(CommandPath(InnermostParsed(&app_)));
        report.WriteFailure(kExitUsage, words, err);
      } else {
        err << words << '\n';
      }
      return kExitUsage;
    }
  }
  if (app_.count("--virtual")) options_->virtualFile = virtualFile_;
  options_->modelGiven = app_.count("--model") > 0;
  CommandOutput report(json_);
  report.SetCommand(CommandPath(InnermostParsed(&app_)));
  if (json_) {
    for (CLI::App* sub : textOnly_) {
      if (!sub->parsed()) continue;
      report.WriteFailure(kExitUsage, "vantorctl " + CommandPath(sub) + " has no --json", err);
      return kExitUsage;
    }
  }
  for (const auto& [sub, body] : offline_) {
    if (!sub->parsed()) continue;
    bool online = false;
    for (const auto& [when, holds] : onlineWhen_) online = online || (when == sub && holds());
    if (!online) return body();
  }
  // The innermost command given runs before its parent's body (bid suggest --apply, not bid).
  CLI::App* innermost = InnermostParsed(&app_);
  std::stable_partition(commands_.begin(), commands_.end(),
                        [innermost](const auto& c) { return c.first == innermost; });
  for (const auto& [sub, inputOk] : inputChecks_) {
    if (!sub->parsed() || inputOk()) continue;
    if (json_) {
      report.WriteFailure(kExitUsage, words::kInputDataWrong, err);
    } else {
      err << words::kInputDataWrong << '\n';
    }
    return kExitUsage;
  }
  for (const auto& [sub, body] : commands_) {
    if (!sub->parsed()) continue;
    if (!json_) return RunSession(body, out, err, report);
    // The words the terminal would show become the object's words.
    std::ostringstream memo, errors;
    const int status = RunSession(body, memo, errors, report);
    report.Write(status, memo.str(), errors.str(), out, err);
    return status;
  }
  err << "no command given\n";
  return kExitUsage;
}

namespace {

// The clocks of one command: the printer's (virtual unless --real-time), and the link's, which
// shows waits on a terminal and counts the sleeps asked for when VANTOR_SLEEP_TOTAL is set.
class CommandClocks {
 public:
  CommandClocks(bool virtualTime, bool showWaits, TerminalDisplay& display)
      : printer_(virtualTime ? static_cast<Clock&>(virtual_) : system_),
        waits_(printer_, display),
        counting_(showWaits ? static_cast<Clock&>(waits_) : printer_),
        link_(countSleeps_ ? static_cast<Clock&>(counting_)
              : showWaits  ? static_cast<Clock&>(waits_)
                           : printer_) {}
  Clock& Printer() { return printer_; }
  Clock& Link() { return link_; }
  void TellSleeps(std::ostream& err) {
    if (countSleeps_) err << "requested sleeps: " << counting_.RequestedMs() << " ms\n";
  }

 private:
  SystemClock system_;
  VirtualClock virtual_ = VirtualClock::AtSystemTime();
  Clock& printer_;
  WaitShowingClock waits_;
  CountingClock counting_;
  const bool countSleeps_ = std::getenv("VANTOR_SLEEP_TOTAL") != nullptr;
  Clock& link_;
};

void SayError(TerminalDisplay& display, std::string_view words) {
  display.Show(MessageKind::Error, words);
  display.EndLine();
}

// "3 pages written to DIR: page-001.png ...", or the list for --json.
void TellPages(const PageOutput& pages, bool listAlways, CommandOutput& report, std::ostream& out) {
  if (report.JsonWanted()) {
    if (listAlways) report.Set("pages", pages.Written());
    return;
  }
  if (pages.Written().empty()) return;
  const std::size_t count = pages.Written().size();
  out << count << (count == 1 ? " page" : " pages") << " written to " << pages.Directory() << ":";
  for (const std::string& path : pages.Written()) {
    out << ' ' << std::filesystem::path(path).filename().string();
  }
  out << '\n';
}

}  // namespace

SessionOptions Cli::SetupOptions() const {
  const Options& o = *options_;
  SessionOptions setup;
  setup.virtualPrinter = o.virtualFile.has_value();
  // An existing state file keeps its own model; --model only makes a new one.
  if (o.modelGiven) setup.model = o.model == "Q30" ? Model::Q30 : Model::Q40;
  setup.stateFile = o.virtualFile.value_or("");
  setup.capture = o.capture;
  setup.pagesDir = o.pages;
  setup.faults = o.faults;
  setup.misalign = o.misalign;
  setup.devices = o.devices;
  setup.traceFile = o.trace;
  setup.waitForSilenceOnce = true;  // one command: a silent printer ends it
  if (o.waitLimitSeconds >= 0) {
    setup.waitLimitMs = static_cast<std::int64_t>(o.waitLimitSeconds * 1000);
  }
  setup.cancel = &interrupted;
  return setup;
}

int Cli::RunSession(const CommandBody& body, std::ostream& out, std::ostream& err,
                    CommandOutput& report) {
  const Options& o = *options_;
  const SessionOptions setup = SetupOptions();
  if (const std::string_view option = OptionNeedingVirtualPrinter(setup, o.realTime);
      !option.empty()) {
    err << "vantorctl: " << option << " needs " << kVirtualOption << '\n';
    return kExitUsage;
  }
  // Progress and colour go to standard error, so they follow it, not standard output.
  // A JSON run neither draws progress nor asks: its output is for a program.
  const bool interactive = StderrIsTerminal() && !report.JsonWanted();
  const bool colour =
      !report.JsonWanted() &&
      ColourWanted(o.colour, StderrIsTerminal(), std::getenv("NO_COLOR"), std::getenv("TERM")) &&
      PrepareColourOnStderr();
  TerminalDisplay display(out, err, colour, false, StdinIsTerminal() && !report.JsonWanted());
  display.ShowWaits(interactive);
  CommandClocks clocks(setup.virtualPrinter && !o.realTime, interactive, display);
  const std::int64_t startedMs = clocks.Printer().NowMs();
  lastMsAfterFault_ = -1;

  LinkSession linkSession(clocks.Printer(), clocks.Link());
  if (SetupFailure failure; !linkSession.Configure(setup, failure)) {
    err << "vantorctl: " << failure.message << '\n';
    // Trace, capture and pages that cannot be written are output lost; the rest (a state file
    // that cannot serve, a device or setting that does not exist) is the command line's fault.
    const bool outputLost = failure.step == SetupStep::Trace ||
                            failure.step == SetupStep::Capture || failure.step == SetupStep::Pages;
    return outputLost ? kExitFailure : kExitUsage;
  }
  sim::VirtualPrinter* printer = linkSession.Printer();
  // The command's end, timed from its start and from the first fault that fired.
  const auto ended = [&] {
    const std::int64_t now = clocks.Printer().NowMs();
    lastSessionMs_ = now - startedMs;
    if (printer == nullptr) return;
    if (const auto fired = printer->GetFaults().FirstFiredMs()) lastMsAfterFault_ = now - *fired;
  };
  InterruptScope interruptScope(interrupted);
  ProcedureContext& context = linkSession.ContextFor(display, &display);
  Link& link = linkSession.GetLink();
  const SessionStart start =
      linkSession.Open({*PortCodeFromName(o.port), setup.model,
                        "vantorctl " + std::string(procedures::ProgramVersion()),
                        [&err](Model reported, Model chosen) {
                          err << "vantorctl: the printer reports itself as " << ModelName(reported)
                              << "; going on as " << ModelName(chosen) << " (--model)\n";
                          return true;
                        }});
  if (start.failedAt == StartStep::Open) {
    SayError(display, words::kCannotOpenPort);
    if (!link.port.OpenFailureReason().empty()) {
      err << "(" << link.port.OpenFailureReason() << "; 'vantorctl ports' tells more)\n";
    }
    return kExitFailure;
  }
  // A signal is answered with what it stopped, so a script's log says why the command ended.
  const auto sayInterrupted = [&](std::string_view after) {
    display.EndLine();
    err << "Interrupted '" << report.Command() << "': " << after << '\n';
  };
  if (start.failedAt == StartStep::Link) {
    ended();
    if (interrupted) {
      sayInterrupted("the link was not started; the port was closed.");
      return InterruptExitStatus();
    }
    SayError(display, words::kCommunicationError);
    if (printer == nullptr) err << kLinkNextStep << '\n';
    return kExitFailure;
  }
  report.ForwardTo(start.record);
  context.reporter.SetRecorder(&report);
  Session session{context, link,        context.reporter, clocks.Link(), out,
                  err,     interactive, printer,          report};
  int status = body(session);
  report.SetResult(context.reporter.LastReported());
  SayWhyItStopped(status, display, link, context.reporter.LastReported(), printer != nullptr, err);
  if (display.Declined()) status = kExitCancelled;
  const SessionLosses losses = linkSession.Finish(!session.skipLinkShutdown);
  ended();
  clocks.TellSleeps(err);
  if (!losses.eeprom.empty()) {
    if (!losses.eepromTold) display.Show(MessageKind::Error, losses.eeprom);
    display.EndLine();
    if (status == kExitOk) status = kExitFailure;
  }
  if (interrupted) {
    status = InterruptExitStatus();
    sayInterrupted(session.skipLinkShutdown ? "the port to the printer was closed."
                                            : "the link to the printer was shut down.");
  }
  TellPages(linkSession.Setup().Pages(), !o.pages.empty(), report, out);
  // Output that was lost is a failure even when the printer work went well.
  for (const std::string& lost : losses.files) {
    err << "vantorctl: " << lost << '\n';
    status = kExitFailure;
  }
  return status;
}

void Cli::SayWhyItStopped(int status, TerminalDisplay& display, Link& link, Result last,
                          bool virtualPrinter, std::ostream& err) const {
  // A wait that ran out of its limit on a printer without an error still says why.
  if (status != kExitOk && !interrupted && options_->waitLimitSeconds >= 0 &&
      !display.ShowedError()) {
    if (const auto w = words::StatusWords(link.channel.PrinterStatus()); !w.empty()) {
      display.Show(MessageKind::Error, w);
    }
  }
  display.EndLine();
  if (const std::uint16_t linkClass = last.Class();
      !virtualPrinter && !interrupted &&
      (linkClass == kPortFailure.Value() || linkClass == kChannelFailure.Value() ||
       linkClass == kFactoryReplyFailure.Value())) {
    err << kLinkNextStep << '\n';
  }
}

}  // namespace vantor::cli
