// The start-up and "About" picture: a modal borderless window the size of the skin's
// "background_startup.bmp", centred on the screen (or on its parent), closing itself after
// a given time (none for "About": then a click or Escape closes it). Without the bitmap it
// shows the program's name and version on the style's background.
#pragma once

#include <QDialog>

namespace zarvell::app {

class Skin;

class SplashWindow : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kStartupMs = 2000;

  // skin may be null; closeAfterMs <= 0: stays until clicked or Escape.
  SplashWindow(const Skin* skin, const QString& version, int closeAfterMs,
               QWidget* parent = nullptr);

  bool hasPicture() const { return !picture_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QPixmap picture_;
  QString version_;
  int closeAfterMs_;
};

}  // namespace zarvell::app
