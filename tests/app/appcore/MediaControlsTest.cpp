// The desktop's media controls on the real player: AppCore playing real songs through the
// internal plug-in, published over MPRIS2 on a private session bus and driven from a second
// connection, as a panel or media keys drive it.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include "app/appcore/AppCore.h"
#include "app/appcore/AppMediaPort.h"
#include "app/desktop/MprisService.h"
#include "app/mainwindow/MainWindow.h"
#include "app_test_support.h"

namespace zarvell::app {
namespace {

const QString kPlayer = "org.mpris.MediaPlayer2.Player";

class MediaControls : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string longSong = apptest::audioFixture("tone1k_20s.wav");
    const std::string shortSong = apptest::audioFixture("tone1k_2s.wav");
    apptest::writeSongNetwork(home_.file("songs.xml"),
                              {{"Long Song", longSong, 20, 0.1}, {"Short Song", shortSong, 2, 0.1}});
    core_ = std::make_unique<AppCore>("", MainWindow::factory());
    core_->initialise();
    ASSERT_EQ(core_->loadNetwork("songs.xml"), 1);
    longSong_ = core_->engine().getNodeByPath(longSong.c_str());
    shortSong_ = core_->engine().getNodeByPath(shortSong.c_str());
    core_->enqueueNodes({longSong_, shortSong_}, false);

    port_ = std::make_unique<AppMediaPort>(*core_);
    serviceBus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "service"));
    panel_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "panel"));
    ASSERT_TRUE(serviceBus_->isConnected()) << "no private session bus";
    service_ = std::make_unique<MprisService>(*port_);
    ASSERT_TRUE(service_->start(*serviceBus_));
  }
  void TearDown() override {
    service_.reset();
    port_.reset();
    core_.reset();
    serviceBus_.reset();
    panel_.reset();
    QDBusConnection::disconnectFromBus("service");
    QDBusConnection::disconnectFromBus("panel");
  }

  QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service_->busName(), MprisService::kObjectPath, interface, method);
    message.setArguments(args);
    return panel_->call(message, QDBus::BlockWithGui, 5000);
  }
  QVariant property(const QString& name) {
    const QDBusMessage reply =
        call("org.freedesktop.DBus.Properties", "Get", {kPlayer, name});
    return reply.arguments().isEmpty() ? QVariant()
                                       : reply.arguments()[0].value<QDBusVariant>().variant();
  }
  QString status() { return property("PlaybackStatus").toString(); }
  QString title() {
    const QDBusArgument argument = property("Metadata").value<QDBusArgument>();
    return qdbus_cast<QVariantMap>(argument).value("xesam:title").toString();
  }

  apptest::ScratchHome home_;
  std::unique_ptr<AppCore> core_;
  std::unique_ptr<AppMediaPort> port_;
  std::unique_ptr<QDBusConnection> serviceBus_, panel_;
  std::unique_ptr<MprisService> service_;
  Node* longSong_ = nullptr;
  Node* shortSong_ = nullptr;
};

TEST_F(MediaControls, APanelPlaysPausesSkipsStopsAndSetsTheVolume) {
  EXPECT_EQ(status(), "Stopped");
  call(kPlayer, "PlayPause");
  ASSERT_EQ(core_->currentNode(), longSong_) << "the queue's first song plays";
  EXPECT_EQ(status(), "Playing");
  EXPECT_EQ(title(), "Long Song");

  call(kPlayer, "Pause");
  EXPECT_FALSE(core_->isPlaying());
  EXPECT_EQ(status(), "Paused");
  call(kPlayer, "Play");
  EXPECT_TRUE(core_->isPlaying()) << "Play resumes the paused song";
  EXPECT_EQ(core_->currentNode(), longSong_);

  call(kPlayer, "Seek", {qlonglong(5'000'000)});
  EXPECT_TRUE(apptest::waitFor([&] { return core_->position() >= 4.5f; }));

  call(kPlayer, "Next");
  EXPECT_EQ(core_->currentNode(), shortSong_) << "Next plays the next queued song";
  EXPECT_EQ(title(), "Short Song");

  call("org.freedesktop.DBus.Properties", "Set",
       {kPlayer, "Volume", QVariant::fromValue(QDBusVariant(0.25))});
  EXPECT_EQ(core_->config().volume, 2500);
  EXPECT_DOUBLE_EQ(property("Volume").toDouble(), 0.25);

  call(kPlayer, "Stop");
  EXPECT_EQ(core_->currentNode(), nullptr);
  EXPECT_EQ(status(), "Stopped");
}

}  // namespace
}  // namespace zarvell::app
