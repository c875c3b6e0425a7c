#include "PlayQueueModel.h"

#include <algorithm>

#include <QFont>

#include "NodeText.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

PlayQueueModel::PlayQueueModel(IQornManager& engine, QObject* parent)
    : QAbstractTableModel(parent), engine_(engine) {}

PlayQueueModel::~PlayQueueModel() {
  for (const Row& row : rows_) release(row);
}

void PlayQueueModel::release(const Row& row) { engine_.releaseNode(row.node); }

int PlayQueueModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : size();
}

int PlayQueueModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kNodeColumnCount;
}

QVariant PlayQueueModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= size()) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  if (role == Qt::FontRole && row.playing) {
    QFont font;
    font.setBold(true);
    return font;
  }
  if (role != Qt::DisplayRole) return {};
  return nodeCell(engine_, row.node, index.column());
}

QVariant PlayQueueModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return nodeColumnTitle(section);
}

Node* PlayQueueModel::node(int row) const {
  return row >= 0 && row < size() ? rows_[static_cast<size_t>(row)].node : nullptr;
}

bool PlayQueueModel::isPlaying(int row) const {
  return row >= 0 && row < size() && rows_[static_cast<size_t>(row)].playing;
}

std::vector<Node*> PlayQueueModel::songs() const {
  std::vector<Node*> out;
  out.reserve(rows_.size());
  for (const Row& row : rows_) out.push_back(row.node);
  return out;
}

void PlayQueueModel::insertFront(const std::vector<Node*>& songs) { insertAt(0, songs); }

void PlayQueueModel::append(const std::vector<Node*>& songs) { insertAt(size(), songs); }

void PlayQueueModel::insertAt(int row, const std::vector<Node*>& songs) {
  std::vector<Row> added;
  for (Node* song : songs) {
    if (!song) continue;
    engine_.addNodeRef(song);
    added.push_back({song, false});
  }
  if (added.empty()) return;
  beginInsertRows({}, row, row + static_cast<int>(added.size()) - 1);
  rows_.insert(rows_.begin() + row, added.begin(), added.end());
  endInsertRows();
  emit songsChanged();
}

void PlayQueueModel::removeAt(int row) {
  if (row < 0 || row >= size()) return;
  beginRemoveRows({}, row, row);
  const Row removed = rows_[static_cast<size_t>(row)];
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  release(removed);
  emit songsChanged();
}

void PlayQueueModel::clear() {
  if (rows_.empty()) return;
  beginResetModel();
  std::vector<Row> removed;
  removed.swap(rows_);
  endResetModel();
  for (const Row& row : removed) release(row);
  emit songsChanged();
}

void PlayQueueModel::moveToFront(int row) {
  if (row <= 0 || row >= size()) return;
  beginMoveRows({}, row, row, {}, 0);
  const Row moved = rows_[static_cast<size_t>(row)];
  rows_.erase(rows_.begin() + row);
  rows_.insert(rows_.begin(), moved);
  endMoveRows();
  emit songsChanged();
}

void PlayQueueModel::moveRows(std::vector<int> rows, int before) {
  const int fixed = isPlaying(0) ? 1 : 0;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  rows.erase(std::remove_if(rows.begin(), rows.end(),
                            [&](int r) { return r < fixed || r >= size(); }),
             rows.end());
  if (rows.empty()) return;
  before = std::clamp(before, fixed, size());
  std::vector<Row> moved, rest;
  int insertAt = 0;
  for (int r = 0; r < size(); ++r) {
    if (r == before) insertAt = static_cast<int>(rest.size());
    if (std::binary_search(rows.begin(), rows.end(), r))
      moved.push_back(rows_[static_cast<size_t>(r)]);
    else
      rest.push_back(rows_[static_cast<size_t>(r)]);
  }
  if (before == size()) insertAt = static_cast<int>(rest.size());
  rest.insert(rest.begin() + insertAt, moved.begin(), moved.end());
  beginResetModel();
  rows_ = std::move(rest);
  endResetModel();
  emit songsChanged();
}

void PlayQueueModel::setPlaying(int row, bool playing) {
  if (row < 0 || row >= size() || rows_[static_cast<size_t>(row)].playing == playing) return;
  rows_[static_cast<size_t>(row)].playing = playing;
  emit dataChanged(index(row, 0), index(row, kNodeColumnCount - 1));
}

void PlayQueueModel::clearPlayingMarks() {
  for (int row = 0; row < size(); ++row) setPlaying(row, false);
}

void PlayQueueModel::refresh() {
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(size() - 1, kNodeColumnCount - 1));
}

}  // namespace zarvell::app
