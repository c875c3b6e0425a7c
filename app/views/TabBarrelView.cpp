#include "TabBarrelView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "BarrelView.h"
#include "NeighboursWindow.h"
#include "PaletteWindow.h"
#include "app/appcore/AppCore.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {
namespace {

QPushButton* makeButton(QWidget* parent, const QString& text, int id, const char* bitmap) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString(text).replace(' ', '_') + "_" + QString::number(id));
  button->setProperty("skinBitmap", bitmap);
  button->setFocusPolicy(Qt::NoFocus);  // keys stay with the lists
  return button;
}

}  // namespace

TabBarrelView::TabBarrelView(AppCore& core, QWidget* parent) : QWidget(parent), core_(core) {
  setObjectName("TabBarrelView");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* keywordRow = new QHBoxLayout;
  layout->addLayout(keywordRow);
  keywords_ = new QLineEdit(kKeywordHint, this);
  keywords_->setObjectName("Keywords_1090");
  keywords_->setProperty("skinBitmap", "background_keyword.bmp");
  keywordRow->addWidget(keywords_, 1);
  go_ = makeButton(this, "&Go", command::kGo, "button_go.bmp");
  boost_ = makeButton(this, "&Boost", command::kBoost, "button_boost.bmp");
  auto* star = makeButton(this, "*", command::kBookmarks, "button_palette.bmp");
  keywordRow->addWidget(go_);
  keywordRow->addWidget(boost_);
  keywordRow->addWidget(star);
  go_->setEnabled(false);
  boost_->setEnabled(false);

  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->setChildrenCollapsible(false);
  layout->addWidget(splitter, 1);
  suggestions_ = addPanel(splitter, kSuggestionsView, "Suggestions from My collection",
                          &suggestionsHeading_);
  queue_ = addPanel(splitter, kQueueView, "Play queue", nullptr);
  history_ = addPanel(splitter, kHistoryView, "History", nullptr);
  active_ = suggestions_;

  autoselect_ = new QLabel(this);
  autoselect_->setObjectName("Autoselect");
  layout->addWidget(autoselect_);

  connect(keywords_, &QLineEdit::textChanged, this, &TabBarrelView::onKeywordsEdited);
  connect(keywords_, &QLineEdit::returnPressed, this, [this] {
    if (go_->isEnabled()) runKeywords();
  });
  connect(go_, &QPushButton::clicked, this, [this] { runKeywords(); });
  connect(boost_, &QPushButton::clicked, this, [this] { core_.executeCommand(command::kBoost); });
  connect(star, &QPushButton::clicked, this, [this] { openBookmarks(); });
}

TabBarrelView::~TabBarrelView() {
  // The floating windows hold views on the engine; they go before the page's core does.
  delete palette_.data();
  delete neighbours_.data();
}

BarrelView* TabBarrelView::addPanel(QSplitter* splitter, int kind, const QString& heading,
                                    QLabel** label) {
  auto* box = new QWidget(splitter);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* title = new QLabel(heading, box);
  title->setProperty("skinBitmap", "heading_level2_noslider.bmp");
  layout->addWidget(title);
  if (label) *label = title;
  auto* view = new BarrelView(core_, kind, box);
  view->setObjectName(heading);
  view->installEventFilter(this);
  layout->addWidget(view, 1);
  connect(view, &BarrelView::showNeighboursRequested, this,
          [this](Node* node) { showNeighbours(node); });
  view->refresh();
  return view;
}

bool TabBarrelView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn)
    if (auto* view = qobject_cast<BarrelView*>(watched)) active_ = view;
  return QWidget::eventFilter(watched, event);
}

std::vector<Node*> TabBarrelView::selectedNodes() const {
  return active_ ? active_->selectedNodes() : std::vector<Node*>();
}

void TabBarrelView::showInSuggestions(Node* node) {
  if (node) suggestions_->selectNodes({node});
}

void TabBarrelView::focusQueue() { queue_->setFocus(); }

void TabBarrelView::refreshViews() {
  suggestions_->refresh();
  queue_->refresh();
  history_->refresh();
}

void TabBarrelView::refreshSuggestions() { suggestions_->refresh(); }

void TabBarrelView::setAutoselectText(const QString& text) { autoselect_->setText(text); }

void TabBarrelView::setViewWiring(ViewWiring wiring) {
  wiring_ = std::move(wiring);
  if (!wiring_) return;
  for (BarrelView* view : {suggestions_, queue_, history_}) wiring_(*view);
  if (palette_) {
    wiring_(*palette_->myBookmarks());
    wiring_(*palette_->suggestedBookmarks());
  }
  if (neighbours_) wiring_(*neighbours_->list());
}

void TabBarrelView::setSourceName(const QString& name) {
  suggestionsHeading_->setText("Suggestions from " + name);
}

void TabBarrelView::onKeywordsEdited(const QString& text) {
  const bool real = !text.isEmpty() && text != kKeywordHint;
  go_->setEnabled(real);
  boost_->setEnabled(real);
}

int TabBarrelView::runKeywords() {
  const QString text = keywords_->text();
  if (text.isEmpty() || text == kKeywordHint || core_.isBusy()) return 0;
  const QByteArray utf8 = text.toUtf8();
  Node** found = nullptr;
  int count = 0;
  core_.engine().activateKeywords(utf8.constData(), &count, &found);
  if (count <= 0 || !found) return 0;
  // The returned array is replaced by the engine's next list call: copy it out first.
  std::vector<Node*> nodes(found, found + count);
  for (Node* node : nodes) core_.engine().addNodeRef(node);
  suggestions_->refresh();
  suggestions_->selectNodes(nodes);
  for (Node* node : nodes) core_.engine().releaseNode(node);
  return count;
}

PaletteWindow* TabBarrelView::openBookmarks() {
  if (!palette_) {
    palette_ = new PaletteWindow(core_, this);
    connect(palette_, &PaletteWindow::boosted, this,
            [this](const std::vector<Node*>& nodes) { suggestions_->selectNodes(nodes); });
    if (wiring_) {
      wiring_(*palette_->myBookmarks());
      wiring_(*palette_->suggestedBookmarks());
    }
  }
  palette_->show();
  palette_->raise();
  palette_->activateWindow();
  return palette_;
}

PaletteWindow* TabBarrelView::bookmarksWindow() const { return palette_.data(); }

NeighboursWindow* TabBarrelView::showNeighbours(Node* node) {
  if (!node) return nullptr;
  if (!neighbours_) {
    neighbours_ = new NeighboursWindow(core_, this);
    if (wiring_) wiring_(*neighbours_->list());
  }
  neighbours_->showNeighbours(node);
  neighbours_->show();
  neighbours_->raise();
  return neighbours_;
}

}  // namespace zarvell::app
