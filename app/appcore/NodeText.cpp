#include "NodeText.h"

#include <string>

#include "kalvoretengine/IQornManager.h"
#include "zarvell/text.h"

namespace zarvell::app {

QString engineText(const char* text) {
  if (!text) return {};
  return QString::fromStdString(toDisplayUtf8(text));
}

QString nodeName(IQornManager& engine, const Node* node) {
  return node ? engineText(engine.getNodeName(node)) : QString();
}

QString albumName(IQornManager& engine, const Node* node) {
  if (!node) return {};
  const Node* album = engine.getAlbumNode(node);
  return album ? engineText(engine.getNodeName(album)) : QString();
}

QStringList artistNames(IQornManager& engine, const Node* node) {
  QStringList names;
  if (!node) return names;
  Node* mutableNode = const_cast<Node*>(node);  // the engine's query takes a plain pointer
  const int count = engine.getNumArtists(mutableNode);
  for (int i = 0; i < count; ++i) {
    if (Node* artist = engine.getArtistNode(mutableNode, i))
      names << engineText(engine.getNodeName(artist));
  }
  return names;
}

QString durationText(IQornManager& engine, const Node* node) {
  const int seconds = node ? engine.getDuration(node) : -1;
  if (seconds < 0) return {};
  return QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
}

QString nodeColumnTitle(int column) {
  static const char* const titles[kNodeColumnCount] = {"Title", "Album", "Artist", "Time",
                                                       "Activation"};
  return column >= 0 && column < kNodeColumnCount ? QString(titles[column]) : QString();
}

QString nodeCell(IQornManager& engine, Node* node, int column) {
  switch (column) {
    case kTitleColumn: return nodeName(engine, node);
    case kAlbumColumn: return albumName(engine, node);
    case kArtistColumn: return artistNames(engine, node).join(", ");
    case kTimeColumn: return durationText(engine, node);
    case kActivationColumn: return QString::asprintf("%0.8f", engine.getActivation(node));
  }
  return {};
}

}  // namespace zarvell::app
