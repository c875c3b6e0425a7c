// GlobalKeys: the player's keyboard shortcuts that work wherever the focus is, taken before
// any window sees the key (an event filter on the application):
//   Ctrl+Left / Ctrl+Right        previous / next song
//   Ctrl+Up / Ctrl+Down           volume up / down by a twentieth of the slider range
//   Ctrl+Alt+Left / Ctrl+Alt+Right seek back / forward 5 seconds
//   Ctrl+Alt+Down                 mute on / off
//   Ctrl+Alt+Up                   swallowed (reserved, does nothing)
// While a long operation runs (the target reports busy) no key is taken: the key goes on to
// the window that has it (the busy or import window).
//
// Interface thread only. Nothing here throws except std::bad_alloc.
#pragma once

#include <QObject>

class QKeyEvent;

namespace zarvell::app {

class GlobalKeys : public QObject {
  Q_OBJECT

 public:
  // What the shortcuts act on; AppCore in the program.
  class Target {
   public:
    virtual bool shortcutsBlocked() const = 0;
    virtual void runCommand(int id) = 0;
    virtual void stepVolume(int delta) = 0;  // in slider units
    virtual void stepPosition(double seconds) = 0;

   protected:
    ~Target() = default;
  };

  static constexpr int kVolumeStep = 500;  // a twentieth of the slider range
  static constexpr double kSeekStep = 5.0;

  explicit GlobalKeys(Target& target, QObject* parent = nullptr);

  // True when the key was a shortcut and was taken (acted on or swallowed).
  bool handleKey(const QKeyEvent& key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Target& target_;
};

}  // namespace zarvell::app
