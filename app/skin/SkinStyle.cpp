#include "app/skin/SkinStyle.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOption>
#include <QToolButton>

namespace zarvell::app {
namespace {

// Text over the skin's dark faces, and the keyboard-focus ring.
const QColor kFaceText(0xdf, 0xe6, 0xee);
const QColor kFocusRing(0x4f, 0xb3, 0xa9);

Skin::Frame frameOf(const QStyleOption& option, bool pressed, bool hovered) {
  return skinFrameFor(option.state & QStyle::State_Enabled, pressed, hovered);
}

void drawFocusRing(QPainter* painter, const QRect& rect) {
  painter->save();
  painter->setPen(QPen(kFocusRing, 2));
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(rect.adjusted(1, 1, -1, -1));
  painter->restore();
}

}  // namespace

SkinStyle::SkinStyle(Skin* skin) : skin_(skin) {}

QPixmap SkinStyle::bitmapOf(const QWidget* widget, const char* property) const {
  if (!skin_ || !widget) return {};
  const QVariant name = widget->property(property);
  if (!name.isValid()) return {};
  return skin_->pixmap(name.toString());
}

void SkinStyle::polish(QWidget* widget) {
  QProxyStyle::polish(widget);
  // Hover frames need hover events.
  if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QSlider*>(widget) ||
      qobject_cast<QScrollBar*>(widget))
    widget->setAttribute(Qt::WA_Hover);
}

void SkinStyle::drawControl(ControlElement element, const QStyleOption* option,
                            QPainter* painter, const QWidget* widget) const {
  const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
  if (element != CE_PushButton || !button || bitmapOf(widget, "skinBitmap").isNull()) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  const QString name = widget->property("skinBitmap").toString();
  const bool pressed = button->state & (State_Sunken | State_On);
  const Skin::Frame frame = frameOf(*button, pressed, button->state & State_MouseOver);
  Skin::drawStretched(*painter, button->rect, skin_->frame(name, frame));
  QStyleOptionButton label = *button;
  label.palette.setColor(QPalette::ButtonText, kFaceText);
  proxy()->drawControl(CE_PushButtonLabel, &label, painter, widget);
  if (button->state & State_HasFocus) drawFocusRing(painter, button->rect);
}

void SkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                   QPainter* painter, const QWidget* widget) const {
  bool drawn = false;
  if (control == CC_ToolButton) drawn = drawSkinnedToolButton(option, painter, widget);
  if (control == CC_Slider) drawn = drawSkinnedSlider(option, painter, widget);
  if (control == CC_ScrollBar) drawn = drawSkinnedScrollBar(option, painter, widget);
  if (!drawn) QProxyStyle::drawComplexControl(control, option, painter, widget);
}

bool SkinStyle::drawSkinnedToolButton(const QStyleOptionComplex* option, QPainter* painter,
                                      const QWidget* widget) const {
  const auto* button = qstyleoption_cast<const QStyleOptionToolButton*>(option);
  if (!button || bitmapOf(widget, "skinBitmap").isNull()) return false;
  const QString name = widget->property("skinBitmap").toString();
  const bool pressed = button->state & (State_Sunken | State_On);
  const Skin::Frame frame = frameOf(*button, pressed, button->state & State_MouseOver);
  Skin::drawStretched(*painter, button->rect, skin_->frame(name, frame));
  QStyleOptionToolButton label = *button;
  label.palette.setColor(QPalette::ButtonText, kFaceText);
  proxy()->drawControl(CE_ToolButtonLabel, &label, painter, widget);
  if (button->state & State_HasFocus) drawFocusRing(painter, button->rect);
  return true;
}

bool SkinStyle::drawSkinnedSlider(const QStyleOptionComplex* option, QPainter* painter,
                                  const QWidget* widget) const {
  const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
  const QPixmap groove = bitmapOf(widget, "skinBitmap");
  const QPixmap handle = bitmapOf(widget, "skinHandle");
  if (!slider || (groove.isNull() && handle.isNull())) return false;
  // The parts without a bitmap come from the base style, then the skinned parts on top.
  QStyleOptionSlider rest = *slider;
  rest.subControls &= ~(SC_SliderHandle | SC_SliderGroove);
  if (groove.isNull()) rest.subControls |= slider->subControls & SC_SliderGroove;
  if (handle.isNull()) rest.subControls |= slider->subControls & SC_SliderHandle;
  rest.state &= ~State_HasFocus;
  if (!groove.isNull())
    Skin::drawStretched(*painter, slider->rect,
                        skin_->frame(widget->property("skinBitmap").toString(), Skin::Frame::Normal));
  QProxyStyle::drawComplexControl(CC_Slider, &rest, painter, widget);
  if (!handle.isNull()) {
    const bool active = slider->activeSubControls & SC_SliderHandle;
    const Skin::Frame frame =
        frameOf(*slider, active && (slider->state & State_Sunken),
                active && (slider->state & State_MouseOver));
    const QRect rect = proxy()->subControlRect(CC_Slider, slider, SC_SliderHandle, widget);
    Skin::drawStretched(*painter, rect,
                        skin_->frame(widget->property("skinHandle").toString(), frame));
  }
  if (slider->state & State_HasFocus) drawFocusRing(painter, slider->rect);
  return true;
}

bool SkinStyle::drawSkinnedScrollBar(const QStyleOptionComplex* option, QPainter* painter,
                                     const QWidget* widget) const {
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (!skin_ || !bar || bar->orientation != Qt::Vertical) return false;
  bool inList = false;
  for (const QWidget* w = widget; w && !inList; w = w->parentWidget())
    inList = qobject_cast<const QAbstractItemView*>(w) != nullptr;
  static const char* const kParts[] = {"background_scrollbar.bmp", "button_scrollbar.bmp",
                                       "button_scrollbarup.bmp", "button_scrollbardown.bmp"};
  if (!inList) return false;
  for (const char* part : kParts)
    if (!skin_->has(QLatin1String(part))) return false;
  Skin::drawStretched(*painter, bar->rect, skin_->pixmap(QLatin1String(kParts[0])));
  const struct {
    SubControl control;
    const char* bitmap;
  } pieces[] = {{SC_ScrollBarSubLine, kParts[2]},
                {SC_ScrollBarAddLine, kParts[3]},
                {SC_ScrollBarSlider, kParts[1]}};
  for (const auto& piece : pieces) {
    if (!(bar->subControls & piece.control)) continue;
    const QRect rect = proxy()->subControlRect(CC_ScrollBar, bar, piece.control, widget);
    if (rect.isEmpty()) continue;
    const bool active = bar->activeSubControls & piece.control;
    const Skin::Frame frame = frameOf(*bar, active && (bar->state & State_Sunken),
                                      active && (bar->state & State_MouseOver));
    Skin::drawStretched(*painter, rect, skin_->frame(QLatin1String(piece.bitmap), frame));
  }
  return true;
}

}  // namespace zarvell::app
