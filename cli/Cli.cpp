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
#include "app/session/LinkSession.h"
#include "cli/Terminal.h"
#include "cli/TerminalDisplay.h"
#include "sim/Faults.h"
#include "sim/VirtualPrinter.h"
#include "words/Words.h"

namespace vantor::cli {

int ExitForResult(Result result) {
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

namespace {

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      // A swap of two neighbours counts as one edit, the commonest typo.
      std::size_t best = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      if (!same && i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        best = std::min(best, diagonal);
      diagonal = above;
      row[j] = best;
    }
  }
  return row[b.size()];
}

// The innermost subcommand the parser entered.
CLI::App* InnermostParsed(CLI::App* app) {
  for (CLI::App* sub : app->get_subcommands()) {
    if (sub->parsed()) return InnermostParsed(sub);
  }
  return app;
}

std::string CommandPath(CLI::App* app) {
  std::string path;
  for (; app && app->get_parent(); app = app->get_parent())
    path = app->get_name() + (path.empty() ? "" : " " + path);
  return path;
}

// Names a word the parser could not place, with the nearest command or option; false when the
// parser's own message says it better (a missing value, a value out of a list).
bool ExplainUnknownWord(CLI::App& root, std::ostream& err) {
  CLI::App* app = InnermostParsed(&root);
  const auto remaining = root.remaining(true);
  if (remaining.empty()) return false;
  const std::string& word = remaining.front();
  std::vector<std::string> candidates;
  std::string kind;
  if (word.rfind("-", 0) == 0) {
    kind = "option";
    for (CLI::App* a = app; a; a = a->get_parent()) {
      for (const CLI::Option* o : a->get_options()) {
        for (const std::string& name : o->get_lnames()) candidates.push_back("--" + name);
      }
    }
  } else {
    kind = "command";
    for (const CLI::App* sub : app->get_subcommands({})) {
      if (!sub->get_group().empty()) candidates.push_back(sub->get_name());
    }
    if (candidates.empty()) return false;  // a surplus value, not a command
  }
  const std::string path = CommandPath(app);
  const std::string known = kind == "option" ? "" : path;
  err << "vantorctl: unknown " << kind << " '" << (known.empty() ? "" : known + " ") << word << "'";
  const std::string nearest = NearestWord(word.substr(0, word.find('=')), candidates);
  if (!nearest.empty()) {
    err << "; did you mean '" << (known.empty() ? "" : known + " ") << nearest << "'?\n";
  } else {
    err << "; 'vantorctl " << (path.empty() ? "" : path + " ") << "--help' lists them\n";
  }
  return true;
}

// The length of the UTF-8 sequence at text[i], or 0 when the bytes there are not one.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::optional<std::string> NotUtf8(std::string_view text) {
  bool bad = false;
  std::string shown;
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t n = Utf8SequenceAt(text, i); n > 0) {
      shown.append(text.substr(i, n));
      i += n;
      continue;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto b = static_cast<unsigned char>(text[i++]);
    shown += "\\x";
    shown += kDigits[b >> 4];
    shown += kDigits[b & 0xF];
    bad = true;
  }
  if (!bad) return std::nullopt;
  return shown;
}

std::string GlobalOption(CLI::App& app, const std::string& name, const std::string& fallback) {
  const CLI::Option* option = app.get_option_no_throw(name);
  if (!option || option->count() == 0) return fallback;
  return option->as<std::string>();
}

bool ColourWanted(bool errTerminal, const char* noColour) {
  return errTerminal && (noColour == nullptr || *noColour == '\0');
}

std::string NearestWord(std::string_view word, const std::vector<std::string>& candidates) {
  std::string best;
  std::size_t bestDistance = 0;
  for (const std::string& c : candidates) {
    std::size_t d = EditDistance(word, c);
    // A typed beginning of a longer name is as good as one edit.
    if (word.size() >= 2 && c.rfind(word, 0) == 0) d = std::min<std::size_t>(d, 1);
    if (best.empty() || d < bestDistance) {
      best = c;
      bestDistance = d;
    }
  }
  const std::size_t allowed = std::max<std::size_t>(2, word.size() / 3);
  return !best.empty() && bestDistance <= allowed ? best : std::string();
}

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
  double waitLimitSeconds = -1;  // none
  bool realTime = false;
};

namespace {
// Set when the technician interrupts a command; every wait ends at its next poll.
std::atomic<bool> interrupted{false};
}  // namespace

Cli::Cli()
    : appOwner_(std::make_unique<CLI::App>(
          "vantorctl: service functions of Vantor Q40 and Q30 printers")),
      app_(*appOwner_),
      options_(std::make_unique<Options>()) {
  app_.require_subcommand(1);
  // Global options may also follow the command (bid suggest D/*.png --json); subcommands created
  // after this inherit it.
  app_.fallthrough();
  app_.add_option("--model", options_->model, "printer model")
      ->check(CLI::IsMember({"Q40", "Q30"}))
      ->capture_default_str();
  app_.add_option("--port", options_->port, "interface name")
      ->check(CLI::IsMember({"LPT1", "LPT2", "LPT3", "TVUSB1", "TVUSB2", "TVUSB3"}))
      ->capture_default_str();
  app_.add_option("--device", options_->devices, "point an interface at a device: NAME=PATH")
      ->take_all();
  // Only --virtual=FILE names the file, so a following command is never taken for one.
  app_.add_flag("--virtual{}", virtualFile_,
                "use the virtual printer; --virtual=FILE keeps its EEPROM in FILE");
  app_.add_option("--trace", options_->trace, "record every port transfer in FILE");
  app_.add_option("--capture", options_->capture,
                  "virtual printer: write the data-channel byte stream to FILE");
  app_.add_option("--pages", options_->pages,
                  "virtual printer: write each printed sheet to DIR as page-001.png, ...")
      ->type_name("DIR");
  app_.add_flag("--real-time", options_->realTime, "virtual printer: take its real time");
  app_.add_flag("--json", json_,
                "write the values as one JSON object on standard output, a failure as one on "
                "standard error");
  app_.set_version_flag("--version", "vantorctl " + std::string(procedures::ProgramVersion()));
  app_.footer(std::string(kExitCodeTable));
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

void AddAllCommands(Cli& cli) {
  AddLinkCommands(cli);
  AddEepromBackupCommands(cli);
  AddIdsCommands(cli);
  AddPrintCommands(cli);
  AddSuggestCommands(cli);
  AddExchangeCommands(cli);
  AddRenderCommands(cli);
  AddVirtualPrinterCommands(cli);
  AddPortCommands(cli);
  AddCompletionCommands(cli);
}

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
  try {
    app_.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // With --json the parser's words go into the failure object.
    std::ostringstream words;
    std::ostream& to = json_ && e.get_exit_code() != 0 ? words : err;
    int code = kExitUsage;
    if (e.get_exit_code() == 0 || !ExplainUnknownWord(app_, to))
      code = app_.exit(e, out, to) == 0 ? kExitOk : kExitUsage;
    if (&to == &words) {
      Report report(true);
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
        Report report(true);
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
  Report report(json_);
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

int Cli::RunSession(const CommandBody& body, std::ostream& out, std::ostream& err, Report& report) {
  const Options& o = *options_;
  Model model = o.model == "Q30" ? Model::Q30 : Model::Q40;
  const bool isVirtual = o.virtualFile.has_value();

  SystemClock systemClock;
  VirtualClock virtualClock = VirtualClock::AtSystemTime();
  Clock& clock = isVirtual && !o.realTime ? static_cast<Clock&>(virtualClock) : systemClock;

  if (!o.pages.empty() && !isVirtual) {
    err << "vantorctl: --pages needs --virtual\n";
    return kExitUsage;
  }
  if (!o.faults.empty() && !isVirtual) {
    err << "vantorctl: --virtual-fault needs --virtual\n";
    return kExitUsage;
  }
  if (!o.misalign.empty() && !isVirtual) {
    err << "vantorctl: --virtual-misalign needs --virtual\n";
    return kExitUsage;
  }
  const std::int64_t startedMs = clock.NowMs();
  lastMsAfterFault_ = -1;

  // Progress and colour go to standard error, so they follow it, not standard output.
  // A JSON run neither draws progress nor asks: its output is for a program.
  const bool errTerminal = StderrIsTerminal() && !report.JsonWanted();
  const bool interactive = errTerminal;
  TerminalDisplay display(
      out, err, ColourWanted(errTerminal, std::getenv("NO_COLOR")) && PrepareColourOnStderr(),
      false, StdinIsTerminal() && !report.JsonWanted());
  display.ShowWaits(interactive);
  WaitShowingClock waitClock(clock, display);
  CountingClock countingClock(interactive ? static_cast<Clock&>(waitClock) : clock);
  const bool countSleeps = std::getenv("VANTOR_SLEEP_TOTAL") != nullptr;
  Clock& sessionClock = countSleeps   ? static_cast<Clock&>(countingClock)
                        : interactive ? static_cast<Clock&>(waitClock)
                                      : clock;

  SessionOptions setupOptions;
  setupOptions.virtualPrinter = isVirtual;
  // An existing state file keeps its own model; --model only makes a new one.
  if (o.modelGiven) setupOptions.model = model;
  if (isVirtual) {
    setupOptions.stateFile = *o.virtualFile;
    setupOptions.capture = o.capture;
    setupOptions.pagesDir = o.pages;
  }
  setupOptions.devices = o.devices;
  setupOptions.traceFile = o.trace;
  LinkSession linkSession(clock, sessionClock);
  SetupFailure failure;
  if (!linkSession.Configure(setupOptions, failure)) {
    err << "vantorctl: " << failure.message << '\n';
    // A state file that cannot serve (a folder, the wrong size, another user's) is the file's
    // problem; trace, capture and pages that cannot be written are output lost.
    return failure.step == SetupStep::Device || failure.step == SetupStep::StateFile ? kExitUsage
                                                                                     : kExitFailure;
  }
  sim::VirtualPrinter* printer = linkSession.Printer();
  // The command's end, timed from its start and from the first fault that fired.
  const auto ended = [&] {
    const std::int64_t now = clock.NowMs();
    lastSessionMs_ = now - startedMs;
    if (printer == nullptr) return;
    if (const auto fired = printer->GetFaults().FirstFiredMs()) lastMsAfterFault_ = now - *fired;
  };
  if (printer != nullptr) {
    std::string why;
    if (!o.misalign.empty() && !printer->SetMisalignment(o.misalign, why)) {
      err << "vantorctl: --virtual-misalign: " << why << '\n';
      return kExitUsage;
    }
    for (const std::string& setting : o.faults) {
      if (!printer->GetFaults().Apply(setting, why)) {
        err << "vantorctl: " << why << '\n';
        return kExitUsage;
      }
    }
  }

  Link& link = linkSession.GetLink();
  link.channel.SetPaperOutNotifier(&display);
  link.channel.SetWaitForSilenceOnce(true);  // one command: a silent printer ends it
  if (o.waitLimitSeconds >= 0) {
    link.channel.SetWaitLimitMs(static_cast<std::int64_t>(o.waitLimitSeconds * 1000));
  }
  InterruptScope interruptScope(interrupted);
  link.channel.SetCancel(&interrupted);
  Bench& bench = linkSession.BenchFor(display);

  const SessionStart start = linkSession.Start(*PortCodeFromName(o.port), model);
  if (start.failedAt == StartStep::Open) {
    display.Show(MessageKind::Error, words::kCannotOpenPort);
    display.EndLine();
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
    link.port.ClosePort();
    ended();
    if (interrupted) {
      sayInterrupted("the link was not started; the port was closed.");
      return InterruptExitStatus();
    }
    display.Show(MessageKind::Error, words::kCommunicationError);
    display.EndLine();
    return kExitFailure;
  }
  if (!o.modelGiven) {
    model = start.reported.value_or(Model::Q40);
    link.channel.SetModel(model);
  } else if (start.reported && *start.reported != model) {
    err << "vantorctl: the printer reports itself as " << ModelName(*start.reported)
        << "; going on as " << ModelName(model) << " (--model)\n";
  }
  report.ForwardTo(linkSession.OpenRecord("vantorctl " + std::string(procedures::ProgramVersion()),
                                          o.port, model));
  bench.reporter.SetRecorder(&report);
  Session session{bench, link,        bench.reporter, sessionClock, out,
                  err,   interactive, printer,        report};
  int status = body(session);
  report.SetResult(bench.reporter.LastReported());
  // A wait that ran out of its limit on a printer without an error still says why.
  if (status != kExitOk && !interrupted && o.waitLimitSeconds >= 0 && !display.ShowedError()) {
    if (const auto w = words::StatusWords(link.channel.PrinterStatus()); !w.empty()) {
      display.Show(MessageKind::Error, w);
    }
  }
  display.EndLine();
  if (display.Declined()) status = kExitCancelled;
  const SessionLosses losses = linkSession.Finish(!session.skipLinkShutdown);
  ended();
  if (countSleeps) err << "requested sleeps: " << countingClock.RequestedMs() << " ms\n";
  if (!losses.eeprom.empty()) {
    if (!linkSession.SaveFailureShown()) display.Show(MessageKind::Error, losses.eeprom);
    display.EndLine();
    if (status == kExitOk) status = kExitFailure;
  }
  if (interrupted) {
    status = InterruptExitStatus();
    sayInterrupted(session.skipLinkShutdown ? "the port to the printer was closed."
                                            : "the link to the printer was shut down.");
  }
  const PageOutput& pages = linkSession.Setup().Pages();
  if (report.JsonWanted()) {
    if (!o.pages.empty()) report.Set("pages", pages.Written());
  } else if (!pages.Written().empty()) {
    out << pages.Written().size() << " page(s) written to " << pages.Directory() << ":";
    for (const std::string& path : pages.Written()) {
      out << ' ' << std::filesystem::path(path).filename().string();
    }
    out << '\n';
  }
  // Output that was lost is a failure even when the printer work went well.
  for (const std::string& lost : losses.files) {
    err << "vantorctl: " << lost << '\n';
    status = kExitFailure;
  }
  return status;
}

}  // namespace vantor::cli
