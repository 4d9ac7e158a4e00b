// bid, pf, top-margin, head-angle and check-pattern: the printing workflows from a terminal.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/CheckPatternProcedure.h"
#include "adjust/procedures/HeadAngleProcedure.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/TopMarginProcedure.h"
#include "cli/Cli.h"
#include "raster/Malraster.h"

namespace vantor::cli {

namespace {

namespace text {
constexpr std::string_view kTopMarginValue = "Top margin value = ";
constexpr std::string_view kTopMarginEntries = "Entries: ";
constexpr std::string_view kNoLadder = "none (the value is on neither ladder)";
}  // namespace text

std::string RowKeys() {
  std::string keys;
  for (const auto& row : procedures::kBidRows) {
    if (!keys.empty()) keys += ", ";
    keys += row.key;
  }
  return keys;
}

int BidSet(Session& s, const std::vector<std::string>& assignments) {
  std::array<std::optional<std::string>, procedures::kBidRowCount> entries;
  for (const std::string& assignment : assignments) {
    const auto equals = assignment.find('=');
    const auto found = procedures::BidRowByKey(assignment.substr(0, equals));
    if (equals == std::string::npos || !found) {
      s.err << "bid set: expected ROW=VALUE with ROW one of " << RowKeys() << ", got '"
            << assignment << "'\n";
      return kExitUsage;
    }
    entries[*found] = assignment.substr(equals + 1);
  }
  const auto registered = procedures::WriteBidRows(s.context, entries);
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i] && !registered[i]) return ExitForResult(s.reporter.LastReported());
  return kExitOk;
}

int ShowTopMargin(Session& s) {
  procedures::TopMarginList list;
  std::uint8_t stored = 0;
  if (procedures::ReadTopMarginList(s.context, list, stored) != kOk) return kExitFailure;
  if (s.report.JsonWanted()) {
    s.report.Set("top_margin", ByteJson(stored));
    Json entries = Json::array();
    for (std::size_t i = 0; list.filled && i < list.entries.size(); ++i)
      entries.push_back(std::stoi(std::string(list.entries[i])));
    s.report.Set("entries", std::move(entries));
    return kExitOk;
  }
  s.out << text::kTopMarginValue << static_cast<int>(stored) << '\n' << text::kTopMarginEntries;
  if (!list.filled) s.out << text::kNoLadder;
  for (std::size_t i = 0; list.filled && i < list.entries.size(); ++i)
    s.out << (i ? " " : "") << list.entries[i];
  s.out << '\n';
  return kExitOk;
}

int SetTopMargin(Session& s, std::string entry) {
  // "3" means the offered "+3".
  if (!entry.empty() && entry != "0" && entry[0] != '+' && entry[0] != '-') entry = "+" + entry;
  procedures::TopMarginList list;
  std::uint8_t stored = 0;
  if (procedures::ReadTopMarginList(s.context, list, stored) != kOk) return kExitFailure;
  const auto found = std::find(list.entries.begin(), list.entries.end(), entry);
  const int index = list.filled && found != list.entries.end()
                        ? static_cast<int>(found - list.entries.begin())
                        : -1;
  return ExitForResult(procedures::WriteTopMargin(s.context, list, index));
}

struct PrintOptions {
  std::vector<std::string> bidAssignments;
  std::string pfValue;
  std::string topMarginEntry;
};

}  // namespace

void AddPrintCommands(Cli& cli) {
  CLI::App& app = cli.App();
  auto o = std::make_shared<PrintOptions>();

  // Sub-commands are registered before their parent so they are found first.
  auto* bid = app.add_subcommand("bid", "Bi-D adjustment: show the eight present values");
  auto* bidPrint = bid->add_subcommand("print", "print the Bi-D adjustment pattern");
  auto* bidSet = bid->add_subcommand("set", "register values, e.g. vsd1-black=-3 eco-color=12");
  bidSet->add_option("ROW=VALUE", o->bidAssignments, "rows: " + RowKeys())->required();
  cli.AddCommand(bidPrint, [](Session& s) {
    return ExitForResult(procedures::PrintBidAdjustment(s.context));
  });
  cli.AddCommand(bidSet, [o](Session& s) { return BidSet(s, o->bidAssignments); });
  cli.AddCommand(bid, [](Session& s) {
    if (!s.report.JsonWanted()) return ExitForResult(procedures::ShowPresentBidValues(s.context));
    Json values = Json::object();
    const Result r = procedures::ReadBidRows(s.context, [&values](std::size_t row, int value) {
      values[std::string(procedures::kBidRows[row].key)] = value;
    });
    if (r == kOk) s.report.Set("bid", std::move(values));
    return ExitForResult(r);
  });

  auto* pf = app.add_subcommand("pf", "PF adjustment: show the present value");
  auto* pfPrint = pf->add_subcommand("print", "print the PF adjustment pattern");
  auto* pfSet =
      pf->add_subcommand("set", "register a value from " + fields::RangeWords(*fields::kPf.range));
  pfSet->add_option("VALUE", o->pfValue, "the value read off the pattern")->required();
  cli.AddCommand(
      pfPrint, [](Session& s) { return ExitForResult(procedures::PrintPfAdjustment(s.context)); });
  cli.AddCommand(pfSet, [o](Session& s) {
    return ExitForResult(procedures::WritePfValue(s.context, o->pfValue));
  });
  cli.AddCommand(pf, [](Session& s) {
    if (!s.report.JsonWanted()) return ExitForResult(procedures::ShowPresentPfValue(s.context));
    std::string value;
    const Result r = procedures::ReadPfValue(s.context, value);
    if (r == kOk) s.report.Set("pf", std::stoi(value));
    return ExitForResult(r);
  });

  auto* top =
      app.add_subcommand("top-margin", "top margin: show the value and the entries offered");
  auto* topPrint = top->add_subcommand("print", "print the top margin line");
  auto* topSet = top->add_subcommand("set", "register an offered entry, e.g. +3 or -1");
  topSet->add_option("ENTRY", o->topMarginEntry, "an entry as offered")->required();
  cli.AddCommand(topPrint, [](Session& s) {
    return ExitForResult(procedures::PrintTopMarginCheck(s.context));
  });
  cli.AddCommand(topSet, [o](Session& s) { return SetTopMargin(s, o->topMarginEntry); });
  cli.AddCommand(top, [](Session& s) { return ShowTopMargin(s); });

  auto* head = app.add_subcommand("head-angle", "head angular adjustment");
  auto* headPrint = head->add_subcommand("print", "print the head angle check and eject the sheet");
  head->require_subcommand(1);
  cli.AddCommand(headPrint, [](Session& s) {
    if (procedures::PrintHeadAngleCheck(s.context) != kOk) return kExitFailure;
    return ExitForResult(procedures::EjectHeadAngleSheet(s.context));
  });

  auto* check = app.add_subcommand("check-pattern", "print the four-page A4 check pattern");
  cli.AddCommand(
      check, [](Session& s) { return ExitForResult(procedures::PrintA4CheckPattern(s.context)); });
}

}  // namespace vantor::cli
