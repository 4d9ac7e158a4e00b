#include "adjust/procedures/ServiceRecord.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "link/FactoryCommands.h"
#include "link/Hex.h"
#include "words/Words.h"

namespace vantor {

namespace fs = std::filesystem;
using nlohmann::json;

std::string HexText(std::uint8_t value) {
  return "0x" + ByteHex(value);
}

namespace {

std::string_view FailureWords(Result result) {
  switch (result.Value() & 0xF000) {
    case 0x1000:
      return "the port failed";
    case 0x2000:
      return words::kCommunicationError;
    case 0x3000:
      return "the printer's reply was not understood";
    case 0x4000:
      return "the printer did not become ready";
    case 0x5000:
      return "the head ID was refused";
    case 0x7000:
      return "a Bi-D value was out of range";
    case 0x8000:
      return "the USB ID was refused";
    case 0x9000:
      return "the entry was refused";
    default:
      return "the printer work failed";
  }
}

std::string WordsOf(Result result) {
  char code[24];
  std::snprintf(code, sizeof code, " (result 0x%04X)", unsigned{result.Value()});
  return std::string(FailureWords(result)) + code;
}

}  // namespace

std::string ResultText(Result result) {
  return result == kOk ? "done" : "failed: " + WordsOf(result);
}

std::string FinalResult(Bench& bench, Result result, bool started) {
  if (result == kOk) return "done";
  // A signal ends the wait as "not ready"; that is not the printer's failure.
  if (bench.link.channel.Cancelled()) return "interrupted";
  return (started ? "not confirmed: " : "failed: ") + WordsOf(result);
}

void RecordKnown(Reporter& reporter, std::uint8_t address, std::uint8_t value) {
  if (ServiceRecorder* r = reporter.Recorder()) r->Known(address, value);
}

void RecordOperation(Reporter& reporter, std::string_view operation,
                     std::vector<RecordedChange> changes, std::string_view result) {
  if (ServiceRecorder* r = reporter.Recorder()) r->Operation(operation, std::move(changes), result);
}

void RecordOperation(Reporter& reporter, std::string_view operation,
                     std::vector<RecordedChange> changes, Result result) {
  RecordOperation(reporter, operation, std::move(changes), ResultText(result));
}

namespace procedures {

namespace {

fs::path RecordPath(const std::string& folder, const std::string& serial) {
  return fs::path(folder) / (serial + ".jsonl");
}

// Whether the file is empty or ends with a complete line; a crash may have cut the last one.
bool EndsWithLineEnd(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file || !file.seekg(0, std::ios::end) || file.tellg() <= 0) return true;
  file.seekg(-1, std::ios::end);
  char last = 0;
  return !file.get(last) || last == '\n';
}

// Appends text; false with the system's reason.
bool Append(const fs::path& path, const std::string& text, std::string& why) {
  std::FILE* file = std::fopen(path.string().c_str(), "ab");
  if (file == nullptr) {
    why = std::strerror(errno);
    return false;
  }
  const bool written =
      std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
  if (!written) why = std::strerror(errno);
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) why = std::strerror(errno);
  return written && closed;
}

bool IsByte(const json& j) {
  return j.is_number_unsigned() && j.get<std::uint64_t>() <= 0xFF;
}

json Rows(const EepromBytes& bytes) {
  json rows = json::array();
  for (std::size_t r = 0; r < 16; ++r) {
    std::string row;
    for (std::size_t c = 0; c < 16; ++c) row += ByteHex(bytes[r * 16 + c]);
    rows.push_back(row);
  }
  return rows;
}

std::optional<EepromBytes> BytesOf(const json& rows) {
  if (!rows.is_array() || rows.size() != 16) return std::nullopt;
  EepromBytes bytes{};
  for (std::size_t r = 0; r < 16; ++r) {
    if (!rows[r].is_string() || rows[r].get<std::string>().size() != 32) return std::nullopt;
    const std::string hex = rows[r].get<std::string>();
    for (std::size_t c = 0; c < 16; ++c) {
      const std::string pair = hex.substr(2 * c, 2);
      if (pair.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        return std::nullopt;
      bytes[r * 16 + c] = static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16));
    }
  }
  return bytes;
}

std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string RecordsFolder() {
  return (fs::path(DataFolder()) / "records").string();
}

std::string VirtualRecordsFolder(const std::string& stateFile) {
  // One folder per state file, named as the file, so that any state file name fits.
  const fs::path state(stateFile);
  const fs::path parent = state.has_parent_path() ? state.parent_path() : fs::path(".");
  return (parent / "vantor-records" / state.filename()).string();
}

FileServiceRecord::FileServiceRecord(std::string folder, std::string program, std::string_view port,
                                     Model model, Link* link)
    : folder_(std::move(folder)),
      program_(std::move(program)),
      port_(port),
      model_(model),
      link_(link) {
  // Several sessions of one process (tests, the desktop program) within a second stay apart.
  static int sessions = 0;
  session_ = LocalTimeStamp() + "-" + std::to_string(::getpid()) + "-" + std::to_string(++sessions);
}

void FileServiceRecord::Known(std::uint8_t address, std::uint8_t value) {
  known_[address] = value;
}

void FileServiceRecord::Identified(const EepromBytes& bytes, const AddressSet* read) {
  identity_ = IdentityOf(bytes);
  if (read == nullptr) bytes_ = bytes;
  for (std::size_t a = 0; a < bytes.size(); ++a) {
    if (read == nullptr || (*read)[a]) known_[static_cast<std::uint8_t>(a)] = bytes[a];
  }
}

void FileServiceRecord::ReadSerial() {
  serialTried_ = true;
  EepromBytes bytes{};
  for (std::uint8_t i = 0; i < usbid::kSerialLength; ++i) {
    const auto a = static_cast<std::uint8_t>(usbid::kFirstAddress + i);
    if (const auto k = known_.find(a); k != known_.end()) {
      bytes[a] = k->second;
      continue;
    }
    // After a signal or a failure nothing more is asked of the printer: the failure's words
    // are still to be shown from the link's error codes.
    if (link_ == nullptr || link_->channel.Cancelled() || !link_->channel.ControlChannelOpen() ||
        link_->port.PortError() != kPortNoError ||
        link_->channel.ChannelError() != kChannelNoError ||
        link_->channel.ReadEepromByte(a, bytes[a]) != kOk) {
      return;
    }
  }
  PrinterIdentity id;
  id.serial = IdentityOf(bytes).serial;
  if (id.serial) identity_ = id;
}

void FileServiceRecord::Operation(std::string_view operation, std::vector<RecordedChange> changes,
                                  std::string_view result) {
  if (!identity_ && !serialTried_) ReadSerial();
  const bool identified = identity_ && identity_->serial;
  const std::string serial = identified ? *identity_->serial : std::string(kUnidentified);
  json line;
  line["session"] = session_;
  line["time"] = LocalTimeStamp();
  line["program"] = program_;
  line["model"] = ModelName(model_);
  line["port"] = port_;
  line["serial"] = serial;
  line["identified"] = identified;
  if (identity_ && identity_->headId) line["headId"] = *identity_->headId;
  line["operation"] = operation;
  json list = json::array();
  for (RecordedChange& c : changes) {
    if (!c.before) {
      if (const auto k = known_.find(c.address); k != known_.end()) c.before = k->second;
    }
    known_[c.address] = c.after;
    list.push_back({{"address", c.address},
                    {"name", MeaningOf(c.address).name},
                    {"before", c.before ? json(*c.before) : json()},
                    {"after", c.after}});
  }
  line["changes"] = list;
  line["result"] = result;
  // The whole EEPROM goes with the first line of a session that read it.
  if (bytes_) {
    line["eeprom"] = Rows(*bytes_);
    bytes_.reset();
  }
  const fs::path path = RecordPath(folder_, serial);
  std::string text = line.dump(-1, ' ', false, json::error_handler_t::replace) + '\n';
  // The fragment a crash left stays one damaged line instead of swallowing this one.
  if (!EndsWithLineEnd(path)) text.insert(0, "\n");
  std::error_code ec;
  fs::create_directories(folder_, ec);
  std::string why;
  if (ec) {
    why = ec.message();
  } else if (Append(path, text, why)) {
    return;
  }
  // The first loss is the one to tell; later ones have the same cause.
  if (error_.empty())
    error_ = "the service record could not be written: " + path.string() + ": " + why;
}

bool FileServiceRecord::History(std::vector<RecordEntry>& entries) {
  if (!identity_ && !serialTried_) ReadSerial();
  if (!identity_ || !identity_->serial) return false;
  int damaged = 0;
  std::string why;
  entries.clear();
  // No file yet is an empty record, not a failure.
  if (!fs::exists(RecordPath(folder_, *identity_->serial))) return true;
  return ReadRecord(folder_, *identity_->serial, entries, damaged, why);
}

std::vector<std::string> RecordedPrinters(const std::string& folder) {
  std::vector<std::pair<fs::file_time_type, std::string>> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    if (e.path().extension() != ".jsonl") continue;
    found.emplace_back(e.last_write_time(ec), e.path().stem().string());
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> serials;
  for (auto& f : found) serials.push_back(std::move(f.second));
  return serials;
}

namespace {

// One line as written by FileServiceRecord, or nothing when any field has the wrong type.
std::optional<RecordEntry> EntryOf(const json& j) {
  if (!j.is_object()) return std::nullopt;
  RecordEntry e;
  const std::pair<const char*, std::string*> texts[] = {
      {"session", &e.session}, {"time", &e.time},     {"program", &e.program},
      {"model", &e.model},     {"port", &e.port},     {"operation", &e.operation},
      {"result", &e.result},   {"serial", &e.serial}, {"headId", &e.headId}};
  for (const auto& [key, field] : texts) {
    const auto it = j.find(key);
    if (it == j.end() || it->is_null()) continue;
    if (!it->is_string()) return std::nullopt;
    *field = it->get<std::string>();
  }
  if (e.session.empty() || e.operation.empty()) return std::nullopt;
  if (const auto it = j.find("identified"); it != j.end()) {
    if (!it->is_boolean()) return std::nullopt;
    e.identified = it->get<bool>();
  }
  if (const auto c = j.find("changes"); c != j.end()) {
    if (!c->is_array()) return std::nullopt;
    for (const json& change : *c) {
      if (!change.is_object()) return std::nullopt;
      const auto address = change.find("address"), after = change.find("after");
      const auto before = change.find("before");
      if (address == change.end() || !IsByte(*address) || after == change.end() ||
          !IsByte(*after) || (before != change.end() && !before->is_null() && !IsByte(*before))) {
        return std::nullopt;
      }
      RecordedChange rc;
      rc.address = address->get<std::uint8_t>();
      rc.after = after->get<std::uint8_t>();
      if (before != change.end() && !before->is_null()) rc.before = before->get<std::uint8_t>();
      e.changes.push_back(rc);
    }
  }
  if (const auto b = j.find("eeprom"); b != j.end()) {
    e.bytes = BytesOf(*b);
    if (!e.bytes) return std::nullopt;
  }
  return e;
}

}  // namespace

bool ReadRecord(const std::string& folder, const std::string& serial,
                std::vector<RecordEntry>& entries, int& damaged, std::string& why) {
  std::ifstream file(RecordPath(folder, serial));
  if (!file) {
    why = "no service record for " + serial;
    return false;
  }
  entries.clear();
  damaged = 0;
  for (std::string text; std::getline(file, text);) {
    if (text.empty()) continue;
    // A line cut short by a crash or edited by hand is skipped; the lines after it still count.
    if (auto e = EntryOf(json::parse(text, nullptr, false))) {
      entries.push_back(std::move(*e));
    } else {
      ++damaged;
    }
  }
  return true;
}

std::string HistoryText(const std::vector<RecordEntry>& entries) {
  std::ostringstream out;
  std::string session;
  for (const RecordEntry& e : entries) {
    if (e.session != session) {
      if (!session.empty()) out << '\n';
      session = e.session;
      out << e.time << "  " << e.program << "  " << e.model << " on " << e.port
          << (e.identified ? "" : " (printer not identified)") << ":";
    } else {
      out << ";";
    }
    out << ' ' << e.operation;
    if (!e.changes.empty())
      out << " (" << e.changes.size() << (e.changes.size() == 1 ? " byte)" : " bytes)");
    if (e.result != "done") out << ": " << e.result;
  }
  if (!session.empty()) out << '\n';
  return out.str();
}

std::string ReportHtml(const std::string& serial, const std::vector<RecordEntry>& entries) {
  std::optional<EepromBytes> latest;
  std::string model, headId;
  for (const RecordEntry& e : entries) {
    if (e.bytes) latest = e.bytes;
    if (!e.model.empty()) model = e.model;
    if (!e.headId.empty()) headId = e.headId;
  }
  std::ostringstream h;
  h << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Service report "
    << Escape(serial) << "</title>\n<style>body{font-family:sans-serif;font-size:10pt;margin:1.5cm}"
    << "table{border-collapse:collapse;margin-bottom:1em}td,th{border:1px solid #999;"
    << "padding:2px 6px;text-align:left}.failed{color:#b00}</style></head><body>\n";
  h << "<h1>Service report</h1>\n<h2>Printer</h2>\n<table>\n";
  h << "<tr><th>Model</th><td>" << Escape(model) << "</td></tr>\n";
  h << "<tr><th>Serial number</th><td>"
    << (serial == kUnidentified ? "not identified" : Escape(serial)) << "</td></tr>\n";
  if (latest) {
    const PrinterIdentity id = IdentityOf(*latest);
    h << "<tr><th>USB ID</th><td>" << Escape(id.usbId.value_or("")) << "</td></tr>\n";
    if (id.headId) headId = *id.headId;
  }
  h << "<tr><th>Head ID</th><td>" << Escape(headId) << "</td></tr>\n</table>\n";
  if (latest) {
    const EepromBytes& b = *latest;
    const auto be = [&](std::uint8_t first, int count) {
      std::uint32_t v = 0;
      for (int i = 0; i < count; ++i) v = v << 8 | b[static_cast<std::uint8_t>(first + i)];
      return v;
    };
    h << "<h2>Counters (last read)</h2>\n<table>\n"
      << "<tr><th>Protection counter</th><td>" << be(eeprom::kProtectionCounterHi, 2)
      << " points</td></tr>\n<tr><th>Page counter</th><td>" << be(eeprom::kPageCounter, 4)
      << "</td></tr>\n<tr><th>Print pass counter</th><td>" << be(eeprom::kPassCounter, 4)
      << "</td></tr>\n</table>\n";
  }
  h << "<h2>Operations</h2>\n<table>\n<tr><th>Time</th><th>Program</th><th>Operation</th>"
    << "<th>Result</th></tr>\n";
  for (const RecordEntry& e : entries) {
    const bool failed = e.result != "done";
    h << "<tr" << (failed ? " class=\"failed\"" : "") << "><td>" << Escape(e.time) << "</td><td>"
      << Escape(e.program) << "</td><td>" << Escape(e.operation) << "</td><td>" << Escape(e.result)
      << "</td></tr>\n";
  }
  h << "</table>\n<h2>Values before and after</h2>\n<table>\n<tr><th>Time</th><th>Operation</th>"
    << "<th>Address</th><th>Meaning</th><th>Before</th><th>After</th></tr>\n";
  for (const RecordEntry& e : entries) {
    for (const RecordedChange& c : e.changes) {
      h << "<tr><td>" << Escape(e.time) << "</td><td>" << Escape(e.operation) << "</td><td>"
        << HexText(c.address) << "</td><td>" << Escape(MeaningOf(c.address).name) << "</td><td>"
        << (c.before ? Escape(DescribeValue(c.address, *c.before)) : "unknown") << "</td><td>"
        << Escape(DescribeValue(c.address, c.after)) << "</td></tr>\n";
    }
  }
  h << "</table>\n</body></html>\n";
  return h.str();
}

std::string ReportJson(const std::string& serial, const std::vector<RecordEntry>& entries) {
  json list = json::array();
  for (const RecordEntry& e : entries) {
    json changes = json::array();
    for (const RecordedChange& c : e.changes) {
      changes.push_back({{"address", c.address},
                         {"name", MeaningOf(c.address).name},
                         {"before", c.before ? json(*c.before) : json()},
                         {"after", c.after}});
    }
    json entry = {{"session", e.session}, {"time", e.time},    {"program", e.program},
                  {"model", e.model},     {"port", e.port},    {"operation", e.operation},
                  {"result", e.result},   {"changes", changes}};
    entry["identified"] = e.identified;
    if (e.bytes) entry["eeprom"] = Rows(*e.bytes);
    list.push_back(entry);
  }
  return json(
             {{"serialNumber", serial == kUnidentified ? json() : json(serial)}, {"entries", list}})
             .dump(2, ' ', false, json::error_handler_t::replace) +
         "\n";
}

}  // namespace procedures
}  // namespace vantor
