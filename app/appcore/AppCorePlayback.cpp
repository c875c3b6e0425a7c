// AppCore: the play loop (starting songs, transport commands, song ends, the queue step).
#include <QMetaObject>
#include <QWidget>

#include "AppCore.h"
#include "AppLogging.h"
#include "NodeText.h"
#include "zarvell/paths.h"

namespace zarvell::app {

using namespace command;

void AppCore::report(PlayReport::Kind kind, Node* node, float value, bool flag) {
  if (observer_) observer_({kind, node, value, flag});
}

void AppCore::setCurrent(Node* node) {
  if (node == currentNode_) return;
  if (node) engine().addNodeRef(node);
  if (currentNode_) engine().releaseNode(currentNode_);
  currentNode_ = node;
}

bool AppCore::isPlaying() const { return currentNode_ && view_ && view_->transportPlaying(); }

int AppCore::pluginEvent(int event, void* context) {
  if (event == AUDIOPLUGIN_EVENT_SONG_END && context) {
    auto* core = static_cast<AppCore*>(context);
    const std::uint64_t serial = core->playSerial_.load();
    QMetaObject::invokeMethod(core, [core, serial] { core->onPlayerEvent(serial); },
                              Qt::QueuedConnection);
  }
  return 1;
}

void AppCore::onPlayerEvent(std::uint64_t serial) {
  if (serial != playSerial_.load()) return;  // the end of a song that was already replaced
  emit songEndReceived();
  songEnded();
}

void AppCore::selectPlayer(const std::string& fileName) {
  if (player_->loaded()) runStop();
  player_ = std::make_unique<AudioPlayer>();
  const std::string path = programFolder() + "/audioplugins/" + fileName;
  if (player_->load(path) < 0)
    appLog(AppLogLevel::Error, "the audio player " + path + " could not be loaded: " +
                                   player_->error());
  player_->setEventCallback(&AppCore::pluginEvent, this);
  const int level = std::clamp(config().volume, 0, PlayerView::kSliderRange);
  if (view_) view_->setVolumeSlider(level);
  player_->setVolume(static_cast<float>(config().volume * 0.0001));
}

void AppCore::markQueue(int row, bool dropPlaying, bool markPlaying) {
  if (dropPlaying && queue_.isPlaying(0)) queue_.removeAt(0);
  queue_.clearPlayingMarks();
  if (row >= 0 && row < queue_.size()) {
    queue_.moveToFront(row);
    if (markPlaying) queue_.setPlaying(0, true);
  }
}

Node* AppCore::enqueueNodes(const std::vector<Node*>& nodes, bool atFront) {
  if (nodes.empty()) return nullptr;
  Node** flat = nullptr;
  int count = 0;
  engine().getFlatList(&nodes, &flat, &count);
  std::vector<Node*> songs;
  for (int i = 0; i < count; ++i)
    if (flat[i]) songs.push_back(flat[i]);
  if (songs.empty()) return nullptr;
  if (atFront)
    queue_.insertFront(songs);
  else
    queue_.append(songs);
  return songs.front();
}

void AppCore::playNode(Node* node, bool fromEngine, bool automatic) {
  if (!node) return;
  const char* media = engine().getMediaPath(node);
  const std::string path = media ? media : "";
  ++playSerial_;
  const bool started = !path.empty() && player_->play(path.c_str()) >= 0;
  if (started) {
    emit songStarted();
    lastPlayOk_ = true;
    failedNode_ = nullptr;
    failedAutomaticStarts_ = 0;
    if (engine().getDuration(node) < 0) {
      engine().setDuration(node, static_cast<int>(player_->duration()));
      if (view_) view_->refreshSuggestions();
    }
    setCurrent(node);
    currentFromEngine_ = fromEngine;
    if (view_) view_->setTransportPlaying(true);
    showSongTexts();
    updateTimeDisplay();
    markQueue(0, false, true);
  } else {
    lastPlayOk_ = false;
    failedNode_ = node;
    engine().setBlocked(node, true);  // so the engine does not choose it again
    setCurrent(nullptr);
    appLog(AppLogLevel::Warn, "cannot play " + path);
    QString first = QString("Unable to play: %1 :").arg(albumName(engine(), node)) +
                    nodeName(engine(), node);
    if (automatic && ++failedAutomaticStarts_ >= kMaxFailedAutomaticStarts)
      first = QString("Automatic play stopped: %1 songs in a row could not be played. Is "
                      "your music folder there?")
                  .arg(failedAutomaticStarts_);
    if (view_) {
      view_->setTextLines(first, QString());
      view_->setTimeText("--:--");
      view_->setTransportPlaying(false);
    }
    markQueue(0, false, false);
    if (automatic && failedAutomaticStarts_ < kMaxFailedAutomaticStarts) retryTimer_.start();
  }
  if (view_) view_->focusQueue();
  engine().onPlay(node, fromEngine);
  report(PlayReport::kPlay, node, 0.0f, fromEngine);
  boostOne(node);
  if (view_) view_->refreshViews();
  emit playbackChanged();
}

void AppCore::boostOne(Node* node) {
  const std::vector<Node*> nodes{node};
  const float strength = config().boostStrength;
  engine().boost(&nodes, strength, false);
  report(PlayReport::kBoost, node, strength, false);
}

void AppCore::executeCommand(int id) {
  if (isBusy()) return;
  switch (id) {
    case kClose: requestClose(); break;
    case kMaximize:
      if (view_) view_->setMaximised(true);
      break;
    case kMinimize:
      if (window_) window_->showMinimized();
      break;
    case kRestore:
      if (view_) view_->setMaximised(false);
      break;
    case kPrev: runPrev(); break;
    case kPlay: runPlay(); break;
    case kStop: runStop(); break;
    case kNext: runNext(false); break;
    case kPause: runPause(); break;
    case kMute:
    case kUnmute: toggleMute(); break;
    case kBoost: boostSelection(); break;
    case kLogo: openHomePage(); break;
    default: break;  // other commands belong to windows that handle them themselves
  }
}

void AppCore::runPrev() {
  retryTimer_.stop();
  if (currentNode_) {
    engine().onPrev();
    report(PlayReport::kPrev, currentNode_, 0.0f, false);
  }
  bool committed = false;
  Node* node = engine().pickPrevNode(&committed);
  report(PlayReport::kPickPrev, node, 0.0f, committed);
  if (!node) return;
  if (view_) view_->showInSuggestions(node);
  // The previous song takes the playing row, so the queue shows what plays.
  markQueue(-1, true, false);
  queue_.insertFront({node});
  playNode(node, false, false);
}

void AppCore::runPlay() {
  retryTimer_.stop();
  if (view_ && view_->transportPlaying()) {
    runPause();
    return;
  }
  if (currentNode_) {
    player_->play(nullptr);
    if (view_) view_->setTransportPlaying(true);
    emit playbackChanged();
    return;
  }
  if (!queue_.empty()) {
    runNext(false);
    return;
  }
  const std::vector<Node*> selected = view_ ? view_->selectedNodes() : std::vector<Node*>();
  Node* first = enqueueNodes(selected, true);
  if (!first) {
    runNext(false);
    return;
  }
  playFromList(kSourceQueue, first, 0);
}

void AppCore::runPause() {
  player_->pause();
  if (view_) view_->setTransportPlaying(false);
  emit playbackChanged();
}

void AppCore::showStopped() {
  if (!view_) return;
  view_->setTransportPlaying(false);
  view_->setTimeText("--:--");
  view_->setPositionSlider(0);
}

void AppCore::runStop() {
  retryTimer_.stop();
  if (!currentNode_) return;
  const float position = player_->position();
  player_->stop();
  showStopped();
  markQueue(-1, true, false);
  Node* stopped = currentNode_;
  engine().onStop(stopped, position, true);
  report(PlayReport::kStop, stopped, position, true);
  setCurrent(nullptr);
  if (view_) view_->refreshViews();
  emit playbackChanged();
}

void AppCore::runNext(bool automatic) {
  retryTimer_.stop();
  // A song that failed to start waits unmarked in the first row: it goes, and the song
  // after it is the next one played (not dropped as well).
  dropFailedRow();
  const bool removePlaying = currentNode_ != nullptr || !lastPlayOk_;
  if (currentNode_) {
    const float position = player_->position();
    engine().onAbortedSong(currentNode_, position, true);
    report(PlayReport::kAbortedSong, currentNode_, position, true);
  }
  if (Node* node = takeNextQueued(removePlaying, false)) {
    playNode(node, false, automatic);
    return;
  }
  startEnginePick(automatic);
}

void AppCore::startEnginePick(bool automatic) {
  const float randomness = static_cast<float>(config().randomness * 0.01);
  Node* node = engine().pickNextNode(randomness);
  report(PlayReport::kPickNext, node, randomness, false);
  // An album or artist picked plays from its first song.
  if (Node* first = node ? enqueueNodes({node}, true) : nullptr) {
    playNode(first, true, automatic);
    return;
  }
  // Nothing to play: the player stops (a song that was skipped must not play on).
  if (currentNode_) {
    player_->stop();
    markQueue(-1, true, false);
    setCurrent(nullptr);
  }
  showStopped();
  emit playbackChanged();
}

void AppCore::songEnded() {
  if (isBusy()) {
    pendingSongEnd_ = true;
    return;
  }
  if (!currentNode_) return;
  engine().onSongEndReached(currentNode_, currentFromEngine_);
  report(PlayReport::kSongEndReached, currentNode_, 0.0f, currentFromEngine_);
  if (Node* node = takeNextQueued(true, false)) {
    playNode(node, false, true);
    return;
  }
  startEnginePick(true);
}

Node* AppCore::takeNextQueued(bool removePlaying, bool force) {
  if (queue_.empty()) return nullptr;
  if (force || (removePlaying && queue_.isPlaying(0))) queue_.removeAt(0);
  if (queue_.empty()) return nullptr;
  queue_.setPlaying(0, true);
  return queue_.node(0);
}

void AppCore::dropFailedRow() {
  if (!lastPlayOk_ && !currentNode_ && failedNode_ && !queue_.empty() && !queue_.isPlaying(0) &&
      queue_.node(0) == failedNode_)
    queue_.removeAt(0);
  failedNode_ = nullptr;
}

// Automatic play goes on after a song that failed to start: the NEXT of the retry is
// automatic too, so a failure after it is retried again (up to the limit of failures).
void AppCore::onRetryTimer() { runNext(true); }

void AppCore::playFromList(int source, Node* node, int row) {
  if (!node) return;
  retryTimer_.stop();
  if (currentNode_) {
    const float position = player_->position();
    if (view_) view_->setTransportPlaying(false);
    engine().onAbortedSong(currentNode_, position, true);
    report(PlayReport::kAbortedSong, currentNode_, position, true);
    setCurrent(nullptr);
  }
  Node* song = node;
  if (source != kSourceQueue) {
    if (config().clearQueueOnDoubleClick) queue_.clear();
    markQueue(-1, true, false);
    song = enqueueNodes({node}, true);
  } else {
    markQueue(row, false, false);
  }
  if (song) playNode(song, false, false);
}

void AppCore::toggleMute() {
  player_->setMuted(!player_->isMuted());
  if (view_) view_->setMuteShown(player_->isMuted());
}

void AppCore::boostSelection() {
  const std::vector<Node*> selected = view_ ? view_->selectedNodes() : std::vector<Node*>();
  if (selected.empty()) return;
  engine().boost(&selected, config().boostStrength, false);
  report(PlayReport::kBoost, selected.front(), config().boostStrength, false);
  if (view_) view_->refreshViews();
}

}  // namespace zarvell::app
