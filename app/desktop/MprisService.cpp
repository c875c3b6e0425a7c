#include "app/desktop/MprisService.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>

#include "app/desktop/MprisAdaptors.h"

namespace zarvell::app {

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

}  // namespace

MprisService::MprisService(MediaPlayerPort& port, QObject* parent) : QObject(parent), port_(port) {
  connect(&port_, &MediaPlayerPort::playbackChanged, this, &MprisService::onPlaybackChanged);
  connect(&port_, &MediaPlayerPort::volumeChanged, this, &MprisService::onVolumeChanged);
  connect(&port_, &MediaPlayerPort::seeked, this, &MprisService::onSeeked);
}

MprisService::~MprisService() {
  stop();
}

bool MprisService::start() {
  if (isRunning()) return true;
  return start(QDBusConnection::sessionBus());
}

bool MprisService::start(const QDBusConnection& bus) {
  if (isRunning()) return true;
  if (!bus.isConnected()) {
    qInfo("zarvell: no session bus (%s); media controls are off",
          qUtf8Printable(bus.lastError().message()));
    return false;
  }
  auto* exported = new MprisObject(this);
  exported_ = exported;
  new MprisRootAdaptor(exported, port_);
  player_ = new MprisPlayerAdaptor(exported, port_);

  QDBusConnection connection(bus);
  // The object first: a panel asks for the properties as soon as the name appears.
  if (!connection.registerObject(QString::fromLatin1(kObjectPath), exported_,
                                 QDBusConnection::ExportAdaptors)) {
    qWarning("zarvell: cannot publish %s on the session bus; media controls are off", kObjectPath);
    dropExported();
    return false;
  }
  // A second player (another data folder) takes a name of its own, as MPRIS2 allows.
  const QString names[] = {
      QString::fromLatin1(kBusName),
      QStringLiteral("%1.instance%2").arg(QString::fromLatin1(kBusName)).arg(::getpid())};
  for (const QString& name : names) {
    if (connection.registerService(name)) {
      busName_ = name;
      break;
    }
  }
  if (busName_.isEmpty()) {
    qWarning("zarvell: cannot own the bus name %s (%s); media controls are off", kBusName,
             qUtf8Printable(connection.lastError().message()));
    connection.unregisterObject(QString::fromLatin1(kObjectPath));
    dropExported();
    return false;
  }
  bus_ = connection;
  announced_ = {
      {QStringLiteral("PlaybackStatus"), player_->playbackStatus()},
      {QStringLiteral("Metadata"), player_->metadata()},
      {QStringLiteral("CanSeek"), player_->canSeek()},
      {QStringLiteral("Volume"), player_->volume()},
  };
  return true;
}

void MprisService::stop() {
  if (!bus_) return;
  bus_->unregisterService(busName_);
  bus_->unregisterObject(QString::fromLatin1(kObjectPath));
  bus_.reset();
  busName_.clear();
  announced_.clear();
  dropExported();
}

void MprisService::dropExported() {
  delete exported_;  // and its adaptors
  exported_ = nullptr;
  player_ = nullptr;
}

void MprisService::onPlaybackChanged() {
  if (!bus_) return;
  announce({
      {QStringLiteral("PlaybackStatus"), player_->playbackStatus()},
      {QStringLiteral("Metadata"), player_->metadata()},
      {QStringLiteral("CanSeek"), player_->canSeek()},
  });
}

void MprisService::onVolumeChanged() {
  if (!bus_) return;
  announce({{QStringLiteral("Volume"), player_->volume()}});
}

void MprisService::onSeeked(double seconds) {
  if (!bus_) return;
  emit player_->Seeked(mprisMicroseconds(seconds));
}

void MprisService::announce(const QVariantMap& candidates) {
  QVariantMap changed;
  for (auto it = candidates.cbegin(); it != candidates.cend(); ++it) {
    const auto last = announced_.constFind(it.key());
    if (last != announced_.cend() && last.value() == it.value()) continue;
    changed.insert(it.key(), it.value());
    announced_.insert(it.key(), it.value());
  }
  if (changed.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << kPlayerInterface << changed << QStringList();
  bus_->send(signal);
}

}  // namespace zarvell::app
