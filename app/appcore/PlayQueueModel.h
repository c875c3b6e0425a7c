// PlayQueueModel: the play queue, as a Qt table model that the queue view shows.
//
// Each row holds a song node and a playing mark. The song being played always stands in
// the first row, with the mark; the rows after it are the songs still to come. The model
// holds an engine reference on every node it keeps (addNodeRef on insertion, releaseNode
// on removal), so a node stays valid while queued.
//
// Columns: Title, Album, Artist, Time, Activation. Interface thread only. Nothing throws
// except std::bad_alloc.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "NodeText.h"

class IQornManager;
class Node;

namespace zarvell::app {

class PlayQueueModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit PlayQueueModel(IQornManager& engine, QObject* parent = nullptr);
  ~PlayQueueModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  bool empty() const { return rows_.empty(); }
  int size() const { return static_cast<int>(rows_.size()); }
  Node* node(int row) const;  // null outside the queue
  bool isPlaying(int row) const;
  std::vector<Node*> songs() const;  // in queue order

  // Inserts the songs before the first row, keeping their order.
  void insertFront(const std::vector<Node*>& songs);
  void append(const std::vector<Node*>& songs);
  void removeAt(int row);
  void clear();
  // Moves the row to the front (nothing for a row outside the queue).
  void moveToFront(int row);
  // Moves the rows (in their order) to stand before row `before` (size() = the end). The
  // playing first row stays where it is and nothing goes in front of it.
  void moveRows(std::vector<int> rows, int before);
  void setPlaying(int row, bool playing);
  void clearPlayingMarks();
  // Re-reads the texts of every row (after the engine changed).
  void refresh();

 signals:
  // The songs of the queue changed (not just a mark).
  void songsChanged();

 private:
  struct Row {
    Node* node;
    bool playing;
  };
  void release(const Row& row);
  void insertAt(int row, const std::vector<Node*>& songs);  // row 0..size()

  IQornManager& engine_;
  std::vector<Row> rows_;
};

}  // namespace zarvell::app
