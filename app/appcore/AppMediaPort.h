// AppMediaPort: the player core as the desktop's media controls see it (MPRIS2, media
// keys). Commands go through AppCore's own command dispatch, so they behave exactly as
// the main window's buttons (and are ignored while a long operation runs).
// Interface thread only; nothing throws except std::bad_alloc.
#pragma once

#include "app/desktop/MediaPlayerPort.h"

namespace zarvell::app {

class AppCore;

class AppMediaPort : public MediaPlayerPort {
  Q_OBJECT

 public:
  explicit AppMediaPort(AppCore& core, QObject* parent = nullptr);

  Playback playback() const override;
  Track currentTrack() const override;
  double positionSeconds() const override;
  double volume() const override;
  void setVolume(double level) override;
  void play() override;
  void pause() override;
  void playPause() override;
  void stop() override;
  void next() override;
  void previous() override;
  void seekTo(double seconds) override;
  void raise() override;
  void quit() override;

 private:
  AppCore& core_;
};

}  // namespace zarvell::app
