// The virtual printer's front panel and paper tray, in a window beside the program.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;
class QTimer;

namespace vantor {

namespace sim {
class VirtualPrinter;
struct Page;
}  // namespace sim

class VirtualConsole final : public QWidget {
  Q_OBJECT

 public:
  explicit VirtualConsole(sim::VirtualPrinter& printer, QWidget* parent = nullptr);
  ~VirtualConsole() override;

  // A printed page, shown as a labelled thumbnail that opens full size. A sheet is 37 MB of
  // pixels, so only the file it was written to (or, without one, a compressed copy) is kept,
  // and it is decoded again when opened.
  // title: the first line of text on the sheet, naming the pattern (may be empty).
  void AddPage(const QImage& page, const QString& file = {}, const QString& title = {});
  int PageCount() const;
  // The page as kept, decoded; null when its file is gone.
  QImage PageImage(int index) const;
  // Bytes held for the kept pages (thumbnails aside).
  qsizetype KeptBytes() const;
  // Reads the printer's state into the labels.
  void Refresh();
  // Where the console finds the sheet being printed, so it shows before it is ejected.
  void SetSheetSource(std::function<const sim::Page*()> source) {
    sheetSource_ = std::move(source);
  }

 private:
  static constexpr int kWidth = 440;
  static constexpr int kPreferredHeight = 600;
  // As tall as it likes, or as the screen leaves.
  void FitToScreen();
  QWidget* BuildStateBox();
  QWidget* BuildControls();
  QWidget* BuildPrintedPages();
  // A console button; the labels are read again after its action.
  QPushButton* Button(const char* name, const char* text, std::function<void()> action);
  void ShowSheet(std::uint64_t dataBytes);
  void OpenImage(const QImage& page, const QString& title);

  void OpenPage(QListWidgetItem* item);

  sim::VirtualPrinter& printer_;
  QLabel* statusLbl_;
  QLabel* errorLbl_;
  QLabel* paperLbl_;
  QLabel* countersLbl_;
  QLabel* inkLbl_;
  QLabel* linkLbl_;
  QComboBox* errorCombo_;
  QSpinBox* leverSpin_;
  QLabel* leverLbl_;
  QComboBox* faultCombo_;
  QPushButton* cableBtn_;
  QListWidget* pages_;
  QLabel* sheetLbl_;
  std::function<const sim::Page*()> sheetSource_;
  std::uint64_t sheetBytes_ = ~std::uint64_t{0};
  QElapsedTimer sheetShown_;
  QTimer* refreshTimer_;
  struct KeptPage {
    QString file;
    QByteArray png;
  };
  std::vector<KeptPage> kept_;
  bool refreshing_ = false;
};

}  // namespace vantor
