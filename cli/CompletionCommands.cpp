// completion bash: a bash completion script written from the command tree, so it never lags
// behind the commands. Hidden: it is for the installation, not for the technician.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "cli/Cli.h"

namespace vantor::cli {

namespace {

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// One case branch per command path: the subcommands and long options offered after it.
void AddBranches(const CLI::App& app, const std::string& path, std::string& cases) {
  std::string words;
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_group().empty()) continue;
    words += (words.empty() ? "" : " ") + sub->get_name();
  }
  for (const CLI::Option* o : app.get_options()) {
    for (const std::string& name : o->get_lnames()) words += (words.empty() ? "--" : " --") + name;
  }
  cases += "    " + Quoted(path) + ") echo \"" + words + "\" ;;\n";
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_group().empty()) continue;
    AddBranches(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), cases);
  }
}

}  // namespace

std::string BashCompletion(const CLI::App& app) {
  std::string cases;
  AddBranches(app, "", cases);
  return "# bash completion for vantorctl, written by 'vantorctl completion bash'\n"
         "_vantorctl_words() {\n"
         "  case \"$1\" in\n" +
         cases +
         "  esac\n"
         "}\n"
         "_vantorctl() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} path='' word i\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    word=${COMP_WORDS[i]}\n"
         "    case \" $(_vantorctl_words \"$path\") \" in\n"
         "      *\" $word \"*) [[ $word == -* ]] || path=${path:+$path }$word ;;\n"
         "    esac\n"
         "  done\n"
         "  COMPREPLY=($(compgen -W \"$(_vantorctl_words \"$path\")\" -- \"$cur\"))\n"
         "}\n"
         "complete -F _vantorctl vantorctl\n";
}

void AddCompletionCommands(Cli& cli) {
  CLI::App& app = cli.App();
  auto* completion = app.add_subcommand("completion", "shell completion script")->group("");
  completion->require_subcommand(1);
  auto* bash = completion->add_subcommand("bash", "the bash completion script");
  cli.AddOfflineCommand(bash, [&app] {
    std::cout << BashCompletion(app);
    return kExitOk;
  });
}

}  // namespace vantor::cli
