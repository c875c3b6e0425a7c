#include "PaletteWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "BarrelView.h"
#include "app/appcore/AppCore.h"

namespace zarvell::app {
namespace {

QPushButton* addButton(QWidget* parent, QBoxLayout* row, const QString& text,
                       const char* bitmap) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(text);
  button->setProperty("skinBitmap", bitmap);
  button->setFocusPolicy(Qt::NoFocus);
  row->addWidget(button);
  return button;
}

QLabel* addHeading(QWidget* parent, QBoxLayout* layout, const QString& text) {
  auto* heading = new QLabel(text, parent);
  heading->setProperty("skinBitmap", "heading_level2_noslider.bmp");
  layout->addWidget(heading);
  return heading;
}

}  // namespace

QRect placeOnScreens(const QRect& stored, const QList<QRect>& screens, const QRect& primary) {
  for (const QRect& screen : screens)
    if (screen.intersects(stored)) return stored;
  QRect placed(primary.topLeft(), stored.size().boundedTo(primary.size()));
  return placed;
}

PaletteWindow::PaletteWindow(AppCore& core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(core) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("PaletteWindow");
  setWindowTitle("Bookmarks");
  setProperty("skinBitmap", "background_smallwindow.bmp");
  auto* layout = new QVBoxLayout(this);
  addHeading(this, layout, "My Bookmarks");
  mine_ = new BarrelView(core, kBookmarksView, this);
  mine_->setObjectName("My Bookmarks");
  mine_->setMyBookmarks(true);
  layout->addWidget(mine_, 1);
  addHeading(this, layout, "Suggested Bookmarks");
  suggested_ = new BarrelView(core, kBookmarksView, this);
  suggested_->setObjectName("Suggested Bookmarks");
  layout->addWidget(suggested_, 1);

  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  QPushButton* boost = addButton(this, row, "&Boost", "button_smallwindow_boost.bmp");
  QPushButton* refresh = addButton(this, row, "&Refresh", "button_heading_refresh.bmp");
  QPushButton* clear = addButton(this, row, "&Clear", "button_smallwindow_cancel.bmp");
  row->addStretch(1);
  QPushButton* close = addButton(this, row, "&Close", "button_smallwindow_close.bmp");
  connect(boost, &QPushButton::clicked, this, &PaletteWindow::boostSelection);
  connect(refresh, &QPushButton::clicked, this, &PaletteWindow::regenerate);
  connect(clear, &QPushButton::clicked, this, &PaletteWindow::clearMine);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(&core, &AppCore::bookmarksChanged, mine_, &BarrelView::refresh);

  place();
  regenerate();
}

PaletteWindow::~PaletteWindow() = default;

void PaletteWindow::boostSelection() {
  std::vector<Node*> nodes = mine_->selectedNodes();
  for (Node* node : suggested_->selectedNodes())
    if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
  if (nodes.empty() || core_.isBusy()) return;
  core_.boostNodes(nodes, core_.config().bookmarkBoostStrength, true);
  emit boosted(nodes);
}

void PaletteWindow::regenerate() {
  if (core_.isBusy()) return;
  core_.createPaletteBusy();
  suggested_->refresh();
}

void PaletteWindow::clearMine() {
  if (core_.isBusy()) return;
  core_.setBookmarks({});
  mine_->refresh();
}

void PaletteWindow::place() {
  const AppConfig& c = core_.config();
  QRect wanted(0, 0, 480, 420);
  if (c.dialogWidth > 0 && c.dialogHeight > 0) wanted.setSize({c.dialogWidth, c.dialogHeight});
  QScreen* primary = QGuiApplication::primaryScreen();
  const QRect primaryArea = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
  if (c.dialogLeft != AppConfig::kUnset && c.dialogTop != AppConfig::kUnset) {
    wanted.moveTopLeft({c.dialogLeft, c.dialogTop});
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
    wanted = placeOnScreens(wanted, screens, primaryArea);
  } else {
    wanted.moveCenter(primaryArea.center());
  }
  setGeometry(wanted);
  placed_ = true;
  storeGeometry();
}

void PaletteWindow::storeGeometry() {
  if (!placed_ || isMinimized() || isMaximized()) return;
  const QRect frame = geometry();
  AppConfig& c = core_.config();
  c.dialogLeft = frame.x();
  c.dialogTop = frame.y();
  c.dialogWidth = frame.width();
  c.dialogHeight = frame.height();
}

void PaletteWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  storeGeometry();
}

void PaletteWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  storeGeometry();
}

}  // namespace zarvell::app
