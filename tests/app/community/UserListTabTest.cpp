// The "Similar Users" tab: the search on its worker thread with its running and elapsed-time
// texts, the rebuilt list of users, a cross-activation with and without nodes coming back,
// and the contacts. The server is the FakeCommunity double, held at its gate while the
// test looks at the tab mid-run. The result nodes are opaque to the tab (it only shows
// their names), so the test hands it tokens with names of its own.
#include <QListWidget>
#include <QTreeWidget>
#include <deque>
#include <map>

#include "FakeCommunity.h"
#include "app/community/UserListTab.h"
#include "app/dialogs/MessageBoxes.h"
#include "app_test_support.h"

namespace zarvell::app {
namespace {

Node* token(int i) {
  return reinterpret_cast<Node*>(static_cast<std::uintptr_t>(0x1000 + i));
}

class UserListTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::application();
    messages_.setAnswerer([](const MessageRequest&) { return QMessageBox::Ok; });
    UserListTab::Sources sources;
    sources.userName = [] { return std::string("me"); };
    sources.sampleNodes = [] {
      return std::vector<Node*>{token(1), token(2), token(3), token(4), token(5), token(6)};
    };
    sources.nodeName = [](Node* node) {
      return QString("node %1").arg(reinterpret_cast<std::uintptr_t>(node) - 0x1000);
    };
    sources.askContact = [this] { return contactAnswer_; };
    tab_ = std::make_unique<UserListTab>(nullptr, server_, messages_, std::move(sources));
  }
  void TearDown() override {
    server_.open();  // a worker still held must be able to finish
    tab_.reset();
  }
  QStringList people() const {
    QStringList texts;
    for (int i = 0; i < tab_->peopleLikeMe()->childCount(); ++i)
      texts << tab_->peopleLikeMe()->child(i)->text(0);
    return texts;
  }
  QTreeWidgetItem* entry(QTreeWidgetItem* under, const QString& text) const {
    for (int i = 0; i < under->childCount(); ++i)
      if (under->child(i)->text(0) == text) return under->child(i);
    return nullptr;
  }

  apptest::FakeCommunity server_;
  MessageBoxes messages_;
  QString contactAnswer_;
  std::unique_ptr<UserListTab> tab_;
};

TEST_F(UserListTabTest, TreeStartsWithItsThreeEntriesAndTheSearchEntry) {
  QTreeWidget* tree = tab_->tree();
  ASSERT_EQ(tree->topLevelItemCount(), 3);
  EXPECT_EQ(tree->topLevelItem(0)->text(0), "My collection");
  EXPECT_EQ(tree->topLevelItem(1)->text(0), "Contacts");
  EXPECT_EQ(tree->topLevelItem(2)->text(0), "People like me");
  EXPECT_EQ(people(), QStringList{"Click here to find..."});
  EXPECT_EQ(tab_->headingText(), "Users Like Me");
}

TEST_F(UserListTabTest, SearchShowsRunningThenElapsedTimeThenTheUsersFound) {
  server_.similar = {"anna", "ben"};
  server_.close();
  tab_->activate(tab_->peopleLikeMe()->child(0));
  EXPECT_EQ(people(), QStringList{"Running..."});
  EXPECT_TRUE(tab_->searchRunning());
  // Ticks of 500 ms: two make a second.
  ASSERT_TRUE(
      apptest::waitFor([&] { return people() == QStringList{"Searching...  [00:01]"}; }, 5000))
      << people().join(",").toStdString();
  tab_->activate(tab_->peopleLikeMe()->child(0));  // no second search while one runs
  server_.open();
  ASSERT_TRUE(apptest::waitFor([&] { return !tab_->searchRunning(); }));
  EXPECT_EQ(people(), (QStringList{"anna", "ben", "Click here to find..."}));
  EXPECT_EQ(server_.callsNow(), std::vector<std::string>{"getSimilarUsers me"});
  const QString after = people().join(",");
  QTest::qWait(600);  // the timer has stopped
  EXPECT_EQ(people().join(","), after);
}

TEST_F(UserListTabTest, SearchWithoutUsersSaysSoAndCountsDownToTheNextSearch) {
  tab_->activate(tab_->peopleLikeMe()->child(0));
  ASSERT_TRUE(apptest::waitFor([&] { return !tab_->searchRunning(); }));
  EXPECT_EQ(people(), (QStringList{"No users found.", "Click here to find..."}));
  EXPECT_EQ(tab_->headingText(),
            QString("Users Like Me (%1)").arg(UserListTab::kAutoSearchSeconds));

  tab_->startCountdown(1);  // the last second: the heading returns and a search starts
  server_.similar = {"carl"};
  ASSERT_TRUE(apptest::waitFor([&] { return people().contains("carl"); }, 5000));
  EXPECT_EQ(tab_->headingText(), "Users Like Me");
  EXPECT_EQ(server_.callsNow().size(), 2u);
}

TEST_F(UserListTabTest, FailedSearchOffersTheSearchAgain) {
  server_.search.statuses = {-1};
  tab_->activate(tab_->peopleLikeMe()->child(0));
  ASSERT_TRUE(apptest::waitFor([&] { return !tab_->searchRunning(); }));
  EXPECT_EQ(people(), QStringList{"Click here to find..."});
  tab_->activate(tab_->peopleLikeMe()->child(0));  // compared without regard to case, again
  EXPECT_EQ(people(), QStringList{"Running..."});
}

TEST_F(UserListTabTest, CrossActivationShowsTheNodesOrSaysNoneCameBack) {
  server_.similar = {"anna"};
  tab_->activate(tab_->peopleLikeMe()->child(0));
  ASSERT_TRUE(apptest::waitFor([&] { return !tab_->searchRunning(); }));

  struct Case {
    std::vector<Node*> found;
    int status;
    QString status_text;
    QStringList shown;
  };
  const Case cases[] = {
      {{token(7), token(8)}, 1, "", {"node 7", "node 8"}},
      {{}, 1, "Unable to find any nodes for user anna...\nPlease try again later.", {}},
      {{token(9)}, -1, "Unable to find any nodes for user anna...\nPlease try again later.", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown.join(",").toStdString());
    server_.crossResults = c.found;
    server_.cross.statuses = {c.status};
    server_.close();
    tab_->activate(entry(tab_->peopleLikeMe(), "anna"));
    EXPECT_EQ(tab_->statusText(), "Please wait, cross-activating user anna...\n");
    EXPECT_TRUE(tab_->crossActivating("anna"));
    EXPECT_EQ(tab_->resultList()->count(), 0);            // the previous results are gone
    tab_->activate(entry(tab_->peopleLikeMe(), "anna"));  // its record exists: nothing more
    server_.open();
    ASSERT_TRUE(apptest::waitFor([&] { return !tab_->crossActivating("anna"); }));
    EXPECT_EQ(tab_->statusText(), c.status_text);
    QStringList shown;
    for (int i = 0; i < tab_->resultList()->count(); ++i)
      shown << tab_->resultList()->item(i)->text();
    EXPECT_EQ(shown, c.shown);
  }
  const std::vector<std::string> calls = server_.callsNow();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "remoteCrossActivation anna 5"), 3);
}

TEST_F(UserListTabTest, ResultsGoToTheViewTheCallerGives) {
  std::vector<std::vector<Node*>> shownLists;
  QWidget* made = nullptr;
  UserListTab::Sources sources;
  sources.sampleNodes = [] { return std::vector<Node*>{token(1)}; };
  sources.makeResultView = [&made](QWidget* parent) { return made = new QWidget(parent); };
  sources.showResults = [&](QWidget* view, const std::vector<Node*>& nodes) {
    EXPECT_EQ(view, made);
    shownLists.push_back(nodes);
  };
  UserListTab tab(nullptr, server_, messages_, std::move(sources));
  EXPECT_EQ(tab.resultView(), made);
  EXPECT_EQ(tab.resultList(), nullptr);
  server_.crossResults = {token(4), token(5)};
  tab.refreshContact("anna");
  ASSERT_TRUE(apptest::waitFor([&] { return !tab.crossActivating("anna"); }));
  EXPECT_EQ(shownLists, (std::vector<std::vector<Node*>>{{}, {token(4), token(5)}}));
  EXPECT_EQ(server_.callsNow().back(), "remoteCrossActivation anna 1");
}

TEST_F(UserListTabTest, ContactsAreAddedOnceAndNotRefreshedWhileCrossActivating) {
  contactAnswer_ = "dora";
  tab_->addContact();
  ASSERT_NE(entry(tab_->contacts(), "dora"), nullptr);
  tab_->addContact();
  EXPECT_EQ(tab_->contacts()->childCount(), 1);
  ASSERT_EQ(messages_.history().size(), 1u);
  EXPECT_EQ(messages_.history().back().caption, "Contact already exists");
  EXPECT_EQ(messages_.history().back().text, "This user already exists in your contact list.");
  contactAnswer_.clear();  // the wizard was cancelled
  tab_->addContact();
  EXPECT_EQ(tab_->contacts()->childCount(), 1);

  server_.crossResults = {token(3)};
  server_.close();
  tab_->refreshContact("dora");
  ASSERT_TRUE(tab_->crossActivating("dora"));
  tab_->refreshContact("dora");
  ASSERT_EQ(messages_.history().size(), 2u);
  EXPECT_EQ(messages_.history().back().caption, "Unable to refresh");
  EXPECT_EQ(messages_.history().back().text,
            "This user is still in the process of cross-activation");
  server_.open();
  ASSERT_TRUE(apptest::waitFor([&] { return !tab_->crossActivating("dora"); }));
  tab_->refreshContact("dora");  // finished: a new cross-activation
  ASSERT_TRUE(apptest::waitFor([&] { return !tab_->crossActivating("dora"); }));
  const std::vector<std::string> calls = server_.callsNow();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "remoteCrossActivation dora 5"), 2);
}

TEST_F(UserListTabTest, ClosingTheTabWaitsForItsWorkers) {
  server_.close();
  tab_->activate(tab_->peopleLikeMe()->child(0));
  tab_->refreshContact("erin");
  std::thread opener([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server_.open();
  });
  tab_.reset();  // joins both workers; their posted results are dropped with the tab
  opener.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(server_.callsNow().size(), 2u);
}

}  // namespace
}  // namespace zarvell::app
