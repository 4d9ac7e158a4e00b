#include "app/Program.h"

#include <QAction>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <iostream>
#include <new>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/Malformadjust.h"
#include "adjust/procedures/ServiceRecord.h"
#include "app/VirtualConsole.h"
#include "shell/TAboutBox.h"
#include "shell/TFormBoot.h"
#include "shell/TFormQuit.h"
#include "sim/PageRenderer.h"

namespace vantor {

Program::Program(Clock& clock, DialogService& dialogs)
    : clock_(clock), dialogs_(dialogs), report_(dialogs) {}

// Windows go first: they hold the session, which holds the printer's device.
Program::~Program() {
  console_.reset();
  about_.reset();
  quit_.reset();
  adjust_.reset();
  boot_.reset();
  session_.reset();
}

bool Program::CreateLink() {
  try {
    session_ = std::make_unique<LinkSession>(clock_);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool Program::Configure(const ProgramOptions& options, std::string& error) {
  SessionOptions setup;
  setup.virtualPrinter = options.virtualPrinter;
  setup.stateFile = options.stateFile;
  setup.pagesDir = options.pagesDir;
  // The console shows every sheet, so they are rendered even without a directory.
  if (options.virtualPrinter)
    setup.pageObserver = [this](const sim::Page& page, const std::string& file) {
      ShowPage(page, file);
    };
  for (const auto& [name, path] : options.devices) setup.devices.push_back(name + "=" + path);
  setup.traceFile = options.traceFile;
  SetupFailure failure;
  if (!session_->Configure(setup, failure)) {
    error = failure.step == SetupStep::Trace ? "cannot write the trace file " + options.traceFile
                                             : failure.message;
    return false;
  }
  // The report reads the records the sessions write: a virtual printer's beside its state file.
  if (!options.virtualPrinter)
    report_.SetRecordsFolder(procedures::RecordsFolder());
  else if (!options.stateFile.empty())
    report_.SetRecordsFolder(procedures::VirtualRecordsFolder(options.stateFile));
  // The scans the input panels read start where the virtual printer leaves its sheets.
  if (options.virtualPrinter && !options.pagesDir.empty())
    dialogs_.SetImageFolder(QString::fromStdString(options.pagesDir));
  return true;
}

// Written by the session first; a failed write is told once, as it happens.
void Program::ShowPage(const sim::Page& page, const std::string& file) {
  if (!pageErrorShown_ && !session_->Setup().PagesError().empty()) {
    std::cerr << "vantor-adjust: " << session_->Setup().PagesError() << "\n";
    pageErrorShown_ = true;
  }
  if (console_) {
    const QImage view(page.rgb.data(), page.width, page.height, page.width * 3,
                      QImage::Format_RGB888);
    // The console keeps the file, or a compressed copy; the pixels stay the renderer's.
    console_->AddPage(view, QString::fromStdString(file), QString::fromStdString(page.title));
  }
}

void Program::CreateWindows() {
  boot_ = std::make_unique<TFormBoot>(*session_, dialogs_);
  adjust_ = std::make_unique<TFormAdjust>(*session_, dialogs_);
  quit_ = std::make_unique<TFormQuit>(boot_.get());
  about_ = std::make_unique<TAboutBox>();
  boot_->SetWindows(adjust_.get(), about_.get());
  adjust_->SetQuitWindow(quit_.get());
  for (auto& module : MakeWorkflowModules()) adjust_->AddModule(std::move(module));
  if (Printer()) {
    console_ = std::make_unique<VirtualConsole>(*Printer());
    console_->SetSheetSource([this] { return session_->Setup().Pages().SheetInPrinter(); });
    // Closing the console must not lose it: the head-angle workflow needs its ink switch.
    if (auto* popup = boot_->findChild<QMenu*>("PopupMenu1")) {
      QAction* open = popup->addAction(kConsoleMenuText);
      open->setObjectName("ConsoleMenuItem");
      QObject::connect(open, &QAction::triggered, [this] { ShowConsole(); });
    }
    auto* key = new QShortcut(QKeySequence(kConsoleShortcut), adjust_.get());
    key->setObjectName("ConsoleShortcut");
    QObject::connect(key, &QShortcut::activated, [this] { ShowConsole(); });
  }
  if (auto* popup = boot_->findChild<QMenu*>("PopupMenu1")) {
    QAction* report = popup->addAction(kReportMenuText);
    report->setObjectName("ServiceReportMenuItem");
    QObject::connect(report, &QAction::triggered, [this] { report_.Run(boot_.get()); });
  }
}

void Program::ShowConsole() {
  if (!console_) return;
  console_->show();
  console_->raise();
  console_->activateWindow();
}

void Program::ShowWindows() {
  boot_->show();
  if (console_) {
    // At the screen's right edge, beside the adjustment window at its left; the frame is
    // known once shown, so the place is set again then.
    const auto place = [this] {
      if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = console_->frameGeometry();
        frame.moveTopRight(screen->availableGeometry().topRight());
        console_->move(frame.topLeft());
      }
    };
    place();
    console_->show();
    place();
  }
  // A key typed at start is meant for the start window, never for the console's buttons.
  boot_->raise();
  boot_->activateWindow();
}

}  // namespace vantor
