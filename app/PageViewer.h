// One printed sheet at a size a technician can read: opens fitted to the window, zooms with
// Ctrl+wheel, + and -, 1 for one page dot per screen pixel, 0 to fit again; drag to pan.
#pragma once

#include <QImage>
#include <QScrollArea>

class QLabel;

namespace vantor {

class PageViewer final : public QScrollArea {
  Q_OBJECT

 public:
  explicit PageViewer(QWidget* parent = nullptr);

  // ruler: a millimetre scale along the sheet's top edge (for reading the top margin).
  void SetPage(const QImage& page, bool ruler);
  void Fit();
  void ZoomBy(double factor);
  void ActualSize();
  double Scale() const { return scale_; }
  bool Fitted() const { return fitted_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Show();

  QLabel* label_;
  QImage page_;
  double scale_ = 1.0;
  bool fitted_ = true;
  QPoint dragFrom_;
};

// The sheet with a millimetre ruler drawn over its top edge, at the page's 360 dots per inch.
QImage WithMillimetreRuler(const QImage& page);

}  // namespace vantor
