// The head ID and USB ID workflows, shared by the window and vantorctl. Each shows its lines and
// reports its failures through the Reporter; the front ends only fill their own fields.
#pragma once

#include <string>
#include <string_view>

#include "adjust/procedures/ProcedureContext.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"

namespace vantor::procedures {

// IDs are printed in upper case; a technician's lower case means the same characters.
std::string UpperCaseId(std::string_view typed);

// Shows "Head ID = " and the ID read from the EEPROM; id receives it.
Result ReadHeadId(ProcedureContext& context, std::string& id);
// Checks and writes a typed head ID; registered receives it as written (upper case).
Result RegisterHeadId(ProcedureContext& context, std::string_view typed, std::string& registered);

// Shows "USB ID = " and the 18 characters the printer holds; first is the kind of that line.
Result ReadUsbId(ProcedureContext& context, std::string& id,
                 MessageKind first = MessageKind::Replace);
// Writes an original USB ID, then reads back what the printer now holds, so a wrong store
// shows at once; stored receives the ID read back.
Result RegisterUsbId(ProcedureContext& context, std::string_view typed, std::string& stored);

struct SerialRegistration {
  std::string serial;    // as written (upper case)
  std::string dateCode;  // the eight characters written after it
};
// Writes a serial number and the date code of this PC's clock.
Result RegisterSerialNumber(ProcedureContext& context, std::string_view typed,
                            SerialRegistration& registered);

}  // namespace vantor::procedures
