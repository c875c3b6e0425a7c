// Console commands for play events, selection, learning, taboo, lists and the palette: one
// command per exported method (named as the method), plus scripting helpers that work on
// the engine directly: link, excite, penalty, links, srand, clock, step.
#include <sstream>

#include "Console.h"
#include "qorncore/manager/qornManager.h"

namespace kalvoret {
namespace {

std::string num(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

std::string flag(bool value) { return value ? "1" : "0"; }

// Optional argument i, or the fallback.
const std::string& arg(const Args& a, std::size_t i, const std::string& fallback) {
  return i < a.size() ? a[i] : fallback;
}

std::vector<int> integers(const std::string& word) {
  std::vector<int> out;
  if (word == "[]") return out;
  std::stringstream in(word);
  std::string part;
  while (std::getline(in, part, ',')) out.push_back(Session::integer(part));
  return out;
}

void addPlayCommands(CommandTable& t) {
  t["onPlay"] = {"onPlay NODE [FLAG]", 1, 2, [](Session& s, const Args& a) {
                   return std::to_string(s.manager().onPlay(s.node(a[0]), Session::boolean(arg(a, 1, "0"))));
                 }};
  t["onStop"] = {"onStop NODE [POSITION] [ADD_TO_HISTORY]", 1, 3, [](Session& s, const Args& a) {
                   return std::to_string(s.manager().onStop(s.node(a[0]), Session::number(arg(a, 1, "0")),
                                                            Session::boolean(arg(a, 2, "1"))));
                 }};
  t["onAbortedSong"] = {"onAbortedSong NODE [POSITION] [ADD_TO_HISTORY]", 1, 3,
                        [](Session& s, const Args& a) {
                          return std::to_string(s.manager().onAbortedSong(
                              s.node(a[0]), Session::number(arg(a, 1, "0")),
                              Session::boolean(arg(a, 2, "1"))));
                        }};
  t["onSongEndReached"] = {"onSongEndReached NODE [AUTO_SELECTED]", 1, 2,
                           [](Session& s, const Args& a) {
                             return std::to_string(s.manager().onSongEndReached(
                                 s.node(a[0]), Session::boolean(arg(a, 1, "0"))));
                           }};
  t["onPrev"] = {"onPrev", 0, 0,
                 [](Session& s, const Args&) { return std::to_string(s.manager().onPrev()); }};
  t["learnTransition"] = {"learnTransition NODE NODE|- GOOD", 3, 3, [](Session& s, const Args& a) {
                            return std::to_string(s.manager().learnTransition(
                                s.node(a[0]), s.node(a[1]), Session::boolean(a[2])));
                          }};
  t["freezeLinks"] = {"freezeLinks BOOL", 1, 1, [](Session& s, const Args& a) {
                        s.manager().freezeLinks(Session::boolean(a[0]));
                        return std::string("ok");
                      }};
}

void addSelectionCommands(CommandTable& t) {
  t["pickNextNode"] = {"pickNextNode RANDOMNESS", 1, 1, [](Session& s, const Args& a) {
                         const float randomness = Session::number(a[0]);
                         return Session::show(s.manager().pickNextNode(randomness));
                       }};
  t["pickPrevNode"] = {"pickPrevNode", 0, 0, [](Session& s, const Args&) {
                         bool committed = false;
                         Node* node = s.manager().pickPrevNode(&committed);
                         return Session::show(node) + (node ? " committed=" + flag(committed) : "");
                       }};
  t["boost"] = {"boost NODES|- AMOUNT [RESET]", 2, 3, [](Session& s, const Args& a) {
                  const float amount = Session::number(a[1]);
                  const bool reset = Session::boolean(arg(a, 2, "0"));
                  if (a[0] == "-") return std::to_string(s.manager().boost(nullptr, amount, reset));
                  std::vector<Node*> nodes = s.nodes(a[0]);
                  return std::to_string(s.manager().boost(&nodes, amount, reset));
                }};
  t["activateKeywords"] = {"activateKeywords TEXT", 1, 1, [](Session& s, const Args& a) {
                             int count = 0;
                             Node** nodes = nullptr;
                             const int r = s.manager().activateKeywords(a[0].c_str(), &count, &nodes);
                             return std::to_string(r) + " " + Session::show(nodes, count);
                           }};
  t["getNeighbours"] = {"getNeighbours NODE", 1, 1, [](Session& s, const Args& a) {
                          int count = 0;
                          Node** nodes = nullptr;
                          s.manager().getNeighbours(s.node(a[0]), &nodes, &count);
                          return Session::show(nodes, count);
                        }};
  t["getLinkStrength"] = {"getLinkStrength NODE NODE", 2, 2, [](Session& s, const Args& a) {
                            return num(s.manager().getLinkStrength(s.node(a[0]), s.node(a[1])));
                          }};
  t["getFlatList"] = {"getFlatList NODES", 1, 1, [](Session& s, const Args& a) {
                        std::vector<Node*> nodes = s.nodes(a[0]);
                        int count = 0;
                        Node** flat = nullptr;
                        s.manager().getFlatList(&nodes, &flat, &count);
                        return Session::show(flat, count);
                      }};
  t["setPropagateToMeta"] = {"setPropagateToMeta BOOL", 1, 1, [](Session& s, const Args& a) {
                               s.manager().setPropagateToMeta(Session::boolean(a[0]));
                               return std::string("ok");
                             }};
  t["getPropagateToMeta"] = {"getPropagateToMeta", 0, 0, [](Session& s, const Args&) {
                               return flag(s.manager().getPropagateToMeta());
                             }};
  t["getActivation"] = {"getActivation NODE", 1, 1, [](Session& s, const Args& a) {
                          return num(s.manager().getActivation(s.node(a[0])));
                        }};
  t["setViewStyle"] = {"setViewStyle STYLE", 1, 1, [](Session& s, const Args& a) {
                         bool changed = false;
                         const int r = s.manager().setViewStyle(Session::integer(a[0]), &changed);
                         return std::to_string(r) + " changed=" + flag(changed);
                       }};
}

void addTabooCommands(CommandTable& t) {
  t["getTaboo"] = {"getTaboo NODE", 1, 1, [](Session& s, const Args& a) {
                     return std::to_string(s.manager().getTaboo(s.node(a[0])));
                   }};
  t["setTaboo"] = {"setTaboo NODE BOOL", 2, 2, [](Session& s, const Args& a) {
                     s.manager().setTaboo(s.node(a[0]), Session::boolean(a[1]));
                     return std::string("ok");
                   }};
  t["setTabooDuration"] = {"setTabooDuration SONG_SECONDS LIST_SECONDS", 2, 2,
                           [](Session& s, const Args& a) {
                             return std::to_string(s.manager().setTabooDuration(
                                 Session::integer(a[0]), Session::integer(a[1])));
                           }};
  t["setLocalTabooList"] = {"setLocalTabooList KEEP", 1, 1, [](Session& s, const Args& a) {
                              s.manager().setLocalTabooList(Session::boolean(a[0]));
                              return std::string("ok");
                            }};
  t["resetLocalTabooList"] = {"resetLocalTabooList", 0, 0, [](Session& s, const Args&) {
                                s.manager().resetLocalTabooList();
                                return std::string("ok");
                              }};
}

void addListCommands(CommandTable& t) {
  t["getListLength"] = {"getListLength LIST", 1, 1, [](Session& s, const Args& a) {
                          return std::to_string(s.manager().getListLength(Session::integer(a[0])));
                        }};
  t["getNodeFromList"] = {"getNodeFromList LIST INDEX", 2, 2, [](Session& s, const Args& a) {
                            return Session::show(s.manager().getNodeFromList(
                                Session::integer(a[0]), Session::integer(a[1])));
                          }};
  // The whole list through the two exported calls.
  t["list"] = {"list LIST", 1, 1, [](Session& s, const Args& a) {
                 const int list = Session::integer(a[0]);
                 std::vector<Node*> nodes;
                 const int n = s.manager().getListLength(list);
                 for (int i = 0; i < n; ++i) nodes.push_back(s.manager().getNodeFromList(list, i));
                 return Session::show(nodes);
               }};
  t["syncPlayQueue"] = {"syncPlayQueue NODES", 1, 1, [](Session& s, const Args& a) {
                          s.manager().syncPlayQueue(s.nodes(a[0]));
                          return Session::show(s.manager().getPlayQueue());
                        }};
  t["getPlayQueue"] = {"getPlayQueue", 0, 0, [](Session& s, const Args&) {
                         return Session::show(s.manager().getPlayQueue());
                       }};
  t["removeEntriesFromHistory"] = {"removeEntriesFromHistory POSITIONS|-", 1, 1,
                                   [](Session& s, const Args& a) {
                                     if (a[0] == "-")
                                       return std::to_string(
                                           s.manager().removeEntriesFromHistory(nullptr, 0));
                                     std::vector<int> p = integers(a[0]);
                                     return std::to_string(s.manager().removeEntriesFromHistory(
                                         p.data(), static_cast<int>(p.size())));
                                   }};
  t["createPlayList"] = {"createPlayList NAME NODES", 2, 2, [](Session& s, const Args& a) {
                           return Session::show(s.manager().createPlayList(a[0], s.nodes(a[1])));
                         }};
  t["createPalette"] = {"createPalette", 0, 0, [](Session& s, const Args&) {
                          return std::to_string(s.manager().createPalette());
                        }};
  t["getMyKalvorets"] = {"getMyKalvorets", 0, 0, [](Session& s, const Args&) {
                           int count = 0;
                           Node** nodes = nullptr;
                           s.manager().getMyKalvorets(&nodes, &count);
                           return Session::show(nodes, count);
                         }};
  t["setMyKalvorets"] = {"setMyKalvorets NODES|-", 1, 1, [](Session& s, const Args& a) {
                           if (a[0] == "-") return std::to_string(s.manager().setMyKalvorets(nullptr));
                           std::vector<Node*> nodes = s.nodes(a[0]);
                           return std::to_string(s.manager().setMyKalvorets(&nodes));
                         }};
  t["removeNodeFromNet"] = {"removeNodeFromNet NODE", 1, 1, [](Session& s, const Args& a) {
                              return std::to_string(s.manager().removeNodeFromNet(s.node(a[0])));
                            }};
}

// Scripting helpers that reach the engine directly.
void addScriptCommands(CommandTable& t) {
  t["link"] = {"link NODE NODE STRENGTH [pc=N]", 3, 4, [](Session& s, const Args& a) {
                 qorn::qornManager& e = s.engine();
                 const int32_t x = s.node(a[0])->id;
                 const int32_t y = s.node(a[1])->id;
                 qorn::Asc* link = e.links().create(x, y, qorn::qornfloat(Session::number(a[2])));
                 if (!link) throw CommandError("the engine refused the link");
                 qorn::AscHolder::setStrength(*link, qorn::qornfloat(Session::number(a[2])));
                 if (a.size() == 4) {
                   if (a[3].rfind("pc=", 0) != 0) throw CommandError("expected pc=N");
                   const int pc = Session::integer(a[3].substr(3));
                   if (pc > 0) e.links().setPenalty(link, pc);
                 }
                 return num(link->strength.value());
               }};
  t["penalty"] = {"penalty NODE NODE", 2, 2, [](Session& s, const Args& a) {
                    qorn::Asc* link = s.engine().links().find(s.node(a[0])->id, s.node(a[1])->id);
                    if (!link) return std::string("no link");
                    return std::to_string(s.engine().links().penalty(link));
                  }};
  t["links"] = {"links", 0, 0, [](Session& s, const Args&) {
                  std::string out;
                  s.engine().links().forEachLinkInPairOrder([&](qorn::Asc& l, int32_t x, int32_t y) {
                    if (!out.empty()) out += ' ';
                    out += std::to_string(x) + "-" + std::to_string(y) + ":" + num(l.strength.value());
                  });
                  return "[" + out + "]";
                }};
  t["excite"] = {"excite NODE AMOUNT", 2, 2, [](Session& s, const Args& a) {
                   std::vector<qorn::ExcitationItem> items{
                       {qorn::qornfloat(Session::number(a[1])), 0, s.node(a[0])}};
                   return std::to_string(s.engine().excite(items));
                 }};
  t["srand"] = {"srand SEED", 1, 1, [](Session& s, const Args& a) {
                  s.engine().random().seed(static_cast<unsigned>(Session::integer(a[0])));
                  return std::string("ok");
                }};
  t["clock"] = {"clock SECONDS|+SECONDS|system", 1, 1, [](Session& s, const Args& a) {
                  qorn::EngineClock& clock = s.engine().clock();
                  if (a[0] == "system")
                    clock.useSystemTime();
                  else if (a[0].front() == '+')
                    clock.advance(Session::integer(a[0].substr(1)));
                  else
                    clock.set(Session::integer(a[0]));
                  return std::to_string(clock.now());
                }};
  t["step"] = {"step", 0, 0,
               [](Session& s, const Args&) { return std::to_string(s.engine().step()); }};
}

}  // namespace

void registerEngineCommands(CommandTable& table) {
  addPlayCommands(table);
  addSelectionCommands(table);
  addTabooCommands(table);
  addListCommands(table);
  addScriptCommands(table);
}

}  // namespace kalvoret
