// The virtual printer's front panel and paper tray, in a window beside the program.
#pragma once

#include <QImage>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QSpinBox;
class QTimer;

namespace vantor {

namespace sim {
class VirtualPrinter;
}

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

 private:
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
  QTimer* refreshTimer_;
  std::vector<QImage> pageImages_;
  bool refreshing_ = false;
};

}  // namespace vantor
