#include "app/skin/Skin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QStyleFactory>
#include <QWidget>

#include "app/skin/SkinStyle.h"

namespace zarvell::app {

Skin::Skin(QString folder, QObject* parent) : QObject(parent), folder_(std::move(folder)) {}

Skin::~Skin() = default;

QPixmap Skin::pixmap(const QString& name) const {
  auto found = cache_.constFind(name);
  if (found != cache_.constEnd()) return *found;
  QPixmap loaded;
  if (!name.isEmpty()) loaded.load(QDir(folder_).filePath(name));
  cache_.insert(name, loaded);
  return loaded;
}

QPixmap Skin::frame(const QString& name, Frame which) const {
  const QPixmap strip = pixmap(name);
  if (strip.isNull() || !name.startsWith(QLatin1String("button_"))) return strip;
  const int width = strip.width() / kFrameCount;
  if (width <= 0) return strip;
  return strip.copy(static_cast<int>(which) * width, 0, width, strip.height());
}

void Skin::drawStretched(QPainter& painter, const QRect& target, const QPixmap& source) {
  if (source.isNull() || target.isEmpty()) return;
  const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  const QSize device = (QSizeF(target.size()) * ratio).toSize();
  if (device == source.size()) {
    painter.drawPixmap(target, source);
    return;
  }
  QPixmap scaled = source.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(ratio);
  painter.drawPixmap(target.topLeft(), scaled);
}

void Skin::install(QApplication& application) {
  // The skin goes over a fresh copy of the current style (the current one is deleted when
  // replaced); the application owns the new style.
  const QStyle* current = application.style();
  QStyle* base = current ? QStyleFactory::create(current->name()) : nullptr;
  application.setStyle(new SkinStyle(this, base));
  application.installEventFilter(this);
}

bool Skin::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
  // Buttons, sliders and scroll bars are drawn by the style.
  if (qobject_cast<QAbstractButton*>(watched) || qobject_cast<QSlider*>(watched) ||
      qobject_cast<QScrollBar*>(watched))
    return false;
  const QVariant name = watched->property("skinBitmap");
  if (!name.isValid()) return false;
  const QPixmap background = frame(name.toString(), Frame::Normal);
  if (background.isNull()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    // Text on the skin's dark backgrounds is drawn light, as on the skinned buttons.
    const QColor light(0xdf, 0xe6, 0xee);
    if (label->palette().color(QPalette::WindowText) != light) {
      QPalette palette = label->palette();
      palette.setColor(QPalette::WindowText, light);
      label->setPalette(palette);  // repaints once more with the new colour
    }
  }
  QPainter painter(widget);
  drawStretched(painter, widget->rect(), background);
  return false;  // the widget still paints its own content on top
}

Skin::Frame skinFrameFor(bool enabled, bool pressed, bool hovered) {
  if (!enabled) return Skin::Frame::Disabled;
  if (pressed) return Skin::Frame::Pressed;
  if (hovered) return Skin::Frame::Hover;
  return Skin::Frame::Normal;
}

}  // namespace zarvell::app
