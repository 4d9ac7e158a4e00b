#include "tests/gui/GuiHarness.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "adjust/panels/RadioGroup.h"
#include "app/VirtualConsole.h"

namespace vantor::test {

void ScriptedDialogs::Error(QWidget*, const QString& text) {
  boxes.push_back({text, false});
  if (onError) onError(text);
}

bool ScriptedDialogs::Question(QWidget*, const QString&, const QString& text, Enter enter) {
  boxes.push_back({text, true, enter});
  if (onQuestion) onQuestion(text);
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

QStringList ScriptedDialogs::OpenImages(QWidget*, const QString&, bool several) {
  ++imageRequests;
  openedIn = ImageFolder();
  if (images.empty()) return {};
  QStringList files = images.front();
  images.pop_front();
  if (!several && files.size() > 1) files = files.mid(0, 1);
  return files;
}

QString ScriptedDialogs::SaveFile(QWidget*, const QString&, const QString&) {
  if (saveFiles.empty()) return {};
  QString file = saveFiles.front();
  saveFiles.pop_front();
  return file;
}

QStringList ScriptedDialogs::Texts() const {
  QStringList texts;
  for (const Box& b : boxes) texts.append(b.text);
  return texts;
}

void GuiTest::SetUp() {
  program_ = std::make_unique<Program>(ProgramClock(), dialogs_);
  ASSERT_TRUE(program_->CreateLink());
  ProgramOptions options;
  options.virtualPrinter = true;
  Configure(options);
  std::string error;
  ASSERT_TRUE(program_->Configure(options, error)) << error;
  program_->CreateWindows();
  Boot().show();
}

void GuiTest::TearDown() {
  program_.reset();
  ShowNormalCursor();
}

void GuiTest::Choose(int model, int port) {
  auto* models = Find<QComboBox>(&Boot(), "ModelNameCombo");
  auto* ports = Find<QComboBox>(&Boot(), "UsePortCombo");
  models->setCurrentIndex(model);
  ports->setCurrentIndex(port);
}

void GuiTest::Click(QWidget* root, const char* objectName) {
  auto* button = Find<QPushButton>(root, objectName);
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
}

void GuiTest::OpenAdjustment(int model, int port) {
  Choose(model, port);
  Click(&Boot(), "PortSelectOKBtn");
  ASSERT_TRUE(Adjust().isVisible()) << dialogs_.Texts().join("|").toStdString();
}

QString GuiTest::Memo() {
  return Find<QPlainTextEdit>(&Adjust(), "StatusMemo")->toPlainText();
}

QColor GuiTest::MemoColor() {
  return Find<QPlainTextEdit>(&Adjust(), "StatusMemo")->palette().color(QPalette::Text);
}

QStringList GuiTest::AdjustItems() {
  return Find<RadioGroup>(&Adjust(), "AdjustRdoGrp")->Items();
}

bool GuiTest::MenuEnabled(const char* objectName) {
  return Find<RadioGroup>(&Adjust(), objectName)->isEnabled();
}

void GuiTest::Screenshot(QWidget& window, const QString& name) {
  const QDir dir(VANTOR_SCREENSHOT_DIR);
  ASSERT_TRUE(dir.mkpath("."));
  const QString path = dir.filePath(name + ".png");
  ASSERT_TRUE(window.grab().save(path)) << path.toStdString();
}

}  // namespace vantor::test
