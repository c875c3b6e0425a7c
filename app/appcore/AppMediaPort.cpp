#include "AppMediaPort.h"

#include <algorithm>
#include <cmath>

#include "AppCore.h"
#include "NodeText.h"

namespace zarvell::app {

using namespace command;

AppMediaPort::AppMediaPort(AppCore& core, QObject* parent) : MediaPlayerPort(parent), core_(core) {
  connect(&core, &AppCore::playbackChanged, this, &MediaPlayerPort::playbackChanged);
  connect(&core, &AppCore::volumeChanged, this, &MediaPlayerPort::volumeChanged);
  connect(&core, &AppCore::seeked, this, &MediaPlayerPort::seeked);
}

MediaPlayerPort::Playback AppMediaPort::playback() const {
  if (!core_.currentNode()) return Playback::Stopped;
  return core_.isPlaying() ? Playback::Playing : Playback::Paused;
}

MediaPlayerPort::Track AppMediaPort::currentTrack() const {
  Track track;
  Node* node = core_.currentNode();
  if (!node) return track;
  IQornManager& engine = core_.engine();
  track.title = nodeName(engine, node);
  track.artists = artistNames(engine, node);
  track.album = albumName(engine, node);
  track.lengthSeconds = std::max(0.0f, core_.duration());
  if (const char* path = engine.getMediaPath(node)) track.path = QString::fromUtf8(path);
  track.serial = core_.playSerial();
  return track;
}

double AppMediaPort::positionSeconds() const {
  return core_.currentNode() ? std::max(0.0f, core_.position()) : 0.0;
}

double AppMediaPort::volume() const { return core_.volume() / double(PlayerView::kSliderRange); }

void AppMediaPort::setVolume(double level) {
  if (core_.isBusy() || !std::isfinite(level)) return;
  const int value =
      static_cast<int>(std::lround(std::clamp(level, 0.0, 1.0) * PlayerView::kSliderRange));
  if (PlayerView* view = core_.view()) view->setVolumeSlider(value);
  core_.sliderChanged(kVolumeSlider, value, true);
}

void AppMediaPort::play() {
  if (playback() != Playback::Playing) core_.executeCommand(kPlay);
}

void AppMediaPort::pause() {
  if (playback() == Playback::Playing) core_.executeCommand(kPause);
}

void AppMediaPort::playPause() { core_.executeCommand(kPlay); }
void AppMediaPort::stop() { core_.executeCommand(kStop); }
void AppMediaPort::next() { core_.executeCommand(kNext); }
void AppMediaPort::previous() { core_.executeCommand(kPrev); }

void AppMediaPort::seekTo(double seconds) {
  if (core_.isBusy() || !core_.currentNode() || !std::isfinite(seconds)) return;
  const double last = std::max(0.0, double(core_.duration()) - 1.0);
  core_.seek(static_cast<float>(std::clamp(seconds, 0.0, last)));
}

void AppMediaPort::raise() {
  if (PlayerView* view = core_.view()) view->raiseWindow();
}

void AppMediaPort::quit() { core_.requestClose(); }

}  // namespace zarvell::app
