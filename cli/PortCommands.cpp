#include <CLI/CLI.hpp>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "link/backends/PortDefaults.h"
#include "link/backends/PortDoctor.h"

namespace vantor::cli {

void AddPortCommands(Cli& cli) {
  CLI::App& app = cli.App();
  auto* ports = app.add_subcommand(
      "ports", "show where each port name leads, what is missing and what to do about it");
  // Opening a port to ask for its device ID takes it from a print queue for a moment.
  auto noOpen = std::make_shared<bool>(false);
  ports->add_flag("--no-open", *noOpen, "do not open the ports (no device IDs)");
  cli.AddOfflineCommand(
      ports,
      [&cli, &app, noOpen] {
        CommandOutput report(cli.JsonWanted());
        report.SetCommand("ports");
        PortTable table;
        AddDefaultPorts(table);
        // The doctor checks the table the other commands would use, --device overrides included.
        if (const CLI::Option* devices = app.get_option_no_throw("--device")) {
          for (const std::string& d : devices->results()) {
            const auto eq = d.find('=');
            std::string why;
            if (eq == std::string::npos ||
                !OverridePort(table, d.substr(0, eq), d.substr(eq + 1), why)) {
              std::ostringstream words;
              words << "vantorctl: --device " << d << ": "
                    << (why.empty() ? "expected NAME=PATH" : why) << "\n";
              if (report.JsonWanted())
                report.WriteFailure(kExitUsage, words.str(), std::cerr);
              else
                std::cerr << words.str();
              return kExitUsage;
            }
          }
        }
        DoctorOptions options;
        options.tryOpen = !*noOpen;
        const auto checks = ExaminePorts(table, options);
        const int status = AnyPortWorks(checks) ? kExitOk : kExitFailure;
        if (!report.JsonWanted()) {
          std::cout << FormatDoctorReport(checks);
          return status;
        }
        Json list = Json::array();
        for (const PortCheck& c : checks) {
          list.push_back({{"name", c.name},
                          {"device", c.device},
                          {"backend", c.backend},
                          {"node", c.node},
                          {"exists", c.exists},
                          {"accessible", c.accessible},
                          {"group", c.group},
                          {"in_group", c.inGroup},
                          {"opened", c.opened},
                          {"failure", c.failure},
                          {"holders", c.holders},
                          {"driver", c.driver},
                          {"device_id", c.deviceId},
                          {"device_id_note", c.deviceIdNote},
                          {"advice", c.advice}});
        }
        report.Set("ports", std::move(list));
        report.Write(status, "", "", std::cout, std::cerr);
        return status;
      },
      true);
}

}  // namespace vantor::cli
