// The actions of the node list views: boosting, playing, enqueueing, learning, taboo and
// block states, removing, play lists, bookmarks, the node clipboard and the view style.
#include <algorithm>

#include "AppCore.h"
#include "AppLogging.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

void AppCore::boostNodes(const std::vector<Node*>& nodes, float strength, bool reset) {
  if (nodes.empty()) return;
  engine().boost(&nodes, strength, reset);
  report(PlayReport::kBoost, nodes.front(), strength, reset);
  if (view_) view_->refreshViews();
}

void AppCore::playSelection(const std::vector<Node*>& nodes) {
  if (nodes.empty()) return;
  retryTimer_.stop();
  if (currentNode_) {
    const float position = player_->position();
    player_->stop();
    if (view_) view_->setTransportPlaying(false);
    engine().onAbortedSong(currentNode_, position, true);
    report(PlayReport::kAbortedSong, currentNode_, position, true);
    setCurrent(nullptr);
  }
  markQueue(-1, false, false);
  if (Node* first = enqueueNodes(nodes, true)) playNode(first, false, false);
}

int AppCore::learnChoice(const std::vector<Node*>& nodes, bool good) {
  if (nodes.size() != 1) {
    appLog(AppLogLevel::Error,
           "invalid vector size in call to learnTransitions " + std::to_string(nodes.size()));
    return -1;
  }
  if (!nodes.front()) {
    appLog(AppLogLevel::Error, "null ptr in learnTransitions");
    return -1;
  }
  return engine().learnTransition(nodes.front(), nullptr, good);
}

void AppCore::setTabooNodes(const std::vector<Node*>& nodes, bool taboo) {
  for (Node* node : nodes)
    if (node) engine().setTaboo(node, taboo);
  if (!nodes.empty() && view_) view_->refreshViews();
}

void AppCore::setBlockedNodes(const std::vector<Node*>& nodes, bool blocked) {
  for (Node* node : nodes)
    if (node) engine().setBlocked(node, blocked);
  if (!nodes.empty() && view_) view_->refreshViews();
}

bool AppCore::removeFromNetwork(const std::vector<Node*>& nodes) {
  if (nodes.empty()) return false;
  MessageRequest request;
  request.caption = "Remove items from the network?";
  request.text =
      "Please click on YES to permanently remove the selected items from the network.\n"
      "The physical songs on your computer will not be touched.";
  request.icon = QMessageBox::Warning;
  request.buttons = QMessageBox::Yes | QMessageBox::No;
  if (messages_.show(window_.get(), request) != QMessageBox::Yes) return false;
  // The queue and the current song keep their own references; a removed song leaves the
  // queue first so that nothing plays a node that is no longer in the network.
  for (Node* node : nodes) {
    if (!node) continue;
    for (int row = queue_.size() - 1; row >= 0; --row)
      if (queue_.node(row) == node && !(row == 0 && queue_.isPlaying(0))) queue_.removeAt(row);
    engine().removeNodeFromNet(node);
  }
  if (view_) view_->refreshViews();
  return true;
}

void AppCore::removeFromHistory(std::vector<int> rows) {
  // A null array would clear the whole history: an empty selection must not get there.
  if (rows.empty()) return;
  engine().removeEntriesFromHistory(rows.data(), static_cast<int>(rows.size()));
  if (view_) view_->refreshViews();
}

Node* AppCore::storeSelection(const std::vector<Node*>& songs) {
  if (songs.empty()) return nullptr;
  Node* list = engine().createPlayList("user playlist", songs);
  if (list && view_) {
    view_->refreshViews();
    view_->showInSuggestions(list);
  }
  return list;
}

std::vector<Node*> AppCore::bookmarks() {
  Node** nodes = nullptr;
  int count = 0;
  engine().getMyKalvorets(&nodes, &count);
  std::vector<Node*> out;
  for (int i = 0; i < count && nodes; ++i)
    if (nodes[i]) out.push_back(nodes[i]);
  return out;
}

void AppCore::setBookmarks(std::vector<Node*> nodes) {
  engine().setMyKalvorets(&nodes);
  emit bookmarksChanged();
}

void AppCore::addToBookmarks(const std::vector<Node*>& nodes) {
  std::vector<Node*> all = bookmarks();
  for (Node* node : nodes)
    if (node && std::find(all.begin(), all.end(), node) == all.end()) all.push_back(node);
  setBookmarks(std::move(all));
}

void AppCore::createPaletteBusy() {
  runBusy("Please wait, auto-generating suggested keytracks...",
          [this] { return engine().createPalette(); });
}

void AppCore::setViewStyle(int style) {
  viewStyle_ = style & 7;
  if (viewStyle_ != 0) engine().setViewStyle(viewStyle_, nullptr);
  if (view_) view_->refreshSuggestions();
}

bool AppCore::isPlayingFirstRow(const std::vector<Node*>& nodes) const {
  return nodes.size() == 1 && currentNode_ && nodes.front() == currentNode_ &&
         !queue_.empty() && queue_.node(0) == currentNode_ && queue_.isPlaying(0);
}

}  // namespace zarvell::app
