// The scans of printed sheets that the input panels read their suggested values from.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace vantor {

class WorkArea;

inline constexpr const char* kReadScanCaption = "Read from scan...";
inline constexpr const char* kReadingScans = "Reading the scanned sheets.";
// The wait line while they are read: no printer is involved.
inline constexpr const char* kReadingTheSheets = "Reading the sheets";

// Asks for the scans through the window's dialogs; empty when the technician cancels.
QStringList ChooseScans(WorkArea& area, const QString& title, bool several);

// The chosen files as the paths the sheet reader opens.
std::vector<std::string> ScanPaths(const QStringList& files);

// Beside a value filled from a scan: the reading's confidence, "no change" where the sheet
// shows the value true.
QString ScanNote(bool trusted, bool changed, double confidence);
inline constexpr const char* kNotOnPages = "not found";

// Sheets not of the printer's latest print are read only when the technician says so, after
// the reason (empty: nothing to ask). Says what happened when not.
bool TakeScannedSheets(WorkArea& area, const std::string& reason);

}  // namespace vantor
