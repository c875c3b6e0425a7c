// The fixture of the view tests: a scratch home, a network of three real songs (one album,
// one artist), the player core with its main window, and short ways to the views.
#pragma once

#include <memory>

#include "app/appcore/AppCore.h"
#include "app/appcore/NodeText.h"
#include "app/mainwindow/MainWindow.h"
#include "app/views/BarrelView.h"
#include "app/views/EngineListModel.h"
#include "app/views/TabBarrelView.h"
#include "app_test_support.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

class ViewsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::application();
    apptest::writeSongNetwork(home_.file("songs.xml"), {{"One", kLong, 20, 0.3},
                                                         {"Two", kWav, 125, 0.2},
                                                         {"Three", kMp3, 2, 0.1}});
    addSongLink(home_.file("songs.xml"), 100, 101, 0.4);  // One -> Two
    addKeyword(home_.file("songs.xml"), "Three", "zydeco");
    core_ = std::make_unique<AppCore>("", MainWindow::factory());
    core_->initialise();
    ASSERT_TRUE(core_->player().loaded()) << core_->player().error();
    ASSERT_EQ(core_->loadNetwork("songs.xml"), 1);
    one_ = song(kLong);
    two_ = song(kWav);
    three_ = song(kMp3);
    ASSERT_TRUE(one_ && two_ && three_);
  }
  void TearDown() override { core_.reset(); }

  // Adds a link between two songs of a network file (by song id).
  static void addSongLink(const std::string& path, int from, int to, double strength) {
    std::string text = apptest::readAll(path);
    const std::string link = "\t<link to=\"" + std::to_string(to) + "\" from=\"" +
                             std::to_string(from) + "\" strength=\"" + std::to_string(strength) +
                             "\" lastvisited=\"0\" pc=\"0\"/>\n";
    text.insert(text.find("</links>"), link);
    std::ofstream(path) << text;
  }

  // Gives the song of that name a keyword in a network file.
  static void addKeyword(const std::string& path, const std::string& name,
                         const std::string& keyword) {
    std::string text = apptest::readAll(path);
    const size_t song = text.find("name=\"" + name + "\"");
    const std::string empty = "<keywords>\t</keywords>";
    text.replace(text.find(empty, song), empty.size(), "<keywords>" + keyword + "</keywords>");
    std::ofstream(path) << text;
  }

  IQornManager& engine() { return core_->engine(); }
  Node* song(const std::string& path) { return engine().getNodeByPath(path.c_str()); }
  TabBarrelView& page() { return *static_cast<MainWindow*>(core_->mainWindow())->tabPage(); }
  BarrelView& suggestions() { return *page().suggestions(); }
  BarrelView& queue() { return *page().queue(); }
  BarrelView& history() { return *page().history(); }
  // The titles of a view's rows, in order.
  static QStringList titles(const BarrelView& view) {
    QStringList out;
    for (int row = 0; row < view.rowCount(); ++row)
      out << view.model()->index(row, kTitleColumn).data().toString();
    return out;
  }
  // Plays the songs one after the other (each stopped by the next), so the history holds
  // all but the last.
  void playInTurn(const std::vector<Node*>& songs) {
    for (Node* s : songs) {
      core_->playSelection({s});
      ASSERT_EQ(core_->currentNode(), s);
    }
  }

  static inline const std::string kLong = apptest::audioFixture("tone1k_20s.wav");
  static inline const std::string kWav = apptest::audioFixture("tone1k_2s.wav");
  static inline const std::string kMp3 = apptest::audioFixture("tone1k_2s.mp3");

  apptest::ScratchHome home_;
  std::unique_ptr<AppCore> core_;
  Node* one_ = nullptr;
  Node* two_ = nullptr;
  Node* three_ = nullptr;
};

}  // namespace zarvell::app
