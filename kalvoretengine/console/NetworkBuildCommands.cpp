// Console commands that build a network directly in the engine (the exported interface
// only grows a network by import or load): song, album, artist, mediaroot.
#include <map>

#include "Console.h"
#include "qorncore/manager/qornManager.h"

namespace kalvoret {
namespace {

// KEY=VALUE options after the fixed arguments.
std::map<std::string, std::string> options(const Args& args, std::size_t first,
                                           const std::vector<std::string>& allowed) {
  std::map<std::string, std::string> out;
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::size_t eq = args[i].find('=');
    if (eq == std::string::npos) throw CommandError("expected KEY=VALUE: " + args[i]);
    const std::string key = args[i].substr(0, eq);
    bool known = false;
    for (const std::string& a : allowed) known = known || a == key;
    if (!known) throw CommandError("unknown option: " + key);
    out[key] = args[i].substr(eq + 1);
  }
  return out;
}

std::vector<int32_t> ids(const std::string& word) {
  std::vector<int32_t> out;
  std::size_t start = 0;
  while (start <= word.size() && !word.empty()) {
    const std::size_t comma = word.find(',', start);
    out.push_back(Session::integer(word.substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

// Adds the node to the engine; the node is destroyed when the engine refuses it.
std::string add(Session& session, Node* node) {
  if (session.engine().nodes().find(node->id)) {
    node->release();
    throw CommandError("a node with this id exists");
  }
  if (!session.engine().addNode(node)) {
    node->release();
    throw CommandError("the engine refused the node");
  }
  return Session::show(node);
}

void setCommon(Node& node, const std::map<std::string, std::string>& opts) {
  for (const auto& [key, value] : opts) {
    if (key == "duration") node.setDuration(Session::integer(value));
    if (key == "apb") node.apb = Session::boolean(value);
    if (key == "playcount") node.playcount = Session::integer(value);
    if (key == "activation") node.activation = Session::number(value);
    if (key == "keywords") node.pendingKeywords = value;
  }
}

std::string song(Session& session, const Args& a) {
  const auto opts = options(a, 2, {"md5", "location", "duration", "album", "artists", "composers",
                                   "apb", "playcount", "activation", "keywords", "tempo"});
  auto* node = new qorn::SongNode(Session::integer(a[0]));
  node->name = a[1];
  setCommon(*node, opts);
  for (const auto& [key, value] : opts) {
    if (key == "md5") node->md5 = value;
    if (key == "location") node->location = value;
    if (key == "album") node->albumId = Session::integer(value);
    if (key == "tempo") node->tempo = Session::integer(value);
    if (key == "artists")
      for (int32_t id : ids(value)) node->people.addPerson(id, "artist");
    if (key == "composers")
      for (int32_t id : ids(value)) node->people.addPerson(id, "composer");
  }
  return add(session, node);
}

std::string album(Session& session, const Args& a) {
  const auto opts = options(a, 2, {"tracks", "artists", "type", "duration", "apb", "activation",
                                   "keywords"});
  auto* node = new qorn::SongListNode(Session::integer(a[0]));
  node->name = a[1];
  setCommon(*node, opts);
  for (const auto& [key, value] : opts) {
    if (key == "tracks")
      for (int32_t id : ids(value)) node->setTrack(0, id);
    if (key == "artists")
      for (int32_t id : ids(value)) node->people.addPerson(id, "artist");
    if (key == "type") {
      if (value != "album" && value != "playlist") throw CommandError("type is album or playlist");
      node->listType = value == "playlist" ? qorn::kPlayList : qorn::kAlbumList;
    }
  }
  node->trackCount = static_cast<int32_t>(node->tracks.size());
  return add(session, node);
}

std::string artist(Session& session, const Args& a) {
  const auto opts = options(a, 2, {"apb", "activation", "keywords"});
  auto* node = new qorn::ArtistNode(Session::integer(a[0]));
  node->name = a[1];
  setCommon(*node, opts);
  return add(session, node);
}

}  // namespace

void registerNetworkBuildCommands(CommandTable& table) {
  table["song"] = {"song ID NAME [md5=..] [location=..] [duration=N] [album=ID] [artists=ID,..] "
                   "[composers=ID,..] [apb=0|1] [playcount=N] [activation=X] [keywords=..] "
                   "[tempo=N]",
                   2, 20, song};
  table["album"] = {"album ID NAME [tracks=ID,..] [artists=ID,..] [type=album|playlist] "
                    "[duration=N] [apb=0|1] [activation=X] [keywords=..]",
                    2, 20, album};
  table["artist"] = {"artist ID NAME [apb=0|1] [activation=X] [keywords=..]", 2, 5, artist};
  table["mediaroot"] = {"mediaroot TEXT", 1, 1, [](Session& s, const Args& a) {
                          s.engine().setMediaRoot(a[0]);
                          return Session::quote(a[0]);
                        }};
}

}  // namespace kalvoret
