// vantorctl's words for a command line it cannot take, apart from running the command.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

namespace vantor::cli {

// The innermost subcommand the parser entered, and its path below the program ("eeprom read").
CLI::App* InnermostParsed(CLI::App* app);
std::string CommandPath(const CLI::App* app);

// Names a word the parser could not place, with the nearest command or option; false when the
// parser's own message says it better (a missing value, a value out of a list).
bool ExplainUnknownWord(CLI::App& root, const std::vector<std::string>& args, std::ostream& err);
// A command, or an argument of one, left out: the level's usage follows the complaint.
bool ExplainMissing(const CLI::ParseError& e, CLI::App& root, bool json, std::ostream& err);

// The text with every byte that is not part of a UTF-8 sequence shown as \xHH, or nothing when
// all of it is UTF-8.
std::optional<std::string> NotUtf8(std::string_view text);

// The nearest of candidates to word, or empty when none is close enough to be meant.
std::string NearestWord(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace vantor::cli
