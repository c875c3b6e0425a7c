#include "NeighboursWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "BarrelView.h"
#include "app/appcore/AppCore.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

NeighboursWindow::NeighboursWindow(AppCore& core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(core) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("NeighboursWindow");
  setWindowTitle("Neighbours");
  resize(480, 360);
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel("Neighbours", this);
  heading->setProperty("skinBitmap", "heading_level2_noslider.bmp");
  layout->addWidget(heading);
  list_ = new BarrelView(core, kNeighboursView, this);
  list_->setObjectName("Neighbours");
  layout->addWidget(list_, 1);
  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  auto* boost = new QPushButton("&Boost", this);
  boost->setObjectName("&Boost");
  boost->setProperty("skinBitmap", "button_smallwindow_boost.bmp");
  auto* close = new QPushButton("&Close", this);
  close->setObjectName("&Close");
  close->setProperty("skinBitmap", "button_smallwindow_close.bmp");
  row->addWidget(boost);
  row->addStretch(1);
  row->addWidget(close);
  connect(boost, &QPushButton::clicked, this, &NeighboursWindow::boostSelection);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void NeighboursWindow::showNeighbours(Node* node) {
  Node** found = nullptr;
  int count = 0;
  if (node) core_.engine().getNeighbours(node, &found, &count);
  std::vector<Node*> nodes;
  for (int i = 0; i < count && found; ++i) nodes.push_back(found[i]);
  list_->setNodes(nodes);
}

void NeighboursWindow::boostSelection() {
  if (core_.isBusy()) return;
  core_.boostNodes(list_->selectedNodes(), core_.config().boostStrength, false);
}

}  // namespace zarvell::app
