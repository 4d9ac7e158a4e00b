// vantor-adjust: the desktop program.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/Malformadjust.h"
#include "adjust/procedures/EepromImage.h"
#include "app/EventLoopClock.h"
#include "app/Options.h"
#include "app/Program.h"
#include "app/VirtualConsole.h"
#include "link/Clock.h"
#include "link/Fatal.h"
#include "shell/TFormBoot.h"

namespace {

void ShowFatalBox(std::string_view title, std::string_view message) {
  QMessageBox::critical(nullptr, QString::fromUtf8(title.data(), qsizetype(title.size())),
                        QString::fromUtf8(message.data(), qsizetype(message.size())));
}

// false when the program is to end at once with `status`.
bool ReadOptions(const QStringList& args, vantor::ProgramOptions& options, int& status) {
  QString error;
  if (!vantor::ParseOptions(args, options, error)) {
    std::cerr << "vantor-adjust: " << error.toStdString() << "\n" << vantor::kUsage;
    status = 2;
    return false;
  }
  if (options.help) {
    std::cout << vantor::kUsage;
    status = 0;
    return false;
  }
  if (options.version) {
    std::cout << "vantor-adjust " << vantor::procedures::ProgramVersion() << "\n";
    status = 0;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Help and option faults need no display. Arguments with one dash belong to the toolkit,
  // which removes them itself; only then must the display come first.
  const QStringList raw = [&] {
    QStringList list;
    for (int i = 1; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
    return list;
  }();
  const bool toolkitArgs = std::any_of(raw.begin(), raw.end(), [](const QString& a) {
    return a.startsWith('-') && !a.startsWith("--") && a != "-h";
  });
  vantor::ProgramOptions options;
  int status = 0;
  if (!toolkitArgs && !ReadOptions(raw, options, status)) return status;
#if defined(__linux__)
  // The toolkit aborts without a display; say why in a sentence instead.
  // A toolkit "-platform" argument chooses the platform as QT_QPA_PLATFORM does.
  const char* platform = raw.contains("-platform") ? "-platform" : std::getenv("QT_QPA_PLATFORM");
  const std::string noDisplay =
      vantor::NoDisplaySentence(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), platform);
  if (!noDisplay.empty()) {
    std::cerr << noDisplay << "\n";
    return 1;
  }
#endif

  QApplication app(argc, argv);
  QApplication::setApplicationName("vantor-adjust");
  // The application title names the program in its desktop entry and error boxes; as a display
  // name the toolkit would append it to every window's caption.
  // The start window is the main window even while hidden; its close alone ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  // Wayland shells find the icon through the desktop entry; X11 ones take the windows' icon.
  QApplication::setDesktopFileName("vantor-adjust");
  QApplication::setWindowIcon(QIcon(":/vantor-adjust.svg"));
  if (toolkitArgs) {
    options = {};
    if (!ReadOptions(QApplication::arguments().mid(1), options, status)) return status;
  }

  vantor::EventLoopClock clock;
  vantor::QtDialogService dialogs;
  vantor::SetFatalDisplay(ShowFatalBox);
  vantor::Program program(clock, dialogs);
  if (!program.CreateLink()) {
    dialogs.Error(nullptr, vantor::kAllocationError);
    return 0;
  }
  std::string why;
  if (!program.Configure(options, why)) {
    std::cerr << "vantor-adjust: " << why << "\n";
    return 2;
  }
  try {
    program.CreateWindows();
  } catch (const std::exception& e) {
    dialogs.Error(nullptr, QString::fromLocal8Bit(e.what()));
    return 0;
  }

  vantor::TFormBoot& boot = program.Boot();
  QObject::connect(&boot, &vantor::TFormBoot::ProgramEnd, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  if (vantor::VirtualConsole* console = program.Console()) {
    // The technician works the printer's console while the program waits on the printer.
    clock.LetThrough(console);
  }
  program.ShowWindows();
  return app.exec();
}
