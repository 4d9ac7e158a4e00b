// The port doctor's steps both platforms share, and the one each platform supplies.
#pragma once

#include "link/backends/PortDoctor.h"

namespace vantor {

// Splits "DEVICE (BACKEND)" as the port table describes a route; else a bare device file.
void SplitDescription(const std::string& description, PortCheck& check);
// Opens the port and asks for its device ID; false, with the reason, when it would not open.
bool OpenAndAskForId(const PortTable& table, PortCheck& check);
// The programs holding the port, as one list.
std::string JoinedHolders(const PortCheck& check);
// For a port that would not open for another reason than a holder.
std::string RetryAdvice(const PortCheck& check);
// What this platform can tell about the port (one file per platform): the check filled in, and
// the report's words for what only this platform looks at ("; ..." after present or missing).
void InspectPort(const PortTable& table, const DoctorOptions& options, PortCheck& check);
std::string PortStateDetails(const PortCheck& check);

}  // namespace vantor
