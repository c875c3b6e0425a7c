// MainWindow: the player's main window: transport buttons, the two text lines, the time
// field, the volume and position sliders, and the suggestions, play queue and history
// views. It shows what AppCore tells it (PlayerView) and hands every button, slider and
// double click to AppCore. Controls carry their identifiers in their objectNames
// ("PLAY_1035"). Interface thread only.
#pragma once

#include <QWidget>
#include <vector>

#include "app/appcore/PlayerView.h"

class QLabel;
class QPushButton;
class QSlider;
class QTableView;

namespace zarvell::app {

class AppCore;
class TabBarrelView;

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

  QTableView* suggestionsView() const;
  QTableView* queueView() const;
  QTableView* historyView() const;
  TabBarrelView* tabPage() const { return tab_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* addButton(const QString& text, int id);
  void storeGeometry();

  AppCore& core_;
  bool playing_ = false;
  QPushButton* play_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* mute_ = nullptr;
  QPushButton* unmute_ = nullptr;
  QLabel* firstLine_ = nullptr;
  QLabel* secondLine_ = nullptr;
  QLabel* time_ = nullptr;
  QSlider* volume_ = nullptr;
  QSlider* position_ = nullptr;
  TabBarrelView* tab_ = nullptr;  // the suggestions, queue and history page
};

}  // namespace zarvell::app
