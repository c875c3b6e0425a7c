// BarrelView: a list of engine nodes, one per row, with the node columns. Its kind decides
// the content and the context menu: the suggestions (engine list 0, after the view style),
// a bookmarks list, the history (engine list 2), the play queue, the neighbours of a node,
// or the user lists of the community panel.
//
// The view owns its list model (the queue view shows AppCore's queue). Right click opens
// the context menu built from contextMenuEntries(); the keyboard plays, boosts, enqueues,
// copies and removes the selection; a double click plays a row; rows dragged onto the play
// queue are added to it, and the queue's rows are rearranged by dragging.
//
// Actions on engine state go through AppCore; the entries that belong to other windows
// (export, copy media, purchase, link reports, neighbours) are signals. Interface thread
// only. Nothing throws except std::bad_alloc.
#pragma once

#include <QStringList>
#include <QTableView>
#include <string>
#include <utility>
#include <vector>

#include "NodeMetaType.h"
#include "ViewMenu.h"

class Node;

namespace zarvell::app {

class AppCore;
class EngineListModel;

// A store for the purchase submenu: its key and its menu label.
struct ViewStore {
  std::string key;
  QString label;
};

class BarrelView : public QTableView {
  Q_OBJECT

 public:
  // The MIME type of rows dragged between views of this process.
  static constexpr const char* kRowsMime = "application/x-zarvell-view-rows";

  BarrelView(AppCore& core, int kind, QWidget* parent = nullptr);
  ~BarrelView() override;

  int kind() const { return kind_; }
  // The removable "My Bookmarks" list: its rows are the user's bookmarks in the engine.
  void setMyBookmarks(bool mine);
  bool isMyBookmarks() const { return myBookmarks_; }
  // The model of the lists other than the queue (null for the queue view).
  EngineListModel* listModel() const { return list_; }

  Node* nodeAt(int row) const;
  int rowCount() const;
  std::vector<int> selectedRows() const;  // ascending
  std::vector<Node*> selectedNodes() const;
  // Replaces the selection by the rows of these nodes and scrolls to the first.
  void selectNodes(const std::vector<Node*>& nodes);
  // Re-reads the list (a node list given with setNodes keeps its nodes).
  void refresh();
  // Kind 4 and the like: the nodes to show.
  void setNodes(const std::vector<Node*>& nodes);

  void setPurchaseStores(std::vector<ViewStore> stores) { stores_ = std::move(stores); }
  MenuState menuState(bool onRow) const;
  // Performs the action of a context menu entry on the selection.
  void runEntry(const QString& entry);
  // Removes the selected rows as the kind says (the suggestions ask first).
  void removeSelectedRows();
  void copySelection();
  void cutSelection();
  // Puts the clipboard's nodes into this list (the queue and "My Bookmarks").
  void paste();
  // The drop of rows of `source` onto the play queue before row `before`: the queue's own
  // rows move there; rows of another view are added there (flattened to songs).
  void dropRows(BarrelView& source, const std::vector<int>& rows, int before);

 signals:
  void exportRequested(const std::vector<Node*>& nodes);
  void copyMediaRequested(const std::vector<Node*>& nodes);
  void purchaseRequested(Node* node, const std::string& storeKey);
  // which: 0 should be linked, 1 should not be linked, 2 should be removed.
  void linkReportRequested(int which, const std::vector<Node*>& nodes);
  void showNeighboursRequested(Node* node);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void onDoubleClick(const QModelIndex& index);
  void boostSelection(bool bookmarkStrength);
  void writeBookmarks();
  void toggleStyle(int bit);
  int dropRow(const QPoint& position) const;

  AppCore& core_;
  int kind_;
  bool myBookmarks_ = false;
  EngineListModel* list_ = nullptr;  // owned (child), null for the queue
  std::vector<ViewStore> stores_;
};

}  // namespace zarvell::app
