#include "EngineListModel.h"

#include <algorithm>

#include "app/appcore/NodeText.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

EngineListModel::EngineListModel(IQornManager& engine, int list, QObject* parent)
    : QAbstractTableModel(parent), engine_(engine), list_(list) {}

EngineListModel::~EngineListModel() { releaseAll(); }

void EngineListModel::releaseAll() {
  for (Node* node : nodes_) engine_.releaseNode(node);
  nodes_.clear();
}

int EngineListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(nodes_.size());
}

int EngineListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kNodeColumnCount;
}

QVariant EngineListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return nodeCell(engine_, nodes_[static_cast<size_t>(index.row())], index.column());
}

QVariant EngineListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return nodeColumnTitle(section);
}

Node* EngineListModel::node(int row) const {
  return row >= 0 && row < rowCount() ? nodes_[static_cast<size_t>(row)] : nullptr;
}

int EngineListModel::rowOf(const Node* node) const {
  const auto it = std::find(nodes_.begin(), nodes_.end(), node);
  return it == nodes_.end() ? -1 : static_cast<int>(it - nodes_.begin());
}

void EngineListModel::refresh() {
  beginResetModel();
  std::vector<Node*> old;
  old.swap(nodes_);
  const int length = engine_.getListLength(list_);
  for (int i = 0; i < length; ++i) {
    if (Node* node = engine_.getNodeFromList(list_, i)) {
      engine_.addNodeRef(node);
      nodes_.push_back(node);
    }
  }
  endResetModel();
  for (Node* node : old) engine_.releaseNode(node);
}

}  // namespace zarvell::app
