#include "shell/TFormBoot.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/PanelParts.h"
#include "adjust/procedures/EepromImage.h"
#include "shell/TAboutBox.h"
#include "words/Words.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kCaption = " TAVRO Printer Adjustment Program";
constexpr const char* kTitle = "TAVRO Printer Adjustment Program";
constexpr const char* kSubTitle = "for Windows98";
constexpr const char* kModelName = "Model Name";
constexpr const char* kInterface = "Interface";
constexpr const char* kOk = "OK";
constexpr const char* kQuit = "Quit";
constexpr const char* kVersion = "Version";
constexpr const char* kOtherModel = "The printer reports itself as %1; continue as %2?";
}  // namespace text

constexpr PortCode kPortCodes[] = {0x401, 0x402, 0x403, 0x501, 0x502, 0x503};
}  // namespace

TFormBoot::TFormBoot(LinkSession& session, DialogService& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      session_(session),
      dialogs_(dialogs) {
  setObjectName("TFormBoot");
  setWindowTitle(text::kCaption);
  setModal(false);

  auto* title = new QLabel(text::kTitle, this);
  QFont titleFont = title->font();
  titleFont.setPointSize(titleFont.pointSize() + 8);
  titleFont.setBold(true);
  title->setFont(titleFont);
  title->setAlignment(Qt::AlignCenter);
  auto* subTitle = new QLabel(text::kSubTitle, this);
  QFont subFont = subTitle->font();
  subFont.setPointSize(subFont.pointSize() + 3);
  subFont.setItalic(true);
  subTitle->setFont(subFont);
  subTitle->setAlignment(Qt::AlignCenter);

  modelNameCombo_ = new QComboBox(this);
  modelNameCombo_->setObjectName("ModelNameCombo");
  modelNameCombo_->addItems({FromView(ModelName(Model::Q40)), FromView(ModelName(Model::Q30))});
  usePortCombo_ = new QComboBox(this);
  usePortCombo_->setObjectName("UsePortCombo");
  for (std::string_view name : kPortNames) usePortCombo_->addItem(FromView(name));

  okBtn_ = new QPushButton(text::kOk, this);
  okBtn_->setObjectName("PortSelectOKBtn");
  okBtn_->setDefault(true);
  endBtn_ = new QPushButton(text::kQuit, this);
  endBtn_->setObjectName("ProEndBtn");
  connect(okBtn_, &QPushButton::clicked, this, &TFormBoot::PortSelectOKBtnClick);
  connect(endBtn_, &QPushButton::clicked, this, &TFormBoot::ProEndBtnClick);

  popupMenu_ = new QMenu(this);
  popupMenu_->setObjectName("PopupMenu1");
  version1_ = popupMenu_->addAction(text::kVersion);
  version1_->setObjectName("Version1");
  connect(version1_, &QAction::triggered, this, &TFormBoot::Version1Click);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(text::kModelName, this), 0, 0);
  fields->addWidget(modelNameCombo_, 0, 1);
  fields->addWidget(new QLabel(text::kInterface, this), 1, 0);
  fields->addWidget(usePortCombo_, 1, 1);
  fields->setColumnStretch(1, 1);
  fields->setHorizontalSpacing(16);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okBtn_);
  buttons->addWidget(endBtn_);

  auto* fieldsRow = new QHBoxLayout;
  fieldsRow->addStretch();
  fieldsRow->addLayout(fields, 2);
  fieldsRow->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addWidget(subTitle);
  layout->addSpacing(16);
  layout->addLayout(fieldsRow);
  layout->addStretch();
  layout->addLayout(buttons);

  resize(576, 285);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TFormBoot::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFormBoot::FormShow() {
  modelNameCombo_->setCurrentIndex(-1);
  usePortCombo_->setCurrentIndex(-1);
  okBtn_->setEnabled(true);
  endBtn_->setEnabled(true);
  // Back from the quit window ("Next"), the first choice to make is the model again.
  modelNameCombo_->setFocus(Qt::OtherFocusReason);
}

void TFormBoot::PortSelectOKBtnClick() {
  ShowHourglass();
  const int modelIndex = modelNameCombo_->currentIndex();
  const int portIndex = usePortCombo_->currentIndex();
  if (modelIndex < 0 || portIndex < 0 || portIndex >= int(std::size(kPortCodes))) {
    ShowNormalCursor();
    return;
  }

  selectedModel_ = modelIndex == 0 ? Model::Q40 : Model::Q30;
  portCode_ = kPortCodes[portIndex];
  interfaceKind_ = KindOf(portCode_);
  const SessionStart start = session_.Open(
      {portCode_, selectedModel_, "vantor-adjust " + std::string(procedures::ProgramVersion()),
       [this](Model reported, Model chosen) { return GoOnAs(reported, chosen); }});
  if (start.failedAt != StartStep::Done) {
    ShowNormalCursor();
    // A declined model closed the session; its words are what the close lost, if anything.
    const std::string said = start.failedAt == StartStep::Open ? std::string(words::kCannotOpenPort)
                             : start.failedAt == StartStep::Link
                                 ? std::string(words::kCommunicationError)
                                 : start.losses.Words();
    if (!said.empty()) dialogs_.Error(this, QString::fromStdString(said));
    return;
  }
  if (adjust_ != nullptr) adjust_->PrepareForModel(selectedModel_, start.record);
  hide();
  if (adjust_ != nullptr) adjust_->ShowWorkWindow();
  ShowNormalCursor();
}

// The other model's frames would be ignored: ask before going on with the chosen one.
bool TFormBoot::GoOnAs(Model reported, Model chosen) {
  ShowNormalCursor();
  const QString question =
      QString(text::kOtherModel).arg(FromView(ModelName(reported)), FromView(ModelName(chosen)));
  // Enter must not go on with the wrong model.
  const bool goOn =
      dialogs_.Question(this, kApplicationTitle, question, DialogService::Enter::Cancel);
  ShowHourglass();
  return goOn;
}

void TFormBoot::ProEndBtnClick() {
  close();
}

void TFormBoot::reject() {
  ProEndBtnClick();
}

void TFormBoot::closeEvent(QCloseEvent* event) {
  event->accept();
  emit ProgramEnd();
}

void TFormBoot::Version1Click() {
  if (about_ != nullptr) about_->exec();
}

QPoint TFormBoot::PopupPoint(QPoint local) const {
  const QRect frame = frameGeometry();
  return {local.x() + frame.left() + 3, local.y() + frame.top() + 20};
}

void TFormBoot::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    popupMenu_->popup(PopupPoint(event->position().toPoint()));
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

}  // namespace vantor
