// Console commands of link inference: how alike two songs are, and the full link building
// over every song of the network, so that links can be tried on a loaded network.
#include <sstream>

#include "Console.h"
#include "qorncore/manager/LinkInference.h"
#include "qorncore/manager/qornManager.h"

namespace kalvoret {
namespace {

Node* songArgument(Session& session, const std::string& word) {
  Node* node = session.node(word);
  if (node == nullptr || node->getType() != qorn::kSong) throw CommandError("not a song: " + word);
  return node;
}

std::string similarity(Session& session, const Args& a) {
  Node* x = songArgument(session, a[0]);
  Node* y = songArgument(session, a[1]);
  std::ostringstream out;
  out << session.engine().similarity(x, y);
  return out.str();
}

std::string inferLinks(Session& session, const Args& a) {
  const float linkParam = a.empty() ? 0.5f : Session::number(a[0]);
  qorn::qornManager& engine = session.engine();
  std::vector<Node*> songs;
  for (Node* n : engine.nodes().allNodes())
    if (n != nullptr && n->getType() == qorn::kSong) songs.push_back(n);
  const int result = engine.inferLinksFull(songs, linkParam);
  const qorn::FullInferenceStats& st = engine.linkInference().lastFullRun();
  std::ostringstream out;
  out << result << " links=" << st.linksMade << " visits=" << st.visits
      << " fullScans=" << st.fullScans;
  return out.str();
}

}  // namespace

void registerInferenceCommands(CommandTable& table) {
  table["similarity"] = {"similarity SONG SONG", 2, 2, similarity};
  table["inferLinks"] = {"inferLinks [LINKPARAM]", 0, 1, inferLinks};
}

}  // namespace kalvoret
