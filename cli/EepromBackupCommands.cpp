// EEPROM backup, differences and verified restore; the service record's history and report.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "adjust/procedures/EepromRestore.h"
#include "adjust/procedures/ServiceRecord.h"
#include "adjust/procedures/ServiceReport.h"
#include "app/session/BackupFile.h"
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
  bool dryRun = false, yes = false, otherPrinter = false, force = false;
};

Model SessionModel(Session& s) {
  return s.link.channel.SelectedModel();
}

// Reads the bytes in which, with progress on a terminal; the record learns whose they are.
bool ReadPrinter(Session& s, EepromBytes& bytes, const procedures::AddressSet& which) {
  const auto progress = [&s](int done, int total) {
    if (s.interactive) s.err << "\rReading EEPROM " << done << "/" << total << std::flush;
  };
  const Result r = procedures::ReadEepromBytes(s.bench, bytes, which, progress);
  if (s.interactive) s.err << "\r\033[K" << std::flush;
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
  PrintDifferences(s.out, procedures::Differences(printer, image.bytes));
  return kExitOk;
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
  PrintDifferences(s.out, changes);
  if (changes.empty() || o.dryRun) return kExitOk;
  if (auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display())) {
    terminal->SetAssumeYes(o.yes);
  }
  const std::string ask = "Write " + std::to_string(changes.size()) + " bytes from " + o.file + "?";
  if (!s.reporter.Display().Question("Confirmation", ask)) return kExitCancelled;
  const procedures::RestoreOutcome outcome = procedures::WriteChanges(s.bench, changes);
  if (auto* terminal = dynamic_cast<TerminalDisplay*>(&s.reporter.Display())) terminal->EndLine();
  PrintOutcome(s.out, outcome);
  return outcome.Complete() ? kExitOk : kExitFailure;
}

// The records of the printer the global options name: a virtual printer's beside its state
// file, else the technician's.
bool RecordsFolder(CLI::App& app, std::string& folder) {
  const CLI::Option* virtualOption = app.get_option_no_throw("--virtual");
  if (virtualOption == nullptr || virtualOption->count() == 0) {
    folder = procedures::RecordsFolder();
    return true;
  }
  const std::string stateFile = GlobalOption(app, "--virtual", "");
  if (stateFile.empty()) {
    std::cerr << "vantorctl: a virtual printer without a state file keeps no record; use "
                 "--virtual=FILE\n";
    return false;
  }
  folder = procedures::VirtualRecordsFolder(stateFile);
  return true;
}

// The serial given, else the printer whose record changed last.
bool ChooseRecord(CLI::App& app, const std::string& given, std::string& serial,
                  std::vector<procedures::RecordEntry>& entries) {
  std::string folder;
  if (!RecordsFolder(app, folder)) return false;
  serial = given;
  if (serial.empty()) {
    const auto printers = procedures::RecordedPrinters(folder);
    if (printers.empty()) {
      std::cerr << "vantorctl: no service record in " << folder << '\n';
      return false;
    }
    serial = printers.front();
  }
  std::string why;
  int damaged = 0;
  if (!procedures::ReadRecord(folder, serial, entries, damaged, why)) {
    std::cerr << "vantorctl: " << why << '\n';
    return false;
  }
  if (damaged > 0) {
    std::cerr << "vantorctl: " << damaged << (damaged == 1 ? " damaged line" : " damaged lines")
              << " skipped in the record of " << serial << '\n';
  }
  return true;
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
  cli.AddCommand(
      backup, [o](Session& s) { return Backup(s, *o); }, false);

  auto* diff = eeprom->add_subcommand("diff", "list the bytes that differ from an image file");
  diff->add_option("FILE", o->file, "image file")->required();
  cli.AddCommand(
      diff, [o](Session& s) { return Diff(s, *o); }, false);

  auto* restore = eeprom->add_subcommand("restore", "write back the bytes that differ, verified");
  restore->add_option("FILE", o->file, "image file")->required();
  restore->add_option("--only", o->only, "restore only these: a name, an address or a range")
      ->type_name("NAME|ADDR-RANGE");
  restore->add_flag("--dry-run", o->dryRun, "show what would be written, write nothing");
  restore->add_flag("--yes", o->yes, "answer OK to the confirmation");
  restore->add_flag("--other-printer", o->otherPrinter,
                    "accept an image of another printer (after a main-board change)");
  cli.AddCommand(
      restore, [o](Session& s) { return Restore(s, *o); }, false);

  auto* history = app.add_subcommand("history", "list the service sessions of a printer");
  history->add_option("SERIAL", o->serial, "serial number (default: the last printer served)");
  cli.AddOfflineCommand(history, [o, &app] {
    std::string serial;
    std::vector<procedures::RecordEntry> entries;
    if (!ChooseRecord(app, o->serial, serial, entries)) return kExitUsage;
    if (serial == procedures::kUnidentified) {
      std::cout << "Sessions that did not identify their printer:\n";
    } else {
      std::cout << "Service record of " << serial << ":\n";
    }
    std::cout << procedures::HistoryText(entries);
    return kExitOk;
  });

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
