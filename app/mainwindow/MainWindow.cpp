#include "MainWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QVBoxLayout>

#include "app/appcore/AppCore.h"
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

}  // namespace

MainWindow::MainWindow(AppCore& core) : core_(core) {
  setObjectName("MainWindow");
  setWindowTitle("Zarvell");
  resize(900, 640);
  auto* layout = new QVBoxLayout(this);

  auto* transport = new QHBoxLayout;
  layout->addLayout(transport);
  transport->addWidget(addButton("PREV", kPrev));
  transport->addWidget(play_ = addButton("PLAY", kPlay));
  transport->addWidget(pause_ = addButton("PAUSE", kPause));
  transport->addWidget(addButton("STOP", kStop));
  transport->addWidget(addButton("NEXT", kNext));
  transport->addWidget(mute_ = addButton("MUTE", kMute));
  transport->addWidget(unmute_ = addButton("UNMUTE", kUnmute));
  pause_->hide();
  unmute_->hide();
  volume_ = new QSlider(Qt::Horizontal, this);
  volume_->setObjectName(controlName("Vol Slider", kVolumeSlider));
  volume_->setRange(0, kSliderRange);
  transport->addWidget(volume_, 1);
  transport->addStretch(1);
  transport->addWidget(addButton("Close", kClose));

  auto* texts = new QHBoxLayout;
  layout->addLayout(texts);
  auto* lines = new QVBoxLayout;
  texts->addLayout(lines, 1);
  lines->addWidget(firstLine_ = new QLabel(this));
  lines->addWidget(secondLine_ = new QLabel(this));
  texts->addWidget(time_ = new QLabel("--:--", this));
  firstLine_->setObjectName(controlName("First Line", kFirstTextLine));
  secondLine_->setObjectName(controlName("Second Line", kSecondTextLine));
  time_->setObjectName(controlName("Time", kTimeField));
  time_->installEventFilter(this);

  position_ = new QSlider(Qt::Horizontal, this);
  position_->setObjectName(controlName("Pos Slider", kPositionSlider));
  position_->setRange(0, kSliderRange);
  layout->addWidget(position_);

  tab_ = new TabBarrelView(core, this);
  layout->addWidget(tab_, 1);

  connect(volume_, &QSlider::valueChanged, this,
          [this](int value) { core_.sliderChanged(kVolumeSlider, value, true); });
  connect(position_, &QSlider::sliderReleased, this,
          [this] { core_.sliderChanged(kPositionSlider, position_->value(), true); });
}

MainWindow::~MainWindow() = default;

QPushButton* MainWindow::addButton(const QString& text, int id) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(controlName(text, id));
  button->setFocusPolicy(Qt::NoFocus);  // keys stay with the lists
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
  return QWidget::eventFilter(watched, event);
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

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the window is the Close button: AppCore saves and ends the program.
  event->ignore();
  core_.requestClose();
}

void MainWindow::storeGeometry() {
  if (isMaximized() || isMinimized() || !isVisible()) return;
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
