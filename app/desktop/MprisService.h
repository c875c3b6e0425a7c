// MprisService: the player on the session bus as an MPRIS2 media player, so that media
// keys, desktop panels and sound applets show and control it.
//
// It publishes the object /org/mpris/MediaPlayer2 with the interfaces
// org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player under the bus name
// org.mpris.MediaPlayer2.zarvell (org.mpris.MediaPlayer2.zarvell.instance<pid> when that
// name is already owned), turns the calls into MediaPlayerPort commands and reports the
// port's changes with org.freedesktop.DBus.Properties.PropertiesChanged and Seeked. There is
// no track list, no loop or shuffle mode and the rate is always 1.
//
// Ownership: the port is borrowed and must outlive the service. Thread: create, use and
// destroy on the interface thread; calls from the bus arrive on it through its event loop.
// Errors: nothing throws. Without a session bus (a headless start) start() returns false
// after an informational message, and the player runs without media controls.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <optional>

#include "app/desktop/MediaPlayerPort.h"

namespace zarvell::app {

class MprisPlayerAdaptor;

class MprisService : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.zarvell";
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

  explicit MprisService(MediaPlayerPort& port, QObject* parent = nullptr);
  // Leaves the bus (stop()).
  ~MprisService() override;

  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  // Publishes the player on the session bus. False (and nothing published) when there is
  // no session bus or neither bus name can be had; calling it again while running is true.
  bool start();
  // The same on the given connection (a private bus in tests).
  bool start(const QDBusConnection& bus);
  // Removes the object and gives the bus name back; nothing happens when not running.
  void stop();

  bool isRunning() const { return bus_.has_value(); }
  // The bus name owned while running, empty otherwise.
  QString busName() const { return busName_; }

 private:
  void onPlaybackChanged();
  void onVolumeChanged();
  void onSeeked(double seconds);
  // Sends PropertiesChanged for the Player interface with those of `candidates` whose
  // values differ from the last ones sent.
  void announce(const QVariantMap& candidates);
  void dropExported();

  MediaPlayerPort& port_;
  QObject* exported_ = nullptr;  // the object on the bus, parent of the two adaptors
  MprisPlayerAdaptor* player_ = nullptr;
  std::optional<QDBusConnection> bus_;
  QString busName_;
  QVariantMap announced_;  // property values as last published
};

}  // namespace zarvell::app
