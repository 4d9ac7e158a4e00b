// completion bash: a bash completion script written from the command tree, so it never lags
// behind the commands. Hidden: it is for the installation, not for the technician.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/EepromMap.h"
#include "cli/Cli.h"

namespace vantor::cli {

namespace {

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

std::string CompletionPath(const std::string& path, const CLI::App& sub) {
  return path.empty() ? sub.get_name() : path + " " + sub.get_name();
}

bool Offered(const CLI::App* sub) {
  return !sub->get_name().empty() && !sub->get_group().empty();
}

std::string Join(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& w : words) joined += (joined.empty() ? "" : " ") + w;
  return joined;
}

std::vector<std::string> SelectionWords() {
  std::vector<std::string> words;
  const std::string groups(procedures::SelectionGroups());
  for (std::size_t at = 0; at < groups.size();) {
    const std::size_t comma = groups.find(", ", at);
    words.push_back(groups.substr(at, comma - at));
    at = comma == std::string::npos ? groups.size() : comma + 2;
  }
  return words;
}

// What an option's value is, for the completion: "words W...", "list W..." (comma-separated),
// "files", "dirs", or "none" for a value nothing can be offered for; empty for a flag.
std::string ValueKind(const CLI::Option& o) {
  const std::string name = o.get_lnames().empty() ? "" : o.get_lnames().front();
  if (name == "virtual") return "files";     // only as --virtual=FILE
  if (o.get_expected_max() == 0) return "";  // a flag
  if (name == "model") return "words Q40 Q30";
  if (name == "port") return "words LPT1 LPT2 LPT3 TVUSB1 TVUSB2 TVUSB3";
  if (name == "color") return "words auto always never";
  if (name == "replaced") return "list main-board ps-board cr-motor cr-guide-shaft";
  if (name == "only") return "words " + Join(SelectionWords());
  std::string type = o.get_option_text().empty() ? o.get_type_name() : o.get_option_text();
  type = type.substr(0, type.find(':'));
  if (type == "DIR") return "dirs";
  if (type == "NAME=PATH") return "rows LPT1= LPT2= LPT3= TVUSB1= TVUSB2= TVUSB3=";
  if (type == "FILE" || type == "PATH" || o.get_description().find("FILE") != std::string::npos)
    return "files";
  return "none";
}

// What the arguments of a command are: "files", "rows W..." (ROW= words), or empty.
std::string ArgumentKind(const CLI::App& app) {
  for (const CLI::Option* o : app.get_options()) {
    if (!o->get_positional()) continue;
    const std::string name = o->get_name(true, false);
    if (name == "FILE" || name == "PAGE" || name == "CAPTURE") return "files";
    if (name == "ROW=VALUE") {
      std::string rows = "rows";
      for (const auto& row : procedures::kBidRows) rows += " " + std::string(row.key) + "=";
      return rows;
    }
  }
  return "";
}

struct Branches {
  std::string commands, options, values, arguments;
};

void AddOptionValues(const CLI::App& app, const std::string& pattern, std::string& values) {
  const auto add = [&](const CLI::App& from) {
    for (const CLI::Option* o : from.get_options()) {
      if (o->get_positional()) continue;
      const std::string kind = ValueKind(*o);
      if (kind.empty()) continue;
      std::string names;
      for (const std::string& s : o->get_snames())
        names += (names.empty() ? "" : "|") + pattern + "-" + s;
      for (const std::string& l : o->get_lnames())
        names += (names.empty() ? "" : "|") + pattern + "--" + l;
      values += "    " + names + ") echo \"" + kind + "\" ;;\n";
    }
  };
  add(app);
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_name().empty()) add(*sub);
  }
}

// One case branch per command path: its commands, its options (the global ones after every
// command too), its options' values and its arguments.
void AddBranches(const CLI::App& app, const std::string& path, Branches& b) {
  std::vector<std::string> commands, options;
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (Offered(sub)) commands.push_back(sub->get_name());
  }
  const auto addOptions = [&options](const CLI::App& from) {
    for (const CLI::Option* o : from.get_options()) {
      for (const std::string& name : o->get_lnames()) options.push_back("--" + name);
    }
  };
  addOptions(app);
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_name().empty()) addOptions(*sub);
  }
  b.commands += "    " + Quoted(path) + ") echo \"" + Join(commands) + "\" ;;\n";
  b.options += "    " + Quoted(path) + ") echo \"" + Join(options) + "\" ;;\n";
  if (!path.empty()) AddOptionValues(app, Quoted(path) + "\\|", b.values);
  if (const std::string kind = ArgumentKind(app); !kind.empty())
    b.arguments += "    " + Quoted(path) + ") echo \"" + kind + "\" ;;\n";
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (Offered(sub)) AddBranches(*sub, CompletionPath(path, *sub), b);
  }
}

}  // namespace

std::string BashCompletion(const CLI::App& app) {
  Branches b;
  AddBranches(app, "", b);
  // The global options follow any command; a command's own option of the same name comes first.
  AddOptionValues(app, "*\\|", b.values);
  return "# bash completion for vantorctl, written by 'vantorctl completion bash'\n"
         "_vantorctl_commands() {\n"
         "  case \"$1\" in\n" +
         b.commands +
         "  esac\n"
         "}\n"
         "_vantorctl_options() {\n"
         "  case \"$1\" in\n" +
         b.options +
         "  esac\n"
         "  # The global options follow every command.\n"
         "  if [ -n \"$1\" ]; then _vantorctl_options ''; fi\n"
         "}\n"
         "_vantorctl_values() {\n"
         "  case \"$1|$2\" in\n" +
         b.values +
         "  esac\n"
         "}\n"
         "_vantorctl_arguments() {\n"
         "  case \"$1\" in\n" +
         b.arguments +
         "  esac\n"
         "}\n"
         "_vantorctl_reply() {\n"
         "  local kind=$1 cur=$2\n"
         "  case $kind in\n"
         "    files) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"
         "    dirs) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\")) ;;\n"
         "    words\\ *) COMPREPLY=($(compgen -W \"${kind#words }\" -- \"$cur\"))\n"
         "      # q30 is Q30\n"
         "      ((${#COMPREPLY[@]})) || COMPREPLY=($(compgen -W \"${kind#words }\" -- "
         "\"${cur^^}\")) ;;\n"
         "    list\\ *)\n"
         "      local done=''\n"
         "      [[ $cur == *,* ]] && done=${cur%,*},\n"
         "      COMPREPLY=($(compgen -P \"$done\" -W \"${kind#list }\" -- \"${cur##*,}\")) ;;\n"
         "    rows\\ *) compopt -o nospace 2>/dev/null\n"
         "      COMPREPLY=($(compgen -W \"${kind#rows }\" -- \"$cur\")) ;;\n"
         "    *) COMPREPLY=() ;;\n"
         "  esac\n"
         "}\n"
         "_vantorctl() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev='' path='' word i kind\n"
         "  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
         "  # bash splits --option=value at the '='.\n"
         "  if [[ $cur == = ]]; then\n"
         "    cur=''\n"
         "  elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then\n"
         "    prev=${COMP_WORDS[COMP_CWORD - 2]}\n"
         "  elif [[ $cur == --*=* ]]; then\n"
         "    prev=${cur%%=*} cur=${cur#*=}\n"
         "  elif [[ $prev == --virtual ]]; then\n"
         "    prev=''  # the file only after '='\n"
         "  fi\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    word=${COMP_WORDS[i]}\n"
         "    if [[ $word == -* ]]; then\n"
         "      if [[ ${COMP_WORDS[i + 1]} == = ]]; then\n"
         "        ((i += 2))\n"
         "      elif [[ $word != *=* && $word != --virtual ]] &&\n"
         "        [[ -n $(_vantorctl_values \"$path\" \"$word\") ]]; then\n"
         "        ((i++))\n"
         "      fi\n"
         "      continue\n"
         "    fi\n"
         "    case \" $(_vantorctl_commands \"$path\") \" in\n"
         "      *\" $word \"*) path=${path:+$path }$word ;;\n"
         "    esac\n"
         "  done\n"
         "  if [[ $prev == -* ]]; then\n"
         "    kind=$(_vantorctl_values \"$path\" \"$prev\")\n"
         "    if [[ -n $kind ]]; then\n"
         "      _vantorctl_reply \"$kind\" \"$cur\"\n"
         "      return\n"
         "    fi\n"
         "  fi\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W \"$(_vantorctl_options \"$path\")\" -- \"$cur\"))\n"
         "    return\n"
         "  fi\n"
         "  kind=$(_vantorctl_arguments \"$path\")\n"
         "  if [[ -n $kind ]]; then\n"
         "    _vantorctl_reply \"$kind\" \"$cur\"\n"
         "    return\n"
         "  fi\n"
         "  COMPREPLY=($(compgen -W \"$(_vantorctl_commands \"$path\")\" -- \"$cur\"))\n"
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
