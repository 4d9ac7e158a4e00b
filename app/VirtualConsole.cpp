#include "app/VirtualConsole.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/PageViewer.h"
#include "link/Hex.h"
#include "sim/VirtualPrinter.h"

namespace vantor {

namespace {

struct ErrorChoice {
  const char* text;
  std::uint8_t er;
};
constexpr ErrorChoice kErrors[] = {
    {"00 fatal", sim::kErFatal},
    {"01 I/F not select", sim::kErNotSelect},
    {"02 (unlisted)", 0x02},
    {"04 paper jam", sim::kErPaperJam},
    {"05 ink out", sim::kErInkOut},
    {"06 paper out", sim::kErPaperOut},
    {"10 maintenance", sim::kErMaintenance},
    {"12 double feed", sim::kErDoubleFeed},
};

struct FaultChoice {
  const char* text;
  const char* setting;
};
constexpr FaultChoice kFaults[] = {
    {"No reply (next command)", "no-reply"},
    {"Late reply, 12 s (next)", "late-reply,ms=12000"},
    {"Busy answers (next 3)", "busy,count=3"},
    {"Power loss", "power-loss"},
};

QString StateText(std::uint8_t st) {
  switch (st) {
    case sim::kStError:
      return "error";
    case sim::kStNozzleCheck:
      return "nozzle check printing";
    case sim::kStBusy:
      return "busy";
    case sim::kStPrinting:
      return "printing";
    case sim::kStReady:
      return "ready";
    case sim::kStCleaning:
      return "cleaning";
    case sim::kStBeforeFill:
      return "before initial fill up";
    default:
      return "state " + QString::number(st, 16);
  }
}

}  // namespace

VirtualConsole::VirtualConsole(sim::VirtualPrinter& printer, QWidget* parent)
    : QWidget(parent, Qt::Window), printer_(printer) {
  setObjectName("VirtualConsole");
  // It is a side window: shown or updated, it leaves the focus where the technician has it.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle(QString("Virtual printer - %1")
                     .arg(printer.GetModel() == Model::Q30 ? "Vantor Q30" : "Vantor Q40"));

  // On a short screen (or a large scale) the console scrolls rather than reaching below it.
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  layout->addWidget(BuildStateBox());
  layout->addWidget(BuildControls());
  layout->addWidget(BuildPrintedPages(), 1);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("ConsoleScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidget(content);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);

  // Work in the printer ends by the clock alone, so the labels are also read periodically.
  refreshTimer_ = new QTimer(this);
  refreshTimer_->setInterval(500);
  connect(refreshTimer_, &QTimer::timeout, this, &VirtualConsole::Refresh);
  refreshTimer_->start();
  printer_.SetObserver([this] { Refresh(); });

  setFixedWidth(kWidth);
  FitToScreen();
  Refresh();
}

void VirtualConsole::FitToScreen() {
  // The window system's title bar and borders are not known before the first show.
  constexpr int kFrameHeight = 48;
  int height = kPreferredHeight;
  if (const QScreen* s = screen())
    height = std::min(height, s->availableGeometry().height() - kFrameHeight);
  resize(kWidth, std::max(height, 120));
}

QWidget* VirtualConsole::BuildStateBox() {
  auto* state = new QGroupBox("Printer", this);
  auto* form = new QFormLayout(state);
  statusLbl_ = new QLabel(state);
  statusLbl_->setObjectName("ConsoleStatusLbl");
  errorLbl_ = new QLabel(state);
  errorLbl_->setObjectName("ConsoleErrorLbl");
  paperLbl_ = new QLabel(state);
  paperLbl_->setObjectName("ConsolePaperLbl");
  countersLbl_ = new QLabel(state);
  countersLbl_->setObjectName("ConsoleCountersLbl");
  inkLbl_ = new QLabel(state);
  linkLbl_ = new QLabel(state);
  form->addRow("Status (ST):", statusLbl_);
  form->addRow("Error (ER):", errorLbl_);
  form->addRow("Paper:", paperLbl_);
  form->addRow("Counters:", countersLbl_);
  form->addRow("Ink (K C M Y):", inkLbl_);
  form->addRow("Link:", linkLbl_);
  // The window keeps its width; long texts wrap instead of pushing it off the screen.
  for (QLabel* l : {statusLbl_, errorLbl_, paperLbl_, countersLbl_, inkLbl_, linkLbl_}) {
    l->setWordWrap(true);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  return state;
}

QPushButton* VirtualConsole::Button(const char* name, const char* text,
                                    std::function<void()> action) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(name);
  connect(b, &QPushButton::clicked, this, [this, action = std::move(action)] {
    action();
    Refresh();
  });
  return b;
}

QWidget* VirtualConsole::BuildControls() {
  auto* controls = new QGroupBox("Console", this);
  auto* grid = new QVBoxLayout(controls);
  auto* row1 = new QHBoxLayout;
  // A short press moves the carriage out or back (then cleans); held, the switch cleans.
  row1->addWidget(Button("InkSwitchBtn", "Press ink switch", [this] { printer_.TapInkSwitch(); }));
  row1->addWidget(
      Button("InkSwitchHoldBtn", "Hold ink switch", [this] { printer_.PressInkSwitch(); }));
  row1->addWidget(Button("PaperOutBtn", "Take paper out", [this] { printer_.SetPaperOut(true); }));
  row1->addWidget(Button("PaperInBtn", "Load paper", [this] { printer_.SetPaperOut(false); }));
  grid->addLayout(row1);

  errorCombo_ = new QComboBox(this);
  errorCombo_->setObjectName("ErrorCombo");
  for (const ErrorChoice& e : kErrors) errorCombo_->addItem(e.text, int(e.er));
  auto* row2 = new QHBoxLayout;
  row2->addWidget(errorCombo_, 1);
  row2->addWidget(Button("RaiseErrorBtn", "Raise error", [this] {
    printer_.RaiseError(std::uint8_t(errorCombo_->currentData().toInt()));
  }));
  row2->addWidget(Button("ClearErrorBtn", "Clear error", [this] { printer_.ClearError(); }));
  grid->addLayout(row2);

  leverSpin_ = new QSpinBox(this);
  leverSpin_->setObjectName("LeverSpin");
  leverSpin_->setRange(-5, 5);
  auto* row3 = new QHBoxLayout;
  row3->addWidget(new QLabel("Head-angle lever:", this));
  row3->addWidget(leverSpin_);
  row3->addWidget(Button("LeverBtn", "Move lever",
                         [this] { printer_.SetHeadAngleLever(leverSpin_->value()); }));
  // Says where the lever now stands, so a press is seen to have taken.
  leverLbl_ = new QLabel(this);
  leverLbl_->setObjectName("LeverLbl");
  row3->addWidget(leverLbl_, 1);
  grid->addLayout(row3);

  // The faults vantorctl's --virtual-fault sets, and a cable pulled and plugged in again.
  faultCombo_ = new QComboBox(this);
  faultCombo_->setObjectName("FaultCombo");
  for (const FaultChoice& f : kFaults) faultCombo_->addItem(f.text, QString(f.setting));
  auto* row4 = new QHBoxLayout;
  row4->addWidget(faultCombo_, 1);
  row4->addWidget(Button("SetFaultBtn", "Set fault", [this] {
    std::string why;
    printer_.GetFaults().Apply(faultCombo_->currentData().toString().toStdString(), why);
  }));
  row4->addWidget(Button("ClearFaultsBtn", "Clear faults", [this] {
    std::string why;
    printer_.GetFaults().Apply("off", why);
    cableBtn_->setChecked(false);
  }));
  grid->addLayout(row4);
  cableBtn_ = new QPushButton("Pull the cable", this);
  cableBtn_->setObjectName("CableBtn");
  cableBtn_->setCheckable(true);
  // Unplugged, the printer hears nothing and answers nothing until it is plugged in again.
  connect(cableBtn_, &QPushButton::toggled, this, [this](bool pulled) {
    sim::Faults& faults = printer_.GetFaults();
    faults.dropReplies = pulled ? -1 : 0;
    cableBtn_->setText(pulled ? "Plug the cable in" : "Pull the cable");
    Refresh();
  });
  grid->addWidget(cableBtn_);
  return controls;
}

QWidget* VirtualConsole::BuildPrintedPages() {
  auto* printed = new QGroupBox("Printed pages", this);
  auto* printedLayout = new QVBoxLayout(printed);
  sheetLbl_ = new QLabel(printed);
  sheetLbl_->setObjectName("SheetLbl");
  sheetLbl_->setMinimumHeight(140);
  auto* sheetOpen = new QPushButton("Open", printed);
  sheetOpen->setObjectName("SheetOpenBtn");
  connect(sheetOpen, &QPushButton::clicked, this, [this] {
    if (const sim::Page* sheet = sheetSource_ ? sheetSource_() : nullptr) {
      OpenImage(QImage(sheet->rgb.data(), sheet->width, sheet->height, sheet->width * 3,
                       QImage::Format_RGB888)
                    .copy(),
                "In the printer");
    }
  });
  auto* sheetRow = new QHBoxLayout;
  sheetRow->addWidget(new QLabel("In the printer:", printed));
  sheetRow->addWidget(sheetLbl_, 1);
  sheetRow->addWidget(sheetOpen);
  printedLayout->addLayout(sheetRow);
  pages_ = new QListWidget(printed);
  pages_->setObjectName("PagesList");
  pages_->setViewMode(QListView::IconMode);
  pages_->setIconSize(QSize(96, 136));
  pages_->setWordWrap(true);
  pages_->setResizeMode(QListView::Adjust);
  pages_->setMovement(QListView::Static);
  printedLayout->addWidget(pages_);
  connect(pages_, &QListWidget::itemActivated, this, &VirtualConsole::OpenPage);
  return printed;
}

VirtualConsole::~VirtualConsole() {
  printer_.SetObserver({});
}

void VirtualConsole::Refresh() {
  // Reading the state can itself notify the observer.
  if (refreshing_) return;
  refreshing_ = true;
  const sim::VirtualPrinter::Snapshot s = printer_.State();
  statusLbl_->setText(QString::fromStdString(ByteHex(s.st)) + "  " + StateText(s.st));
  QString error = "none";
  if (s.er) {
    error = QString::fromStdString(ByteHex(*s.er)) + " (unlisted)";
    for (const ErrorChoice& e : kErrors) {
      if (e.er == *s.er) error = e.text;
    }
  }
  errorLbl_->setText(error);
  paperLbl_->setText(s.paperOut ? "out" : "loaded");
  countersLbl_->setText(QString("protection %1, pages %2, passes %3")
                            .arg(s.protectionCounter)
                            .arg(s.pageCounter)
                            .arg(s.passCounter));
  inkLbl_->setText(
      QString("%1% %2% %3% %4%").arg(s.ink[0]).arg(s.ink[1]).arg(s.ink[2]).arg(s.ink[3]));
  QStringList link;
  link << (s.packetMode ? "packet mode" : "compatibility mode");
  if (s.controlOpen) link << "control open";
  if (s.dataOpen) link << "data open";
  link << QString("%1 bytes of print data").arg(s.dataBytes);
  if (printer_.GetFaults().dropReplies < 0) link << "cable pulled";
  linkLbl_->setText(link.join(", "));
  leverLbl_->setText(QString("lever at %1").arg(s.headAngleLever));
  ShowSheet(s.dataBytes);
  refreshing_ = false;
}

// A sheet is large: scaled again only when print data has arrived since, and at most once a
// second, since the printer tells of every packet.
void VirtualConsole::ShowSheet(std::uint64_t dataBytes) {
  if (!sheetSource_ || dataBytes == sheetBytes_) return;
  if (sheetShown_.isValid() && sheetShown_.elapsed() < 1000) return;
  sheetShown_.start();
  sheetBytes_ = dataBytes;
  const sim::Page* sheet = sheetSource_();
  if (sheet == nullptr) {
    sheetLbl_->setText("no sheet");
    return;
  }
  const QImage view(sheet->rgb.data(), sheet->width, sheet->height, sheet->width * 3,
                    QImage::Format_RGB888);
  sheetLbl_->setPixmap(
      QPixmap::fromImage(view.scaled(96, 136, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void VirtualConsole::AddPage(const QImage& page, const QString& file, const QString& title) {
  // The ejected sheet is no longer in the printer.
  sheetBytes_ = ~std::uint64_t{0};
  sheetShown_.invalidate();
  KeptPage kept{file, {}};
  if (file.isEmpty()) {
    // Check patterns are mostly white paper: a few hundred kilobytes as PNG.
    QBuffer buffer(&kept.png);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "PNG");
  }
  kept_.push_back(std::move(kept));
  const int number = int(kept_.size());
  // Long titles are cut: the list's grid is a thumbnail wide.
  const QString pattern = title.isEmpty() ? QString("no title") : title.left(22);
  const QString label = QString("Page %1\n%2\n%3")
                            .arg(number)
                            .arg(pattern)
                            .arg(QTime::currentTime().toString("HH:mm:ss"));
  auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(page.scaled(
                                       96, 136, Qt::KeepAspectRatio, Qt::SmoothTransformation))),
                                   label, pages_);
  item->setData(Qt::UserRole, number - 1);
  const QString named = title.isEmpty() ? QString("Page %1").arg(number) : title;
  item->setToolTip(file.isEmpty() ? named : named + "\n" + file);
  pages_->setCurrentItem(item);
  pages_->scrollToItem(item);
}

int VirtualConsole::PageCount() const {
  return int(kept_.size());
}

QImage VirtualConsole::PageImage(int index) const {
  if (index < 0 || index >= int(kept_.size())) return {};
  const KeptPage& kept = kept_[std::size_t(index)];
  if (!kept.file.isEmpty()) return QImage(kept.file);
  return QImage::fromData(kept.png, "PNG");
}

qsizetype VirtualConsole::KeptBytes() const {
  qsizetype bytes = 0;
  for (const KeptPage& k : kept_) bytes += k.png.size() + k.file.size() * 2;
  return bytes;
}

void VirtualConsole::OpenPage(QListWidgetItem* item) {
  const int index = item->data(Qt::UserRole).toInt();
  const QImage page = PageImage(index);
  if (page.isNull()) return;
  OpenImage(page, QString("Page %1").arg(index + 1));
}

void VirtualConsole::OpenImage(const QImage& page, const QString& title) {
  auto* view = new QDialog(this);
  view->setObjectName("PageViewDlg");
  view->setAttribute(Qt::WA_DeleteOnClose);
  view->setWindowTitle(title);
  auto* viewer = new PageViewer(view);
  auto tool = [view](const char* name, const char* text, auto action) {
    auto* b = new QPushButton(text, view);
    b->setObjectName(name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, view, action);
    return b;
  };
  auto* ruler = new QCheckBox("Millimetre ruler", view);
  ruler->setObjectName("RulerCheck");
  connect(ruler, &QCheckBox::toggled, viewer,
          [viewer, page](bool on) { viewer->SetPage(page, on); });
  auto* tools = new QHBoxLayout;
  tools->addWidget(tool("FitBtn", "Fit", [viewer] { viewer->Fit(); }));
  tools->addWidget(tool("ActualSizeBtn", "1:1", [viewer] { viewer->ActualSize(); }));
  tools->addWidget(tool("ZoomInBtn", "+", [viewer] { viewer->ZoomBy(1.25); }));
  tools->addWidget(tool("ZoomOutBtn", "-", [viewer] { viewer->ZoomBy(0.8); }));
  tools->addWidget(ruler);
  tools->addStretch();
  auto* zoom = new QLabel(view);
  zoom->setObjectName("ZoomLbl");
  connect(viewer, &PageViewer::ScaleChanged, zoom,
          [zoom](double scale) { zoom->setText(QString("Zoom %1 %").arg(qRound(scale * 100))); });
  tools->addWidget(zoom);
  // The keys are the viewer's whatever was clicked last: the tools never take the focus.
  for (QWidget* w : view->findChildren<QAbstractButton*>()) w->setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(view);
  layout->addLayout(tools);
  layout->addWidget(viewer, 1);
  view->resize(620, 860);
  viewer->SetPage(page, false);
  viewer->setFocus();
  view->show();
}

}  // namespace vantor
