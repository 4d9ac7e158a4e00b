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
#include "adjust/procedures/ProcedureContext.h"
#include "link/VerifiedWrites.h"

namespace vantor {

namespace procedures {
struct RecordEntry;
}

struct RecordedChange {
  std::uint8_t address = 0;
  std::optional<std::uint8_t> before;  // unknown unless the workflow read it
  std::uint8_t intended = 0;
  // None on lines written before outcomes were kept.
  std::optional<WriteOutcome> outcome{};
  std::optional<std::uint8_t> held{};  // what the printer holds afterwards, when known
};
// "confirmed", "not confirmed", "unknown": as a record line and its readers name an outcome.
std::string_view OutcomeText(WriteOutcome outcome);

// What the procedures tell the record; a Reporter may hold one.
class ServiceRecorder {
 public:
  virtual ~ServiceRecorder() = default;
  // A value the workflow read: the "before" of a later change at that address.
  virtual void Known(std::uint8_t address, std::uint8_t value) = 0;
  // The session read the printer's identity bytes: all 256, or those in read (which holds
  // the head ID and serial number addresses).
  virtual void Identified(const procedures::EepromBytes& bytes,
                          const procedures::AddressSet* read = nullptr) = 0;
  // One operation that changed, or tried to change, the printer.
  virtual void Operation(std::string_view operation, std::vector<RecordedChange> changes,
                         std::string_view result) = 0;
  // This printer's record so far, oldest first; false when no record is kept or it cannot be
  // read.
  virtual bool History(std::vector<procedures::RecordEntry>& /*entries*/) { return false; }
};

// The procedures' hooks; nothing happens without a recorder.
void RecordKnown(Reporter& reporter, std::uint8_t address, std::uint8_t value);
void RecordOperation(Reporter& reporter, std::string_view operation,
                     std::vector<RecordedChange> changes, std::string_view result);
void RecordOperation(Reporter& reporter, std::string_view operation,
                     std::vector<RecordedChange> changes, Result result);
// "done", else "failed: WORDS (result 0x....)".
std::string ResultText(Result result);
// The final result of an operation: "done", "interrupted", "failed: ..." or, for one the
// printer began (started) whose end was not seen, "not confirmed: ...".
std::string FinalResult(ProcedureContext& context, Result result, bool started = false);
std::string HexText(std::uint8_t value);  // "0x5D"

namespace procedures {

// $XDG_DATA_HOME/vantor-adjust, else ~/.local/share/vantor-adjust.
std::string DataFolder();

// The technician's records: DataFolder()/records.
std::string RecordsFolder();
// A virtual printer's records, kept beside its state file (vantor-records/NAME) so that its
// sessions never mix with real printers' or other virtual printers' (all have one serial).
std::string VirtualRecordsFolder(const std::string& stateFile);
inline constexpr std::string_view kUnidentified = "unidentified";

// Appends to <folder>/<SERIAL>.jsonl, only under a serial number the session read: a session
// that changes the printer without having read it reads the serial number once (with link,
// when given); one that could not is filed under "unidentified".
class FileServiceRecord final : public ServiceRecorder {
 public:
  FileServiceRecord(std::string folder, std::string program, std::string_view port, Model model,
                    Link* link = nullptr);
  ~FileServiceRecord() override;
  FileServiceRecord(const FileServiceRecord&) = delete;
  FileServiceRecord& operator=(const FileServiceRecord&) = delete;
  void Known(std::uint8_t address, std::uint8_t value) override;
  void Identified(const EepromBytes& bytes, const AddressSet* read = nullptr) override;
  void Operation(std::string_view operation, std::vector<RecordedChange> changes,
                 std::string_view result) override;
  bool History(std::vector<RecordEntry>& entries) override;
  // Why an append failed, in words; empty while every one worked.
  const std::string& Error() const { return error_; }

 private:
  void ReadSerial();

  std::string folder_, program_, port_, session_;
  Model model_;
  Link* link_;
  bool serialTried_ = false;
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
// Lines that are not a record entry (cut short, edited, of the wrong types) are skipped and
// counted in damaged.
bool ReadRecord(const std::string& folder, const std::string& serial,
                std::vector<RecordEntry>& entries, int& damaged, std::string& why);

// One line per session: time, program, operations and their results.
std::string HistoryText(const std::vector<RecordEntry>& entries);

}  // namespace procedures
}  // namespace vantor
