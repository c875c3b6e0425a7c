// AppCore: the song texts, the time display, the sliders, keyboard seeking and the
// "Autoselect" countdown.
#include <algorithm>

#include "AppCore.h"
#include "NodeText.h"

namespace zarvell::app {

using namespace command;

namespace {

QString clockText(int seconds) { return QString::asprintf("%d:%02d", seconds / 60, seconds % 60); }

}  // namespace

float AppCore::duration() const { return player_->duration(); }
float AppCore::position() const { return player_->position(); }

void AppCore::seek(float seconds) {
  player_->seek(seconds);
  emit seeked(seconds);
}

void AppCore::showSongTexts() {
  if (!view_ || !currentNode_) return;
  const QString artists = artistNames(engine(), currentNode_).join(", ");
  const QString album = albumName(engine(), currentNode_);
  QString second = artists;
  if (!album.isEmpty()) second = artists.isEmpty() ? album : artists + " / " + album;
  view_->setTextLines(nodeName(engine(), currentNode_), second);
}

void AppCore::updateTimeDisplay() {
  if (!view_ || !currentNode_) return;
  const int length = static_cast<int>(player_->duration());
  const bool dragging = view_->positionSliderDragging();
  int position = dragging ? static_cast<int>(static_cast<long long>(view_->positionSliderValue()) *
                                             length / PlayerView::kSliderRange)
                          : static_cast<int>(player_->position());
  position = std::max(0, position);
  view_->setTimeText(showRemaining_ ? "-" + clockText(std::max(0, length - position))
                                    : clockText(position));
  if (dragging) return;
  const int value =
      length > 0 ? static_cast<int>(static_cast<long long>(position) * PlayerView::kSliderRange /
                                    length)
                 : 0;
  view_->setPositionSlider(std::clamp(value, 0, PlayerView::kSliderRange));
}

void AppCore::toggleTimeMode() {
  showRemaining_ = !showRemaining_;
  updateTimeDisplay();
}

void AppCore::sliderChanged(int id, int value, bool released) {
  if (id == kVolumeSlider) {
    config().volume = std::clamp(value, 0, PlayerView::kSliderRange);
    player_->setVolume(static_cast<float>(config().volume * 0.0001));
    emit volumeChanged();
  } else if (id == kPositionSlider && released) {
    seek(static_cast<float>(player_->duration() * value * 0.0001));
    updateTimeDisplay();
  }
}

void AppCore::stepSeek(double seconds, bool apply) {
  if (!currentNode_ || !apply) return;
  const double length = player_->duration();
  double target = std::max(0.0, player_->position() + seconds);
  if (target >= length - 1.0) target = std::max(0.0, length - 1.0);
  seek(static_cast<float>(target));
  updateTimeDisplay();
}

void AppCore::updateAutoselect() {
  if (!view_ || isBusy()) return;
  const int remaining = queueSeconds_ - static_cast<int>(currentNode_ ? player_->position() : 0);
  view_->setAutoselectText(remaining > 0 ? QString("- Autoselect resuming in %1")
                                               .arg(clockText(remaining))
                                         : QString());
}

}  // namespace zarvell::app
