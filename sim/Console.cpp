// The virtual printer's console lines, the same whatever carries the port.
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "link/Hex.h"
#include "sim/PtyServer.h"
#include "sim/Texts.h"

namespace vantor::sim {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

std::string Describe(const VirtualPrinter::Snapshot& s) {
  std::ostringstream out;
  out << "ST:" << ByteHex(s.st) << " ER:" << (s.er ? ByteHex(*s.er) : std::string("--"))
      << " paper:" << (s.paperOut ? "out" : "in") << " protection:" << s.protectionCounter
      << " pages:" << s.pageCounter << " passes:" << s.passCounter << " ink:";
  for (std::size_t i = 0; i < s.ink.size(); ++i) out << (i ? "/" : "") << int(s.ink[i]);
  out << " lever:" << s.headAngleLever;
  return out.str();
}

}  // namespace

bool RunConsoleLine(VirtualPrinter& printer, const std::string& raw, std::ostream& log) {
  const std::string line = Trim(raw);
  if (line.empty()) return true;
  std::istringstream words(line);
  std::string word, arg;
  words >> word >> arg;
  if (word == "quit") return false;
  if (word == "ink" && arg.empty()) {
    printer.PressInkSwitch();
  } else if (word == "paper" && (arg == "out" || arg == "in")) {
    printer.SetPaperOut(arg == "out");
  } else if (const auto code = ParseHex(arg, HexLetters::Either);
             word == "error" && code && arg.size() <= 2) {
    printer.RaiseError(static_cast<std::uint8_t>(*code));
  } else if (word == "clear" && arg.empty()) {
    printer.ClearError();
  } else if (word == "lever" && !arg.empty() && arg.size() <= 3 &&
             arg.find_first_not_of("-0123456789") == std::string::npos) {
    printer.SetHeadAngleLever(std::atoi(arg.c_str()));
  } else if (word == "nozzle" && arg.empty()) {
    printer.PrintNozzleCheck();
  } else if (word == "fault" && !arg.empty()) {
    if (std::string why; !printer.GetFaults().Apply(arg, why)) {
      log << why << std::endl;
      return true;
    }
  } else if (word == "misalign") {
    // The settings hold no spaces; a line may still space its parts.
    std::string rest;
    std::getline(words, rest);
    const std::string text = arg + rest;
    if (text.empty()) {
      log << printer.MisalignmentText() << std::endl;
      return true;
    }
    if (std::string why; !printer.SetMisalignment(text, why)) {
      log << why << std::endl;
      return true;
    }
  } else if (word == "status" && arg.empty()) {
    log << Describe(printer.State()) << std::endl;
    return true;
  } else if (word == "help") {
    log << texts::kConsoleHelp << std::endl;
    return true;
  } else {
    log << texts::kConsoleUnknown << line << "\n" << texts::kConsoleHelp << std::endl;
    return true;
  }
  log << texts::kConsoleDone << std::endl;
  return true;
}

}  // namespace vantor::sim
