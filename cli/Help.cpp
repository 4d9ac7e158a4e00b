// help: the usage, arguments, options and commands of each level, written by us rather than by
// the parser so that it names values as a person types them (--virtual[=FILE], --model Q40|Q30)
// and reads well both on a terminal and through help2man.
#include "cli/Help.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/ParseErrors.h"

namespace vantor::cli {

namespace {

constexpr std::size_t kTermColumn = 30;
constexpr std::size_t kWidth = 79;

bool Listed(const CLI::App* sub) {
  return !sub->get_name().empty() && !sub->get_group().empty();
}

std::string PathOf(const CLI::App& app) {
  std::string path;
  for (const CLI::App* a = &app; a && a->get_parent(); a = a->get_parent())
    path = a->get_name() + (path.empty() ? "" : " " + path);
  return path;
}

// The options of a command, those of its option groups included; the help flags only where
// asked for.
std::vector<const CLI::Option*> OptionsOf(const CLI::App& app, bool withHelp) {
  std::vector<const CLI::Option*> options;
  const auto add = [&](const CLI::App& from) {
    for (const CLI::Option* o : from.get_options()) {
      if (o->get_positional() || o->get_group().empty()) continue;
      if (!withHelp && (o == from.get_help_ptr() || o == from.get_help_all_ptr())) continue;
      options.push_back(o);
    }
  };
  add(app);
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_name().empty()) add(*sub);
  }
  return options;
}

std::vector<const CLI::Option*> ArgumentsOf(const CLI::App& app) {
  std::vector<const CLI::Option*> arguments;
  for (const CLI::Option* o : app.get_options()) {
    if (o->get_positional()) arguments.push_back(o);
  }
  return arguments;
}

// The parser's own type names say nothing to a technician.
std::string ValueName(const CLI::Option& o) {
  std::string type = o.get_type_name();
  type = type.substr(0, type.find(':'));
  for (const char* generic :
       {"TEXT", "INT", "UINT", "FLOAT", "BOOLEAN", "NUMBER", "ENUM", "CHAR"}) {
    if (type != generic) continue;
    // An option described as writing to FILE takes a FILE.
    for (const char* named : {"FILE", "DIR"}) {
      if (o.get_description().find(named) != std::string::npos) return named;
    }
    return "VALUE";
  }
  return type.empty() ? "VALUE" : type;
}

std::string OptionTerm(const CLI::Option& o) {
  std::string term;
  for (const std::string& s : o.get_snames()) term += (term.empty() ? "-" : ", -") + s;
  // A second long name is an alias, which the option's text names.
  if (!o.get_lnames().empty()) term += (term.empty() ? "--" : ", --") + o.get_lnames().front();
  const std::string& text = o.get_option_text();
  if (!text.empty()) return term + (text.rfind("[=", 0) == 0 ? text : " " + text);
  if (o.get_expected_max() != 0) term += " " + ValueName(o);
  return term;
}

std::string ArgumentUsage(const CLI::Option& o) {
  std::string name = o.get_name(true, false);
  if (o.get_expected_max() > 1) name += "...";
  return o.get_required() ? name : "[" + name + "]";
}

// What follows the command's name: its arguments, then its commands.
std::string Tail(const CLI::App& app) {
  std::string tail;
  for (const CLI::Option* a : ArgumentsOf(app)) tail += " " + ArgumentUsage(*a);
  bool commands = false;
  for (const CLI::App* sub : app.get_subcommands({})) commands = commands || Listed(sub);
  if (commands) tail += app.get_require_subcommand_min() > 0 ? " COMMAND" : " [COMMAND]";
  return tail;
}

void Entry(std::ostream& out, std::string term, const std::string& text) {
  term = "  " + term;
  out << term;
  if (term.size() + 2 > kTermColumn) {
    out << '\n' << std::string(kTermColumn, ' ');
  } else {
    out << std::string(kTermColumn - term.size(), ' ');
  }
  // Wrapped at word boundaries under the text's column, as help2man reads it back.
  std::size_t column = kTermColumn;
  std::istringstream words(text);
  bool first = true;
  for (std::string word; words >> word; first = false) {
    if (!first && column + 1 + word.size() > kWidth) {
      out << '\n' << std::string(kTermColumn, ' ');
      column = kTermColumn;
    } else if (!first) {
      out << ' ';
      ++column;
    }
    out << word;
    column += word.size();
  }
  out << '\n';
}

std::string OptionText(const CLI::Option& o) {
  std::string text = o.get_description();
  if (!o.get_default_str().empty()) text += " (default " + o.get_default_str() + ")";
  return text;
}

void ArgumentsAndOptions(std::ostream& out, const CLI::App& app, bool withHelp,
                         const std::string& optionsTitle) {
  const auto arguments = ArgumentsOf(app);
  if (!arguments.empty()) {
    out << "\nArguments:\n";
    for (const CLI::Option* a : arguments) Entry(out, a->get_name(true, false), OptionText(*a));
  }
  const auto options = OptionsOf(app, withHelp);
  if (!options.empty()) {
    out << '\n' << optionsTitle << ":\n";
    for (const CLI::Option* o : options) Entry(out, OptionTerm(*o), OptionText(*o));
  }
}

// Every command below app, each with its arguments and options (the manual pages).
void Below(std::ostream& out, const CLI::App& app) {
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (!Listed(sub)) continue;
    out << "\nvantorctl " << PathOf(*sub) << Tail(*sub) << ":\n";
    out << "  " << sub->get_description() << "\n\n";
    const auto arguments = ArgumentsOf(*sub);
    for (const CLI::Option* a : arguments) Entry(out, a->get_name(true, false), OptionText(*a));
    for (const CLI::Option* o : OptionsOf(*sub, false)) Entry(out, OptionTerm(*o), OptionText(*o));
    Below(out, *sub);
  }
}

void UsageLine(std::ostream& out, const CLI::App& app) {
  const std::string path = PathOf(app);
  out << "Usage: vantorctl [OPTIONS]" << (path.empty() ? "" : " " + path) << Tail(app)
      << (app.get_parent() == nullptr ? " ..." : "") << '\n';
}

void Commands(std::ostream& out, const CLI::App& app) {
  std::vector<const CLI::App*> commands;
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (Listed(sub)) commands.push_back(sub);
  }
  if (commands.empty()) return;
  out << "\nCommands:\n";
  for (const CLI::App* sub : commands)
    Entry(out, sub->get_name() + Tail(*sub), sub->get_description());
}

}  // namespace

std::string UsageText(const CLI::App& app) {
  std::ostringstream out;
  UsageLine(out, app);
  if (app.get_parent() != nullptr) {
    const auto arguments = ArgumentsOf(app);
    if (!arguments.empty()) out << "\nArguments:\n";
    for (const CLI::Option* a : arguments) Entry(out, a->get_name(true, false), OptionText(*a));
  }
  Commands(out, app);
  const std::string path = PathOf(app);
  out << "\n'vantorctl help" << (path.empty() ? "" : " " + path) << "' tells more.\n";
  return out.str();
}

std::string HelpText(const CLI::App& app, bool all) {
  const bool root = app.get_parent() == nullptr;
  const std::string path = PathOf(app);
  std::ostringstream out;
  out << (root ? "vantorctl" : "vantorctl " + path) << ": " << app.get_description() << "\n\n";
  UsageLine(out, app);
  ArgumentsAndOptions(out, app, root, root ? "Options (before or after the command)" : "Options");
  Commands(out, app);
  if (!app.get_footer().empty()) out << '\n' << app.get_footer() << '\n';
  if (all) Below(out, app);
  if (!root) {
    out << "\nThe options every command takes (--model, --port, --virtual[=FILE], --json, ...)\n"
           "are in 'vantorctl help'.\n";
  } else {
    out << "\n'vantorctl help COMMAND' tells more of a command.\n";
  }
  out << '\n' << kExitCodeTable;
  return out.str();
}

void AddHelpCommand(Cli& cli) {
  CLI::App& app = cli.App();
  auto* help = app.add_subcommand("help", "show the usage of vantorctl or of a command");
  auto words = std::make_shared<std::vector<std::string>>();
  help->add_option("COMMAND", *words, "the command, e.g. eeprom read");
  cli.AddOfflineCommand(help, [&app, words] {
    CLI::App* at = &app;
    for (const std::string& word : *words) {
      CLI::App* next = nullptr;
      std::vector<std::string> names;
      for (CLI::App* sub : at->get_subcommands({})) {
        if (!Listed(sub)) continue;
        names.push_back(sub->get_name());
        if (sub->get_name() == word) next = sub;
      }
      if (next == nullptr) {
        const std::string known = PathOf(*at);
        const std::string prefix = known.empty() ? "" : known + " ";
        std::cerr << "vantorctl: unknown command '" << prefix << word << "'";
        const std::string nearest = NearestWord(word, names);
        if (!nearest.empty())
          std::cerr << "; did you mean '" << prefix << nearest << "'?\n";
        else
          std::cerr << "; 'vantorctl help" << (known.empty() ? "" : " " + known)
                    << "' lists them\n";
        return kExitUsage;
      }
      at = next;
    }
    std::cout << HelpText(*at, false);
    return kExitOk;
  });
}

namespace {
class HelpFormatter final : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const override {
    return HelpText(*app, mode == CLI::AppFormatMode::All);
  }
};
}  // namespace

std::shared_ptr<CLI::Formatter> MakeHelpFormatter() {
  return std::make_shared<HelpFormatter>();
}

}  // namespace vantor::cli
