#include "MainWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSizeGrip>
#include <QSlider>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

#include "GlobalKeys.h"
#include "MainMenus.h"
#include "ToolTips.h"
#include "app/appcore/AppCore.h"
#include "app/community/UserListTab.h"
#include "app/dialogs/MediaDropFilter.h"
#include "app/skin/Skin.h"
#include "app/skin/SplashWindow.h"
#include "app/views/BarrelView.h"
#include "app/views/TabBarrelView.h"

namespace zarvell::app {

using namespace command;

namespace {

QString controlName(const QString& text, int id) {
  QString name = text;
  name.remove('&');
  return name.replace(' ', '_') + "_" + QString::number(id);
}

QWidget* skinnedPanel(QWidget* parent, const char* name, const char* bitmap) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  panel->setProperty("skinBitmap", bitmap);
  return panel;
}

}  // namespace

// The global shortcuts act on AppCore and are off while a long operation runs.
class MainWindow::KeyTarget : public GlobalKeys::Target {
 public:
  explicit KeyTarget(AppCore& core) : core_(core) {}
  bool shortcutsBlocked() const override { return core_.isBusy(); }
  void runCommand(int id) override { core_.executeCommand(id); }
  void stepVolume(int delta) override {
    const int value = std::clamp(core_.volume() + delta, 0, kSliderRange);
    core_.sliderChanged(kVolumeSlider, value, true);
    if (core_.view()) core_.view()->setVolumeSlider(value);
  }
  void stepPosition(double seconds) override { core_.stepSeek(seconds, true); }

 private:
  AppCore& core_;
};

MainWindow::MainWindow(AppCore& core)
    : core_(core),
      menus_(new MainMenus(this)),
      keyTarget_(std::make_unique<KeyTarget>(core)) {
  setObjectName("MainWindow");
  setWindowTitle("Zarvell");
  setWindowFlag(Qt::FramelessWindowHint);
  resize(900, 640);
  setMinimumSize(480, 360);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(buildHeader());
  layout->addWidget(buildTransport());
  layout->addWidget(buildTextLines());

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(controlName("TabManager", kTabManager));
  tabs_->setProperty("skinBitmap", "bg_tabs.bmp");
  tab_ = new TabBarrelView(core, tabs_);
  tabs_->addTab(tab_, "My collection");
  if (auto users = core.makeUserListTab(  // web mode only
          tabs_,
          [this, &core](QWidget* parent) {
            auto* view = new BarrelView(core, kUsersView, parent);
            wireView(*view);
            return view;
          },
          [](QWidget* view, const std::vector<Node*>& nodes) {
            static_cast<BarrelView*>(view)->setNodes(nodes);
          }))
    tabs_->addTab(users.release(), "Similar Users");
  layout->addWidget(tabs_, 1);
  layout->addWidget(buildStatusBar());

  tab_->setViewWiring([this](BarrelView& view) { wireView(view); });
  connect(menus_, &MainMenus::triggered, this, &MainWindow::runMenuItem);
  connect(&core_, &AppCore::loginStateChanged, this, &MainWindow::updateLoginText);
  // Files and folders dropped from the file manager are imported.
  new MediaDropFilter(this, [this](const std::vector<std::string>& paths) {
    core_.importDropped(paths);
  });
  core_.setHelpOpener([this] { core_.openHelp(); });
  addShortcuts();
  globalKeys_ = new GlobalKeys(*keyTarget_, this);
  qApp->installEventFilter(globalKeys_);
  applyToolTips();
  updateLoginText();
}

AppCore::WindowFactory MainWindow::factory() {
  return [](AppCore& core) {
    auto window = std::make_unique<MainWindow>(core);
    PlayerView* view = window.get();
    return AppCore::Window{std::move(window), view};
  };
}

MainWindow::~MainWindow() {
  if (qApp) qApp->removeEventFilter(globalKeys_);
}

QWidget* MainWindow::buildHeader() {
  header_ = skinnedPanel(this, "Header", "header.bmp");
  header_->installEventFilter(this);
  auto* row = new QHBoxLayout(header_);
  row->setContentsMargins(6, 2, 4, 2);
  auto* icon = new QLabel(header_);
  icon->setObjectName(controlName("SystemMenu", kSystemMenu));
  icon->setProperty("skinBitmap", "button_icon.bmp");
  icon->hide();
  row->addWidget(icon);
  const std::pair<const char*, int> menuButtons[] = {
      {"&File", kFileMenu}, {"&Edit", kEditMenu}, {"&View", kViewMenu}, {"&Help", kHelpMenu}};
  for (const auto& [text, id] : menuButtons) {
    QPushButton* button = addButton(header_, text, id, "background_menu.bmp");
    disconnect(button, &QPushButton::clicked, nullptr, nullptr);
    connect(button, &QPushButton::clicked, this, [this, id = id] { openMenu(id); });
    row->addWidget(button);
  }
  row->addStretch(1);
  row->addWidget(addButton(header_, "Minimize", kMinimize, "button_minimize.bmp"));
  row->addWidget(maximize_ = addButton(header_, "Maximize", kMaximize, "button_maximize.bmp"));
  row->addWidget(restore_ = addButton(header_, "Restore", kRestore, "button_restore.bmp"));
  row->addWidget(addButton(header_, "Close", kClose, "button_close.bmp"));
  restore_->hide();
  return header_;
}

QWidget* MainWindow::buildTransport() {
  QWidget* panel = skinnedPanel(this, "Transport", "border_top.bmp");
  auto* row = new QHBoxLayout(panel);
  row->addWidget(addButton(panel, "PREV", kPrev, "button_prev.bmp"));
  row->addWidget(play_ = addButton(panel, "PLAY", kPlay, "button_play.bmp"));
  row->addWidget(pause_ = addButton(panel, "PAUSE", kPause, "button_pause.bmp"));
  row->addWidget(addButton(panel, "STOP", kStop, "button_stop.bmp"));
  row->addWidget(addButton(panel, "NEXT", kNext, "button_next.bmp"));
  auto* divider = new QLabel(panel);
  divider->setObjectName(controlName("Divider", kDivider));
  divider->setProperty("skinBitmap", "button_divider.bmp");
  divider->setFixedWidth(2);
  row->addWidget(divider);
  row->addWidget(mute_ = addButton(panel, "MUTE", kMute, "button_mute.bmp"));
  row->addWidget(unmute_ = addButton(panel, "UNMUTE", kUnmute, "button_unmute.bmp"));
  pause_->hide();
  unmute_->hide();
  volume_ = new QSlider(Qt::Horizontal, panel);
  volume_->setObjectName(controlName("Vol Slider", kVolumeSlider));
  volume_->setRange(0, kSliderRange);
  volume_->setPageStep(kSliderRange / 20);
  volume_->setProperty("skinBitmap", "background_volumebar.bmp");
  volume_->setProperty("skinHandle", "button_volumebar.bmp");
  row->addWidget(volume_, 1);
  row->addStretch(1);
  row->addWidget(addButton(panel, "Logo", kLogo, "button_logo.bmp"));
  connect(volume_, &QSlider::valueChanged, this,
          [this](int value) { core_.sliderChanged(kVolumeSlider, value, true); });
  return panel;
}

QWidget* MainWindow::buildTextLines() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  auto* texts = new QHBoxLayout;
  column->addLayout(texts);
  auto* lines = new QVBoxLayout;
  texts->addLayout(lines, 1);
  lines->addWidget(firstLine_ = new QLabel(panel));
  lines->addWidget(secondLine_ = new QLabel(panel));
  texts->addWidget(time_ = new QLabel("--:--", panel));
  firstLine_->setObjectName(controlName("First Line", kFirstTextLine));
  secondLine_->setObjectName(controlName("Second Line", kSecondTextLine));
  time_->setObjectName(controlName("Time", kTimeField));
  firstLine_->setProperty("skinBitmap", "background_textline1.bmp");
  secondLine_->setProperty("skinBitmap", "background_textline2.bmp");
  time_->setProperty("skinBitmap", "background_time.bmp");
  QFont big = firstLine_->font();
  big.setPointSizeF(big.pointSizeF() * 1.3);
  big.setBold(true);
  firstLine_->setFont(big);
  time_->setFont(big);
  time_->installEventFilter(this);
  if (core_.skin() && core_.skin()->has("background_textline1.bmp")) {
    // Light text on the skin's dark text fields.
    for (QLabel* label : {firstLine_, secondLine_, time_}) {
      QPalette palette = label->palette();
      palette.setColor(QPalette::WindowText, QColor(0xe8, 0xee, 0xf2));
      label->setPalette(palette);
      label->setContentsMargins(6, 1, 6, 1);
    }
  }

  position_ = new QSlider(Qt::Horizontal, panel);
  position_->setObjectName(controlName("Pos Slider", kPositionSlider));
  position_->setRange(0, kSliderRange);
  position_->setProperty("skinBitmap", "background_seekbar.bmp");
  position_->setProperty("skinHandle", "button_seekbar.bmp");
  column->addWidget(position_);
  connect(position_, &QSlider::sliderReleased, this,
          [this] { core_.sliderChanged(kPositionSlider, position_->value(), true); });
  return panel;
}

QWidget* MainWindow::buildStatusBar() {
  QWidget* bar = skinnedPanel(this, "StatusBar", "background_statusbar.bmp");
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(6, 1, 0, 0);
  login_ = new QLabel(bar);
  login_->setObjectName("LoginState");
  login_->setVisible(core_.webMode());
  row->addWidget(login_);
  row->addStretch(1);
  row->addWidget(new QSizeGrip(bar), 0, Qt::AlignBottom | Qt::AlignRight);
  return bar;
}

void MainWindow::addShortcuts() {
  auto add = [this](QKeySequence keys, auto action) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, action);
  };
  add(QKeySequence(Qt::ALT | Qt::Key_F4), [this] { core_.executeCommand(kClose); });
  add(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Space), [this] { core_.executeCommand(kStop); });
  add(QKeySequence(Qt::CTRL | Qt::Key_O), [] {});  // reserved: does nothing
  add(QKeySequence(Qt::CTRL | Qt::Key_F), [this] {
    if (auto* field = findChild<QWidget*>(controlName("Keywords", 1090))) {
      field->setFocus(Qt::ShortcutFocusReason);
    }
  });
}

QPushButton* MainWindow::addButton(QWidget* parent, const QString& text, int id,
                                   const char* bitmap) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(controlName(text, id));
  button->setAccessibleName(QString(text).remove('&'));
  button->setProperty("skinBitmap", bitmap);
  // A skin bitmap with a picture on it (the transport and window buttons) replaces the
  // caption; the caption stays the accessible name. Buttons with a mnemonic ("&File",
  // "&Boost") keep their captions.
  const Skin* skin = core_.skin();
  if (skin && skin->has(bitmap) && !text.contains('&')) {
    button->setText({});
    button->setFixedSize(skin->frame(bitmap, Skin::Frame::Normal).deviceIndependentSize().toSize());
  }
  button->setFocusPolicy(Qt::TabFocus);  // reachable by Tab; a click leaves the lists' focus
  connect(button, &QPushButton::clicked, this, [this, id] { core_.executeCommand(id); });
  return button;
}

QTableView* MainWindow::suggestionsView() const { return tab_->suggestions(); }
QTableView* MainWindow::queueView() const { return tab_->queue(); }
QTableView* MainWindow::historyView() const { return tab_->history(); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == time_ && event->type() == QEvent::MouseButtonPress) {
    core_.toggleTimeMode();
    return true;
  }
  if (watched == header_) {
    if (event->type() == QEvent::MouseButtonDblClick) {
      core_.executeCommand(maximised_ ? kRestore : kMaximize);
      return true;
    }
    if (event->type() == QEvent::MouseButtonPress && !maximised_ && windowHandle()) {
      windowHandle()->startSystemMove();  // the window manager moves the frameless window
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::openMenu(int buttonId) {
  QMenu* menu = menus_->menu(buttonId);
  if (!menu || core_.isBusy()) return;
  MainMenus::State state;
  state.debugMode = core_.debugMode();
  state.hasSelection = !selectedNodes().empty();
  state.clipboardFilled = !core_.nodeClipboard().empty();
  state.viewStyle = core_.viewStyle();
  menus_->update(state);
  const auto buttons =
      header_->findChildren<QPushButton*>(QRegularExpression(QString("_%1$").arg(buttonId)));
  if (QPushButton* button = buttons.value(0)) {
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    return;
  }
  menu->popup(mapToGlobal(QPoint(0, 0)));
}

QString MainWindow::chooseFile(bool save, const QString& filter) {
  if (chooseFile_) return chooseFile_(save, filter);
  return save ? QFileDialog::getSaveFileName(this, {}, {}, filter)
              : QFileDialog::getOpenFileName(this, {}, {}, filter);
}

void MainWindow::runMenuItem(int itemId) {
  if (core_.isBusy()) return;
  const QString networks = "Zarvell Networks (*.xml);;All Files (*)";
  const std::vector<Node*> selection = selectedNodes();
  BarrelView* focused = tab_->activeView();
  switch (itemId) {
    case menu::kOpenNetwork:
      if (const QString path = chooseFile(false, networks); !path.isEmpty())
        core_.loadNetwork(path.toStdString());
      break;
    case menu::kSaveNetwork:
      if (const QString path = chooseFile(true, networks); !path.isEmpty())
        core_.saveNetwork(path.toStdString());
      break;
    case menu::kImportFolder: core_.importFolder(); break;
    case menu::kImportITunes: core_.importITunes(); break;
    case menu::kExportM3u: core_.exportM3U(selection); break;
    case menu::kCopyMedia: core_.copyMedia(selection); break;
    case menu::kExit: core_.executeCommand(kClose); break;
    case menu::kCopy:
      if (focused) focused->copySelection();
      break;
    case menu::kCut:
      if (focused) focused->cutSelection();
      break;
    case menu::kPaste:
      if (focused) focused->paste();
      break;
    case menu::kUntaboo:
    case menu::kTaboo:
      core_.setTabooNodes(selection, itemId == menu::kTaboo);
      refreshViews();
      break;
    case menu::kBlock:
    case menu::kUnblock:
      core_.setBlockedNodes(selection, itemId == menu::kBlock);
      refreshViews();
      break;
    case menu::kEnqueue: core_.enqueueSelection(selection); break;
    case menu::kAddKeytracks: core_.addToBookmarks(selection); break;
    case menu::kPreferences:
      core_.showPreferences();
      applyToolTips();
      updateLoginText();
      break;
    case menu::kViewSongs: core_.setViewStyle(core_.viewStyle() ^ 1); break;
    case menu::kViewAlbums: core_.setViewStyle(core_.viewStyle() ^ 2); break;
    case menu::kViewArtists: core_.setViewStyle(core_.viewStyle() ^ 4); break;
    case menu::kHelpContents:
    case menu::kKeyboardShortcuts: core_.openHelp(); break;
    case menu::kHomepage: core_.openHomePage(); break;
    case menu::kSurvey: core_.openSurvey(); break;
    case menu::kAbout: {
      SplashWindow about(core_.skin(), AppCore::kVersionText, 0, this);
      about.exec();
      break;
    }
    default: break;
  }
}

void MainWindow::wireView(BarrelView& view) {
  std::vector<ViewStore> stores;
  for (const PurchaseStore& store : core_.purchaseStores())
    stores.push_back({store.key, QString::fromStdString(store.label)});
  view.setPurchaseStores(std::move(stores));
  connect(&view, &BarrelView::exportRequested, this,
          [this](const std::vector<Node*>& nodes) { core_.exportM3U(nodes); });
  connect(&view, &BarrelView::copyMediaRequested, this,
          [this](const std::vector<Node*>& nodes) { core_.copyMedia(nodes); });
  connect(&view, &BarrelView::purchaseRequested, this, [this](Node* node, const std::string& key) {
    const std::string link = core_.purchaseLink(node, key);
    if (!link.empty()) core_.openUrl(QString::fromStdString(link));
  });
  connect(&view, &BarrelView::linkReportRequested, this,
          [this](int which, const std::vector<Node*>& nodes) { core_.reportLinks(which, nodes); });
}

void MainWindow::setTransportPlaying(bool playing) {
  playing_ = playing;
  play_->setVisible(!playing);
  pause_->setVisible(playing);
}

bool MainWindow::transportPlaying() const { return playing_; }

void MainWindow::setMuteShown(bool muted) {
  mute_->setVisible(!muted);
  unmute_->setVisible(muted);
}

void MainWindow::setTextLines(const QString& first, const QString& second) {
  firstLine_->setText(first);
  secondLine_->setText(second);
}

void MainWindow::setTimeText(const QString& text) { time_->setText(text); }
void MainWindow::setAutoselectText(const QString& text) { tab_->setAutoselectText(text); }

void MainWindow::setPositionSlider(int value) {
  if (position_->value() != value) position_->setValue(value);
}

bool MainWindow::positionSliderDragging() const { return position_->isSliderDown(); }
int MainWindow::positionSliderValue() const { return position_->value(); }

void MainWindow::setVolumeSlider(int value) {
  const QSignalBlocker blocker(volume_);  // a value set from the settings is no user change
  volume_->setValue(value);
}

int MainWindow::volumeSliderValue() const { return volume_->value(); }

std::vector<Node*> MainWindow::selectedNodes() const { return tab_->selectedNodes(); }
void MainWindow::showInSuggestions(Node* node) { tab_->showInSuggestions(node); }
void MainWindow::focusQueue() { tab_->focusQueue(); }
void MainWindow::refreshViews() { tab_->refreshViews(); }
void MainWindow::refreshSuggestions() { tab_->refreshSuggestions(); }

void MainWindow::raiseWindow() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void MainWindow::setMaximised(bool maximised) {
  if (maximised == maximised_) return;
  if (maximised) {
    normalGeometry_ = geometry();
    maximised_ = true;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) setGeometry(screen->availableGeometry());
  } else {
    maximised_ = false;
    if (normalGeometry_.isValid()) setGeometry(normalGeometry_);
  }
  maximize_->setVisible(!maximised_);
  restore_->setVisible(maximised_);
}

QString MainWindow::loginText() const { return login_->text(); }

void MainWindow::updateLoginText() {
  if (!core_.webMode()) return;
  const std::string& user = core_.config().userName;
  login_->setText(user.empty() ? QString("Not logged in.")
                               : QString("Logged in as %1").arg(QString::fromStdString(user)));
}

void MainWindow::applyToolTips() {
  const bool show = core_.config().showToolTips;
  for (const auto& [id, text] : kMainToolTips) {
    for (QWidget* w : findChildren<QWidget*>()) {
      if (w->objectName().endsWith("_" + QString::number(id)))
        w->setToolTip(show ? QString(text) : QString());
    }
  }
  header_->setToolTip(show ? QString(kHeaderToolTip) : QString());
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the window is the Close button: AppCore saves and ends the program.
  event->ignore();
  core_.requestClose();
}

void MainWindow::storeGeometry() {
  if (maximised_ || isMaximized() || isMinimized() || !isVisible()) return;
  const QRect frame = geometry();
  AppConfig& config = core_.config();
  config.mainLeft = frame.x();
  config.mainTop = frame.y();
  config.mainWidth = frame.width();
  config.mainHeight = frame.height();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  storeGeometry();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  storeGeometry();
}

}  // namespace zarvell::app
