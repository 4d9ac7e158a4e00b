// The virtual printer's own words: reply texts, device ID and console lines.
#pragma once

#include <string_view>

namespace vantor::sim::texts {

// Control-channel replies. Command replies carry their verdict letter at text position 6.
inline constexpr std::string_view kStatusHead = "@BDC ST\r\n";
inline constexpr std::string_view kEepromReadHead = "@BDC PS\r\nEE:";  // address and value follow
inline constexpr std::string_view kReplyEnd = ";\r\n";
inline constexpr std::string_view kVerdictOk = "OK";
inline constexpr std::string_view kVerdictBusy = "BUSY";
inline constexpr std::string_view kVerdictRefused = "NG";
inline constexpr std::string_view kEepromFrameName = "||";

// IEEE 1284 device ID; the model name follows MDL: and DES:.
inline constexpr std::string_view kDeviceIdMaker = "MFG:Vantor;";
inline constexpr std::string_view kDeviceIdCommands = "CMD:VANTOR-RASTER,REMOTE1,1284.4;";
inline constexpr std::string_view kDeviceIdClass = "CLS:PRINTER;";

inline constexpr std::string_view kPortDescription = "virtual printer";

// serve-virtual console.
inline constexpr std::string_view kServing = "serving on ";
inline constexpr std::string_view kConsoleHelp =
    "commands: ink, paper out, paper in, error NN, clear, lever N, nozzle, fault KIND[,...], fault "
    "off, misalign [bid=ROW:STEPS,...;pf=N;tilt=N;top=N], status, quit";
inline constexpr std::string_view kConsoleUnknown = "unknown command: ";
inline constexpr std::string_view kConsoleDone = "ok";

}  // namespace vantor::sim::texts
