// PlayerView: what the player core shows and asks of the main window. The main window
// implements it; the core calls it on the interface thread only.
//
// Slider values run from 0 to kSliderRange (the volume slider holds the volume in
// ten-thousandths, the position slider the position in ten-thousandths of the song).
#pragma once

#include <QString>
#include <vector>

class Node;

namespace zarvell::app {

class PlayerView {
 public:
  static constexpr int kSliderRange = 10000;

  // Playing: PLAY hidden and PAUSE shown; otherwise the other way round.
  virtual void setTransportPlaying(bool playing) = 0;
  virtual bool transportPlaying() const = 0;
  // Muted: UNMUTE shown and MUTE hidden; otherwise the other way round.
  virtual void setMuteShown(bool muted) = 0;
  // The first and second text lines and the time field.
  virtual void setTextLines(const QString& first, const QString& second) = 0;
  virtual void setTimeText(const QString& text) = 0;
  // The "Autoselect" countdown text (empty hides it).
  virtual void setAutoselectText(const QString& text) = 0;
  virtual void setPositionSlider(int value) = 0;
  virtual bool positionSliderDragging() const = 0;
  virtual int positionSliderValue() const = 0;
  virtual void setVolumeSlider(int value) = 0;
  virtual int volumeSliderValue() const = 0;
  // The songs selected in the view that has the focus (the suggestions view when none has).
  virtual std::vector<Node*> selectedNodes() const = 0;
  // Selects the node in the suggestions view and scrolls to it.
  virtual void showInSuggestions(Node* node) = 0;
  virtual void focusQueue() = 0;
  // Every view re-reads its list from the engine.
  virtual void refreshViews() = 0;
  virtual void refreshSuggestions() = 0;
  // Shows, restores and activates the window.
  virtual void raiseWindow() = 0;
  // Maximised: the window fills the screen's available area and "Restore" replaces
  // "Maximize"; back to normal, the window returns to its place before.
  virtual void setMaximised(bool maximised) = 0;
  virtual bool maximised() const = 0;

 protected:
  ~PlayerView() = default;
};

}  // namespace zarvell::app
