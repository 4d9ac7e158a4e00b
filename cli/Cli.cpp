#include "cli/Cli.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>

#include "cli/PageOutput.h"
#include "cli/TerminalDisplay.h"
#include "link/WireTrace.h"
#include "link/backends/PortDefaults.h"
#include "sim/Faults.h"
#include "sim/VirtualPrinter.h"
#include "words/Words.h"

namespace vantor::cli {

struct Cli::Options {
  std::string model = "Q40";
  std::string port = "TVUSB1";
  std::vector<std::string> devices;
  std::optional<std::string> virtualFile;  // set (possibly empty) when --virtual was given
  std::string trace;
  std::string capture;
  std::string pages;
  std::vector<std::string> faults;
  double waitLimitSeconds = -1;  // none
  bool realTime = false;
};

namespace {
// Set by SIGINT or SIGTERM while a command runs; every wait ends at its next poll.
std::atomic<bool> interrupted{false};
extern "C" void OnInterrupt(int) {
  interrupted = true;
}

// Ctrl-C and SIGTERM end the command cleanly instead of the process; the old handlers return
// with the session.
class InterruptScope {
 public:
  InterruptScope() {
    interrupted = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &oldInt_);
    ::sigaction(SIGTERM, &action, &oldTerm_);
  }
  ~InterruptScope() {
    ::sigaction(SIGINT, &oldInt_, nullptr);
    ::sigaction(SIGTERM, &oldTerm_, nullptr);
  }

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};
}  // namespace

Cli::Cli() : app_("vantorctl: service functions of Vantor Q40 and Q30 printers"),
             options_(std::make_unique<Options>()) {
  app_.require_subcommand(1);
  app_.add_option("--model", options_->model, "printer model")
      ->check(CLI::IsMember({"Q40", "Q30"}))
      ->capture_default_str();
  app_.add_option("--port", options_->port, "interface name")
      ->check(CLI::IsMember({"LPT1", "LPT2", "LPT3", "TVUSB1", "TVUSB2", "TVUSB3"}))
      ->capture_default_str();
  app_.add_option("--device", options_->devices, "point an interface at a device: NAME=PATH")
      ->take_all();
  app_.add_option_function<std::string>(
          "--virtual", [this](const std::string& file) { options_->virtualFile = file; },
          "use the virtual printer; keep its EEPROM in FILE if given")
      ->expected(0, 1)
      ->default_str("");
  app_.add_option("--trace", options_->trace, "record every port transfer in FILE");
  app_.add_option("--capture", options_->capture,
                  "virtual printer: write the data-channel byte stream to FILE");
  app_.add_option("--pages", options_->pages,
                  "virtual printer: write each printed sheet to DIR as page-001.png, ...")
      ->type_name("DIR");
  app_.add_flag("--real-time", options_->realTime, "virtual printer: take its real time");
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
      ->type_name("SPEC");
}

Cli::~Cli() = default;

void Cli::AddCommand(CLI::App* subcommand, CommandBody body) {
  commands_.emplace_back(subcommand, std::move(body));
}

void Cli::AddOfflineCommand(CLI::App* subcommand, std::function<int()> body) {
  offline_.emplace_back(subcommand, std::move(body));
}

int Cli::Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  try {
    app_.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app_.exit(e, out, err);
    return code == 0 ? kExitOk : kExitUsage;
  }
  // A bare --virtual arrives through the callback with an empty value.
  if (app_.count("--virtual") && !options_->virtualFile) options_->virtualFile = "";
  for (const auto& [sub, body] : offline_) {
    if (sub->parsed()) return body();
  }
  for (const auto& [sub, body] : commands_) {
    if (sub->parsed()) return RunSession(body, out, err);
  }
  err << "no command given\n";
  return kExitUsage;
}

int Cli::RunSession(const CommandBody& body, std::ostream& out, std::ostream& err) {
  const Options& o = *options_;
  const Model model = o.model == "Q30" ? Model::Q30 : Model::Q40;
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
  const std::int64_t startedMs = clock.NowMs();

  PortTable table;
  std::unique_ptr<sim::VirtualPrinter> printer;
  std::unique_ptr<std::ofstream> capture;
  PageOutput pages;
  if (isVirtual) {
    printer = std::make_unique<sim::VirtualPrinter>(clock, model);
    std::string why;
    for (const std::string& spec : o.faults) {
      if (!printer->GetFaults().Apply(spec, why)) {
        err << "vantorctl: " << why << '\n';
        return kExitUsage;
      }
    }
    if (!o.virtualFile->empty() && !printer->UseStateFile(*o.virtualFile, why)) {
      err << "vantorctl: " << why << '\n';
      return kExitFailure;
    }
    if (!o.capture.empty()) {
      capture = std::make_unique<std::ofstream>(o.capture, std::ios::binary | std::ios::trunc);
      if (!*capture) {
        err << "vantorctl: cannot write " << o.capture << '\n';
        return kExitFailure;
      }
      printer->SetCapture(capture.get());
    }
    if (!o.pages.empty() && !pages.Attach(*printer, o.pages, why)) {
      err << "vantorctl: " << why << '\n';
      return kExitFailure;
    }
    printer->AttachTo(table);
  } else {
    AddDefaultPorts(table);
  }
  for (const std::string& d : o.devices) {
    const auto eq = d.find('=');
    std::string why;
    if (eq == std::string::npos || !OverridePort(table, d.substr(0, eq), d.substr(eq + 1), why)) {
      err << "vantorctl: --device " << d << ": " << (why.empty() ? "expected NAME=PATH" : why)
          << '\n';
      return kExitUsage;
    }
  }

  std::unique_ptr<WireTrace> trace;
  if (!o.trace.empty()) {
    trace = WireTrace::ToFile(o.trace);
    if (!trace) {
      err << "vantorctl: cannot write " << o.trace << '\n';
      return kExitFailure;
    }
  }

  const bool interactive = ::isatty(STDOUT_FILENO) == 1;
  TerminalDisplay display(out, err, ::isatty(STDERR_FILENO) == 1, false,
                          ::isatty(STDIN_FILENO) == 1);
  Link link(table, clock);
  link.port.SetTrace(trace.get());
  link.channel.SetModel(model);
  link.channel.SetPaperOutNotifier(&display);
  link.channel.SetWaitForSilenceOnce(true);  // one command: a silent printer ends it
  if (o.waitLimitSeconds >= 0) {
    link.channel.SetWaitLimitMs(static_cast<std::int64_t>(o.waitLimitSeconds * 1000));
  }
  InterruptScope interruptScope;
  link.channel.SetCancel(&interrupted);
  Reporter reporter(link, display);

  if (link.port.OpenPort(*PortCodeFromName(o.port)) != kOk) {
    display.Show(MessageKind::Error, words::kCannotOpenPort);
    display.EndLine();
    if (!link.port.OpenFailureReason().empty()) {
      err << "(" << link.port.OpenFailureReason() << "; 'vantorctl ports' tells more)\n";
    }
    return kExitFailure;
  }
  if (link.channel.StartLink() != kOk) {
    display.Show(MessageKind::Error, words::kCommunicationError);
    display.EndLine();
    link.port.ClosePort();
    lastSessionMs_ = clock.NowMs() - startedMs;
    return kExitFailure;
  }
  Session session{link, reporter, clock, out, err, interactive, printer.get()};
  int status = body(session);
  // A wait that ran out of its limit on a printer without an error still says why.
  if (status != kExitOk && !interrupted && o.waitLimitSeconds >= 0 && !display.ShowedError()) {
    if (const auto w = words::StatusWords(link.channel.PrinterStatus()); !w.empty()) {
      display.Show(MessageKind::Error, w);
    }
  }
  display.EndLine();
  if (!session.skipLinkShutdown) link.channel.ShutdownLink();
  link.port.ClosePort();
  lastSessionMs_ = clock.NowMs() - startedMs;
  if (interrupted) status = kExitInterrupted;
  // Output that was lost is a failure even when the printer work went well.
  if (trace && !trace->Flush()) {
    err << "vantorctl: cannot write " << o.trace << '\n';
    status = kExitFailure;
  }
  if (capture && !capture->flush()) {
    err << "vantorctl: cannot write " << o.capture << '\n';
    status = kExitFailure;
  }
  if (!pages.Error().empty()) {
    err << "vantorctl: " << pages.Error() << '\n';
    if (status == kExitOk) status = kExitFailure;
  }
  return status;
}

}  // namespace vantor::cli
