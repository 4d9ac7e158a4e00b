#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "link/backends/PortDefaults.h"
#include "link/backends/PortDoctor.h"

namespace vantor::cli {

void AddPortCommands(Cli& cli) {
  CLI::App& app = cli.App();
  auto* ports = app.add_subcommand(
      "ports", "Show where each port name leads, what is missing and what to do about it");
  // Opening a port to ask for its device ID takes it from a print queue for a moment.
  auto noOpen = std::make_shared<bool>(false);
  ports->add_flag("--no-open", *noOpen, "Do not open the ports (no device IDs)");
  cli.AddOfflineCommand(ports, [&app, noOpen] {
    PortTable table;
    AddDefaultPorts(table);
    // The doctor checks the table the other commands would use, --device overrides included.
    if (const CLI::Option* devices = app.get_option_no_throw("--device")) {
      for (const std::string& d : devices->results()) {
        const auto eq = d.find('=');
        std::string why;
        if (eq == std::string::npos ||
            !OverridePort(table, d.substr(0, eq), d.substr(eq + 1), why)) {
          std::cerr << "vantorctl: --device " << d << ": "
                    << (why.empty() ? "expected NAME=PATH" : why) << "\n";
          return kExitUsage;
        }
      }
    }
    DoctorOptions options;
    options.tryOpen = !*noOpen;
    const auto checks = ExaminePorts(table, options);
    std::cout << FormatDoctorReport(checks);
    return AnyPortWorks(checks) ? kExitOk : kExitFailure;
  });
}

}  // namespace vantor::cli
