#include "app/desktop/MprisAdaptors.h"

#include <QDBusMessage>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zarvell::app {

namespace {

bool loaded(const MediaPlayerPort& port) {
  return port.playback() != MediaPlayerPort::Playback::Stopped;
}

}  // namespace

QDBusObjectPath mprisTrackId(quint64 serial) {
  return QDBusObjectPath(QStringLiteral("/org/zarvell/Track/%1").arg(serial));
}

QString mprisPlaybackStatus(MediaPlayerPort::Playback playback) {
  switch (playback) {
    case MediaPlayerPort::Playback::Playing:
      return QStringLiteral("Playing");
    case MediaPlayerPort::Playback::Paused:
      return QStringLiteral("Paused");
    case MediaPlayerPort::Playback::Stopped:
      break;
  }
  return QStringLiteral("Stopped");
}

qlonglong mprisMicroseconds(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  const double micro = std::round(seconds * 1e6);
  constexpr double kMax = static_cast<double>(std::numeric_limits<qlonglong>::max());
  if (micro >= kMax) return std::numeric_limits<qlonglong>::max();
  if (micro <= -kMax) return std::numeric_limits<qlonglong>::min();
  return static_cast<qlonglong>(micro);
}

QVariantMap mprisMetadata(const MediaPlayerPort& port) {
  QVariantMap map;
  if (!loaded(port)) {
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QStringLiteral(
                                                    "/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
    return map;
  }
  const MediaPlayerPort::Track track = port.currentTrack();
  map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(mprisTrackId(track.serial)));
  if (!track.title.isEmpty()) map.insert(QStringLiteral("xesam:title"), track.title);
  QStringList artists;
  for (const QString& artist : track.artists) {
    if (!artist.isEmpty()) artists << artist;
  }
  if (!artists.isEmpty()) map.insert(QStringLiteral("xesam:artist"), artists);
  if (!track.album.isEmpty()) map.insert(QStringLiteral("xesam:album"), track.album);
  if (track.lengthSeconds > 0.0 && std::isfinite(track.lengthSeconds)) {
    map.insert(QStringLiteral("mpris:length"), mprisMicroseconds(track.lengthSeconds));
  }
  if (!track.path.isEmpty()) {
    map.insert(QStringLiteral("xesam:url"),
               QUrl::fromLocalFile(track.path).toString(QUrl::FullyEncoded));
  }
  return map;
}

// ---- org.mpris.MediaPlayer2

MprisRootAdaptor::MprisRootAdaptor(QObject* exported, MediaPlayerPort& port)
    : QDBusAbstractAdaptor(exported), port_(port) {
  setAutoRelaySignals(false);
}

QString MprisRootAdaptor::identity() const {
  return QStringLiteral("Zarvell");
}

QString MprisRootAdaptor::desktopEntry() const {
  return QStringLiteral("zarvell");
}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
  return {QStringLiteral("file")};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
  // What the player plays: MP3, WMA, M4A, WAV, FLAC, Ogg Vorbis and Opus.
  return {QStringLiteral("audio/mpeg"),         QStringLiteral("audio/x-ms-wma"),
          QStringLiteral("audio/mp4"),          QStringLiteral("audio/x-m4a"),
          QStringLiteral("audio/wav"),          QStringLiteral("audio/x-wav"),
          QStringLiteral("audio/flac"),         QStringLiteral("audio/ogg"),
          QStringLiteral("audio/x-vorbis+ogg"), QStringLiteral("audio/opus")};
}

void MprisRootAdaptor::Raise() {
  port_.raise();
}

void MprisRootAdaptor::Quit() {
  port_.quit();
}

// ---- org.mpris.MediaPlayer2.Player

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisObject* exported, MediaPlayerPort& port)
    : QDBusAbstractAdaptor(exported), exported_(exported), port_(port) {
  setAutoRelaySignals(false);
}

QString MprisPlayerAdaptor::playbackStatus() const {
  return mprisPlaybackStatus(port_.playback());
}

void MprisPlayerAdaptor::setRate(double rate) {
  if (rate == 0.0 && port_.playback() == MediaPlayerPort::Playback::Playing) port_.pause();
}

QVariantMap MprisPlayerAdaptor::metadata() const {
  return mprisMetadata(port_);
}

double MprisPlayerAdaptor::volume() const {
  return port_.volume();
}

void MprisPlayerAdaptor::setVolume(double level) {
  if (std::isnan(level)) return;
  port_.setVolume(std::clamp(level, 0.0, 1.0));
}

qlonglong MprisPlayerAdaptor::position() const {
  return loaded(port_) ? mprisMicroseconds(port_.positionSeconds()) : 0;
}

bool MprisPlayerAdaptor::canSeek() const {
  return loaded(port_);
}

void MprisPlayerAdaptor::Next() {
  port_.next();
}
void MprisPlayerAdaptor::Previous() {
  port_.previous();
}
void MprisPlayerAdaptor::Pause() {
  port_.pause();
}
void MprisPlayerAdaptor::PlayPause() {
  port_.playPause();
}
void MprisPlayerAdaptor::Stop() {
  port_.stop();
}
void MprisPlayerAdaptor::Play() {
  port_.play();
}

void MprisPlayerAdaptor::Seek(qlonglong Offset) {
  if (!loaded(port_)) return;
  double target = port_.positionSeconds() + static_cast<double>(Offset) / 1e6;
  const double length = port_.currentTrack().lengthSeconds;
  if (length > 0.0 && std::isfinite(length)) target = std::min(target, std::max(length - 1.0, 0.0));
  port_.seekTo(std::max(target, 0.0));
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
  if (!loaded(port_) || Position < 0) return;
  const MediaPlayerPort::Track track = port_.currentTrack();
  // A panel that still shows the previous song must not move the new one.
  if (TrackId != mprisTrackId(track.serial)) return;
  const double seconds = static_cast<double>(Position) / 1e6;
  if (track.lengthSeconds > 0.0 && seconds > track.lengthSeconds) return;
  port_.seekTo(seconds);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri) {
  if (exported_->calledFromDBus()) {
    exported_->sendErrorReply(
        QDBusError::NotSupported,
        QStringLiteral("Zarvell plays the songs of its network and opens no other "
                       "address: %1")
            .arg(Uri));
  }
}

}  // namespace zarvell::app
