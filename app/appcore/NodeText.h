// Texts of engine nodes for display: copied out of the engine's result buffer at once and
// decoded as UTF-8 (Windows-1252 for bytes that are not UTF-8). Interface thread only (the
// engine is used by one thread at a time). A null node gives empty texts.
#pragma once

#include <QString>
#include <QStringList>

class IQornManager;
class Node;

namespace zarvell::app {

QString engineText(const char* text);
QString nodeName(IQornManager& engine, const Node* node);
// The album of a song; empty for albums, artists and songs without an album.
QString albumName(IQornManager& engine, const Node* node);
QStringList artistNames(IQornManager& engine, const Node* node);
// "mm:ss" of the node's duration; empty when unknown (negative).
QString durationText(IQornManager& engine, const Node* node);

// The columns of every node list ("Title", "Album", "Artist", "Time", "Activation") and the
// text of one cell.
enum NodeColumn { kTitleColumn, kAlbumColumn, kArtistColumn, kTimeColumn, kActivationColumn,
                  kNodeColumnCount };
QString nodeColumnTitle(int column);
QString nodeCell(IQornManager& engine, Node* node, int column);

}  // namespace zarvell::app
