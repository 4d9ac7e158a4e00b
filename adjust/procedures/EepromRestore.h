// Backup, differences and verified restore of the whole EEPROM.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "adjust/procedures/EepromImage.h"
#include "adjust/procedures/ProcedureContext.h"

namespace vantor::procedures {

// Reads the 256 bytes in address order; progress gets the count read so far. A failure is
// reported.
Result ReadWholeEeprom(ProcedureContext& context, EepromBytes& bytes,
                       const std::function<void(int done)>& progress = {});
// The same for the addresses in which only (the others stay as they are); progress gets the
// count read so far and the count to read.
Result ReadEepromBytes(ProcedureContext& context, EepromBytes& bytes, const AddressSet& which,
                       const std::function<void(int done, int total)>& progress = {});
// The bytes that tell one printer from another: the head ID and the serial number.
AddressSet IdentityAddresses();

struct ByteChange {
  std::uint8_t address = 0;
  std::uint8_t printer = 0;  // what the printer holds now
  std::uint8_t image = 0;    // what the image holds
};
// The addresses where printer and image differ, limited to only when given.
std::vector<ByteChange> Differences(const EepromBytes& printer, const EepromBytes& image,
                                    const AddressSet* only = nullptr);

enum class ImageFit { Fits, OtherModel, OtherPrinter };
// Another printer is one whose head ID or serial number bytes differ from the image's.
ImageFit CheckImageFits(const EepromImage& image, Model model, const EepromBytes& printer);

struct RestoreOutcome {
  Result result = kOk;                 // the link failure that stopped the writes, if any
  std::vector<std::uint8_t> verified;  // written and read back equal
  // Written and answered, but read back different (the write did not take).
  std::optional<std::uint8_t> mismatch;
  std::uint8_t readBack = 0;
  // The byte in flight at a link failure: it may hold the old or the new value.
  std::optional<std::uint8_t> uncertain;
  std::vector<std::uint8_t> notWritten;  // still the old value
  bool Complete() const { return result == kOk && !mismatch; }
};
// Writes each change, reads it back and stops at the first failure or mismatch; ends the
// write session as the adjustment workflows do. A link failure is reported.
RestoreOutcome WriteChanges(ProcedureContext& context, const std::vector<ByteChange>& changes);

}  // namespace vantor::procedures
