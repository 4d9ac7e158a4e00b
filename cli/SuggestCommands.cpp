// bid suggest: the Bi-D values read back from scans of the printed sheets; with --apply they
// are registered through the Bi-D procedure, as bid set does.
#include <CLI/CLI.hpp>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/ScanEntries.h"
#include "cli/Cli.h"
#include "cli/TerminalDisplay.h"
#include "link/EepromAddresses.h"
#include "sheet/SheetReader.h"

namespace vantor::cli {

namespace {

struct SuggestOptions {
  std::vector<std::string> files;
  bool apply = false;
  bool yes = false;
  bool force = false;
};

struct PfSuggestOptions {
  std::string file;
  bool apply = false;
  bool yes = false;
  bool force = false;
};

// Sheets not of the latest print are refused unless the technician insists; false with the
// words told when refused.
bool TakeSheets(Session& s, const procedures::SheetTie& tie, std::string_view pattern,
                std::string_view print, bool force) {
  const std::string reason = procedures::StaleReason(tie.state, pattern);
  if (reason.empty()) return true;
  if (force) {
    s.out << reason << " Read anyway (--force).\n";
    return true;
  }
  s.err << reason << "\nPrint the pattern again (" << print
        << ") and scan the new sheets, or add --force to read these anyway.\n";
  return false;
}

using procedures::Trusted;

// The row names of bid and bid set ("vsd2-color").
std::string SuggestedRowKey(std::size_t row) {
  return std::string(procedures::kBidRows[row].key);
}

void ShowSuggestion(const sheet::BidReading& reading, std::ostream& out) {
  // The sheet carries candidates around the values stored when it was printed, so the
  // reading is a change to those values.
  out << "Change to the values stored when the sheet was printed:\n";
  for (std::size_t i = 0; i < reading.rows.size(); ++i) {
    const auto& r = reading.rows[i];
    char line[128];
    if (!r.read) {
      std::snprintf(line, sizeof line, "  %-12s not on these pages\n",
                    std::string(procedures::kBidRows[i].caption).c_str());
    } else {
      std::snprintf(line, sizeof line, "  %-12s %+d (%.1f)  confidence %.2f%s\n",
                    std::string(procedures::kBidRows[i].caption).c_str(), r.suggested,
                    std::abs(r.offset) < 0.05 ? 0.0 : r.offset, r.confidence,
                    Trusted(r) ? "" : "  unsure: judge by eye");
    }
    out << line;
  }
}

Json SuggestionJson(const sheet::BidReading& reading) {
  Json rows = Json::object();
  for (std::size_t i = 0; i < reading.rows.size(); ++i) {
    const auto& r = reading.rows[i];
    Json row = {{"read", r.read}};
    if (r.read) {
      row["change"] = r.suggested;
      row["offset"] = std::round(r.offset * 100) / 100;
      row["confidence"] = std::round(r.confidence * 100) / 100;
      row["trusted"] = Trusted(r);
    }
    rows[SuggestedRowKey(i)] = std::move(row);
  }
  return rows;
}

// Without --apply no port is opened: the pages are read and the suggestion told, as words or as
// JSON.
template <typename Read, typename Reading>
int SuggestOffline(const char* command, bool json, Read read,
                   void (*show)(const Reading&, std::ostream&), Json (*toJson)(const Reading&)) {
  CommandOutput report(json);
  report.SetCommand(command);
  std::string error;
  const std::optional<Reading> reading = read(error);
  if (!reading) {
    if (json)
      report.WriteFailure(kExitUsage, error + "\n", std::cerr);
    else
      std::cerr << error << "\n";
    return kExitUsage;
  }
  if (!json) {
    show(*reading, std::cout);
    return kExitOk;
  }
  std::ostringstream words;
  show(*reading, words);
  report.Set("suggested", toJson(*reading));
  report.Write(kExitOk, words.str(), "", std::cout, std::cerr);
  return kExitOk;
}

int SuggestBidOffline(const SuggestOptions& o, bool json) {
  return SuggestOffline(
      "bid suggest", json,
      [&](std::string& error) { return procedures::ReadBidScans(o.files, error); }, ShowSuggestion,
      SuggestionJson);
}

// Registers the trusted rows that are off, each as the value stored now plus the change read.
int SuggestBidApply(Session& s, const SuggestOptions& o) {
  std::string error;
  const auto reading = procedures::ReadBidScans(o.files, error);
  if (!reading) {
    s.err << error << "\n";
    return kExitUsage;
  }
  ShowSuggestion(*reading, s.out);
  s.report.Set("suggested", SuggestionJson(*reading));
  if (auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display())) {
    terminal->SetAssumeYes(o.yes);
  }
  std::array<std::optional<int>, procedures::kBidRowCount> stored{};
  const Result read = procedures::ReadBidRows(
      s.context, [&stored](std::size_t row, int value) { stored[row] = value; });
  if (read != kOk) return ExitForResult(read);
  const procedures::SheetTie tie = procedures::TieOfLatestPrint(
      s.reporter, procedures::kBidPrintOperation, eeprom::kBidReadOrder);
  if (!TakeSheets(s, tie, "Bi-D", "bid print", o.force)) return kExitUsage;

  // The changes are added to the values the sheets were printed with, where the record knows
  // them, so that sheets of an earlier print do not add old changes to today's values.
  const auto scanned =
      procedures::BidEntriesFromScan(*reading, procedures::BidPrintedWith(tie, stored));
  std::array<std::optional<std::string>, procedures::kBidRowCount> entries;
  std::string changes;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const procedures::BidScanEntry& e = scanned[i];
    if (e.state != procedures::ScanRow::Trusted || e.value == *stored[i]) continue;
    entries[i] = std::to_string(e.value);
    changes += std::string(changes.empty() ? "" : ", ") +
               std::string(procedures::kBidRows[i].caption) + " " + std::to_string(*stored[i]) +
               " -> " + std::to_string(e.value);
  }
  if (changes.empty()) {
    s.out << "Nothing to register: every row read with trust is true already.\n";
    s.report.Set("applied", Json::object());
    return kExitOk;
  }
  if (!s.reporter.Display().Question("Confirmation", "Register " + changes + "?")) {
    return kExitCancelled;
  }
  const auto registered = procedures::WriteBidRows(s.context, entries);
  Json applied = Json::object();
  int status = kExitOk;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i]) continue;
    if (registered[i])
      applied[SuggestedRowKey(i)] = *registered[i];
    else if (status == kExitOk)
      status = ExitForResult(s.reporter.LastReported());
  }
  s.report.Set("applied", std::move(applied));
  return status;
}

void ShowPfSuggestion(const sheet::PfReading& r, std::ostream& out) {
  char line[128];
  std::snprintf(line, sizeof line, "PF value where the bars meet: %+d (%.1f)  confidence %.2f%s\n",
                r.suggested, std::abs(r.value) < 0.05 ? 0.0 : r.value, r.confidence,
                Trusted(r) ? "" : "  unsure: judge by eye");
  out << line;
}

Json PfSuggestionJson(const sheet::PfReading& r) {
  Json gaps = Json::array();
  for (const double g : r.gaps) gaps.push_back(std::round(g * 10) / 10);
  return {{"value", r.suggested},
          {"between", std::round(r.value * 100) / 100},
          {"confidence", std::round(r.confidence * 100) / 100},
          {"trusted", Trusted(r)},
          {"gaps", std::move(gaps)}};
}

int SuggestPfOffline(const PfSuggestOptions& o, bool json) {
  return SuggestOffline(
      "pf suggest", json, [&](std::string& error) { return procedures::ReadPfScan(o.file, error); },
      ShowPfSuggestion, PfSuggestionJson);
}

// The PF sheet's candidates are the values themselves: the one read is registered as pf set
// does, with its range check.
int SuggestPfApply(Session& s, const PfSuggestOptions& o) {
  std::string error;
  const auto reading = procedures::ReadPfScan(o.file, error);
  if (!reading) {
    s.err << error << "\n";
    return kExitUsage;
  }
  ShowPfSuggestion(*reading, s.out);
  s.report.Set("suggested", PfSuggestionJson(*reading));
  if (!Trusted(*reading)) {
    s.out << "Nothing registered: the reading is unsure; judge the sheet by eye.\n";
    return kExitOk;
  }
  std::string stored;
  const Result read = procedures::ReadPfValue(s.context, stored);
  if (read != kOk) return ExitForResult(read);
  const procedures::SheetTie tie = procedures::TieOfLatestPrint(
      s.reporter, procedures::kPfPrintOperation, std::array<std::uint8_t, 1>{eeprom::kPfValue});
  if (!TakeSheets(s, tie, "PF", "pf print", o.force)) return kExitUsage;
  if (auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display())) {
    terminal->SetAssumeYes(o.yes);
  }
  const std::string value = std::to_string(reading->suggested);
  if (value == stored) {
    s.out << "Nothing to register: the value read is stored already.\n";
    return kExitOk;
  }
  if (!s.reporter.Display().Question("Confirmation", "Register the PF value " + value + "?")) {
    return kExitCancelled;
  }
  const Result r = procedures::WritePfValue(s.context, value);
  if (r == kOk) s.report.Set("applied", reading->suggested);
  return ExitForResult(r);
}

}  // namespace

void AddSuggestCommands(Cli& cli) {
  CLI::App* pf = cli.App().get_subcommand("pf");
  auto po = std::make_shared<PfSuggestOptions>();
  auto* pfSuggest =
      pf->add_subcommand("suggest", "read a scan (PNG) of a PF print and suggest the value");
  pfSuggest->add_option("PAGE", po->file, "the scanned page")->required();
  pfSuggest->add_flag("--apply", po->apply,
                      "register the value read with trust, as pf set does, after a confirmation");
  pfSuggest->add_flag("-y,--yes", po->yes, "answer OK to the confirmation");
  pfSuggest->add_flag("--force", po->force,
                      "with --apply: read a sheet that is not of the printer's latest PF print");
  cli.AddOfflineCommand(
      pfSuggest, [&cli, po] { return SuggestPfOffline(*po, cli.JsonWanted()); }, true);
  cli.AddCommand(pfSuggest, [po](Session& s) { return SuggestPfApply(s, *po); });
  cli.OnlineWhen(pfSuggest, [po] { return po->apply; });

  CLI::App* bid = cli.App().get_subcommand("bid");
  auto o = std::make_shared<SuggestOptions>();
  auto* suggest =
      bid->add_subcommand("suggest", "read scans (PNG) of a Bi-D print and suggest the values");
  suggest->add_option("PAGE", o->files, "the one or two scanned pages")->required();
  suggest->add_flag("--apply", o->apply,
                    "register the values read with trust, as bid set does, after a confirmation");
  suggest->add_flag("-y,--yes", o->yes, "answer OK to the confirmation");
  suggest->add_flag("--force", o->force,
                    "with --apply: read sheets that are not of the printer's latest Bi-D print");
  cli.AddOfflineCommand(
      suggest, [&cli, o] { return SuggestBidOffline(*o, cli.JsonWanted()); }, true);
  cli.AddCommand(suggest, [o](Session& s) { return SuggestBidApply(s, *o); });
  cli.OnlineWhen(suggest, [o] { return o->apply; });
}

}  // namespace vantor::cli
