// EEPROM backup, differences and verified restore; the service record's history and report.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "adjust/procedures/BackupFile.h"
#include "adjust/procedures/EepromRestore.h"
#include "adjust/procedures/ServiceRecord.h"
#include "adjust/procedures/ServiceReport.h"
#include "cli/Cli.h"
#include "cli/TerminalDisplay.h"
#include "link/Hex.h"

namespace vantor::cli {

namespace {

namespace fs = std::filesystem;
using procedures::ByteChange;
using procedures::EepromBytes;
using procedures::EepromImage;

struct BackupOptions {
  std::string file, serial, html, json;
  std::string shop, technician, customer, visit;
  std::vector<std::string> only;
  bool dryRun = false, yes = false, otherPrinter = false, force = false, exitCode = false;
};

Model SessionModel(Session& s) {
  return s.link.channel.SelectedModel();
}

// Reads the bytes in which, with progress on a terminal; the record learns whose they are.
bool ReadPrinter(Session& s, EepromBytes& bytes, const procedures::AddressSet& which) {
  auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display());
  const auto progress = [&s, terminal](int done, int total) {
    if (s.interactive && terminal)
      terminal->Progress("Reading EEPROM " + std::to_string(done) + "/" + std::to_string(total));
  };
  const Result r = procedures::ReadEepromBytes(s.context, bytes, which, progress);
  if (terminal) terminal->EndProgress();
  if (r != kOk) return false;
  const bool whole = std::find(which.begin(), which.end(), false) == which.end();
  if (ServiceRecorder* recorder = s.reporter.Recorder())
    recorder->Identified(bytes, whole ? nullptr : &which);
  return true;
}

bool ReadPrinter(Session& s, EepromBytes& bytes) {
  procedures::AddressSet all{};
  all.fill(true);
  return ReadPrinter(s, bytes, all);
}

std::string AddressList(const std::vector<std::uint8_t>& addresses) {
  std::string list;
  for (const std::uint8_t a : addresses) {
    if (!list.empty()) list += ' ';
    list += ByteHex(a);
  }
  return list.empty() ? "none" : list;
}

Json AddressesJson(const std::vector<std::uint8_t>& addresses) {
  Json list = Json::array();
  for (const std::uint8_t a : addresses) list.push_back(ByteJson(a));
  return list;
}

Json DifferencesJson(const std::vector<ByteChange>& changes) {
  Json list = Json::array();
  for (const ByteChange& c : changes) {
    const std::string name = procedures::MeaningOf(c.address).name;
    list.push_back({{"address", ByteJson(c.address)},
                    {"meaning", name.empty() ? Json() : Json(name)},
                    {"printer", ByteJson(c.printer)},
                    {"file", ByteJson(c.image)}});
  }
  return list;
}

void PrintDifferences(std::ostream& out, const std::vector<ByteChange>& changes) {
  if (changes.empty()) {
    out << "No differences.\n";
    return;
  }
  out << "address  meaning                                 printer        file\n";
  for (const ByteChange& c : changes) {
    std::string name = procedures::MeaningOf(c.address).name;
    if (name.empty()) name = "-";
    out << "  " << ByteHex(c.address) << "     " << std::left << std::setw(40) << name
        << std::setw(15) << procedures::DescribeValue(c.address, c.printer)
        << procedures::DescribeValue(c.address, c.image) << std::right << '\n';
  }
  out << changes.size() << (changes.size() == 1 ? " byte differs.\n" : " bytes differ.\n");
}

// The table for people; with --json the same goes into the object instead.
void ShowDifferences(Session& s, const std::vector<ByteChange>& changes) {
  if (s.report.JsonWanted()) {
    s.report.Set("differences", DifferencesJson(changes));
    s.report.Set("same", changes.empty());
  } else {
    PrintDifferences(s.out, changes);
  }
}

std::string DefaultBackupPath(const EepromBytes& bytes) {
  const auto identity = procedures::IdentityOf(bytes);
  std::string stamp = procedures::LocalTimeStamp().substr(0, 19);
  for (char& c : stamp) {
    if (c == ':') c = '-';
  }
  const fs::path folder = fs::path(procedures::DataFolder()) / "backups";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return (folder / (identity.serial.value_or("unidentified") + "-" + stamp + ".json")).string();
}

// Anything at path, a dangling link too.
bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

int Backup(Session& s, const BackupOptions& o) {
  if (!o.file.empty() && !o.force && Exists(o.file)) {
    s.err << "vantorctl: " << o.file << " exists; --force replaces it\n";
    return kExitUsage;
  }
  EepromImage image;
  image.model = SessionModel(s);
  if (!ReadPrinter(s, image.bytes)) return kExitFailure;
  image.savedAt = procedures::LocalTimeStamp();
  image.program = "vantorctl " + std::string(procedures::ProgramVersion());
  const std::string path = o.file.empty() ? DefaultBackupPath(image.bytes) : o.file;
  if (o.file.empty() && Exists(path)) {
    s.err << "vantorctl: " << path << " exists; nothing written\n";
    return kExitFailure;
  }
  // Through the state files' temporary file: a new name nobody could plant a link at, then
  // renamed, so a broken-off backup leaves no half file.
  std::string why;
  if (!WriteBackupFile(path, image, why)) {
    s.err << "vantorctl: cannot write " << path << ": " << why << '\n';
    return kExitFailure;
  }
  RecordOperation(s.reporter, "EEPROM backup to " + path, {}, kOk);
  s.report.Set("file", path);
  s.out << "EEPROM saved to " << path << '\n';
  return kExitOk;
}

bool Load(Session& s, const std::string& path, EepromImage& image) {
  std::string why;
  if (!procedures::LoadImage(path, image, why)) {
    s.err << "vantorctl: " << why << '\n';
    return false;
  }
  if (image.version == 1) {
    s.err << "vantorctl: " << path
          << " is a version 1 image: it carries no checksum, so an edit cannot be detected\n";
  }
  return true;
}

int Diff(Session& s, const BackupOptions& o) {
  EepromImage image;
  if (!Load(s, o.file, image)) return kExitUsage;
  EepromBytes printer{};
  if (!ReadPrinter(s, printer)) return kExitFailure;
  const auto changes = procedures::Differences(printer, image.bytes);
  ShowDifferences(s, changes);
  // As diff(1) does for scripts: 1 when they differ.
  return o.exitCode && !changes.empty() ? kExitFailure : kExitOk;
}

void ReportOutcome(CommandOutput& report, const procedures::RestoreOutcome& r) {
  report.Set("written", AddressesJson(r.verified));
  report.Set("not_verified", r.mismatch ? Json{{"address", ByteJson(*r.mismatch)},
                                               {"read_back", ByteJson(r.readBack)}}
                                        : Json());
  report.Set("unknown", r.uncertain ? ByteJson(*r.uncertain) : Json());
  report.Set("not_written", AddressesJson(r.notWritten));
}

void PrintOutcome(std::ostream& out, const procedures::RestoreOutcome& r) {
  out << "Written and verified: " << AddressList(r.verified) << '\n';
  if (r.mismatch) {
    out << "Not verified: " << ByteHex(*r.mismatch) << " was answered as written but reads back "
        << ByteHex(r.readBack) << '\n';
  }
  if (r.uncertain) {
    out << "Unknown: " << ByteHex(*r.uncertain)
        << " may hold the old or the new value (the link failed during its write)\n";
  }
  if (!r.Complete()) {
    out << "Not written, still old: " << AddressList(r.notWritten) << '\n';
    out << "Run the restore again to finish it.\n";
  }
}

int Restore(Session& s, const BackupOptions& o) {
  procedures::AddressSet only{};
  for (const std::string& selector : o.only) {
    if (!procedures::AddSelection(selector, only)) {
      s.err << "vantorctl: --only " << selector << ": expected one of "
            << procedures::SelectionGroups() << ", an address or a range such as 70-77\n";
      return kExitUsage;
    }
  }
  EepromImage image;
  if (!Load(s, o.file, image)) return kExitUsage;
  // With --only, the identity and the bytes asked for are all that is compared.
  procedures::AddressSet read = procedures::IdentityAddresses();
  if (o.only.empty()) read.fill(true);
  for (std::size_t a = 0; a < read.size(); ++a) read[a] = read[a] || only[a];
  EepromBytes printer = image.bytes;
  if (!ReadPrinter(s, printer, read)) return kExitFailure;
  switch (procedures::CheckImageFits(image, SessionModel(s), printer)) {
    case procedures::ImageFit::OtherModel:
      s.err << "vantorctl: " << o.file << " holds the EEPROM of a " << ModelName(image.model)
            << ", not of this " << ModelName(SessionModel(s)) << "; nothing written\n";
      return kExitUsage;
    case procedures::ImageFit::OtherPrinter:
      if (o.otherPrinter) break;
      s.err << "vantorctl: " << o.file << " is from another printer (head ID or serial number"
            << " differ); after a main-board change use --other-printer; nothing written\n";
      return kExitUsage;
    case procedures::ImageFit::Fits:
      break;
  }
  const auto changes =
      procedures::Differences(printer, image.bytes, o.only.empty() ? nullptr : &only);
  ShowDifferences(s, changes);
  if (changes.empty() || o.dryRun) return kExitOk;
  if (auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display())) {
    terminal->SetAssumeYes(o.yes);
  }
  const std::string ask = "Write " + std::to_string(changes.size()) +
                          (changes.size() == 1 ? " byte from " : " bytes from ") + o.file + "?";
  if (!s.reporter.Display().Question("Confirmation", ask)) return kExitCancelled;
  const procedures::RestoreOutcome outcome = procedures::WriteChanges(s.context, changes);
  if (auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display())) terminal->EndLine();
  if (s.report.JsonWanted())
    ReportOutcome(s.report, outcome);
  else
    PrintOutcome(s.out, outcome);
  return outcome.Complete() ? kExitOk : kExitFailure;
}

// The records of the printer the global options name: a virtual printer's beside its state
// file, else the technician's.
bool RecordsFolder(CLI::App& app, std::string& folder, std::ostream& err) {
  const CLI::Option* virtualOption = app.get_option_no_throw("--virtual");
  if (virtualOption == nullptr || virtualOption->count() == 0) {
    folder = procedures::RecordsFolder();
    return true;
  }
  const std::string stateFile = GlobalOption(app, "--virtual", "");
  if (stateFile.empty()) {
    err << "vantorctl: a virtual printer without a state file keeps no record; use "
           "--virtual=FILE\n";
    return false;
  }
  folder = procedures::VirtualRecordsFolder(stateFile);
  return true;
}

// The serial given, else the printer whose record changed last.
bool ChooseRecord(CLI::App& app, const std::string& given, std::string& serial,
                  std::vector<procedures::RecordEntry>& entries, std::ostream& err = std::cerr) {
  std::string folder;
  if (!RecordsFolder(app, folder, err)) return false;
  serial = given;
  if (serial.empty()) {
    const auto printers = procedures::RecordedPrinters(folder);
    if (printers.empty()) {
      err << "vantorctl: no service record in " << folder << '\n';
      return false;
    }
    serial = printers.front();
  }
  std::string why;
  int damaged = 0;
  if (!procedures::ReadRecord(folder, serial, entries, damaged, why)) {
    err << "vantorctl: " << why << '\n';
    return false;
  }
  if (damaged > 0) {
    err << "vantorctl: " << damaged << (damaged == 1 ? " damaged line" : " damaged lines")
        << " skipped in the record of " << serial << '\n';
  }
  return true;
}

Json SessionsJson(const std::vector<procedures::RecordEntry>& entries) {
  Json sessions = Json::array();
  for (const procedures::RecordEntry& e : entries) {
    Json changes = Json::array();
    for (const RecordedChange& c : e.changes) {
      const std::string name = procedures::MeaningOf(c.address).name;
      changes.push_back({{"address", ByteJson(c.address)},
                         {"meaning", name.empty() ? Json() : Json(name)},
                         {"before", c.before ? ByteJson(*c.before) : Json()},
                         {"intended", ByteJson(c.intended)},
                         {"after", c.held ? ByteJson(*c.held) : Json()},
                         {"outcome", c.outcome ? Json(OutcomeText(*c.outcome)) : Json()}});
    }
    sessions.push_back({{"session", e.session},
                        {"time", e.time},
                        {"program", e.program},
                        {"model", e.model},
                        {"port", e.port},
                        {"operation", e.operation},
                        {"result", e.result},
                        {"identified", e.identified},
                        {"changes", std::move(changes)}});
  }
  return sessions;
}

int History(CLI::App& app, const std::string& given, bool json) {
  std::string serial;
  std::vector<procedures::RecordEntry> entries;
  std::ostringstream notes;
  const bool found = ChooseRecord(app, given, serial, entries, json ? notes : std::cerr);
  if (json) {
    CommandOutput report(true);
    report.SetCommand("history");
    if (!found) {
      report.WriteFailure(kExitUsage, notes.str(), std::cerr);
      return kExitUsage;
    }
    report.Set("serial", serial == procedures::kUnidentified ? Json() : Json(serial));
    report.Set("sessions", SessionsJson(entries));
    // Damaged lines skipped are said in the words.
    report.Write(kExitOk, notes.str(), "", std::cout, std::cerr);
    return kExitOk;
  }
  if (!found) return kExitUsage;
  if (serial == procedures::kUnidentified) {
    std::cout << "Sessions that did not identify their printer:\n";
  } else {
    std::cout << "Service record of " << serial << ":\n";
  }
  std::cout << procedures::HistoryText(entries);
  return kExitOk;
}

// "-" is standard output, as for other tools that write a file.
bool WriteText(const std::string& path, const std::string& text) {
  if (path == "-") {
    std::cout << text << std::flush;
    if (std::cout) return true;
    std::cerr << "vantorctl: cannot write the report to standard output\n";
    return false;
  }
  std::ofstream file(path, std::ios::trunc);
  file << text;
  file.close();
  if (file) return true;
  std::cerr << "vantorctl: cannot write " << path << '\n';
  return false;
}

}  // namespace

void AddEepromBackupCommands(Cli& cli) {
  CLI::App& app = cli.App();
  const auto o = std::make_shared<BackupOptions>();
  CLI::App* eeprom = app.get_subcommand("eeprom");

  auto* backup = eeprom->add_subcommand("backup", "save all 256 bytes and the printer's identity");
  backup->add_option("FILE", o->file, "image file (default: under the user's data folder)");
  backup->add_flag("--force", o->force, "replace an existing FILE");
  cli.AddCommand(backup, [o](Session& s) { return Backup(s, *o); });

  auto* diff = eeprom->add_subcommand("diff", "list the bytes that differ from an image file");
  diff->add_option("FILE", o->file, "image file")->required();
  diff->add_flag("--exit-code", o->exitCode,
                 "exit 1 when the bytes differ, 0 when they are the same");
  cli.AddCommand(diff, [o](Session& s) { return Diff(s, *o); });

  auto* restore = eeprom->add_subcommand("restore", "write back the bytes that differ, verified");
  restore->add_option("FILE", o->file, "image file")->required();
  restore
      ->add_option(
          "--only", o->only,
          "restore only these (repeatable): " + std::string(procedures::SelectionGroups()) +
              ", an address (5D) or a range (70-77)")
      ->type_name("WHAT");
  restore->add_flag("--dry-run", o->dryRun, "show what would be written, write nothing");
  restore->add_flag("-y,--yes", o->yes, "answer OK to the confirmation");
  restore->add_flag("--other-printer", o->otherPrinter,
                    "accept an image of another printer (after a main-board change)");
  cli.AddCommand(restore, [o](Session& s) { return Restore(s, *o); });

  auto* history = app.add_subcommand("history", "list the service sessions of a printer");
  history->add_option("SERIAL", o->serial, "serial number (default: the last printer served)");
  cli.AddOfflineCommand(
      history, [o, &app, &cli] { return History(app, o->serial, cli.JsonWanted()); }, true);

  auto* report = app.add_subcommand("report", "write a printer's service report");
  report->add_option("SERIAL", o->serial, "serial number (default: the last printer served)");
  auto* html = report->add_option("--html", o->html,
                                  "write a one-page HTML report to FILE (- for standard output)");
  auto* json = report->add_option("--json", o->json,
                                  "write the same data as JSON to FILE (- for standard output)");
  report->add_option("--customer", o->customer, "the customer's name or the job number");
  report->add_option("--shop", o->shop, "the shop's name (default: shop in report.conf)");
  report->add_option("--technician", o->technician,
                     "the technician's name (default: technician in report.conf)");
  report->add_option("--visit", o->visit,
                     "the day of the work, YYYY-MM-DD, or all (default: the last day served)");
  report->callback([html, json, o] {
    if (!html->count() && !json->count()) throw CLI::RequiredError("--html or --json");
    if (o->html == "-" && o->json == "-")
      throw CLI::ValidationError("--html and --json", "only one of them can go to standard output");
  });
  cli.AddOfflineCommand(report, [o, &app] {
    std::string serial;
    std::vector<procedures::RecordEntry> entries;
    if (!ChooseRecord(app, o->serial, serial, entries)) return kExitUsage;
    if (procedures::VisitEntries(serial, entries, o->visit).empty()) {
      std::cerr << "vantorctl: the service record of " << serial << " holds no session"
                << (o->visit.empty() ? "" : " on " + o->visit) << '\n';
      return kExitUsage;
    }
    procedures::ReportDetails details;
    std::vector<std::string> warnings;
    procedures::ReadReportSettings(procedures::ReportSettingsPath(), details, warnings);
    for (const std::string& w : warnings) std::cerr << "vantorctl: " << w << '\n';
    if (!o->shop.empty()) details.shop = o->shop;
    if (!o->technician.empty()) details.technician = o->technician;
    details.customer = o->customer;
    details.date = procedures::LocalDate();
    if (!o->html.empty() &&
        !WriteText(o->html, procedures::ReportHtml(serial, entries, details, o->visit)))
      return kExitFailure;
    if (!o->json.empty() &&
        !WriteText(o->json, procedures::ReportJson(serial, entries, details, o->visit)))
      return kExitFailure;
    return kExitOk;
  });
}

}  // namespace vantor::cli
