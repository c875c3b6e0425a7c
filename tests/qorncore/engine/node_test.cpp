// The node model: kinds, people, track slots, the id holder and the md5/location indexes
// with their reference counts.
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/engine/Node.h"
#include "qorncore/engine/NodeHolder.h"
#include "qorncore/manager/qornNodeHolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

namespace {

using namespace qorn;

SongNode* song(int id, const char* md5 = "", const char* location = "") {
  auto* node = new SongNode(id);
  node->md5 = md5;
  node->location = location;
  return node;
}

// Holds one extra reference on a node so that a test can look at it after the holder
// gave its references back; releases it at the end.
struct Watch {
  explicit Watch(Node* n) : node(n) { node->addRef(); }
  ~Watch() { node->release(); }
  Node* node;
};

TEST(Node, FreshNodesAndKinds) {
  std::unique_ptr<Node> artist(new ArtistNode(3));
  EXPECT_EQ(artist->getType(), kArtist);
  EXPECT_NE(artist->asArtist(), nullptr);
  EXPECT_EQ(artist->asSong(), nullptr);
  EXPECT_FALSE(artist->apb);
  SongNode made(5);  // a song made new by an import may be chosen automatically
  EXPECT_TRUE(made.apb);
  EXPECT_EQ(made.getType(), kSong);
  EXPECT_EQ(made.lastplayed.seconds(), -1);
  EXPECT_EQ(made.getDuration(), -1);
  EXPECT_EQ(made.tempo, -1);
  EXPECT_EQ(made.references(), 1);
}

TEST(Node, PeopleRolesAndTrackSlots) {
  People people;
  people.addPerson(1, "artist");
  people.addPerson(2, "composer");
  people.addPerson(3, "conductor");
  EXPECT_EQ(people.artists, std::vector<int32_t>{1});
  EXPECT_EQ(people.composers, std::vector<int32_t>{2});
  EXPECT_EQ(people.otherRoles.count("conductor"), 1u);

  SongListNode album(9);
  album.setTrack(0, 11);  // position 0 appends
  album.setTrack(4, 14);  // grows with empty slots up to position 4
  album.setTrack(2, 12);
  EXPECT_EQ(album.tracks, (std::vector<int32_t>{11, 12, 0, 14}));
}

TEST(NodeHolder, IdsOrderAndIllegalIds) {
  NodeHolder holder;
  std::unique_ptr<SongNode> a(song(3)), b(song(1)), bad(song(0));
  std::ostringstream console;
  {
    qorn::ScopedEngineConsole captured(console);
    EXPECT_EQ(holder.addNode(bad.get()), 0);
  }
  EXPECT_EQ(console.str(), "error: call to NodeHolder::addNode with illegal nodeId!0\n");
  EXPECT_EQ(holder.addNode(a.get()), 1);
  EXPECT_EQ(holder.addNode(b.get()), 1);
  EXPECT_EQ(holder.first(), b.get());
  EXPECT_EQ(holder.next(), a.get());
  EXPECT_EQ(holder.next(), nullptr);
  EXPECT_EQ(holder.largestId(), 3);

  // A taken id keeps the earlier node in the id map; the newcomer still joins the set.
  std::unique_ptr<SongNode> twin(song(3));
  EXPECT_EQ(holder.addNode(twin.get()), 1);
  EXPECT_EQ(holder.find(3), a.get());
  const std::vector<Node*> all = holder.allNodes();
  EXPECT_EQ(std::count(all.begin(), all.end(), twin.get()), 1);

  a->activation = 0.7f;
  EXPECT_EQ(holder.removeNode(3), 1);
  EXPECT_EQ(a->activation.value(), 0.0f);  // the object lives on, its activation is 0
  EXPECT_EQ(holder.removeNode(3), 0);
  EXPECT_EQ(holder.find(3), nullptr);
}

TEST(qornNodeHolder, IndexEntriesHoldReferences) {
  auto holder = std::make_unique<qornNodeHolder>();
  SongNode* s = song(1, "aaaa", "/music/a.mp3");
  Watch watch(s);
  ASSERT_EQ(holder->addNode(s), 1);
  EXPECT_EQ(s->references(), 4);  // engine + md5 + location + watch
  EXPECT_EQ(holder->findByMd5("aaaa"), s);
  EXPECT_EQ(holder->findByLocation("/music/a.mp3"), s);
  EXPECT_EQ(holder->removeNode(1), 1);
  EXPECT_EQ(s->references(), 2);  // the index references are given back
  EXPECT_EQ(holder->findByMd5("aaaa"), nullptr);
  EXPECT_EQ(holder->findByLocation("/music/a.mp3"), nullptr);
  s->release();  // the engine's reference: the watch keeps the node alive
  EXPECT_EQ(s->references(), 1);
}

TEST(qornNodeHolder, Md5CollisionKeepsTheFirstNode) {
  auto holder = std::make_unique<qornNodeHolder>();
  SongNode* first = song(1, "same", "/a.mp3");
  SongNode* second = song(2, "same", "/b.mp3");
  ASSERT_EQ(holder->addNode(first), 1);
  ASSERT_EQ(holder->addNode(second), 1);
  EXPECT_EQ(holder->findByMd5("same"), first);
  EXPECT_EQ(holder->find(2), second);  // both stay in the id map
  EXPECT_EQ(holder->findByLocation("/b.mp3"), second);
  EXPECT_EQ(second->references(), 2);  // engine + location only

  // Removing the duplicate must not take the first node's entry (or reference) with it.
  EXPECT_EQ(holder->removeNode(2), 1);
  second->release();
  EXPECT_EQ(holder->findByMd5("same"), first);
  EXPECT_EQ(first->references(), 3);
  holder.reset();
  EXPECT_EQ(first->references(), 1);
  first->release();
}

TEST(qornNodeHolder, LocationCollisionLeavesTheNewNodeUnindexed) {
  auto holder = std::make_unique<qornNodeHolder>();
  SongNode* first = song(1, "m1", "/same.mp3");
  SongNode* second = song(2, "m2", "/same.mp3");
  holder->addNode(first);
  holder->addNode(second);
  EXPECT_EQ(holder->findByLocation("/same.mp3"), first);
  EXPECT_EQ(holder->findByMd5("m2"), nullptr);  // unindexed again after the collision
  EXPECT_EQ(second->references(), 1);
  EXPECT_EQ(holder->find(2), second);
  holder.reset();
  first->release();
  second->release();
}

TEST(NodeQueries, ArtistNamesAndAlbumArtist) {
  NodeHolder holder;
  ArtistNode nina(1), coast(2);
  nina.name = "Nina";
  coast.name = "Coast";
  SongNode duet(10), solo1(11), solo2(12);
  duet.people.artists = {1, 2};
  solo1.people.artists = {1};
  solo2.people.artists = {1};
  SongListNode same(20), mixed(21), own(22);
  same.tracks = {11, 0, 12, 99};  // an empty slot and a missing node are skipped
  mixed.tracks = {11, 10};
  own.people.artists = {2};
  own.tracks = {11};
  for (Node* n : std::initializer_list<Node*>{&nina, &coast, &duet, &solo1, &solo2, &same,
                                               &mixed, &own})
    holder.addNode(n);

  EXPECT_EQ(artistNames(holder, duet.people.artists, 1), "(Various Artists)");
  EXPECT_EQ(artistNames(holder, duet.people.artists, 2), "Nina, Coast");
  EXPECT_EQ(artistNames(holder, {}, 1), "");
  EXPECT_EQ(albumArtistName(holder, &same), "Nina");
  EXPECT_EQ(albumArtistName(holder, &mixed), "(Various Artists)");
  EXPECT_EQ(albumArtistName(holder, &own), "Coast");
  EXPECT_EQ(albumArtistName(holder, &duet), "");  // not a list
  EXPECT_EQ(getSubNode(holder, &same, 1), nullptr);
  EXPECT_EQ(getSubNode(holder, &same, 3), nullptr);
  EXPECT_EQ(getSubNode(holder, &same, 2), &solo2);
  EXPECT_EQ(getSubNode(holder, &same, 4), nullptr);  // past the end: no crash
  EXPECT_EQ(getFirstArtist(holder, &duet), &nina);
  EXPECT_EQ(getNumArtists(&same), 0);
  EXPECT_EQ(getNumSubNodes(&same), 4);
}

}  // namespace
