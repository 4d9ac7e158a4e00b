// The program against a virtual printer on a virtual clock, driven through its widgets.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/Malformadjust.h"
#include "app/Program.h"
#include "link/Clock.h"
#include "shell/TFormBoot.h"
#include "shell/TFormQuit.h"
#include "sim/VirtualPrinter.h"

class QPushButton;

namespace vantor::test {

// Records every box; questions are answered from a queue (Cancel when it is empty).
class ScriptedDialogs final : public DialogService {
 public:
  struct Box {
    QString text;
    bool question;
    Enter enter = Enter::Ok;
  };
  void Error(QWidget* owner, const QString& text) override;
  bool Question(QWidget* owner, const QString& title, const QString& text, Enter enter) override;
  // Answered from a queue of file lists (cancelled when it is empty); the folder it opened in
  // is kept.
  QStringList OpenImages(QWidget* owner, const QString& title, bool several) override;
  // Answered from saveFiles (cancelled when it is empty).
  QString SaveFile(QWidget* owner, const QString& title, const QString& suggested) override;

  std::vector<Box> boxes;
  std::deque<QStringList> images;
  std::deque<QString> saveFiles;
  QString openedIn;
  int imageRequests = 0;
  std::deque<bool> answers;
  // Runs while an error box stands, as the technician would act before pressing OK.
  std::function<void(const QString&)> onError;
  // Runs while a question stands, before it is answered.
  std::function<void(const QString&)> onQuestion;

  QStringList Texts() const;
};

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Extra options before the windows are built.
  virtual void Configure(ProgramOptions&) {}
  // The clock the program and the virtual printer run on.
  virtual Clock& ProgramClock() { return clock_; }

  TFormBoot& Boot() { return program_->Boot(); }
  TFormAdjust& Adjust() { return program_->Adjust(); }
  TFormQuit& Quit() { return program_->Quit(); }
  sim::VirtualPrinter& Printer() { return *program_->Printer(); }
  Link& GetLink() { return program_->GetLink(); }

  // Chooses list items as the technician does; -1 leaves a list empty.
  void Choose(int model, int port);
  void Click(QWidget* root, const char* objectName);
  // Model Q40 on TVUSB1, through to the adjustment window.
  void OpenAdjustment(int model = 0, int port = 3);
  void PressStatus() { Click(&Adjust(), "GetStatusBtn"); }

  QString Memo();
  QColor MemoColor();
  QStringList AdjustItems();
  bool MenuEnabled(const char* objectName);
  // Saves the window under the build folder and checks that the file was written.
  void Screenshot(QWidget& window, const QString& name);

  template <class T>
  T* Find(QWidget* root, const char* objectName) {
    T* w = root->findChild<T*>(objectName);
    EXPECT_NE(w, nullptr) << objectName;
    return w;
  }

  VirtualClock clock_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<Program> program_;
};

}  // namespace vantor::test
