// MainWindow: the player's main window: a frameless, skinned window with the header (menu
// buttons, minimise, maximise/restore, close), the transport buttons, the two text lines,
// the time field, the volume and position sliders, the tab area with the node lists, and
// the status bar. It shows what AppCore tells it (PlayerView) and hands every button,
// slider, menu item and shortcut to AppCore. Controls carry their identifiers in their
// objectNames ("PLAY_1035"); skinned widgets name their bitmap in the "skinBitmap"
// property, and a missing bitmap leaves the widget to the Qt style.
//
// Geometry: every move or size change of the normal window is kept in the settings
// (mainLeft, mainTop, mainWidth, mainHeight); maximised, the window fills the screen's
// available area and the stored place stays the normal one.
//
// Interface thread only.
#pragma once

#include <QRect>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/appcore/AppCore.h"
#include "app/appcore/PlayerView.h"

class QLabel;
class QPushButton;
class QSlider;
class QTabWidget;
class QTableView;

namespace zarvell::app {

class AppCore;
class BarrelView;
class TabBarrelView;
class GlobalKeys;
class MainMenus;

class MainWindow : public QWidget, public PlayerView {
  Q_OBJECT

 public:
  explicit MainWindow(AppCore& core);
  ~MainWindow() override;

  // What AppCore makes its main window with (the program and every test of the window).
  static AppCore::WindowFactory factory();

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
  void setMaximised(bool maximised) override;
  bool maximised() const override { return maximised_; }

  // The text of the status bar's log-in field (web mode only; empty otherwise).
  QString loginText() const;
  void updateLoginText();
  void applyToolTips();

  MainMenus& menus() const { return *menus_; }
  // Opens the menu under one of the four menu buttons (command::kFileMenu ... kHelpMenu)
  // after updating its items; returns at once (the menu is shown, not run).
  void openMenu(int buttonId);
  void runMenuItem(int itemId);

  // Chooses a file for the network dialogs; the real file dialog unless a test sets one.
  using FileChooser = std::function<QString(bool save, const QString& filter)>;
  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

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
  class KeyTarget;
  QWidget* buildHeader();
  QWidget* buildTransport();
  QWidget* buildTextLines();
  QWidget* buildStatusBar();
  void addShortcuts();
  QPushButton* addButton(QWidget* parent, const QString& text, int id, const char* bitmap);
  void storeGeometry();
  QString chooseFile(bool save, const QString& filter);
  void wireView(BarrelView& view);  // export, copy and purchase of a list view

  AppCore& core_;
  bool playing_ = false;
  bool maximised_ = false;
  QRect normalGeometry_;  // the place to restore from maximised
  MainMenus* menus_ = nullptr;
  GlobalKeys* globalKeys_ = nullptr;
  std::unique_ptr<KeyTarget> keyTarget_;
  QWidget* header_ = nullptr;
  QPushButton* play_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* mute_ = nullptr;
  QPushButton* unmute_ = nullptr;
  QPushButton* maximize_ = nullptr;
  QPushButton* restore_ = nullptr;
  QLabel* firstLine_ = nullptr;
  QLabel* secondLine_ = nullptr;
  QLabel* time_ = nullptr;
  QLabel* login_ = nullptr;
  QSlider* volume_ = nullptr;
  QSlider* position_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  TabBarrelView* tab_ = nullptr;  // the suggestions, queue and history page
  FileChooser chooseFile_;
};

}  // namespace zarvell::app
