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

 signals:
  // Screen pixels per page dot, after every zoom and fit.
  void ScaleChanged(double scale);

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

// Dots of the band the ruler adds above and to the left of the sheet (8 mm).
inline constexpr int kRulerMargin = 113;
// The sheet with millimetre scales along its whole top and left edges, at the page's 360 dots
// per inch, drawn in a band outside it so that nothing covers the print.
QImage WithMillimetreRuler(const QImage& page);

}  // namespace vantor
