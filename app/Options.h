// Command-line options of vantor-adjust.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

namespace vantor {

struct ProgramOptions {
  bool virtualPrinter = false;
  std::string stateFile;  // the virtual printer's EEPROM file; empty: kept in memory
  std::vector<std::pair<std::string, std::string>> devices;  // NAME, PATH
  std::string traceFile;
  std::string pagesDir;  // the virtual printer's sheets are also written here as PNG
  bool help = false;
};

// args without the program name; false with the reason for a bad command line.
bool ParseOptions(const QStringList& args, ProgramOptions& options, QString& error);

extern const char* const kUsage;

}  // namespace vantor
