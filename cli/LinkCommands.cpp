// status, EEPROM, counters and maintenance commands.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>

#include "adjust/procedures/Procedures.h"
#include "cli/Cli.h"
#include "cli/TerminalDisplay.h"
#include "link/Hex.h"
#include "words/Words.h"

namespace vantor::cli {

namespace {

// The window's edit boxes force upper case.
std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

void PrintTable(std::ostream& out, procedures::EepromRange range,
                const std::array<std::uint8_t, 256>& bytes) {
  out << ' ';
  for (unsigned c = 0; c < 16; ++c) out << "  " << HexDigit(c);
  out << '\n';
  // Only the rows that hold an address asked for.
  for (int r = range.start / 16; r <= range.end / 16; ++r) {
    std::string line(1, HexDigit(unsigned(r)));
    for (int c = 0; c < 16; ++c) {
      const int a = r * 16 + c;
      line += ' ';
      line += a >= range.start && a <= range.end ? HexPairView(ByteToHexPair(bytes[a])) : "  ";
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  }
}

int EepromRead(Session& s, const std::string& startText,
               const std::optional<std::string>& endText) {
  const std::string start = Upper(startText);
  // An empty END typed on purpose is wrong input, not a one-byte read.
  const std::string end = endText ? Upper(*endText) : start;
  procedures::InputField focus{};
  procedures::EepromRange range;
  if (procedures::CheckEepromRange(s.context, start, end, range, focus) != kOk) return kExitUsage;
  std::array<std::uint8_t, 256> bytes{};
  const int total = range.end - range.start + 1;
  auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display());
  const bool progress = s.interactive && total > 1 && terminal != nullptr;
  int done = 0;
  const Result r =
      procedures::ReadEepromRange(s.context, range, [&](std::uint8_t address, std::uint8_t value) {
        bytes[address] = value;
        if (progress)
          terminal->Progress("Reading EEPROM " + std::to_string(++done) + "/" +
                             std::to_string(total));
      });
  if (progress) terminal->EndProgress();
  if (r != kOk) {
    // An interrupt is said by the session's end; half a table is no answer.
    if (!s.link.channel.Cancelled()) s.reporter.ReportResult(r);
    return kExitFailure;
  }
  if (s.report.JsonWanted()) {
    Json cells = Json::array();
    for (int a = range.start; a <= range.end; ++a) {
      Json cell = {{"address", ByteJson(static_cast<std::uint8_t>(a))}};
      cell.update(ByteJson(bytes[a]));
      cells.push_back(std::move(cell));
    }
    s.report.Set("bytes", std::move(cells));
  } else if (total == 1) {
    s.out << HexPairView(ByteToHexPair(bytes[range.start])) << '\n';
  } else {
    PrintTable(s.out, range, bytes);
  }
  return kExitOk;
}

// The counter as a number for --json; the same reads as the procedure that shows it.
int ReportCounter(Session& s, const char* key, Result (MaintenanceCommands::*read)(std::string&),
                  Result (*show)(ProcedureContext&)) {
  if (!s.report.JsonWanted()) return ExitForResult(show(s.context));
  std::string text;
  const Result r = (s.link.maintenance.*read)(text);
  if (r != kOk) {
    s.reporter.ReportResult(r);
    return ExitForResult(r);
  }
  s.report.Set(key, std::stoll(text));
  return kExitOk;
}

bool IsHexPair(const std::string& text, std::uint8_t& value) {
  const auto parsed = ParseHexByte(text, HexLetters::Either);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

struct LinkOptions {
  std::string readStart, writeAddress, writeData;
  std::optional<std::string> readEnd;
  bool oldPad = false, newPad = false, yes = false;
  std::vector<std::string> replaced;
};

int Status(Session& s) {
  if (s.reporter.ShowStatus() != kOk) return kExitFailure;
  const std::uint16_t code = s.link.channel.PrinterStatus();
  s.report.Set("status", CodeJson(code));
  s.report.Set("printer_error", code == kStatusError);
  if (code != kStatusError) {
    s.report.Set("status_words", words::StatusWords(code));
    return kExitOk;
  }
  // In the error state the printer's error is its status, in the words the terminal shows.
  const std::uint16_t error = s.link.channel.PrinterErrorCode();
  const words::PrinterErrorSaid said = words::SayPrinterError(error, s.link.channel.RawErrorCode());
  std::string line(said.words);
  if (said.code) {
    line += " (" + std::string(words::kErrorCodeLine) + " " + std::to_string(*said.code) + ")";
  }
  s.report.Set("status_words", line);
  s.report.Set("error_code", CodeJson(error));
  return kExitFailure;
}

int CrDispersion(Session& s, const LinkOptions& o) {
  procedures::ReplacedParts parts;
  for (const std::string& p : o.replaced) {
    parts.mainBoard |= p == "main-board";
    parts.psBoard |= p == "ps-board";
    parts.crMotor |= p == "cr-motor";
    parts.crGuideShaft |= p == "cr-guide-shaft";
  }
  if (auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display())) {
    terminal->SetAssumeYes(o.yes);
  }
  auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display());
  const auto progress = [&s, terminal](int step, int steps) {
    if (!s.interactive || terminal == nullptr) return;
    if (step == steps)
      terminal->EndProgress();
    else
      terminal->Progress("Measuring " + std::to_string(step) + "/" + std::to_string(steps));
  };
  std::optional<std::int8_t> stored;
  const int exit =
      ExitForResult(procedures::CrMotorDriveDispersion(s.context, parts, progress, &stored));
  if (stored) {
    s.reporter.Display().Show(MessageKind::NewLine,
                              "Value stored at 0x79: " + std::to_string(*stored));
  }
  // The value the procedure wrote, as its record keeps it; none when nothing was written.
  const RecordedChange* c = s.report.LastChangeAt(eeprom::kCrDispersion);
  if (exit == kExitOk && c && c->held) {
    Json value = ByteJson(*c->held);
    value["signed"] = static_cast<std::int8_t>(*c->held);
    s.report.Set("cr_dispersion", std::move(value));
    s.report.Set("measured", parts.crGuideShaft);
  }
  return exit;
}

}  // namespace

void AddLinkCommands(Cli& cli) {
  CLI::App& app = cli.App();
  const auto o = std::make_shared<LinkOptions>();

  auto* status = app.add_subcommand("status", "show the printer status");
  cli.AddCommand(status, Status);

  auto* eeprom = app.add_subcommand("eeprom", "read, write, initialize, back up or restore EEPROM");
  eeprom->require_subcommand(1);
  auto* read = eeprom->add_subcommand("read", "read one byte, or a range as a table");
  read->add_option("ADDR", o->readStart, "address, two hexadecimal digits")->required();
  read->add_option("END", o->readEnd, "last address of a range");
  // Wrong input is the technician's to fix, whether or not a printer is there.
  cli.CheckInputFirst(read, [o] {
    std::uint8_t start = 0, end = 0;
    return IsHexPair(o->readStart, start) && IsHexPair(o->readEnd.value_or(o->readStart), end) &&
           end >= start;
  });
  cli.AddCommand(read, [o](Session& s) { return EepromRead(s, o->readStart, o->readEnd); });

  auto* write = eeprom->add_subcommand("write", "write one byte");
  write->add_option("ADDR", o->writeAddress, "address, two hexadecimal digits")->required();
  write->add_option("DATA", o->writeData, "data, two hexadecimal digits")->required();
  cli.CheckInputFirst(write, [o] {
    std::uint8_t address = 0, data = 0;
    return IsHexPair(o->writeAddress, address) && IsHexPair(o->writeData, data);
  });
  cli.AddCommand(write, [o](Session& s) {
    return ExitForResult(
        procedures::ChangeEepromByte(s.context, Upper(o->writeAddress), Upper(o->writeData)));
  });

  auto* init = eeprom->add_subcommand("init", "EEPROM initialization after a main-board change");
  cli.AddCommand(init,
                 [](Session& s) { return ExitForResult(procedures::InitializeEeprom(s.context)); });

  auto* protection =
      app.add_subcommand("protection-counter", "show or clear the protection counter");
  auto* clear = protection->add_subcommand("clear", "clear after an ink-pad replacement");
  auto* oldFlag = clear->add_flag("--old", o->oldPad, "old type of ink pad: counter to 0");
  auto* newFlag = clear->add_flag("--new", o->newPad, "new type of ink pad: counter to 3937");
  oldFlag->excludes(newFlag);
  clear->callback([o] {
    if (!o->oldPad && !o->newPad) throw CLI::RequiredError("--old or --new");
  });
  cli.AddCommand(clear, [o](Session& s) {
    return ExitForResult(procedures::ClearProtectionCounter(s.context, o->newPad));
  });
  cli.AddCommand(protection, [clear](Session& s) {
    if (clear->parsed()) return kExitOk;
    return ReportCounter(s, "protection_counter", &MaintenanceCommands::ReadProtectionCounter,
                         procedures::CheckProtectionCounter);
  });

  auto* page = app.add_subcommand("page-counter", "show the page counter");
  cli.AddCommand(page, [](Session& s) {
    return ReportCounter(s, "page_counter", &MaintenanceCommands::ReadPageCount,
                         procedures::ShowPageCounter);
  });
  auto* pass = app.add_subcommand("pass-counter", "show the print pass counter");
  cli.AddCommand(pass, [](Session& s) {
    return ReportCounter(s, "pass_counter", &MaintenanceCommands::ReadPassCount,
                         procedures::ShowPassCounter);
  });
  auto* clean = app.add_subcommand("clean", "head cleaning (CL3)");
  cli.AddCommand(clean,
                 [](Session& s) { return ExitForResult(procedures::HeadCleaning(s.context)); });
  auto* charge = app.add_subcommand("ink-charge", "ink charge");
  cli.AddCommand(charge,
                 [](Session& s) { return ExitForResult(procedures::InkCharge(s.context)); });

  auto* cr = app.add_subcommand("cr-dispersion", "CR motor drive dispersion after a part change");
  cr->add_option("--replaced", o->replaced,
                 "the parts replaced: main-board, ps-board, cr-motor, cr-guide-shaft")
      ->delimiter(',')
      ->check(
          CLI::IsMember({"main-board", "ps-board", "cr-motor", "cr-guide-shaft"}).description(""))
      ->type_name("PART,...");
  cr->add_flag("-y,--yes", o->yes, "answer OK to the confirmation");
  cli.AddCommand(cr, [o](Session& s) { return CrDispersion(s, *o); });
}

}  // namespace vantor::cli
