// A frameless top-level window frame drawn from a skin's border bitmaps around one content
// widget: a header (moves the window when dragged, reports double clicks, holds the owner's
// buttons) and four edges (resize the window when dragged, corners resize both ways).
//
// Bitmap sets: Main uses "border_top/bottom/left/right.bmp" with "header.bmp" as header;
// Small uses "border_smallwindow_*.bmp" with "border_smallwindow_top.bmp" as header (the
// import window picks "border_smallwindow_caption.bmp" with setHeaderBitmap()). Without the
// bitmaps the header and edges are painted in the style's palette and work the same.
// Moving and resizing ask the window system first (QWindow::startSystemMove/Resize) and
// follow the mouse themselves where it declines (no window manager, e.g. offscreen).
#pragma once

#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QLabel;

namespace zarvell::app {

class Skin;

class SkinnedFrame : public QWidget {
  Q_OBJECT
 public:
  enum class Set { Main, Small };

  // content: reparented into the frame (owned by it); skin may be null (style-drawn frame)
  // and must otherwise outlive the frame.
  SkinnedFrame(Set set, QWidget* content, const Skin* skin, QWidget* parent = nullptr);

  QWidget* content() const { return content_; }
  QWidget* header() const { return header_; }
  // The header's layout, after the title: the owner adds its buttons here.
  QHBoxLayout* headerLayout() const { return headerLayout_; }
  void setHeaderBitmap(const QString& name);
  QString bitmapName(const char* part) const;  // "top", "left", ... of the frame's set

 signals:
  void headerDoubleClicked();
  void moved(const QPoint& position);
  void resized(const QSize& size);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  Qt::Edges edgesAt(const QPoint& position) const;
  void updateMargins();
  void followResize(const QPoint& global);

  Set set_;
  const Skin* skin_;
  QWidget* content_;
  QWidget* header_;
  QLabel* title_;
  QHBoxLayout* headerLayout_;
  QString headerBitmap_;
  // A drag the frame follows itself: a move (no edges) or a resize (edges set).
  bool dragging_ = false;
  Qt::Edges dragEdges_;
  QPoint dragStartGlobal_;
  QRect dragStartGeometry_;
};

}  // namespace zarvell::app
