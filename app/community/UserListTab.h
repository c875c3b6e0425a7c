// UserListTab: the "Similar Users" tab of the web mode. A tree with "My collection",
// "Contacts" and "People like me"; activating "Click here to find..." searches the server for
// users with a taste like the logged-in user's, activating a user cross-activates that user:
// the server answers with nodes of the user's network that fit a few of ours, shown in the
// tab's node list.
//
// Threads: the search and the cross-activation each run on a worker thread of their own (at
// most one of each at a time); they touch no widget and hand their results back by queued
// calls, so every change of the tree happens on the interface thread. A user's record lives
// while a cross-activation of that user runs; a finished worker is joined before its record
// goes, and the destructor joins whatever still runs. Nothing here throws except
// std::bad_alloc.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class Node;
class QLabel;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace zarvell::app {

class CommunityOps;
class MessageBoxes;

class UserListTab : public QWidget {
  Q_OBJECT

 public:
  struct Sources {
    std::function<std::string()> userName;            // the logged-in user
    std::function<std::vector<Node*>()> sampleNodes;  // at most 5, sent for cross-activation
    std::function<QString(Node*)> nodeName;           // text of a result node
    std::function<QString()> askContact;              // the contact wizard; empty: cancelled
    // The view of the result nodes (a node list of the main window); without it, a plain
    // list of the nodes' names. showResults gets the nodes (empty: clear).
    std::function<QWidget*(QWidget* parent)> makeResultView;
    std::function<void(QWidget* view, const std::vector<Node*>& nodes)> showResults;
  };
  static constexpr int kSearchTickMs = 500;
  static constexpr int kAutoSearchSeconds = 60;  // countdown after a search found nobody

  UserListTab(QWidget* parent, CommunityOps& ops, MessageBoxes& messages, Sources sources);
  ~UserListTab() override;

  QTreeWidget* tree() const { return tree_; }
  QTreeWidgetItem* myCollection() const { return myCollection_; }
  QTreeWidgetItem* contacts() const { return contacts_; }
  QTreeWidgetItem* peopleLikeMe() const { return peopleLikeMe_; }
  QString statusText() const;
  QString headingText() const;
  QListWidget* resultList() const { return results_; }  // null with a view of the caller's
  QWidget* resultView() const { return resultView_; }
  const std::vector<Node*>& results() const { return resultNodes_; }

  // What activating (double click, Enter) an entry does.
  void activate(QTreeWidgetItem* item);
  // The Contacts menu's commands.
  void addContact();
  void refreshContact(const QString& name);

  bool searchRunning() const { return searchThread_.joinable(); }
  bool crossActivating(const std::string& name) const;
  // Counts down `seconds` (heading "Users Like Me (n)"), then searches again.
  void startCountdown(int seconds);

 private:
  struct UserRecord {
    std::vector<Node*> results;
    int running = 0;  // cross-activations of this user not yet finished
    std::thread worker;
  };

  void startSearch();
  void onSearchTick();
  void searchFinished(int status, const std::vector<std::string>& names);
  void crossActivate(const std::string& name);
  void crossActivationFinished(const std::string& name, const std::vector<Node*>& nodes);
  void onCountdownTick();
  void showMenu(const QPoint& at);
  void rebuildPeople(const std::vector<std::string>& names);
  void showResults(const std::vector<Node*>& nodes);

  CommunityOps& ops_;
  MessageBoxes& messages_;
  Sources sources_;
  QLabel* heading_;
  QTreeWidget* tree_;
  QTreeWidgetItem* myCollection_;
  QTreeWidgetItem* contacts_;
  QTreeWidgetItem* peopleLikeMe_;
  QTreeWidgetItem* searchEntry_ = nullptr;
  QLabel* status_;
  QListWidget* results_ = nullptr;
  QWidget* resultView_ = nullptr;
  std::vector<Node*> resultNodes_;
  QTimer searchTimer_;
  int searchTicks_ = 0;
  QTimer countdownTimer_;
  int countdown_ = 0;
  std::thread searchThread_;
  std::map<std::string, std::unique_ptr<UserRecord>> users_;
};

}  // namespace zarvell::app
