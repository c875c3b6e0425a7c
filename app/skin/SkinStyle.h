// The proxy style that draws skinned buttons, sliders and list scroll bars (see Skin.h for
// the property contract). Owned by the application once installed; holds only a guarded
// pointer to the skin, so a skin destroyed first leaves everything to the base style.
#pragma once

#include <QPointer>
#include <QProxyStyle>

#include "app/skin/Skin.h"

namespace zarvell::app {

class SkinStyle : public QProxyStyle {
  Q_OBJECT
 public:
  explicit SkinStyle(Skin* skin);

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override;
  void polish(QWidget* widget) override;

 private:
  bool drawSkinnedToolButton(const QStyleOptionComplex* option, QPainter* painter,
                             const QWidget* widget) const;
  bool drawSkinnedSlider(const QStyleOptionComplex* option, QPainter* painter,
                         const QWidget* widget) const;
  bool drawSkinnedScrollBar(const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const;
  QPixmap bitmapOf(const QWidget* widget, const char* property) const;

  QPointer<Skin> skin_;
};

}  // namespace zarvell::app
