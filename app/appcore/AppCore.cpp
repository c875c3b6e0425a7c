// AppCore: construction, start-up, loading and saving the network, and shut-down.
#include "AppCore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

#include "AppLogging.h"
#include "app/dialogs/BusyDialog.h"
#include "zarvell/paths.h"

namespace zarvell::app {
namespace {

void makeParentFolder(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) makeFolders(path.substr(0, slash));
}

QSize screenArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().size() : QSize();
}

}  // namespace

AppCore::AppCore(std::string commandLine, WindowFactory makeWindow)
    : AppCoreBase(std::move(commandLine)), makeWindow_(std::move(makeWindow)),
      player_(std::make_unique<AudioPlayer>()), queue_(engine()) {
  retryTimer_.setSingleShot(true);
  retryTimer_.setInterval(1500);
  connect(&retryTimer_, &QTimer::timeout, this, &AppCore::onRetryTimer);
  timeTimer_.setInterval(500);
  connect(&timeTimer_, &QTimer::timeout, this, [this] {
    updateTimeDisplay();
    updateAutoselect();
  });
  connect(&queue_, &PlayQueueModel::songsChanged, this, [this] {
    queueSeconds_ = 0;
    if (isBusy()) return;  // re-summed at the next change; the engine is not ours now
    for (Node* song : queue_.songs()) queueSeconds_ += std::max(0, engine().getDuration(song));
    updateAutoselect();
  });
}

AppCore::~AppCore() {
  if (updateThread_.joinable()) updateThread_.join();  // its report is dropped with us
  retryTimer_.stop();
  timeTimer_.stop();
  disconnect(&queue_, nullptr, this, nullptr);
  // The event loop ended some other way: the network is still saved, without a window.
  if (!networkSaved()) saveAtExit(false);
  const QSize area = screenArea();
  if (area.isValid()) {
    config().screenWidth = area.width();
    config().screenHeight = area.height();
  }
  player_.reset();  // no end event arrives once the plug-in's instance is gone
  view_ = nullptr;
  window_.reset();
  queue_.clear();
  if (currentNode_) engine().releaseNode(currentNode_);
  currentNode_ = nullptr;
}

void AppCore::initialise() {
  if (makeWindow_) {
    Window window = makeWindow_(*this);
    window_ = std::move(window.widget);
    view_ = window.view;
  }
  selectPlayer(config().playerPlugin);
  placeWindow();
  if (window_) window_->show();
  timeTimer_.start();
  applySettings();
  if (config().checkUpdatesOnStart) startQuietUpdateCheck();
}

void AppCore::placeWindow() {
  if (!window_) return;
  const AppConfig& c = config();
  const QSize area = screenArea();
  const bool sameScreen = area.width() == c.screenWidth && area.height() == c.screenHeight;
  if (sameScreen && c.mainLeft != AppConfig::kUnset && c.mainWidth > 0 && c.mainHeight > 0) {
    window_->setGeometry(c.mainLeft, c.mainTop, c.mainWidth, c.mainHeight);
    return;
  }
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = window_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window_->move(frame.topLeft());
  }
}

void AppCore::notify(int code) {
  if (code == 2 && view_) view_->refreshSuggestions();
}

int AppCore::runBusy(const QString& text, const std::function<int()>& job) {
  BusyDialog dialog(window_.get(), text);
  setProgressReceiver(&dialog);
  const int result = dialog.run(job);
  setProgressReceiver(nullptr);
  runWhenIdle();
  return result;
}

int AppCore::loadNetwork(const std::string& path) {
  const int result = runBusy("Please wait, loading network...",
                             [this, path] { return engine().loadNet(path.c_str()); });
  std::vector<Node*> restored;
  for (Node* node : engine().getPlayQueue())
    if (node) restored.push_back(node);
  queue_.append(restored);
  engine().setViewStyle(viewStyle_ != 0 ? viewStyle_ : 7, nullptr);
  if (view_) view_->refreshViews();
  return result;
}

int AppCore::saveNetwork(const std::string& path) { return save(path, true); }

int AppCore::save(const std::string& path, bool withBusyWindow) {
  appLog(AppLogLevel::Info, "saving the network to " + path);
  makeParentFolder(path);  // a first start has no "networks/" yet
  const auto job = [this, path] { return engine().saveNet(path.c_str()); };
  const int result = withBusyWindow ? runBusy("Please wait, saving network...", job) : job();
  if (result != 1) appLog(AppLogLevel::Error, "the network could not be saved to " + path);
  return result;
}

void AppCore::saveAtExit(bool withBusyWindow) {
  if (currentNode_) player_->stop();  // no engine report at shut-down
  setNetworkSaved(true);
  engine().syncPlayQueue(queue_.songs());
  if (!keepDefaultNetwork_) save(kDefaultNetwork, withBusyWindow);
}

void AppCore::loadDefaultNetwork() {
  const QString path = kDefaultNetwork;
  const bool existed = QFileInfo::exists(path);
  if (loadNetwork(kDefaultNetwork) == 1 || !existed) return;
  const QString aside =
      path + ".damaged-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
  const QString where = QFileInfo(aside).absoluteFilePath();
  QString text;
  if (QFile::rename(path, aside)) {
    appLog(AppLogLevel::Error, "the network " + path.toStdString() +
                                   " could not be loaded; it was moved to " + where.toStdString());
    text = QString("Your network file could not be read completely, so it was moved aside "
                   "and kept as:\n%1\n\nZarvell goes on with the part it could read (or an "
                   "empty network) and saves that at exit to %2.")
               .arg(where, QFileInfo(path).absoluteFilePath());
  } else {
    appLog(AppLogLevel::Error, "the network " + path.toStdString() +
                                   " could not be loaded and could not be moved aside");
    keepDefaultNetwork_ = true;  // never save over a file we could neither read nor move
    text = QString("Your network file %1 could not be read, and it could not be moved aside "
                   "either. Zarvell leaves it as it is and will not save the network over it "
                   "when it closes.")
               .arg(QFileInfo(path).absoluteFilePath());
  }
  messages_.show(window_.get(), {"Zarvell network damaged", text, QMessageBox::Warning});
}

void AppCore::requestClose() {
  if (isBusy()) {
    pendingClose_ = true;
    return;
  }
  shutDown();
}

void AppCore::shutDown() {
  if (closing_) return;
  closing_ = true;
  retryTimer_.stop();
  timeTimer_.stop();
  saveAtExit(true);
  if (window_) window_->hide();
  // Posted, so that a close requested before the event loop runs (a signal during the
  // start-up load) still ends it once it runs.
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                            Qt::QueuedConnection);
}

void AppCore::runWhenIdle() {
  if (pendingClose_) {
    pendingClose_ = false;
    shutDown();
    return;
  }
  if (pendingSongEnd_) {
    pendingSongEnd_ = false;
    QMetaObject::invokeMethod(this, &AppCore::songEnded, Qt::QueuedConnection);
  }
}

}  // namespace zarvell::app
