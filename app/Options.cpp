#include "app/Options.h"

#include "session/SessionSetup.h"

namespace vantor {

const char* const kUsage =
    "Usage: vantor-adjust [options]\n"
    "  --virtual[=FILE]          every interface name leads to the built-in virtual printer;\n"
    "                            its EEPROM is kept in FILE when given (also --virtual-printer)\n"
    "  --device NAME=PATH        the interface NAME (LPT1..LPT3, TVUSB1..TVUSB3) opens PATH\n"
    "  --trace FILE              record every port transfer in FILE\n"
    "  --pages DIR               with the virtual printer: also write each printed sheet to\n"
    "                            DIR as page-001.png, page-002.png, ...\n"
    "  --version                 show the program's version\n"
    "  -h, --help                show this help\n";

namespace {

QString Text(std::string_view s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

bool IsVirtualOption(const QString& name) {
  return name == Text(kVirtualOption) || name == Text(kVirtualOptionAlias);
}

// "--name=value" or "--name value"; false when the value is missing.
bool TakeValue(const QStringList& args, int& i, const QString& name, QString& value) {
  const QString& arg = args[i];
  if (arg.startsWith(name + "=")) {
    value = arg.mid(name.size() + 1);
    return true;
  }
  if (i + 1 >= args.size()) return false;
  value = args[++i];
  return true;
}

}  // namespace

bool ParseOptions(const QStringList& args, ProgramOptions& options, QString& error) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    const QString name = arg.section('=', 0, 0);
    QString value;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (i > 0 && IsVirtualOption(args[i - 1]) && !arg.startsWith('-')) {
      error =
          "'" + arg + "' after " + args[i - 1] + ": give the file as " + args[i - 1] + "=" + arg;
      return false;
    } else if (IsVirtualOption(name)) {
      // The file is optional, so it can only be given after '='.
      options.virtualPrinter = true;
      if (arg.contains('=')) {
        value = arg.mid(name.size() + 1);
        if (value.isEmpty()) {
          error = name + "= needs a file name";
          return false;
        }
        options.stateFile = value.toStdString();
      }
    } else if (name == "--device") {
      if (!TakeValue(args, i, name, value)) {
        error = "--device needs NAME=PATH";
        return false;
      }
      const qsizetype eq = value.indexOf('=');
      if (eq <= 0 || eq == value.size() - 1) {
        error = "--device needs NAME=PATH, not '" + value + "'";
        return false;
      }
      options.devices.emplace_back(value.left(eq).toStdString(), value.mid(eq + 1).toStdString());
    } else if (name == "--trace") {
      if (!TakeValue(args, i, name, value) || value.isEmpty()) {
        error = "--trace needs a file name";
        return false;
      }
      options.traceFile = value.toStdString();
    } else if (name == "--pages") {
      if (!TakeValue(args, i, name, value) || value.isEmpty()) {
        error = "--pages needs a directory";
        return false;
      }
      options.pagesDir = value.toStdString();
    } else {
      error = "unknown option '" + arg + "'";
      return false;
    }
  }
  SessionOptions session;
  session.virtualPrinter = options.virtualPrinter;
  session.pagesDir = options.pagesDir;
  if (const std::string_view option = OptionNeedingVirtualPrinter(session, false);
      !option.empty()) {
    error = Text(option) + " needs " + Text(kVirtualOption);
    return false;
  }
  return true;
}

namespace {
bool Set(const char* variable) {
  return variable != nullptr && *variable != '\0';
}
}  // namespace

std::string NoDisplaySentence(const char* display, const char* waylandDisplay,
                              const char* qpaPlatform) {
  if (Set(display) || Set(waylandDisplay) || Set(qpaPlatform)) return {};
  return "vantor-adjust needs a display for its windows, and neither DISPLAY nor "
         "WAYLAND_DISPLAY is set: start it in a desktop session, or use vantorctl on a terminal.";
}

}  // namespace vantor
