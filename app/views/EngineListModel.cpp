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
  if (list_ == kFixed) {
    if (!nodes_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kNodeColumnCount - 1));
    return;
  }
  std::vector<Node*> fresh;
  const int length = hidden_ ? 0 : engine_.getListLength(list_);
  for (int i = 0; i < length; ++i)
    if (Node* node = engine_.getNodeFromList(list_, i)) fresh.push_back(node);
  replace(fresh);
}

void EngineListModel::setNodes(const std::vector<Node*>& nodes) {
  std::vector<Node*> fresh;
  for (Node* node : nodes)
    if (node) fresh.push_back(node);
  replace(fresh);
}

void EngineListModel::replace(const std::vector<Node*>& fresh) {
  beginResetModel();
  std::vector<Node*> old;
  old.swap(nodes_);
  for (Node* node : fresh) {
    engine_.addNodeRef(node);
    nodes_.push_back(node);
  }
  endResetModel();
  for (Node* node : old) engine_.releaseNode(node);
}

void EngineListModel::removeRows(std::vector<int> rows) {
  std::sort(rows.rbegin(), rows.rend());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (int row : rows) {
    if (row < 0 || row >= rowCount()) continue;
    beginRemoveRows({}, row, row);
    Node* node = nodes_[static_cast<size_t>(row)];
    nodes_.erase(nodes_.begin() + row);
    endRemoveRows();
    engine_.releaseNode(node);
  }
}

void EngineListModel::setHidden(bool hidden) {
  hidden_ = hidden;
  refresh();
}

}  // namespace zarvell::app
