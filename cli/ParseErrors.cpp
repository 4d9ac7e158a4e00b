// vantorctl's words for a command line it cannot take: the nearest command or option, an option
// typed before its command, a missing command or argument with the level's usage, text that is
// not UTF-8.
#include "cli/ParseErrors.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "cli/Help.h"
#include "session/SessionSetup.h"

namespace vantor::cli {

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

}  // namespace

CLI::App* InnermostParsed(CLI::App* app) {
  for (CLI::App* sub : app->get_subcommands()) {
    if (sub->parsed()) return InnermostParsed(sub);
  }
  return app;
}

std::string CommandPath(const CLI::App* app) {
  std::string path;
  for (; app && app->get_parent(); app = app->get_parent())
    path = app->get_name() + (path.empty() ? "" : " " + path);
  return path;
}

namespace {

// The commands that have an option of this name (an option group counts as its command's).
void OwnersOf(const CLI::App& app, const std::string& name, std::vector<std::string>& owners) {
  for (const CLI::App* sub : app.get_subcommands({})) {
    const CLI::App& named = sub->get_name().empty() ? app : *sub;
    for (const CLI::Option* o : sub->get_options()) {
      if (!o->get_positional() && o->check_name(name)) {
        owners.push_back(CommandPath(&named));
        break;
      }
    }
    if (!sub->get_name().empty()) OwnersOf(*sub, name, owners);
  }
}

// An option typed before the command it belongs to: named with that command.
bool ExplainEarlyOption(CLI::App& root, CLI::App* innermost, const std::string& name,
                        std::ostream& err) {
  std::vector<std::string> owners;
  OwnersOf(root, name, owners);
  if (owners.empty()) return false;
  const std::string given = CommandPath(innermost);
  for (const std::string& owner : owners) {
    if (given == owner || given.rfind(owner + " ", 0) == 0) owners = {owner};
  }
  err << "vantorctl: " << name << " belongs after ";
  for (std::size_t i = 0; i < owners.size(); ++i) {
    err << (i == 0 ? "" : i + 1 == owners.size() ? " or " : ", ") << "'" << owners[i] << "'";
  }
  err << '\n';
  return true;
}

}  // namespace

bool ExplainUnknownWord(CLI::App& root, const std::vector<std::string>& args, std::ostream& err) {
  CLI::App* app = InnermostParsed(&root);
  const auto remaining = root.remaining(true);
  if (remaining.empty()) return false;
  const std::string& word = remaining.front();
  std::vector<std::string> candidates;
  std::string kind;
  if (word.rfind("-", 0) == 0) {
    if (ExplainEarlyOption(root, app, word.substr(0, word.find('=')), err)) return true;
    kind = "option";
    for (CLI::App* a = app; a; a = a->get_parent()) {
      for (const CLI::Option* o : a->get_options()) {
        for (const std::string& name : o->get_lnames()) candidates.push_back("--" + name);
      }
    }
  } else {
    kind = "command";
    // --virtual never takes the next word as its file (it may be a command).
    const auto at = std::find(args.begin(), args.end(), word);
    if (at != args.begin() && at != args.end() &&
        (*(at - 1) == kVirtualOption || *(at - 1) == kVirtualOptionAlias) &&
        word.find_first_of("./\\") != std::string::npos) {
      err << "vantorctl: " << *(at - 1) << " takes a file only after '=': write " << *(at - 1)
          << "=" << word << '\n';
      return true;
    }
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

bool ExplainMissing(const CLI::ParseError& e, CLI::App& root, bool json, std::ostream& err) {
  if (dynamic_cast<const CLI::RequiredError*>(&e) == nullptr) return false;
  CLI::App* app = InnermostParsed(&root);
  std::string what = e.what();
  if (what == "A subcommand is required") what = "a command is required";
  const std::string path = CommandPath(app);
  err << "vantorctl: " << (path.empty() ? "" : path + ": ") << what << '\n';
  if (!json) err << '\n' << UsageText(*app);
  return true;
}

namespace {

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

}  // namespace vantor::cli
