// MediaPlayerPort: what the desktop's media controls (MPRIS2, media keys, panels) see of
// the player, and what they may ask of it.
//
// The player core implements it; the desktop services (MprisService) only use it. Every
// member is called on the interface thread only. Commands behave as the main window's own
// transport buttons do (the same engine reports, the same queue handling); they do nothing
// while the player is busy with a long operation.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace zarvell::app {

class MediaPlayerPort : public QObject {
  Q_OBJECT

 public:
  enum class Playback { Stopped, Playing, Paused };

  // The song loaded in the player. `serial` changes whenever another song (or the same
  // song again) is started, so a desktop client can tell a new track from an old one.
  struct Track {
    QString title;
    QStringList artists;
    QString album;
    double lengthSeconds = 0.0;  // 0 when not known
    QString path;                // absolute file path of the song, UTF-8 decoded
    quint64 serial = 0;
  };

  using QObject::QObject;
  ~MediaPlayerPort() override = default;

  virtual Playback playback() const = 0;
  // Meaningful only when playback() is not Stopped.
  virtual Track currentTrack() const = 0;
  virtual double positionSeconds() const = 0;
  // 0.0 (silent) to 1.0 (full).
  virtual double volume() const = 0;
  virtual void setVolume(double level) = 0;

  virtual void play() = 0;       // resume when paused; start playing when stopped
  virtual void pause() = 0;      // only while playing
  virtual void playPause() = 0;  // pause when playing, otherwise play()
  virtual void stop() = 0;
  virtual void next() = 0;
  virtual void previous() = 0;
  // Seeks the current song to `seconds`, clamped to [0, length - 1]; ignored when stopped.
  virtual void seekTo(double seconds) = 0;

  virtual void raise() = 0;  // show, restore and activate the main window
  virtual void quit() = 0;   // close as the Close button does (the network is saved once)

 signals:
  // Playback state or track changed.
  void playbackChanged();
  void volumeChanged();
  // The position jumped (a seek), not the steady advance of playback.
  void seeked(double seconds);
};

}  // namespace zarvell::app
