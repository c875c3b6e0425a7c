// Console commands for the node queries, the log output and the methods this engine does
// not serve; each calls one exported IQornManager method.
#include <sstream>

#include "Console.h"

namespace kalvoret {
namespace {

std::string text(const char* value) { return value ? Session::quote(value) : "null"; }

// Registers a command taking one node and printing an integer.
void nodeInt(CommandTable& t, const char* name, int (IQornManager::*method)(const Node*)) {
  t[name] = {std::string(name) + " NODE", 1, 1, [method](Session& s, const Args& a) {
               return std::to_string((s.manager().*method)(s.node(a[0])));
             }};
}

void nodeText(CommandTable& t, const char* name,
              const char* (IQornManager::*method)(const Node*)) {
  t[name] = {std::string(name) + " NODE", 1, 1, [method](Session& s, const Args& a) {
               return text((s.manager().*method)(s.node(a[0])));
             }};
}

void nodeNode(CommandTable& t, const char* name, Node* (IQornManager::*method)(const Node*)) {
  t[name] = {std::string(name) + " NODE", 1, 1, [method](Session& s, const Args& a) {
               return Session::show((s.manager().*method)(s.node(a[0])));
             }};
}

void registerQueries(CommandTable& t) {
  nodeInt(t, "getNodeType", &IQornManager::getNodeType);
  nodeInt(t, "getNumSubNodes", &IQornManager::getNumSubNodes);
  nodeInt(t, "getNumArtists", &IQornManager::getNumArtists);
  nodeInt(t, "getDuration", &IQornManager::getDuration);
  nodeText(t, "getNodeName", &IQornManager::getNodeName);
  nodeText(t, "getMd5", &IQornManager::getMd5);
  nodeText(t, "getMediaPath", &IQornManager::getMediaPath);
  nodeText(t, "getKeywords", &IQornManager::getKeywords);
  nodeNode(t, "getAlbumNode", &IQornManager::getAlbumNode);
  t["getFirstNode"] = {"getFirstNode", 0, 0, [](Session& s, const Args&) {
                         return Session::show(s.manager().getFirstNode());
                       }};
  t["getNodeByPath"] = {"getNodeByPath TEXT", 1, 1, [](Session& s, const Args& a) {
                          return Session::show(s.manager().getNodeByPath(a[0].c_str()));
                        }};
  t["getSubNode"] = {"getSubNode NODE INDEX", 2, 2, [](Session& s, const Args& a) {
                       return Session::show(
                           s.manager().getSubNode(s.node(a[0]), Session::integer(a[1])));
                     }};
  t["getArtistNode"] = {"getArtistNode NODE [INDEX]", 1, 2, [](Session& s, const Args& a) {
                          const int index = a.size() > 1 ? Session::integer(a[1]) : 0;
                          return Session::show(s.manager().getArtistNode(s.node(a[0]), index));
                        }};
  t["getArtistName"] = {"getArtistName NODE", 1, 1, [](Session& s, const Args& a) {
                          return text(s.manager().getArtistName(s.node(a[0])));
                        }};
  t["setDuration"] = {"setDuration NODE SECONDS", 2, 2, [](Session& s, const Args& a) {
                        s.manager().setDuration(s.node(a[0]), Session::integer(a[1]));
                        return std::string("ok");
                      }};
  t["isBlocked"] = {"isBlocked NODE", 1, 1, [](Session& s, const Args& a) {
                      return std::to_string(s.manager().isBlocked(s.node(a[0])));
                    }};
  t["setBlocked"] = {"setBlocked NODE 0|1", 2, 2, [](Session& s, const Args& a) {
                       s.manager().setBlocked(s.node(a[0]), Session::boolean(a[1]));
                       return std::string("ok");
                     }};
  t["addNodeRef"] = {"addNodeRef NODE", 1, 1, [](Session& s, const Args& a) {
                       return std::to_string(s.manager().addNodeRef(s.node(a[0])));
                     }};
  t["releaseNode"] = {"releaseNode NODE", 1, 1, [](Session& s, const Args& a) {
                        return std::to_string(s.manager().releaseNode(s.node(a[0])));
                      }};
  t["getNodeFeaturesetUrl"] = {"getNodeFeaturesetUrl NODE LIMIT MODE", 3, 3,
                               [](Session& s, const Args& a) {
                                 return text(s.manager().getNodeFeaturesetUrl(
                                     s.node(a[0]), Session::integer(a[1]),
                                     Session::integer(a[2])));
                               }};
}

void registerLogOutput(CommandTable& t) {
  t["onAddToLogOutput"] = {"onAddToLogOutput TEXT", 1, 1, [](Session& s, const Args& a) {
                             return std::to_string(s.manager().onAddToLogOutput(a[0].c_str()));
                           }};
  t["getLogOutput"] = {"getLogOutput", 0, 0, [](Session& s, const Args&) {
                         return text(s.manager().getLogOutput());
                       }};
  t["clearLogOutput"] = {"clearLogOutput", 0, 0, [](Session& s, const Args&) {
                           s.manager().clearLogOutput();
                           return std::string("ok");
                         }};
}

std::string status(int code) {
  std::ostringstream out;
  out << "0x" << std::hex << static_cast<unsigned>(code);
  return out.str();
}

void registerUnserved(CommandTable& t) {
  t["loginUser"] = {"loginUser USER PASSWORD", 2, 2, [](Session& s, const Args& a) {
                      return status(s.manager().loginUser(a[0].c_str(), a[1].c_str()));
                    }};
  t["checkUserExists"] = {"checkUserExists USER", 1, 1, [](Session& s, const Args& a) {
                            bool exists = false;
                            return status(s.manager().checkUserExists(a[0].c_str(), &exists));
                          }};
  t["createUser"] = {"createUser USER PASSWORD EMAIL", 3, 3, [](Session& s, const Args& a) {
                       return status(
                           s.manager().createUser(a[0].c_str(), a[1].c_str(), a[2].c_str()));
                     }};
  t["getSimilarUsers"] = {"getSimilarUsers USER", 1, 1, [](Session& s, const Args& a) {
                            char** names = reinterpret_cast<char**>(1);
                            int count = -1;
                            const int code = s.manager().getSimilarUsers(a[0].c_str(), &names, &count);
                            return status(code) + " " + (names ? "?" : "null") + " " +
                                   std::to_string(count);
                          }};
  t["remoteCrossActivation"] = {"remoteCrossActivation USER NODES", 2, 2,
                                [](Session& s, const Args& a) {
                                  std::vector<Node*> in = s.nodes(a[1]);
                                  Node** out = nullptr;
                                  int count = -1;
                                  const int code = s.manager().remoteCrossActivation(
                                      a[0].c_str(), in.data(), static_cast<int>(in.size()), &out,
                                      &count);
                                  return status(code) + " " + Session::show(out, count) + " " +
                                         std::to_string(count);
                                }};
  t["changePort"] = {"changePort PORT", 1, 1, [](Session& s, const Args& a) {
                       return status(s.manager().changePort(Session::integer(a[0])));
                     }};
  t["uploadFeatures"] = {"uploadFeatures NODE", 1, 1, [](Session& s, const Args& a) {
                           return status(s.manager().uploadFeatures(s.node(a[0])));
                         }};
  t["compareNetworkToLibrary"] = {"compareNetworkToLibrary", 0, 0, [](Session& s, const Args&) {
                                    std::vector<FESyncItem> none;
                                    int added = 0, removed = 0;
                                    return std::to_string(
                                        s.manager().compareNetworkToLibrary(&none, &added, &removed));
                                  }};
  t["syncNetworkToLibrary"] = {"syncNetworkToLibrary", 0, 0, [](Session& s, const Args&) {
                                 std::vector<FESyncItem> none;
                                 return std::to_string(s.manager().syncNetworkToLibrary(&none, 0.0f));
                               }};
  t["abortSyncNetworkToLibrary"] = {"abortSyncNetworkToLibrary", 0, 0, [](Session& s, const Args&) {
                                      s.manager().abortSyncNetworkToLibrary();
                                      return std::string("ok");
                                    }};
}

}  // namespace

void registerNodeCommands(CommandTable& table) {
  registerQueries(table);
  registerLogOutput(table);
  registerUnserved(table);
}

}  // namespace kalvoret
