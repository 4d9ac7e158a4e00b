// The virtual printer's front panel and paper tray, in a window beside the program.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
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

  // A printed page, shown as a thumbnail that opens full size.
  void AddPage(const QImage& page);
  int PageCount() const;
  // Reads the printer's state into the labels.
  void Refresh();
  // Where the console finds the sheet being printed, so it shows before it is ejected.
  void SetSheetSource(std::function<const sim::Page*()> source) {
    sheetSource_ = std::move(source);
  }

 private:
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
  QListWidget* pages_;
  QLabel* sheetLbl_;
  std::function<const sim::Page*()> sheetSource_;
  std::uint64_t sheetBytes_ = ~std::uint64_t{0};
  QElapsedTimer sheetShown_;
  QTimer* refreshTimer_;
  std::vector<QImage> pageImages_;
  bool refreshing_ = false;
};

}  // namespace vantor
