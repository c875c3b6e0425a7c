// EngineListModel: one of the engine's node lists (0 the suggestions, 1 the suggested
// bookmarks, 2 the history) or a list of nodes given to it (kFixed: the user's bookmarks,
// the neighbours of a node) as a Qt table model with the node columns. refresh() re-reads
// the engine list, or the texts of a given list; between refreshes the model holds an
// engine reference on every node it shows, so rows stay valid. A hidden model shows no
// rows (the suggestions with no node type chosen).
// Interface thread only. Nothing throws except std::bad_alloc.
#pragma once

#include <QAbstractTableModel>
#include <vector>

class IQornManager;
class Node;

namespace zarvell::app {

class EngineListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kSuggestions = 0;
  static constexpr int kPalette = 1;
  static constexpr int kHistory = 2;
  static constexpr int kFixed = -1;

  EngineListModel(IQornManager& engine, int list, QObject* parent = nullptr);
  ~EngineListModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  Node* node(int row) const;
  int rowOf(const Node* node) const;  // -1 when not shown
  const std::vector<Node*>& nodes() const { return nodes_; }
  void refresh();
  // A kFixed model shows these nodes (nulls left out), in order.
  void setNodes(const std::vector<Node*>& nodes);
  void removeRows(std::vector<int> rows);
  void setHidden(bool hidden);

 private:
  void releaseAll();
  void replace(const std::vector<Node*>& fresh);  // takes references on fresh first

  IQornManager& engine_;
  int list_;
  bool hidden_ = false;
  std::vector<Node*> nodes_;
};

}  // namespace zarvell::app
