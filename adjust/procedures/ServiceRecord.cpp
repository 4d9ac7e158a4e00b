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

std::string_view OutcomeText(WriteOutcome outcome) {
  switch (outcome) {
    case WriteOutcome::Confirmed:
      return "confirmed";
    case WriteOutcome::NotConfirmed:
      return "not confirmed";
    default:
      return "unknown";
  }
}

std::string ResultText(Result result) {
  return result == kOk ? "done" : "failed: " + WordsOf(result);
}

std::string FinalResult(ProcedureContext& context, Result result, bool started) {
  if (result == kOk) return "done";
  // A signal ends the wait as "not ready"; that is not the printer's failure.
  if (context.link.channel.Cancelled()) return "interrupted";
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

json ByteOrNull(const std::optional<std::uint8_t>& byte) {
  return byte ? json(*byte) : json();
}

std::optional<EepromBytes> BytesOf(const json& rows) {
  if (!rows.is_array() || rows.size() != kHexRows) return std::nullopt;
  EepromBytes bytes{};
  for (std::size_t r = 0; r < kHexRows; ++r) {
    if (!rows[r].is_string()) return std::nullopt;
    const auto row = std::span(bytes).subspan(r * kHexRowBytes).first<kHexRowBytes>();
    if (!ParseHexRow(rows[r].get<std::string>(), row)) return std::nullopt;
  }
  return bytes;
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
  // The serial number is the one the printer held before this session changed anything.
  if (link_) {
    link_->channel.SetBeforeFirstChange([this] {
      if (!identity_ && !serialTried_) ReadSerial();
    });
  }
}

FileServiceRecord::~FileServiceRecord() {
  if (link_) link_->channel.SetBeforeFirstChange(nullptr);
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
    if (c.held)
      known_[c.address] = *c.held;
    else
      known_.erase(c.address);
    json change = {{"address", c.address},
                   {"name", MeaningOf(c.address).name},
                   {"before", ByteOrNull(c.before)},
                   {"intended", c.intended},
                   {"after", ByteOrNull(c.held)}};
    if (c.outcome) change["outcome"] = OutcomeText(*c.outcome);
    list.push_back(std::move(change));
  }
  line["changes"] = list;
  line["result"] = result;
  // The whole EEPROM goes with the first line of a session that read it.
  if (bytes_) {
    line["eeprom"] = HexRows(*bytes_);
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

// A byte that may be absent or null; false when it is there and no byte.
bool OptionalByte(const json& j, const char* key, std::optional<std::uint8_t>& byte) {
  const auto it = j.find(key);
  if (it == j.end() || it->is_null()) return true;
  if (!IsByte(*it)) return false;
  byte = it->get<std::uint8_t>();
  return true;
}

// Lines before outcomes were kept have only "after", the value written: known to hold only
// when the operation was done.
std::optional<RecordedChange> ChangeOf(const json& change, const std::string& result) {
  RecordedChange rc;
  std::optional<std::uint8_t> address, intended, after;
  if (!OptionalByte(change, "address", address) || !address ||
      !OptionalByte(change, "before", rc.before) || !OptionalByte(change, "intended", intended) ||
      !OptionalByte(change, "after", after)) {
    return std::nullopt;
  }
  rc.address = *address;
  if (!intended) {
    if (!after) return std::nullopt;
    rc.intended = *after;
    if (result == "done") rc.held = after;
    return rc;
  }
  rc.intended = *intended;
  rc.held = after;
  const auto outcome = change.find("outcome");
  if (outcome == change.end() || outcome->is_null()) return rc;
  if (!outcome->is_string()) return std::nullopt;
  for (const WriteOutcome o :
       {WriteOutcome::Confirmed, WriteOutcome::NotConfirmed, WriteOutcome::Unknown}) {
    if (outcome->get<std::string>() == OutcomeText(o)) rc.outcome = o;
  }
  if (!rc.outcome) return std::nullopt;
  return rc;
}

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
      auto rc = ChangeOf(change, e.result);
      if (!rc) return std::nullopt;
      e.changes.push_back(*rc);
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
    if (!e.changes.empty()) {
      out << " (" << e.changes.size() << (e.changes.size() == 1 ? " byte" : " bytes");
      // The bytes not confirmed, by outcome; old lines kept none.
      for (const WriteOutcome o : {WriteOutcome::NotConfirmed, WriteOutcome::Unknown}) {
        const auto n = std::count_if(e.changes.begin(), e.changes.end(),
                                     [&](const RecordedChange& c) { return c.outcome == o; });
        if (n > 0) out << ", " << n << ' ' << OutcomeText(o);
      }
      out << ')';
    }
    if (e.result != "done") out << ": " << e.result;
  }
  if (!session.empty()) out << '\n';
  return out.str();
}

}  // namespace procedures
}  // namespace vantor
