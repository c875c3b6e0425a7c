// EngineListModel: one of the engine's node lists (0 the suggestions, 2 the history) as a
// Qt table model with the node columns. refresh() re-reads the list; between refreshes
// the model holds an engine reference on every node it shows, so rows stay valid.
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
  static constexpr int kHistory = 2;

  EngineListModel(IQornManager& engine, int list, QObject* parent = nullptr);
  ~EngineListModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  Node* node(int row) const;
  int rowOf(const Node* node) const;  // -1 when not shown
  void refresh();

 private:
  void releaseAll();

  IQornManager& engine_;
  int list_;
  std::vector<Node*> nodes_;
};

}  // namespace zarvell::app
