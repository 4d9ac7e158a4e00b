// The built-in port table of this machine, and the --device overrides.
#pragma once

#include <string>
#include <string_view>

#include "link/PortDevice.h"

namespace vantor {

// LPT1-LPT3 and TVUSB1-TVUSB3 mapped to this machine's ports.
void AddDefaultPorts(PortTable& table);

// Points NAME at a device given as "PATH" (a device file) or another form a backend knows.
// Returns false with a reason when the name or the form is not known.
bool OverridePort(PortTable& table, std::string_view name, std::string_view target,
                  std::string& why);

}  // namespace vantor
