#include "adjust/procedures/ServiceRecord.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "link/FactoryCommands.h"
#include "link/Hex.h"

namespace vantor {

namespace fs = std::filesystem;
using nlohmann::json;

std::string HexText(std::uint8_t value) {
  return "0x" + ByteHex(value);
}

std::string ResultText(Result result) {
  if (result == kOk) return "done";
  char text[32];
  std::snprintf(text, sizeof text, "failed (result 0x%04X)", unsigned{result.Value()});
  return text;
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

constexpr std::string_view kUnidentified = "unidentified";

fs::path RecordPath(const std::string& folder, const std::string& serial) {
  return fs::path(folder) / "records" / (serial + ".jsonl");
}

fs::path LastPrinterPath(const std::string& folder, const std::string& port) {
  return fs::path(folder) / ("last-printer-" + port);
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
      unsigned value = 0;
      if (std::sscanf(hex.substr(2 * c, 2).c_str(), "%2x", &value) != 1) return std::nullopt;
      bytes[r * 16 + c] = static_cast<std::uint8_t>(value);
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

FileServiceRecord::FileServiceRecord(std::string folder, std::string program, std::string_view port,
                                     Model model)
    : folder_(std::move(folder)), program_(std::move(program)), port_(port), model_(model) {
  // Several sessions of one process (tests, the desktop program) within a second stay apart.
  static int sessions = 0;
  session_ = LocalTimeStamp() + "-" + std::to_string(::getpid()) + "-" + std::to_string(++sessions);
}

void FileServiceRecord::Known(std::uint8_t address, std::uint8_t value) {
  known_[address] = value;
}

void FileServiceRecord::Identified(const EepromBytes& bytes) {
  identity_ = IdentityOf(bytes);
  bytes_ = bytes;
  for (std::size_t a = 0; a < bytes.size(); ++a) known_[static_cast<std::uint8_t>(a)] = bytes[a];
}

void FileServiceRecord::Operation(std::string_view operation, std::vector<RecordedChange> changes,
                                  std::string_view result) {
  std::error_code ec;
  fs::create_directories(fs::path(folder_) / "records", ec);
  std::string serial;
  if (identity_ && identity_->serial) {
    serial = *identity_->serial;
    std::ofstream(LastPrinterPath(folder_, port_), std::ios::trunc) << serial << '\n';
  } else {
    std::ifstream last(LastPrinterPath(folder_, port_));
    if (!(last >> serial)) serial = kUnidentified;
  }
  json line;
  line["session"] = session_;
  line["time"] = LocalTimeStamp();
  line["program"] = program_;
  line["model"] = ModelName(model_);
  line["port"] = port_;
  line["serial"] = serial;
  line["identified"] = identity_.has_value();
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
  std::ofstream file(RecordPath(folder_, serial), std::ios::app);
  file << line.dump() << '\n';
  file.flush();
  error_ = file ? "" : "cannot write " + RecordPath(folder_, serial).string();
}

std::vector<std::string> RecordedPrinters(const std::string& folder) {
  std::vector<std::pair<fs::file_time_type, std::string>> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(folder) / "records", ec)) {
    if (e.path().extension() != ".jsonl") continue;
    found.emplace_back(e.last_write_time(ec), e.path().stem().string());
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> serials;
  for (auto& f : found) serials.push_back(std::move(f.second));
  return serials;
}

bool ReadRecord(const std::string& folder, const std::string& serial,
                std::vector<RecordEntry>& entries, std::string& why) {
  std::ifstream file(RecordPath(folder, serial));
  if (!file) {
    why = "no service record for " + serial;
    return false;
  }
  entries.clear();
  std::string text;
  int number = 0;
  const auto str = [](const json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  while (std::getline(file, text)) {
    ++number;
    if (text.empty()) continue;
    const json j = json::parse(text, nullptr, false);
    // A line cut short by a crash is skipped; the lines after it still count.
    if (j.is_discarded() || !j.is_object()) continue;
    RecordEntry e;
    e.session = str(j, "session");
    e.time = str(j, "time");
    e.program = str(j, "program");
    e.model = str(j, "model");
    e.port = str(j, "port");
    e.operation = str(j, "operation");
    e.result = str(j, "result");
    e.serial = str(j, "serial");
    e.headId = str(j, "headId");
    e.identified = j.value("identified", false);
    if (const auto c = j.find("changes"); c != j.end() && c->is_array()) {
      for (const json& change : *c) {
        RecordedChange rc;
        rc.address = change.value("address", std::uint8_t{0});
        if (const auto b = change.find("before"); b != change.end() && b->is_number())
          rc.before = b->get<std::uint8_t>();
        rc.after = change.value("after", std::uint8_t{0});
        e.changes.push_back(rc);
      }
    }
    if (const auto b = j.find("eeprom"); b != j.end()) e.bytes = BytesOf(*b);
    entries.push_back(std::move(e));
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
      out << e.time << "  " << e.program << "  " << e.model << " on " << e.port << ":";
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
  h << "<tr><th>Serial number</th><td>" << Escape(serial) << "</td></tr>\n";
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
    if (e.bytes) entry["eeprom"] = Rows(*e.bytes);
    list.push_back(entry);
  }
  return json({{"serialNumber", serial}, {"entries", list}}).dump(2) + "\n";
}

}  // namespace procedures
}  // namespace vantor
