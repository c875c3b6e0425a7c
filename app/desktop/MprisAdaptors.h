// The two MPRIS2 interfaces of MprisService as QtDBus adaptors: their methods call the
// MediaPlayerPort, their properties read it. QtDBus serves Get, GetAll and Set of
// org.freedesktop.DBus.Properties from the Q_PROPERTY declarations; the change signals are
// sent by MprisService. Internal to the desktop library.
//
// Thread: the interface thread only (QtDBus calls the slots from its event loop). Nothing
// throws; a request that cannot be honoured is ignored as the MPRIS2 interface asks, or
// answered with a D-Bus error where the caller must know.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

#include "app/desktop/MediaPlayerPort.h"

namespace zarvell::app {

// D-Bus object path that names a track: /org/zarvell/Track/<serial>.
QDBusObjectPath mprisTrackId(quint64 serial);
// "Playing", "Paused" or "Stopped".
QString mprisPlaybackStatus(MediaPlayerPort::Playback playback);
// The Metadata property: mpris:trackid (o), xesam:title (s), xesam:artist (as),
// xesam:album (s), mpris:length (x, microseconds), xesam:url (s, file:// URL); empty or
// unknown values are left out. While stopped only the "no track" id.
QVariantMap mprisMetadata(const MediaPlayerPort& port);
// Seconds to microseconds, rounded; non-finite values give 0.
qlonglong mprisMicroseconds(double seconds);

// The object on the bus that carries both adaptors. QtDBus gives the context of a call
// (to answer with an error) to this object, not to the adaptor whose slot runs.
class MprisObject : public QObject, public QDBusContext {
  Q_OBJECT

 public:
  using QObject::QObject;
};

class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ canQuit)
  Q_PROPERTY(bool CanRaise READ canRaise)
  Q_PROPERTY(bool HasTrackList READ hasTrackList)
  Q_PROPERTY(QString Identity READ identity)
  Q_PROPERTY(QString DesktopEntry READ desktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)

 public:
  MprisRootAdaptor(QObject* exported, MediaPlayerPort& port);

  bool canQuit() const { return true; }
  bool canRaise() const { return true; }
  bool hasTrackList() const { return false; }
  QString identity() const;
  QString desktopEntry() const;
  QStringList supportedUriSchemes() const;
  QStringList supportedMimeTypes() const;

 public slots:
  void Raise();
  void Quit();

 private:
  MediaPlayerPort& port_;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
  Q_PROPERTY(double Rate READ rate WRITE setRate)
  Q_PROPERTY(QVariantMap Metadata READ metadata)
  Q_PROPERTY(double Volume READ volume WRITE setVolume)
  Q_PROPERTY(qlonglong Position READ position)
  Q_PROPERTY(double MinimumRate READ rate)
  Q_PROPERTY(double MaximumRate READ rate)
  Q_PROPERTY(bool CanGoNext READ always)
  Q_PROPERTY(bool CanGoPrevious READ always)
  Q_PROPERTY(bool CanPlay READ always)
  Q_PROPERTY(bool CanPause READ always)
  Q_PROPERTY(bool CanSeek READ canSeek)
  Q_PROPERTY(bool CanControl READ always)

 public:
  MprisPlayerAdaptor(MprisObject* exported, MediaPlayerPort& port);

  QString playbackStatus() const;
  double rate() const { return 1.0; }
  // Only the normal rate exists: 0 pauses (as MPRIS2 asks), other rates are ignored.
  void setRate(double rate);
  QVariantMap metadata() const;
  double volume() const;
  // Clamped to 0..1; NaN is ignored.
  void setVolume(double level);
  qlonglong position() const;
  bool always() const { return true; }
  // While a song is loaded.
  bool canSeek() const;

 public slots:
  void Next();
  void Previous();
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  // Relative, in microseconds; the result is clamped to the song (0 .. length - 1 s).
  void Seek(qlonglong Offset);
  // Absolute, in microseconds; only for the loaded song's id and within its length.
  void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
  // The player plays the songs of its own network and opens nothing else: a
  // NotSupported error.
  void OpenUri(const QString& Uri);

 signals:
  void Seeked(qlonglong Position);

 private:
  MprisObject* exported_;
  MediaPlayerPort& port_;
};

}  // namespace zarvell::app
