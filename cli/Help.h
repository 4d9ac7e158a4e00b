// vantorctl's help, written by us rather than by the parser.
#pragma once

#include <memory>
#include <string>

namespace CLI {
class App;
class Formatter;
}  // namespace CLI

namespace vantor::cli {

// The help of one command: description, usage, arguments, options and the commands below it;
// all adds each command below with its own arguments and options (the manual pages).
std::string HelpText(const CLI::App& command, bool all);
// The usage line and the commands (or arguments) of one level, shown when something is missing.
std::string UsageText(const CLI::App& command);
// What --help and --help-all print, for every command.
std::shared_ptr<CLI::Formatter> MakeHelpFormatter();

}  // namespace vantor::cli
