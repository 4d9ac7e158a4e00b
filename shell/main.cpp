// vantor-adjust: the desktop program.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <exception>
#include <iostream>

#include "adjust/Malformadjust.h"
#include "link/Clock.h"
#include "link/Fatal.h"
#include "shell/DialogService.h"
#include "shell/Options.h"
#include "shell/Program.h"
#include "shell/TFormBoot.h"
#include "shell/VirtualConsole.h"

namespace {

void ShowFatalBox(std::string_view title, std::string_view message) {
  QMessageBox::critical(nullptr, QString::fromUtf8(title.data(), qsizetype(title.size())),
                        QString::fromUtf8(message.data(), qsizetype(message.size())));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("vantor-adjust");
  QApplication::setApplicationDisplayName(vantor::kApplicationTitle);
  // The start window is the main window even while hidden; its close alone ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  vantor::ProgramOptions options;
  QString error;
  if (!vantor::ParseOptions(QApplication::arguments().mid(1), options, error)) {
    std::cerr << "vantor-adjust: " << error.toStdString() << "\n" << vantor::kUsage;
    return 2;
  }
  if (options.help) {
    std::cout << vantor::kUsage;
    return 0;
  }

  vantor::SystemClock clock;
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
  boot.show();
  if (vantor::VirtualConsole* console = program.Console()) {
    // Beside the program's windows, so both can be used at once.
    QRect place = console->frameGeometry();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      place.moveTopRight(screen->availableGeometry().topRight());
    }
    console->move(place.topLeft());
    console->show();
  }
  return app.exec();
}
