#include "app/skin/SplashWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "app/skin/Skin.h"

namespace zarvell::app {

SplashWindow::SplashWindow(const Skin* skin, const QString& version, int closeAfterMs,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      picture_(skin ? skin->pixmap(QStringLiteral("background_startup.bmp")) : QPixmap()),
      version_(version),
      closeAfterMs_(closeAfterMs) {
  setObjectName(QStringLiteral("splashWindow"));
  setModal(true);
  setFixedSize(picture_.isNull() ? QSize(360, 200) : picture_.size());
}

void SplashWindow::showEvent(QShowEvent* event) {
  const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
  QRect area = over && over->isVisible() ? over->frameGeometry() : QRect();
  if (area.isEmpty()) {
    const QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    if (screen) area = screen->availableGeometry();
  }
  if (!area.isEmpty()) move(area.center() - rect().center());
  if (closeAfterMs_ > 0) QTimer::singleShot(closeAfterMs_, this, &QDialog::accept);
  QDialog::showEvent(event);
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!picture_.isNull()) {
    Skin::drawStretched(painter, rect(), picture_);
    return;
  }
  painter.fillRect(rect(), palette().color(QPalette::Window));
  QFont font = painter.font();
  font.setPointSizeF(font.pointSizeF() * 2.5);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(palette().color(QPalette::WindowText));
  const QRect upper(0, 0, width(), height() * 3 / 5);
  painter.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("Zarvell"));
  painter.setFont(QFont());
  painter.drawText(QRect(0, upper.bottom() + 8, width(), height() - upper.bottom() - 8),
                   Qt::AlignHCenter | Qt::AlignTop, version_);
}

void SplashWindow::mousePressEvent(QMouseEvent*) { accept(); }

}  // namespace zarvell::app
