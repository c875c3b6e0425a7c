// NeighboursWindow: the neighbours of one node in the network (debug mode's "Show
// Neighbours"), with "&Boost" for the selected rows and "&Close". Destroyed when closed.
// Interface thread only. Nothing throws except std::bad_alloc.
#pragma once

#include <QWidget>

class Node;

namespace zarvell::app {

class AppCore;
class BarrelView;

class NeighboursWindow : public QWidget {
  Q_OBJECT

 public:
  NeighboursWindow(AppCore& core, QWidget* parent);

  BarrelView* list() const { return list_; }
  // Fills the list with the node's neighbours.
  void showNeighbours(Node* node);
  void boostSelection();

 private:
  AppCore& core_;
  BarrelView* list_;
};

}  // namespace zarvell::app
