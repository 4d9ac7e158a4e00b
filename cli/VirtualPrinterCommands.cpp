// serve-virtual: the virtual printer on a pseudo-terminal, or on a device file such as a USB
// gadget's printer file, for another program to drive.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>

#include "cli/Cli.h"
#include "session/SessionSetup.h"
#include "sim/PtyServer.h"
#include "sim/VirtualPrinter.h"

namespace vantor::cli {

namespace {

struct ServeSettings {
  std::string link;
  std::string device;
  std::string state;
  std::string pages;
  double timeScale = 1.0;
};

}  // namespace

void AddVirtualPrinterCommands(Cli& cli) {
  auto settings = std::make_shared<ServeSettings>();
  CLI::App* sub = cli.App().add_subcommand(
      "serve-virtual", "serve the virtual printer on a pseudo-terminal or a device file");
  sub->footer(
      "Console lines on standard input: ink, paper out, paper in, error NN, clear, lever N, "
      "nozzle, fault KIND[,...], fault off, status, quit.");
  CLI::Option_group* where = sub->add_option_group("carrier", "where the printer is served");
  where->add_option("--link", settings->link, "symbolic link to create to a new terminal")
      ->type_name("PATH");
  // Its own option here, not the global NAME=PATH: this is the printer's end of a device.
  where
      ->add_option("--device", settings->device,
                   "an existing device file instead, e.g. a USB gadget's /dev/g_printer0")
      ->option_text("FILE");
  where->require_option(1);
  sub->add_option("--state", settings->state, "keep the EEPROM in this 256-byte FILE")
      ->type_name("FILE");
  sub->add_option("--pages", settings->pages, "write each printed sheet into DIR as a PNG")
      ->option_text("DIR");
  sub->add_option("--time-scale", settings->timeScale,
                  "multiply the printer's mechanism times (0.1: ten times faster)")
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            // Range alone lets "nan" through: every comparison with it is false.
            const double v = std::strtod(text.c_str(), nullptr);
            return std::isfinite(v) && v > 0.0 && v <= 100.0
                       ? std::string()
                       : "a number above 0 and at most 100 is needed";
          },
          ""))
      ->type_name("X")
      ->capture_default_str();

  cli.AddOfflineCommand(sub, [&cli, settings]() {
    CLI::App& app = cli.App();
    const Model model = GlobalOption(app, "--model", "Q40") == "Q30" ? Model::Q30 : Model::Q40;
    SystemClock clock;
    SessionOptions options;
    options.virtualPrinter = true;
    options.model = model;
    options.stateFile = settings->state;
    options.capture = GlobalOption(app, "--capture", "");
    options.pagesDir = settings->pages;
    SessionSetup setup(clock);
    SetupFailure failure;
    if (!setup.Build(options, failure)) {
      std::cerr << "vantorctl: " << failure.message << '\n';
      return failure.step == SetupStep::StateFile ? kExitUsage : kExitFailure;
    }
    sim::VirtualPrinter& printer = *setup.Printer();
    printer.SetTimeScale(settings->timeScale);
    sim::ServeOptions serve;
    serve.errors = &std::cerr;
    const int status =
        settings->device.empty()
            ? sim::ServeVirtual(printer, clock, settings->link, std::cin, std::cout, serve)
            : sim::ServeVirtualOnDevice(printer, settings->device, std::cin, std::cout, serve);
    return status == 0 ? kExitOk : kExitFailure;
  });
}

}  // namespace vantor::cli
