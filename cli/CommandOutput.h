// What a command found, for scripts. With --json the values go out as one object on standard
// output and a failure as one object on standard error; without it this stays silent and the
// words on the terminal are the whole output.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/ServiceRecord.h"

namespace vantor::cli {

using Json = nlohmann::ordered_json;

// A byte as scripts want it: {"value": 93, "hex": "5D"}.
Json ByteJson(std::uint8_t value);
// A 16-bit code as a number and as four hex digits.
Json CodeJson(std::uint16_t code);
// The class of an exit code: "done", "failure", "usage", "cancelled".
std::string_view ExitClass(int status);

// Passes every record on to the session's file and keeps the changes for the JSON object.
class CommandOutput final : public ServiceRecorder {
 public:
  explicit CommandOutput(bool json) : json_(json) {}
  bool JsonWanted() const { return json_; }

  // Sets one field; nothing happens without --json.
  void Set(const std::string& key, cli::Json value) {
    if (json_) fields_[key] = std::move(value);
  }
  void SetCommand(std::string command) { command_ = std::move(command); }
  const std::string& Command() const { return command_; }
  void SetResult(Result result) { result_ = result; }
  void ForwardTo(ServiceRecorder* record) { record_ = record; }
  // The EEPROM byte the command wrote last at address, if it wrote one.
  const RecordedChange* LastChangeAt(std::uint8_t address) const;

  void Known(std::uint8_t address, std::uint8_t value) override;
  void Identified(const procedures::EepromBytes& bytes,
                  const procedures::AddressSet* read = nullptr) override;
  void Operation(std::string_view operation, std::vector<RecordedChange> changes,
                 std::string_view result) override;
  bool History(std::vector<procedures::RecordEntry>& entries) override {
    return record_ != nullptr && record_->History(entries);
  }

  // Writes the objects for a finished command: the values on out whenever the command ran
  // (also when it failed after reading some), the failure on err when status is not 0. memo
  // and errors are what the command would have shown on the terminal's two streams.
  void Write(int status, std::string_view memo, std::string_view errors, std::ostream& out,
             std::ostream& err) const;
  // A failure before any command ran (a usage fault, a port that does not open).
  void WriteFailure(int status, std::string_view errors, std::ostream& err) const;

 private:
  bool json_;
  std::string command_;
  cli::Json fields_ = cli::Json::object();
  cli::Json operations_ = cli::Json::array();
  std::vector<RecordedChange> changes_;
  Result result_ = kOk;
  ServiceRecorder* record_ = nullptr;
};

}  // namespace vantor::cli
