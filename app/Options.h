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
  bool version = false;
};

// args without the program name; false with the reason for a bad command line.
bool ParseOptions(const QStringList& args, ProgramOptions& options, QString& error);

extern const char* const kUsage;

// The sentence to print when the windows have nowhere to go: no display named and no toolkit
// platform chosen (the arguments are the three environment variables, null when unset);
// empty when there is a display to try.
std::string NoDisplaySentence(const char* display, const char* waylandDisplay,
                              const char* qpaPlatform);

}  // namespace vantor
