// The service record: what each session did to which printer, kept per printer as JSON lines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/EepromImage.h"
#include "adjust/procedures/Messages.h"

namespace vantor {

struct RecordedChange {
  std::uint8_t address = 0;
  std::optional<std::uint8_t> before;  // unknown unless the workflow read it
  std::uint8_t after = 0;
};

// What the procedures tell the record; a Reporter may hold one.
class ServiceRecorder {
 public:
  virtual ~ServiceRecorder() = default;
  // A value the workflow read: the "before" of a later change at that address.
  virtual void Known(std::uint8_t address, std::uint8_t value) = 0;
  // The session read the whole EEPROM: the printer is known by its bytes.
  virtual void Identified(const procedures::EepromBytes& bytes) = 0;
  // One operation that changed, or tried to change, the printer.
  virtual void Operation(std::string_view operation, std::vector<RecordedChange> changes,
                         std::string_view result) = 0;
};

// The procedures' hooks; nothing happens without a recorder.
void RecordKnown(Reporter& reporter, std::uint8_t address, std::uint8_t value);
void RecordOperation(Reporter& reporter, std::string_view operation,
                     std::vector<RecordedChange> changes, std::string_view result);
void RecordOperation(Reporter& reporter, std::string_view operation,
                     std::vector<RecordedChange> changes, Result result);
std::string ResultText(Result result);
std::string HexText(std::uint8_t value);  // "0x5D"

namespace procedures {

// $XDG_DATA_HOME/vantor-adjust, else ~/.local/share/vantor-adjust.
std::string DataFolder();

// Appends to <folder>/records/<SERIAL>.jsonl. A session that has not read the printer's
// identity is filed under the printer last identified on the same interface.
class FileServiceRecord final : public ServiceRecorder {
 public:
  FileServiceRecord(std::string folder, std::string program, std::string_view port, Model model);
  void Known(std::uint8_t address, std::uint8_t value) override;
  void Identified(const EepromBytes& bytes) override;
  void Operation(std::string_view operation, std::vector<RecordedChange> changes,
                 std::string_view result) override;
  // Why the last append failed, empty when it worked.
  const std::string& Error() const { return error_; }

 private:
  std::string folder_, program_, port_, session_;
  Model model_;
  std::map<std::uint8_t, std::uint8_t> known_;
  std::optional<PrinterIdentity> identity_;
  std::optional<EepromBytes> bytes_;
  std::string error_;
};

// One line of a record, as read back.
struct RecordEntry {
  std::string session, time, program, model, port, operation, result;
  std::string serial, headId;
  bool identified = false;  // the session read the printer's identity itself
  std::vector<RecordedChange> changes;
  std::optional<EepromBytes> bytes;  // the whole EEPROM, for sessions that read it
};
// The serial numbers that have a record, most recently written first.
std::vector<std::string> RecordedPrinters(const std::string& folder);
bool ReadRecord(const std::string& folder, const std::string& serial,
                std::vector<RecordEntry>& entries, std::string& why);

// One line per session: time, program, operations and their results.
std::string HistoryText(const std::vector<RecordEntry>& entries);
// A printable one-page report: identity, counters, values before and after, failures.
std::string ReportHtml(const std::string& serial, const std::vector<RecordEntry>& entries);
// The same data for programs: the printer and its entries, values as numbers.
std::string ReportJson(const std::string& serial, const std::vector<RecordEntry>& entries);

}  // namespace procedures
}  // namespace vantor
