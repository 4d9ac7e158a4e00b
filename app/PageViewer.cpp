#include "app/PageViewer.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "sim/PageRenderer.h"

namespace vantor {

namespace {
constexpr double kMinScale = 0.05;
constexpr double kMaxScale = 4.0;
constexpr double kStep = 1.25;
constexpr double kDotsPerMm = sim::kPageDpi / 25.4;
}  // namespace

QImage WithMillimetreRuler(const QImage& page) {
  const int margin = kRulerMargin;
  QImage out(page.width() + margin, page.height() + margin, QImage::Format_RGB32);
  out.fill(QColor(235, 235, 235));
  QPainter p(&out);
  // The sheet stays as printed; scales and numbers stand in the band above and to its left.
  p.drawImage(margin, margin, page);
  const QColor ink(200, 0, 0);
  p.setPen(QPen(ink, 2));
  QFont font = p.font();
  font.setPixelSize(int(kDotsPerMm * 2.5));
  p.setFont(font);
  const auto length = [](int mm) { return mm % 10 == 0 ? 4.0 : mm % 5 == 0 ? 2.5 : 1.5; };
  // Across the top edge, the whole width: 1 mm ticks, longer every 5 mm, numbered every 10 mm.
  for (int mm = 0; mm * kDotsPerMm < page.width(); ++mm) {
    const int x = margin + int(mm * kDotsPerMm + 0.5);
    p.drawLine(x, margin - 1, x, margin - 1 - int(length(mm) * kDotsPerMm));
    if (mm % 10 == 0 && mm > 0) p.drawText(x + 4, int(3.5 * kDotsPerMm), QString::number(mm));
  }
  // Down the left edge, the whole length, since the top margin is a height.
  for (int mm = 0; mm * kDotsPerMm < page.height(); ++mm) {
    const int y = margin + int(mm * kDotsPerMm + 0.5);
    p.drawLine(margin - 1, y, margin - 1 - int(length(mm) * kDotsPerMm), y);
    if (mm % 10 == 0 && mm > 0) p.drawText(2, y - 4, QString::number(mm));
  }
  return out;
}

PageViewer::PageViewer(QWidget* parent) : QScrollArea(parent), label_(new QLabel) {
  setObjectName("PageViewer");
  label_->setObjectName("PageImageLbl");
  setWidget(label_);
  setAlignment(Qt::AlignCenter);
  setFocusPolicy(Qt::StrongFocus);
}

void PageViewer::SetPage(const QImage& page, bool ruler) {
  page_ = ruler ? WithMillimetreRuler(page) : page;
  Fit();
}

void PageViewer::Fit() {
  fitted_ = true;
  Show();
}

void PageViewer::ZoomBy(double factor) {
  fitted_ = false;
  scale_ = std::clamp(scale_ * factor, kMinScale, kMaxScale);
  Show();
}

void PageViewer::ActualSize() {
  fitted_ = false;
  scale_ = 1.0;
  Show();
}

void PageViewer::Show() {
  if (page_.isNull()) return;
  if (fitted_) {
    const QSize room = viewport()->size() - QSize(2, 2);
    scale_ = std::min(double(room.width()) / page_.width(), double(room.height()) / page_.height());
    scale_ = std::clamp(scale_, kMinScale, kMaxScale);
  }
  const QSize size(std::max(1, int(page_.width() * scale_)),
                   std::max(1, int(page_.height() * scale_)));
  label_->setPixmap(QPixmap::fromImage(
      page_.scaled(size, Qt::KeepAspectRatio,
                   scale_ < 1.0 ? Qt::SmoothTransformation : Qt::FastTransformation)));
  label_->resize(size);
  emit ScaleChanged(scale_);
}

void PageViewer::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  if (fitted_) Show();
}

void PageViewer::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QScrollArea::wheelEvent(event);
    return;
  }
  ZoomBy(event->angleDelta().y() > 0 ? kStep : 1.0 / kStep);
  event->accept();
}

void PageViewer::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomBy(kStep);
      return;
    case Qt::Key_Minus:
      ZoomBy(1.0 / kStep);
      return;
    case Qt::Key_1:
      ActualSize();
      return;
    case Qt::Key_0:
      Fit();
      return;
    default:
      QScrollArea::keyPressEvent(event);
  }
}

void PageViewer::mousePressEvent(QMouseEvent* event) {
  dragFrom_ = event->position().toPoint();
  QScrollArea::mousePressEvent(event);
}

void PageViewer::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  const QPoint now = event->position().toPoint();
  const QPoint delta = now - dragFrom_;
  dragFrom_ = now;
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
  verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
}

}  // namespace vantor
