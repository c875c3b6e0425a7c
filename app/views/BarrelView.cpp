#include "BarrelView.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <algorithm>

#include "EngineListModel.h"
#include "app/appcore/AppCore.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {
namespace {

int engineListOf(int kind) {
  switch (kind) {
    case kSuggestionsView: return EngineListModel::kSuggestions;
    case kBookmarksView: return EngineListModel::kPalette;
    case kHistoryView: return EngineListModel::kHistory;
    default: return EngineListModel::kFixed;
  }
}

// The rows of a drag: "r1,r2,..." of the source view.
QByteArray encodeRows(const std::vector<int>& rows) {
  QByteArray out;
  for (int row : rows) out += QByteArray::number(row) + ',';
  return out;
}

std::vector<int> decodeRows(const QByteArray& data) {
  std::vector<int> rows;
  for (const QByteArray& part : data.split(','))
    if (bool ok = false; !part.isEmpty()) {
      const int row = part.toInt(&ok);
      if (ok) rows.push_back(row);
    }
  return rows;
}

}  // namespace

BarrelView::BarrelView(AppCore& core, int kind, QWidget* parent)
    : QTableView(parent), core_(core), kind_(kind) {
  if (kind == kQueueView) {
    setModel(&core.queue());
  } else {
    list_ = new EngineListModel(core.engine(), engineListOf(kind), this);
    setModel(list_);
  }
  setSelectionBehavior(SelectRows);
  setSelectionMode(ExtendedSelection);
  setEditTriggers(NoEditTriggers);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  setDragEnabled(kind != kUsersView);
  setAcceptDrops(kind == kQueueView);
  setDropIndicatorShown(kind == kQueueView);
  setDragDropMode(kind == kQueueView ? DragDrop : DragOnly);
  connect(this, &QAbstractItemView::doubleClicked, this, &BarrelView::onDoubleClick);
}

BarrelView::~BarrelView() = default;

void BarrelView::setMyBookmarks(bool mine) {
  myBookmarks_ = mine;
  refresh();
}

Node* BarrelView::nodeAt(int row) const {
  return list_ ? list_->node(row) : core_.queue().node(row);
}

int BarrelView::rowCount() const { return model()->rowCount(); }

std::vector<int> BarrelView::selectedRows() const {
  std::vector<int> rows;
  if (!selectionModel()) return rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<Node*> BarrelView::selectedNodes() const {
  std::vector<Node*> nodes;
  for (int row : selectedRows())
    if (Node* node = nodeAt(row)) nodes.push_back(node);
  return nodes;
}

void BarrelView::selectNodes(const std::vector<Node*>& nodes) {
  clearSelection();
  QModelIndex first;
  for (Node* node : nodes) {
    for (int row = 0; row < rowCount(); ++row) {
      if (nodeAt(row) != node) continue;
      const QModelIndex index = model()->index(row, 0);
      selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
      if (!first.isValid()) first = index;
      break;
    }
  }
  if (first.isValid()) {
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    scrollTo(first);
  }
}

void BarrelView::refresh() {
  // The models are reset by a re-read; the selected nodes that are still shown stay selected.
  const std::vector<Node*> selected = selectedNodes();
  for (Node* node : selected) core_.engine().addNodeRef(node);
  if (kind_ == kQueueView) {
    core_.queue().refresh();
  } else if (kind_ == kBookmarksView && myBookmarks_) {
    list_->setNodes(core_.bookmarks());
  } else if (kind_ == kSuggestionsView) {
    list_->setHidden(core_.viewStyle() == 0);  // re-reads
  } else {
    list_->refresh();
  }
  if (!selected.empty()) {
    const QModelIndex current = currentIndex();
    clearSelection();
    for (int row = 0; row < rowCount(); ++row)
      if (std::find(selected.begin(), selected.end(), nodeAt(row)) != selected.end())
        selectionModel()->select(model()->index(row, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (current.isValid()) selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
  }
  for (Node* node : selected) core_.engine().releaseNode(node);
}

void BarrelView::setNodes(const std::vector<Node*>& nodes) {
  if (list_) list_->setNodes(nodes);
}

MenuState BarrelView::menuState(bool onRow) const {
  IQornManager& engine = core_.engine();
  const std::vector<Node*> nodes = selectedNodes();
  MenuState s;
  s.kind = kind_;
  s.onRow = onRow;
  s.myBookmarks = myBookmarks_;
  s.selected = static_cast<int>(nodes.size());
  s.allBlocked = !nodes.empty();
  for (Node* node : nodes) {
    const bool blocked = engine.isBlocked(node);
    s.anyBlocked = s.anyBlocked || blocked;
    s.allBlocked = s.allBlocked && blocked;
    if (engine.getTaboo(node) > 0)
      s.anyTaboo = true;
    else
      s.anyNotTaboo = true;
  }
  s.playingFirstRow = kind_ == kQueueView && selectedRows() == std::vector<int>{0} &&
                      core_.isPlayingFirstRow(nodes);
  s.viewStyle = core_.viewStyle();
  s.hasStores = !stores_.empty();
  s.debug = core_.debugMode();
  return s;
}

void BarrelView::contextMenuEvent(QContextMenuEvent* event) {
  if (core_.isBusy()) return;
  const QModelIndex hit = indexAt(event->pos());
  if (hit.isValid() && !selectionModel()->isRowSelected(hit.row(), {})) {
    clearSelection();
    selectionModel()->select(hit, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(hit, QItemSelectionModel::NoUpdate);
  }
  const MenuState state = menuState(hit.isValid());
  QMenu menu(this);
  const int styleBits[] = {1, 2, 4};
  int styleIndex = 0;
  for (const QString& entry : contextMenuEntries(state)) {
    if (entry.isEmpty()) {
      menu.addSeparator();
    } else if (entry == kPurchaseEntry) {
      QMenu* stores = menu.addMenu(entry);
      for (const ViewStore& store : stores_)
        stores->addAction(store.label)->setData(QString::fromStdString(store.key));
    } else {
      QAction* action = menu.addAction(entry);
      if (entry.startsWith("Show ") && kind_ == kSuggestionsView && styleIndex < 3) {
        action->setCheckable(true);
        action->setChecked((state.viewStyle & styleBits[styleIndex++]) != 0);
      }
    }
  }
  QAction* chosen = menu.exec(event->globalPos());
  if (!chosen) return;
  if (chosen->data().isValid()) {
    const std::vector<Node*> nodes = selectedNodes();
    if (nodes.size() == 1) emit purchaseRequested(nodes.front(), chosen->data().toString().toStdString());
    return;
  }
  runEntry(chosen->text());
}

void BarrelView::runEntry(const QString& entry) {
  if (core_.isBusy()) return;
  const std::vector<Node*> nodes = selectedNodes();
  if (entry == "Show Songs") return toggleStyle(1);
  if (entry == "Show Albums") return toggleStyle(2);
  if (entry == "Show Artists") return toggleStyle(4);
  if (entry == "Clear Bookmarks") {
    core_.setBookmarks({});
    return refresh();
  }
  if (entry == "Clear Play Queue") return core_.queue().clear();
  if (nodes.empty()) return;
  if (entry == "Boost Selection") return boostSelection(false);
  if (entry == "Play Selection") return core_.playSelection(nodes);
  if (entry == "Enqueue Selection") return core_.enqueueSelection(nodes);
  if (entry == "Add to Bookmarks") return core_.addToBookmarks(nodes);
  if (entry == "Good Choice" || entry == "Bad Choice") {
    core_.learnChoice(nodes, entry == "Good Choice");
    return;
  }
  if (entry == "Inhibit Selection" || entry == "Permit Selection")
    return core_.setTabooNodes(nodes, entry == "Inhibit Selection");
  if (entry == "Block Selection" || entry == "Unblock Selection")
    return core_.setBlockedNodes(nodes, entry == "Block Selection");
  if (entry == "Remove from Bookmarks" || entry == "Remove from Play Queue")
    return removeSelectedRows();
  if (entry == "Store selection") {
    core_.storeSelection(nodes);
    return;
  }
  if (entry == "Show Neighbours") return emit showNeighboursRequested(nodes.front());
  if (entry == "Export to M3U Playlist") return emit exportRequested(nodes);
  if (entry == "Copy Media to folder") return emit copyMediaRequested(nodes);
  static const QString reports[] = {"Report nodes should be linked",
                                    "Report nodes should not be linked",
                                    "Report nodes should be removed"};
  for (int which = 0; which < 3; ++which)
    if (entry == reports[which]) return emit linkReportRequested(which, nodes);
}

void BarrelView::boostSelection(bool bookmarkStrength) {
  const std::vector<Node*> nodes = selectedNodes();
  if (bookmarkStrength)
    core_.boostNodes(nodes, core_.config().bookmarkBoostStrength, true);
  else
    core_.boostNodes(nodes, core_.config().boostStrength, false);
}

void BarrelView::toggleStyle(int bit) {
  core_.setViewStyle(core_.viewStyle() ^ bit);
  if (kind_ == kSuggestionsView) refresh();
}

void BarrelView::removeSelectedRows() {
  const std::vector<int> rows = selectedRows();
  if (rows.empty() || core_.isBusy()) return;
  switch (kind_) {
    case kSuggestionsView: core_.removeFromNetwork(selectedNodes()); break;
    case kHistoryView: core_.removeFromHistory(rows); break;
    case kQueueView:
      for (auto it = rows.rbegin(); it != rows.rend(); ++it) core_.queue().removeAt(*it);
      break;
    case kUsersView: break;
    default:
      list_->removeRows(rows);
      if (myBookmarks_) writeBookmarks();
      break;
  }
  refresh();
}

void BarrelView::writeBookmarks() { core_.setBookmarks(list_->nodes()); }

void BarrelView::copySelection() {
  const std::vector<Node*> nodes = selectedNodes();
  if (!nodes.empty()) core_.nodeClipboard().assign(nodes);
}

void BarrelView::cutSelection() {
  copySelection();
  removeSelectedRows();
}

void BarrelView::paste() {
  const std::vector<Node*>& nodes = core_.nodeClipboard().nodes();
  if (nodes.empty() || core_.isBusy()) return;
  if (kind_ == kQueueView) {
    core_.enqueueSelection(nodes);
  } else if (myBookmarks_) {
    core_.addToBookmarks(nodes);
    refresh();
  }
}

void BarrelView::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  auto handled = [&](auto&& action) {
    if (!core_.isBusy()) action();
    event->accept();
  };
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (kind_ == kUsersView) return event->accept();
    if (mods == Qt::ShiftModifier) return handled([&] { boostSelection(kind_ == kBookmarksView); });
    if (mods == Qt::NoModifier) return handled([&] { runEntry("Play Selection"); });
  }
  if (key == Qt::Key_Space && mods == Qt::ControlModifier)
    return handled([&] { runEntry("Enqueue Selection"); });
  if (key == Qt::Key_Space && mods == Qt::NoModifier)
    return handled([&] { core_.executeCommand(command::kPlay); });
  if (key == Qt::Key_Escape && mods == Qt::NoModifier) return handled([&] { clearSelection(); });
  if (mods == Qt::ControlModifier) {
    if (key == Qt::Key_A) return handled([&] { selectAll(); });
    if (key == Qt::Key_C) return handled([&] { copySelection(); });
    if (key == Qt::Key_X) return handled([&] { cutSelection(); });
    if (key == Qt::Key_V) return handled([&] { paste(); });
  }
  if (key == Qt::Key_Delete && mods == Qt::NoModifier)
    return handled([&] { removeSelectedRows(); });
  QTableView::keyPressEvent(event);  // cursor keys, with Shift extending the selection
}

void BarrelView::onDoubleClick(const QModelIndex& index) {
  if (!index.isValid() || core_.isBusy() || kind_ == kUsersView) return;
  const int source = kind_ == kQueueView     ? command::kSourceQueue
                     : kind_ == kHistoryView ? command::kSourceHistory
                                             : command::kSourceSuggestions;
  core_.playFromList(source, nodeAt(index.row()), index.row());
}

// Drag and drop ------------------------------------------------------------------------

void BarrelView::startDrag(Qt::DropActions actions) {
  const std::vector<int> rows = selectedRows();
  if (rows.empty()) return;
  auto* data = new QMimeData;
  data->setData(kRowsMime, encodeRows(rows));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(actions & (Qt::MoveAction | Qt::CopyAction), Qt::MoveAction);
}

void BarrelView::dragEnterEvent(QDragEnterEvent* event) {
  if (kind_ == kQueueView && event->mimeData()->hasFormat(kRowsMime) &&
      qobject_cast<BarrelView*>(event->source()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void BarrelView::dragMoveEvent(QDragMoveEvent* event) {
  QTableView::dragMoveEvent(event);
  if (kind_ == kQueueView && event->mimeData()->hasFormat(kRowsMime) &&
      qobject_cast<BarrelView*>(event->source()))
    event->acceptProposedAction();
  else
    event->ignore();
}

int BarrelView::dropRow(const QPoint& position) const {
  const QModelIndex index = indexAt(position);
  if (!index.isValid()) return rowCount();
  const QRect rect = visualRect(index);
  return position.y() > rect.center().y() ? index.row() + 1 : index.row();
}

void BarrelView::dropEvent(QDropEvent* event) {
  auto* source = qobject_cast<BarrelView*>(event->source());
  if (kind_ != kQueueView || !source || !event->mimeData()->hasFormat(kRowsMime)) {
    event->ignore();
    return;
  }
  dropRows(*source, decodeRows(event->mimeData()->data(kRowsMime)),
           dropRow(event->position().toPoint()));
  event->setDropAction(Qt::CopyAction);  // the source keeps its rows; this view moved them
  event->accept();
}

void BarrelView::dropRows(BarrelView& source, const std::vector<int>& rows, int before) {
  if (kind_ != kQueueView || core_.isBusy()) return;
  PlayQueueModel& queue = core_.queue();
  if (&source == this) return queue.moveRows(rows, before);
  std::vector<Node*> nodes;
  for (int row : rows)
    if (Node* node = source.nodeAt(row)) nodes.push_back(node);
  const int oldSize = queue.size();
  if (!core_.enqueueNodes(nodes, false)) return;
  std::vector<int> added;
  for (int row = oldSize; row < queue.size(); ++row) added.push_back(row);
  queue.moveRows(added, before);
}

}  // namespace zarvell::app
