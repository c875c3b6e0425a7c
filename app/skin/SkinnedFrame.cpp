#include "app/skin/SkinnedFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>

#include "app/skin/Skin.h"

namespace zarvell::app {
namespace {

constexpr int kDefaultEdge = 4;     // edge width without a bitmap
constexpr int kDefaultHeader = 24;  // header height without a bitmap
constexpr int kCorner = 12;         // how far from a corner the edge drag resizes both ways

}  // namespace

SkinnedFrame::SkinnedFrame(Set set, QWidget* content, const Skin* skin, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      set_(set),
      skin_(skin),
      content_(content),
      header_(new QWidget(this)),
      title_(new QLabel(header_)),
      headerLayout_(new QHBoxLayout) {
  headerBitmap_ = set == Set::Main ? QStringLiteral("header.bmp") : bitmapName("top");
  header_->setObjectName(QStringLiteral("skinnedFrameHeader"));
  header_->installEventFilter(this);
  title_->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* headerRow = new QHBoxLayout(header_);
  headerRow->setContentsMargins(6, 0, 2, 0);
  headerRow->addWidget(title_);
  headerRow->addStretch();
  headerRow->addLayout(headerLayout_);

  auto* column = new QVBoxLayout(this);
  column->setSpacing(0);
  column->addWidget(header_);
  if (content_) column->addWidget(content_, 1);
  setMouseTracking(true);
  updateMargins();
}

QString SkinnedFrame::bitmapName(const char* part) const {
  return QStringLiteral("%1%2.bmp")
      .arg(set_ == Set::Main ? QStringLiteral("border_") : QStringLiteral("border_smallwindow_"),
           QLatin1String(part));
}

void SkinnedFrame::setHeaderBitmap(const QString& name) {
  headerBitmap_ = name;
  updateMargins();
  update();
}

void SkinnedFrame::updateMargins() {
  auto size = [this](const char* part, bool width) {
    const QPixmap bitmap = skin_ ? skin_->pixmap(bitmapName(part)) : QPixmap();
    if (bitmap.isNull()) return kDefaultEdge;
    return width ? bitmap.width() : bitmap.height();
  };
  layout()->setContentsMargins(size("left", true), 0, size("right", true), size("bottom", false));
  const QPixmap head = skin_ ? skin_->pixmap(headerBitmap_) : QPixmap();
  header_->setFixedHeight(head.isNull() ? kDefaultHeader : head.height());
  title_->setForegroundRole(head.isNull() ? QPalette::HighlightedText : QPalette::BrightText);
}

void SkinnedFrame::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowTitleChange) title_->setText(windowTitle());
  QWidget::changeEvent(event);
}

void SkinnedFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QMargins m = layout()->contentsMargins();
  const QRect all = rect();
  const QRect headerRect = header_->geometry();
  // The skinned pieces where there is a bitmap, the palette elsewhere.
  painter.fillRect(all, palette().color(QPalette::Mid));
  painter.fillRect(headerRect, palette().color(QPalette::Highlight));
  if (!skin_) return;
  const struct {
    const char* part;
    QRect rect;
  } edges[] = {
      {"left", QRect(0, 0, m.left(), all.height())},
      {"right", QRect(all.width() - m.right(), 0, m.right(), all.height())},
      {"bottom", QRect(0, all.height() - m.bottom(), all.width(), m.bottom())},
  };
  for (const auto& e : edges) Skin::drawStretched(painter, e.rect, skin_->pixmap(bitmapName(e.part)));
  const QPixmap head = skin_->pixmap(headerBitmap_);
  if (!head.isNull()) {
    Skin::drawStretched(painter, QRect(0, 0, all.width(), headerRect.bottom() + 1), head);
  }
}

Qt::Edges SkinnedFrame::edgesAt(const QPoint& p) const {
  const QMargins m = layout()->contentsMargins();
  const int left = std::max(m.left(), 1), right = std::max(m.right(), 1);
  const int bottom = std::max(m.bottom(), 1);
  Qt::Edges edges;
  if (p.x() < left) edges |= Qt::LeftEdge;
  if (p.x() >= width() - right) edges |= Qt::RightEdge;
  if (p.y() >= height() - bottom) edges |= Qt::BottomEdge;
  if (p.y() < left) edges |= Qt::TopEdge;  // the top edge: a strip over the header
  // Near a corner an edge drag resizes both ways.
  if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
    if (p.y() < kCorner) edges |= Qt::TopEdge;
    if (p.y() >= height() - kCorner) edges |= Qt::BottomEdge;
  }
  if (edges & (Qt::TopEdge | Qt::BottomEdge)) {
    if (p.x() < kCorner) edges |= Qt::LeftEdge;
    if (p.x() >= width() - kCorner) edges |= Qt::RightEdge;
  }
  return edges;
}

void SkinnedFrame::mousePressEvent(QMouseEvent* event) {
  const Qt::Edges edges = edgesAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || !edges) return QWidget::mousePressEvent(event);
  if (windowHandle() && windowHandle()->startSystemResize(edges)) return;
  dragging_ = true;
  dragEdges_ = edges;
  dragStartGlobal_ = event->globalPosition().toPoint();
  dragStartGeometry_ = geometry();
}

void SkinnedFrame::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && dragEdges_) return followResize(event->globalPosition().toPoint());
  const Qt::Edges edges = edgesAt(event->position().toPoint());
  const bool diagonal1 = edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
  const bool diagonal2 = edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge);
  if (diagonal1) setCursor(Qt::SizeFDiagCursor);
  else if (diagonal2) setCursor(Qt::SizeBDiagCursor);
  else if (edges & (Qt::LeftEdge | Qt::RightEdge)) setCursor(Qt::SizeHorCursor);
  else if (edges) setCursor(Qt::SizeVerCursor);
  else unsetCursor();
}

void SkinnedFrame::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void SkinnedFrame::followResize(const QPoint& global) {
  const QPoint delta = global - dragStartGlobal_;
  QRect g = dragStartGeometry_;
  const QSize least = minimumSizeHint().expandedTo(minimumSize()).expandedTo(QSize(64, 32));
  // Right and bottom are inclusive: a width of w spans left .. left + w - 1.
  const int w = least.width() - 1, h = least.height() - 1;
  if (dragEdges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + delta.x(), g.right() - w));
  if (dragEdges_ & Qt::RightEdge) g.setRight(std::max(g.right() + delta.x(), g.left() + w));
  if (dragEdges_ & Qt::TopEdge) g.setTop(std::min(g.top() + delta.y(), g.bottom() - h));
  if (dragEdges_ & Qt::BottomEdge) g.setBottom(std::max(g.bottom() + delta.y(), g.top() + h));
  setGeometry(g);
}

bool SkinnedFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched != header_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        dragging_ = false;
        emit headerDoubleClicked();
        return true;
      }
      break;
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) break;
      const QPoint inFrame = header_->mapTo(this, mouse->position().toPoint());
      const Qt::Edges edges = edgesAt(inFrame);
      if (edges && windowHandle() && windowHandle()->startSystemResize(edges)) return true;
      if (!edges && windowHandle() && windowHandle()->startSystemMove()) return true;
      dragging_ = true;
      dragEdges_ = edges;
      dragStartGlobal_ = mouse->globalPosition().toPoint();
      dragStartGeometry_ = geometry();
      return true;
    }
    case QEvent::MouseMove:
      if (dragging_) {
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (dragEdges_) followResize(global);
        else move(dragStartGeometry_.topLeft() + (global - dragStartGlobal_));
        return true;
      }
      break;
    case QEvent::MouseButtonRelease:
      dragging_ = false;
      break;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

void SkinnedFrame::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  emit moved(pos());
}

void SkinnedFrame::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit resized(size());
}

}  // namespace zarvell::app
