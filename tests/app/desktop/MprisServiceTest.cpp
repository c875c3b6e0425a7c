// The MPRIS2 service on a private session bus, driven as a desktop panel drives it: from a
// connection of its own, so every call and signal crosses the bus daemon.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <memory>
#include <vector>

#include "app/desktop/MediaPlayerPort.h"
#include "app/desktop/MprisService.h"

using zarvell::app::MediaPlayerPort;
using zarvell::app::MprisService;

namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");

// The player as the service sees it: state set by the test, commands written down.
class FakePort : public MediaPlayerPort {
 public:
  Playback state = Playback::Stopped;
  Track track;
  double position = 0.0;
  double level = 0.5;
  QStringList commands;
  std::vector<double> seeks;

  Playback playback() const override { return state; }
  Track currentTrack() const override { return track; }
  double positionSeconds() const override { return position; }
  double volume() const override { return level; }
  void setVolume(double value) override {
    commands << QStringLiteral("setVolume");
    level = value;
  }
  void play() override { commands << QStringLiteral("play"); }
  void pause() override { commands << QStringLiteral("pause"); }
  void playPause() override { commands << QStringLiteral("playPause"); }
  void stop() override { commands << QStringLiteral("stop"); }
  void next() override { commands << QStringLiteral("next"); }
  void previous() override { commands << QStringLiteral("previous"); }
  void seekTo(double seconds) override {
    commands << QStringLiteral("seekTo");
    seeks.push_back(seconds);
  }
  void raise() override { commands << QStringLiteral("raise"); }
  void quit() override { commands << QStringLiteral("quit"); }

  void loadSong() {
    state = Playback::Playing;
    track.title = QStringLiteral("Überlänge – Ω");
    track.artists = {QStringLiteral("First Artist"), QString(), QStringLiteral("Second")};
    track.album = QStringLiteral("An Album");
    track.lengthSeconds = 187.25;
    track.path = QStringLiteral("/music/My Song #1 (live).flac");
    track.serial = 42;
    position = 30.0;
  }
};

}  // namespace

// Receives D-Bus signals on the panel's connection.
class SignalLog : public QObject {
  Q_OBJECT

 public:
  QList<QDBusMessage> messages;

 public slots:
  void record(const QDBusMessage& message) { messages << message; }
};

namespace {

// A QVariant from the wire, with D-Bus structures turned into Qt values.
QVariant plain(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
    return plain(value.value<QDBusVariant>().variant());
  }
  if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
    return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
  }
  return value;
}

class MprisServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serviceBus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service")));
    panel_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("panel")));
    ASSERT_TRUE(serviceBus_->isConnected()) << "no private session bus";
    ASSERT_TRUE(panel_->isConnected());
    service_ = std::make_unique<MprisService>(port_);
    ASSERT_TRUE(service_->start(*serviceBus_));
    ASSERT_EQ(service_->busName(), QString::fromLatin1(MprisService::kBusName));
    // Two bus connections, and the name belongs to the service's: calls travel through the
    // daemon rather than being delivered inside one connection.
    ASSERT_NE(panel_->baseService(), serviceBus_->baseService());
    ASSERT_EQ(panel_->interface()->serviceOwner(service_->busName()).value(),
              serviceBus_->baseService());
  }

  void TearDown() override {
    service_.reset();
    serviceBus_.reset();
    panel_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
  }

  QDBusMessage call(const QString& interface, const QString& method,
                    const QVariantList& args = {}) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(service_->busName(), kPath, interface, method);
    message.setArguments(args);
    // The service answers from this thread's event loop, which the call keeps running.
    return panel_->call(message, QDBus::BlockWithGui, 5000);
  }
  QVariant property(const QString& interface, const QString& name) {
    const QDBusMessage reply = call(kProperties, QStringLiteral("Get"), {interface, name});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << name.toStdString() << ": " << reply.errorMessage().toStdString();
    return plain(reply.arguments().value(0));
  }
  QVariantMap allProperties(const QString& interface) {
    const QDBusMessage reply = call(kProperties, QStringLiteral("GetAll"), {interface});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return plain(reply.arguments().value(0)).toMap();
  }
  QDBusMessage setProperty(const QString& name, const QVariant& value) {
    return call(kProperties, QStringLiteral("Set"),
                {kPlayer, name, QVariant::fromValue(QDBusVariant(value))});
  }
  // Subscribes the panel to a signal of the player; a round trip afterwards makes sure the
  // daemon has the match rule before anything is sent.
  void listen(const QString& interface, const QString& name) {
    ASSERT_TRUE(panel_->connect(service_->busName(), kPath, interface, name, &log_,
                                SLOT(record(QDBusMessage))));
    property(kRoot, QStringLiteral("Identity"));
  }
  // A round trip to the service: what it sent before answering has arrived by then, as
  // the daemon keeps each connection's messages in order.
  void settle() {
    property(kRoot, QStringLiteral("Identity"));
    QCoreApplication::processEvents();
  }
  // Runs the event loop until `count` signals arrived (or five seconds passed), then
  // settles so that an extra signal would show.
  void awaitSignals(qsizetype count) {
    QElapsedTimer clock;
    clock.start();
    while (log_.messages.size() < count && clock.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    settle();
  }

  FakePort port_;
  SignalLog log_;
  std::unique_ptr<QDBusConnection> serviceBus_;
  std::unique_ptr<QDBusConnection> panel_;
  std::unique_ptr<MprisService> service_;
};

TEST_F(MprisServiceTest, EachMethodReachesItsCommand) {
  struct Case {
    QString interface;
    const char* method;
    const char* command;
  };
  const Case cases[] = {
      {kRoot, "Raise", "raise"},           {kRoot, "Quit", "quit"},
      {kPlayer, "PlayPause", "playPause"}, {kPlayer, "Play", "play"},
      {kPlayer, "Pause", "pause"},         {kPlayer, "Stop", "stop"},
      {kPlayer, "Next", "next"},           {kPlayer, "Previous", "previous"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    port_.commands.clear();
    const QDBusMessage reply = call(c.interface, QString::fromLatin1(c.method));
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(port_.commands, QStringList{QString::fromLatin1(c.command)});
  }
}

TEST_F(MprisServiceTest, RootPropertiesDescribeThePlayer) {
  const QVariantMap root = allProperties(kRoot);
  EXPECT_EQ(root.value(QStringLiteral("Identity")), QVariant(QStringLiteral("Zarvell")));
  EXPECT_EQ(root.value(QStringLiteral("DesktopEntry")), QVariant(QStringLiteral("zarvell")));
  EXPECT_EQ(root.value(QStringLiteral("CanQuit")), QVariant(true));
  EXPECT_EQ(root.value(QStringLiteral("CanRaise")), QVariant(true));
  EXPECT_EQ(root.value(QStringLiteral("HasTrackList")), QVariant(false));
  EXPECT_EQ(root.value(QStringLiteral("SupportedUriSchemes")).toStringList(),
            QStringList{QStringLiteral("file")});
  EXPECT_TRUE(root.value(QStringLiteral("SupportedMimeTypes"))
                  .toStringList()
                  .contains(QStringLiteral("audio/flac")));

  port_.loadSong();
  const QVariantMap player = allProperties(kPlayer);
  EXPECT_EQ(player.value(QStringLiteral("PlaybackStatus")), QVariant(QStringLiteral("Playing")));
  for (const char* rate : {"Rate", "MinimumRate", "MaximumRate"}) {
    EXPECT_EQ(player.value(QString::fromLatin1(rate)), QVariant(1.0)) << rate;
  }
  for (const char* flag :
       {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek", "CanControl"}) {
    EXPECT_EQ(player.value(QString::fromLatin1(flag)), QVariant(true)) << flag;
  }
  EXPECT_FALSE(player.contains(QStringLiteral("LoopStatus")));
  EXPECT_EQ(player.value(QStringLiteral("Position")), QVariant(qlonglong{30'000'000}));

  port_.state = MediaPlayerPort::Playback::Paused;
  EXPECT_EQ(property(kPlayer, QStringLiteral("PlaybackStatus")),
            QVariant(QStringLiteral("Paused")));
  port_.state = MediaPlayerPort::Playback::Stopped;
  EXPECT_EQ(property(kPlayer, QStringLiteral("PlaybackStatus")),
            QVariant(QStringLiteral("Stopped")));
  EXPECT_EQ(property(kPlayer, QStringLiteral("CanSeek")), QVariant(false));
  EXPECT_EQ(property(kPlayer, QStringLiteral("Position")), QVariant(qlonglong{0}));
}

TEST_F(MprisServiceTest, MetadataDescribesTheLoadedSongWithTheRightTypes) {
  port_.loadSong();
  const QVariantMap metadata = property(kPlayer, QStringLiteral("Metadata")).toMap();
  const QVariant id = metadata.value(QStringLiteral("mpris:trackid"));
  ASSERT_EQ(id.metaType(), QMetaType::fromType<QDBusObjectPath>());
  EXPECT_EQ(id.value<QDBusObjectPath>().path(), QStringLiteral("/org/zarvell/Track/42"));

  const QVariant title = metadata.value(QStringLiteral("xesam:title"));
  EXPECT_EQ(title.metaType(), QMetaType::fromType<QString>());
  EXPECT_EQ(title.toString(), QStringLiteral("Überlänge – Ω"));
  const QVariant artists = metadata.value(QStringLiteral("xesam:artist"));
  EXPECT_EQ(artists.metaType(), QMetaType::fromType<QStringList>());
  EXPECT_EQ(artists.toStringList(),
            (QStringList{QStringLiteral("First Artist"), QStringLiteral("Second")}));
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")), QVariant(QStringLiteral("An Album")));
  const QVariant length = metadata.value(QStringLiteral("mpris:length"));
  EXPECT_EQ(length.metaType(), QMetaType::fromType<qlonglong>());
  EXPECT_EQ(length.toLongLong(), 187'250'000);
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")),
            QVariant(QStringLiteral("file:///music/My%20Song%20%231%20(live).flac")));

  // Unknown values are left out rather than sent empty.
  port_.track = {};
  port_.track.serial = 43;
  const QVariantMap sparse = property(kPlayer, QStringLiteral("Metadata")).toMap();
  EXPECT_EQ(sparse.keys(), QStringList{QStringLiteral("mpris:trackid")});
  EXPECT_EQ(sparse.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
            QStringLiteral("/org/zarvell/Track/43"));

  port_.state = MediaPlayerPort::Playback::Stopped;
  const QVariantMap none = property(kPlayer, QStringLiteral("Metadata")).toMap();
  EXPECT_EQ(none.keys(), QStringList{QStringLiteral("mpris:trackid")});
  EXPECT_EQ(none.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
            QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

TEST_F(MprisServiceTest, SeekIsRelativeAndClampedToTheSong) {
  struct Case {
    const char* name;
    double position;
    double length;
    qlonglong offsetMicro;
    double expected;
  };
  const Case cases[] = {
      {"forward", 30.0, 187.25, 10'000'000, 40.0},
      {"back", 30.0, 187.25, -5'500'000, 24.5},
      {"back past the start", 30.0, 187.25, -100'000'000, 0.0},
      {"past the end", 180.0, 187.25, 60'000'000, 186.25},
      {"unknown length", 30.0, 0.0, 90'000'000, 120.0},
      {"huge offset", 30.0, 187.25, std::numeric_limits<qlonglong>::max(), 186.25},
  };
  port_.loadSong();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port_.position = c.position;
    port_.track.lengthSeconds = c.length;
    port_.seeks.clear();
    const QDBusMessage reply = call(kPlayer, QStringLiteral("Seek"), {c.offsetMicro});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    ASSERT_EQ(port_.seeks.size(), 1u);
    EXPECT_NEAR(port_.seeks[0], c.expected, 1e-6);
  }
  port_.state = MediaPlayerPort::Playback::Stopped;
  port_.seeks.clear();
  call(kPlayer, QStringLiteral("Seek"), {qlonglong{10'000'000}});
  EXPECT_TRUE(port_.seeks.empty()) << "a seek while stopped moved something";
}

TEST_F(MprisServiceTest, SetPositionOnlyMovesTheSongItNames) {
  struct Case {
    const char* name;
    const char* trackId;
    qlonglong positionMicro;
    bool stopped;
    bool honoured;
  };
  const Case cases[] = {
      {"current song", "/org/zarvell/Track/42", 42'500'000, false, true},
      {"its end", "/org/zarvell/Track/42", 187'250'000, false, true},
      {"previous song", "/org/zarvell/Track/41", 42'500'000, false, false},
      {"no track", "/org/mpris/MediaPlayer2/TrackList/NoTrack", 1'000'000, false, false},
      {"negative", "/org/zarvell/Track/42", -1, false, false},
      {"past the end", "/org/zarvell/Track/42", 187'250'001, false, false},
      {"while stopped", "/org/zarvell/Track/42", 1'000'000, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port_.loadSong();
    if (c.stopped) port_.state = MediaPlayerPort::Playback::Stopped;
    port_.seeks.clear();
    const QDBusMessage reply = call(
        kPlayer, QStringLiteral("SetPosition"),
        {QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(c.trackId))), c.positionMicro});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    if (c.honoured) {
      ASSERT_EQ(port_.seeks.size(), 1u);
      EXPECT_NEAR(port_.seeks[0], static_cast<double>(c.positionMicro) / 1e6, 1e-6);
    } else {
      EXPECT_TRUE(port_.seeks.empty());
    }
  }
}

TEST_F(MprisServiceTest, VolumeMapsZeroToOneBothWays) {
  port_.level = 0.625;
  EXPECT_EQ(property(kPlayer, QStringLiteral("Volume")), QVariant(0.625));

  struct Case {
    double written;
    double expected;
  };
  for (const Case c :
       {Case{0.3, 0.3}, Case{0.0, 0.0}, Case{1.0, 1.0}, Case{1.7, 1.0}, Case{-0.2, 0.0}}) {
    SCOPED_TRACE(c.written);
    const QDBusMessage reply = setProperty(QStringLiteral("Volume"), c.written);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_DOUBLE_EQ(port_.level, c.expected);
    EXPECT_EQ(property(kPlayer, QStringLiteral("Volume")).toDouble(), c.expected);
  }
  port_.commands.clear();
  setProperty(QStringLiteral("Volume"), std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(port_.commands.isEmpty());
}

TEST_F(MprisServiceTest, RateStaysOneAndZeroPauses) {
  port_.loadSong();
  for (const double rate : {2.0, 0.5, 1.0}) {
    SCOPED_TRACE(rate);
    EXPECT_EQ(setProperty(QStringLiteral("Rate"), rate).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(property(kPlayer, QStringLiteral("Rate")), QVariant(1.0));
  }
  EXPECT_TRUE(port_.commands.isEmpty());
  setProperty(QStringLiteral("Rate"), 0.0);
  EXPECT_EQ(port_.commands, QStringList{QStringLiteral("pause")});
  // Read-only properties stay as they are.
  EXPECT_EQ(setProperty(QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")).type(),
            QDBusMessage::ErrorMessage);
}

TEST_F(MprisServiceTest, OpenUriIsRefusedWithAnError) {
  const QDBusMessage reply =
      call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("file:///music/other.mp3")});
  EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
  EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.NotSupported"));
  EXPECT_TRUE(port_.commands.isEmpty());
}

TEST_F(MprisServiceTest, StateChangesAreAnnouncedWithTheirNewValues) {
  listen(kProperties, QStringLiteral("PropertiesChanged"));

  port_.loadSong();
  emit port_.playbackChanged();
  awaitSignals(1);
  ASSERT_EQ(log_.messages.size(), 1);
  QVariantList args = log_.messages[0].arguments();
  ASSERT_EQ(args.size(), 3);
  EXPECT_EQ(args[0], QVariant(kPlayer));
  QVariantMap changed = plain(args[1]).toMap();
  EXPECT_EQ(changed.value(QStringLiteral("PlaybackStatus")), QVariant(QStringLiteral("Playing")));
  EXPECT_EQ(changed.value(QStringLiteral("CanSeek")), QVariant(true));
  const QVariantMap metadata = plain(changed.value(QStringLiteral("Metadata"))).toMap();
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")),
            QVariant(QStringLiteral("Überlänge – Ω")));
  EXPECT_FALSE(changed.contains(QStringLiteral("Volume")));

  // A pause changes the status only.
  port_.state = MediaPlayerPort::Playback::Paused;
  emit port_.playbackChanged();
  awaitSignals(2);
  ASSERT_EQ(log_.messages.size(), 2);
  changed = plain(log_.messages[1].arguments().value(1)).toMap();
  EXPECT_EQ(changed.keys(), QStringList{QStringLiteral("PlaybackStatus")});
  EXPECT_EQ(changed.value(QStringLiteral("PlaybackStatus")), QVariant(QStringLiteral("Paused")));

  // A report without any change says nothing.
  emit port_.playbackChanged();
  settle();
  EXPECT_EQ(log_.messages.size(), 2);

  // The same song started again is a new track.
  port_.state = MediaPlayerPort::Playback::Playing;
  port_.track.serial = 43;
  emit port_.playbackChanged();
  awaitSignals(3);
  ASSERT_EQ(log_.messages.size(), 3);
  changed = plain(log_.messages[2].arguments().value(1)).toMap();
  EXPECT_EQ(plain(changed.value(QStringLiteral("Metadata")))
                .toMap()
                .value(QStringLiteral("mpris:trackid"))
                .value<QDBusObjectPath>()
                .path(),
            QStringLiteral("/org/zarvell/Track/43"));

  port_.level = 0.25;
  emit port_.volumeChanged();
  awaitSignals(4);
  ASSERT_EQ(log_.messages.size(), 4);
  changed = plain(log_.messages[3].arguments().value(1)).toMap();
  EXPECT_EQ(changed.keys(), QStringList{QStringLiteral("Volume")});
  EXPECT_EQ(changed.value(QStringLiteral("Volume")), QVariant(0.25));
}

TEST_F(MprisServiceTest, SeekedCarriesTheNewPositionInMicroseconds) {
  listen(kPlayer, QStringLiteral("Seeked"));
  port_.loadSong();
  emit port_.seeked(12.5);
  awaitSignals(1);
  ASSERT_EQ(log_.messages.size(), 1);
  const QVariant position = log_.messages[0].arguments().value(0);
  EXPECT_EQ(position.metaType(), QMetaType::fromType<qlonglong>());
  EXPECT_EQ(position.toLongLong(), 12'500'000);
}

TEST_F(MprisServiceTest, ASecondPlayerTakesAnInstanceName) {
  auto otherBus = std::make_unique<QDBusConnection>(
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other")));
  {
    FakePort otherPort;
    MprisService other(otherPort);
    ASSERT_TRUE(other.start(*otherBus));
    EXPECT_EQ(other.busName(),
              QStringLiteral("org.mpris.MediaPlayer2.zarvell.instance%1").arg(::getpid()));
    QDBusMessage message =
        QDBusMessage::createMethodCall(other.busName(), kPath, kPlayer, QStringLiteral("Next"));
    const QDBusMessage reply = panel_->call(message, QDBus::BlockWithGui, 5000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(otherPort.commands, QStringList{QStringLiteral("next")});
    EXPECT_TRUE(port_.commands.isEmpty());
  }
  // Stopping gave the name back.
  EXPECT_FALSE(panel_->interface()
                   ->isServiceRegistered(
                       QStringLiteral("org.mpris.MediaPlayer2.zarvell.instance%1").arg(::getpid()))
                   .value());
  otherBus.reset();
  QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

TEST_F(MprisServiceTest, StopLeavesTheBus) {
  service_->stop();
  EXPECT_FALSE(service_->isRunning());
  EXPECT_FALSE(panel_->interface()
                   ->isServiceRegistered(QString::fromLatin1(MprisService::kBusName))
                   .value());
}

TEST(MprisServiceWithoutBus, StartFailsQuietlyAndTheServiceStaysOff) {
  const QDBusConnection none = QDBusConnection::connectToBus(
      QStringLiteral("unix:path=/nonexistent/zarvell-test-bus"), QStringLiteral("none"));
  ASSERT_FALSE(none.isConnected());
  {
    FakePort port;
    MprisService service(port);
    EXPECT_FALSE(service.start(none));
    EXPECT_FALSE(service.isRunning());
    EXPECT_TRUE(service.busName().isEmpty());
    emit port.playbackChanged();  // nothing to announce to, nothing breaks
    emit port.seeked(1.0);
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

}  // namespace

#include "MprisServiceTest.moc"
