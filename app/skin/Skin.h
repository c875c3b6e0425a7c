// The player's skin: the bitmaps of one skin folder, loaded once and cached, and the style
// that dresses plain Qt widgets with them.
//
// Widgets ask for bitmaps through dynamic properties read at paint time, so a widget built
// before or after install() is dressed alike:
// - "skinBitmap" on a QPushButton/QToolButton: the button face; on a QSlider: its groove
//   (background); on any other widget: its background, stretched.
// - "skinHandle" on a QSlider: the thumb.
// - Vertical scroll bars of item views are drawn from "background_scrollbar.bmp",
//   "button_scrollbar.bmp", "button_scrollbarup.bmp" and "button_scrollbardown.bmp" when
//   all four are present.
// A bitmap whose name starts with "button_" is a strip of four equal-width frames side by
// side: normal, hover, pressed, disabled (see frame()). A missing bitmap leaves the widget
// to the Qt style, so the player stays usable with an empty skin folder.
#pragma once

#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QString>

class QApplication;
class QPainter;
class QRect;
class QWidget;

namespace zarvell::app {

class Skin : public QObject {
  Q_OBJECT
 public:
  // The frames of a "button_" strip, in order.
  enum class Frame { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };
  static constexpr int kFrameCount = 4;

  // folder: the skin folder; the default is "skins/default/" of the current folder (the
  // program folder at run time). Nothing is read until a bitmap is asked for.
  explicit Skin(QString folder = QStringLiteral("skins/default/"), QObject* parent = nullptr);
  ~Skin() override;

  const QString& folder() const { return folder_; }

  // The bitmap `name` of the folder, loaded on first use and cached; a null pixmap when the
  // file is missing or unreadable (also cached: the disk is asked once). Never throws.
  QPixmap pixmap(const QString& name) const;
  bool has(const QString& name) const { return !pixmap(name).isNull(); }

  // One frame of a bitmap: for a "button_" strip the frame's quarter, for any other bitmap
  // the whole picture. Null when the bitmap is missing.
  QPixmap frame(const QString& name, Frame frame) const;

  // Draws `source` stretched into `target` of the painter's device, smoothly scaled for the
  // device's pixel ratio (HiDPI screens get a scaled copy, not blocky pixels).
  static void drawStretched(QPainter& painter, const QRect& target, const QPixmap& source);

  // Dresses the application: installs the skin style (on top of the current style) and the
  // background painter. Call once, with this skin outliving its use; destroying the skin
  // leaves the widgets to the base style.
  void install(QApplication& application);

 protected:
  // Paints "skinBitmap" backgrounds of widgets the style does not draw.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString folder_;
  mutable QHash<QString, QPixmap> cache_;
};

// The frame a widget in the given state shows.
Skin::Frame skinFrameFor(bool enabled, bool pressed, bool hovered);

}  // namespace zarvell::app
