// MainWindow: the player's main window: transport buttons, the two text lines, the time
// field, the volume and position sliders, and the suggestions, play queue and history
// views. It shows what AppCore tells it (PlayerView) and hands every button, slider and
// double click to AppCore. Controls carry their identifiers in their objectNames
// ("PLAY_1035"). Interface thread only.
#pragma once

#include <QWidget>
#include <vector>

#include "app/appcore/PlayerView.h"

class QAbstractItemModel;
class QLabel;
class QPushButton;
class QSlider;
class QTableView;

namespace zarvell::app {

class AppCore;
class EngineListModel;

class MainWindow : public QWidget, public PlayerView {
  Q_OBJECT

 public:
  explicit MainWindow(AppCore& core);
  ~MainWindow() override;

  // PlayerView
  void setTransportPlaying(bool playing) override;
  bool transportPlaying() const override;
  void setMuteShown(bool muted) override;
  void setTextLines(const QString& first, const QString& second) override;
  void setTimeText(const QString& text) override;
  void setAutoselectText(const QString& text) override;
  void setPositionSlider(int value) override;
  bool positionSliderDragging() const override;
  int positionSliderValue() const override;
  void setVolumeSlider(int value) override;
  int volumeSliderValue() const override;
  std::vector<Node*> selectedNodes() const override;
  void showInSuggestions(Node* node) override;
  void focusQueue() override;
  void refreshViews() override;
  void refreshSuggestions() override;
  void raiseWindow() override;

  QTableView* suggestionsView() const { return suggestionsView_; }
  QTableView* queueView() const { return queueView_; }
  QTableView* historyView() const { return historyView_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* addButton(const QString& text, int id);
  QTableView* addView(QWidget* parent, QAbstractItemModel* model, const QString& name);
  void storeGeometry();
  void onDoubleClick(QTableView* view, const QModelIndex& index);
  Node* nodeAt(const QTableView* view, int row) const;  // the node of a row of one view

  AppCore& core_;
  bool playing_ = false;
  EngineListModel* suggestions_;
  EngineListModel* history_;
  QPushButton* play_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* mute_ = nullptr;
  QPushButton* unmute_ = nullptr;
  QLabel* firstLine_ = nullptr;
  QLabel* secondLine_ = nullptr;
  QLabel* time_ = nullptr;
  QLabel* autoselect_ = nullptr;
  QSlider* volume_ = nullptr;
  QSlider* position_ = nullptr;
  QTableView* suggestionsView_ = nullptr;
  QTableView* queueView_ = nullptr;
  QTableView* historyView_ = nullptr;
  QTableView* activeView_ = nullptr;  // the view that last had the focus
};

}  // namespace zarvell::app
