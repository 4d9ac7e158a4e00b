#include "cli/CommandOutput.h"

#include <cstdio>
#include <ostream>
#include <sstream>

#include "cli/ExitCodes.h"

namespace vantor::cli {

namespace {

// Text from the command line or a file may hold bytes that are not UTF-8: they become U+FFFD.
std::string Dump(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Hex(unsigned value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// The terminal's lines, without the empty ones a cleared memo leaves.
Json Lines(std::string_view text) {
  Json lines = Json::array();
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace

Json ByteJson(std::uint8_t value) {
  return {{"value", value}, {"hex", Hex(value, 2)}};
}

Json CodeJson(std::uint16_t code) {
  return {{"value", code}, {"hex", Hex(code, 4)}};
}

std::string_view ExitClass(int status) {
  switch (status) {
    case kExitOk:
      return "done";
    case kExitUsage:
      return "usage";
    case kExitCancelled:
      return "cancelled";
    default:
      return "failure";
  }
}

const RecordedChange* CommandOutput::LastChangeAt(std::uint8_t address) const {
  for (auto c = changes_.rbegin(); c != changes_.rend(); ++c) {
    if (c->address == address) return &*c;
  }
  return nullptr;
}

void CommandOutput::Known(std::uint8_t address, std::uint8_t value) {
  if (record_) record_->Known(address, value);
}

void CommandOutput::Identified(const procedures::EepromBytes& bytes,
                               const procedures::AddressSet* read) {
  if (record_) record_->Identified(bytes, read);
}

void CommandOutput::Operation(std::string_view operation, std::vector<RecordedChange> changes,
                              std::string_view result) {
  if (json_) {
    Json written = Json::array();
    for (const RecordedChange& c : changes) {
      Json change = {{"address", ByteJson(c.address)},
                     {"intended", ByteJson(c.intended)},
                     {"after", c.held ? ByteJson(*c.held) : Json()},
                     {"outcome", c.outcome ? Json(OutcomeText(*c.outcome)) : Json()}};
      change["before"] = c.before ? ByteJson(*c.before) : Json();
      written.push_back(std::move(change));
    }
    operations_.push_back({{"operation", operation}, {"result", result}, {"changes", written}});
    changes_.insert(changes_.end(), changes.begin(), changes.end());
  }
  if (record_) record_->Operation(operation, std::move(changes), result);
}

void CommandOutput::Write(int status, std::string_view memo, std::string_view errors,
                          std::ostream& out, std::ostream& err) const {
  if (!json_) return;
  Json object = {{"command", command_}, {"exit", status}, {"class", ExitClass(status)}};
  for (const auto& [key, value] : fields_.items()) object[key] = value;
  if (!operations_.empty()) object["operations"] = operations_;
  object["words"] = Lines(memo);
  out << Dump(object) << '\n';
  if (status != kExitOk) WriteFailure(status, errors.empty() ? memo : errors, err);
}

void CommandOutput::WriteFailure(int status, std::string_view errors, std::ostream& err) const {
  if (!json_) return;
  Json object = {{"command", command_}, {"exit", status}, {"class", ExitClass(status)}};
  object["result"] = result_ == kOk ? Json() : CodeJson(result_.Value());
  object["words"] = Lines(errors);
  err << Dump(object) << '\n';
}

}  // namespace vantor::cli
