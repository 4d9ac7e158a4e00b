// The scans of printed sheets that the input panels read their suggested values from.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "sheet/SheetImage.h"

namespace vantor {

class WorkArea;

inline constexpr const char* kReadScanCaption = "Read from scan...";
inline constexpr const char* kReadingScans = "Reading the scanned sheets.";

// Asks for the scans through the window's dialogs; empty when the technician cancels.
QStringList ChooseScans(WorkArea& area, const QString& title, bool several);

// Loads every file; false with the loader's words at the first that cannot be read.
bool LoadScans(const QStringList& files, std::vector<sheet::SheetImage>& pages, std::string& error);

}  // namespace vantor
