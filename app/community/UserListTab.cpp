#include "UserListTab.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "CommunityOps.h"
#include "app/dialogs/MessageBoxes.h"

namespace zarvell::app {
namespace {

constexpr const char* kFindText = "Click here to find...";
constexpr const char* kHeading = "Users Like Me";

}  // namespace

UserListTab::UserListTab(QWidget* parent, CommunityOps& ops, MessageBoxes& messages,
                         Sources sources)
    : QWidget(parent), ops_(ops), messages_(messages), sources_(std::move(sources)) {
  setObjectName("UserListTab");
  heading_ = new QLabel(kHeading, this);
  heading_->setObjectName("userListHeading");
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("userTree");
  tree_->setHeaderHidden(true);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  myCollection_ = new QTreeWidgetItem(tree_, {"My collection"});
  contacts_ = new QTreeWidgetItem(tree_, {"Contacts"});
  peopleLikeMe_ = new QTreeWidgetItem(tree_, {"People like me"});
  searchEntry_ = new QTreeWidgetItem(peopleLikeMe_, {kFindText});
  tree_->expandAll();
  status_ = new QLabel(this);
  status_->setObjectName("crossActivationStatus");
  status_->setWordWrap(true);
  if (sources_.makeResultView && sources_.showResults) {
    resultView_ = sources_.makeResultView(this);
  } else {
    resultView_ = results_ = new QListWidget(this);
  }
  resultView_->setObjectName("crossActivationResults");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(tree_, 2);
  layout->addWidget(status_);
  layout->addWidget(resultView_, 1);

  searchTimer_.setInterval(kSearchTickMs);
  connect(&searchTimer_, &QTimer::timeout, this, &UserListTab::onSearchTick);
  countdownTimer_.setInterval(1000);
  connect(&countdownTimer_, &QTimer::timeout, this, &UserListTab::onCountdownTick);
  connect(tree_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item, int) { activate(item); });
  connect(tree_, &QWidget::customContextMenuRequested, this, &UserListTab::showMenu);
}

UserListTab::~UserListTab() {
  // The workers only post back to this object; once joined, nothing refers to it.
  if (searchThread_.joinable()) searchThread_.join();
  for (auto& [name, record] : users_)
    if (record->worker.joinable()) record->worker.join();
}

QString UserListTab::statusText() const {
  return status_->text();
}
QString UserListTab::headingText() const {
  return heading_->text();
}

bool UserListTab::crossActivating(const std::string& name) const {
  const auto found = users_.find(name);
  return found != users_.end() && found->second->running > 0;
}

void UserListTab::activate(QTreeWidgetItem* item) {
  if (!item || !item->parent()) return;  // the top entries do nothing
  const QString text = item->text(0);
  if (item == searchEntry_) {
    if (text.compare(kFindText, Qt::CaseInsensitive) == 0) startSearch();
    return;
  }
  if (item->parent() == peopleLikeMe_ && text == "No users found.") return;
  const std::string name = text.toStdString();
  if (users_.count(name) == 0) crossActivate(name);
}

void UserListTab::startSearch() {
  if (searchThread_.joinable()) return;
  searchEntry_->setText(0, "Running...");
  searchTicks_ = 0;
  searchTimer_.start();
  const std::string user = sources_.userName ? sources_.userName() : std::string();
  searchThread_ = std::thread([this, user] {
    std::vector<std::string> names;
    const int status = ops_.getSimilarUsers(user, names);
    QMetaObject::invokeMethod(
        this, [this, status, names] { searchFinished(status, names); }, Qt::QueuedConnection);
  });
}

void UserListTab::onSearchTick() {
  ++searchTicks_;
  const int seconds = searchTicks_ * kSearchTickMs / 1000;
  searchEntry_->setText(
      0, QString("Searching...") + QString::asprintf("  [%02d:%02d]", seconds / 60, seconds % 60));
}

void UserListTab::searchFinished(int status, const std::vector<std::string>& names) {
  searchThread_.join();  // it has posted its last word
  searchTimer_.stop();
  if (status < 0) {  // the search stopped: the entry offers a new one
    searchEntry_->setText(0, kFindText);
    return;
  }
  rebuildPeople(names);
  if (names.empty()) startCountdown(kAutoSearchSeconds);
}

void UserListTab::rebuildPeople(const std::vector<std::string>& names) {
  qDeleteAll(peopleLikeMe_->takeChildren());
  for (const std::string& name : names)
    new QTreeWidgetItem(peopleLikeMe_, {QString::fromStdString(name)});
  if (names.empty()) new QTreeWidgetItem(peopleLikeMe_, {"No users found."});
  searchEntry_ = new QTreeWidgetItem(peopleLikeMe_, {kFindText});
  peopleLikeMe_->setExpanded(true);
}

void UserListTab::startCountdown(int seconds) {
  countdown_ = seconds;
  heading_->setText(QString("%1 (%2)").arg(kHeading).arg(countdown_));
  countdownTimer_.start();
}

void UserListTab::onCountdownTick() {
  --countdown_;
  heading_->setText(QString("%1 (%2)").arg(kHeading).arg(countdown_));
  if (countdown_ >= 1) return;
  countdownTimer_.stop();
  heading_->setText(kHeading);
  startSearch();
}

void UserListTab::crossActivate(const std::string& name) {
  for (const auto& [other, record] : users_)
    if (record->running > 0) return;  // one cross-activation at a time
  auto& record = users_[name];
  if (!record) record = std::make_unique<UserRecord>();
  if (record->worker.joinable()) record->worker.join();
  status_->setText(QString::asprintf("Please wait, cross-activating user %s...\n", name.c_str()));
  resultNodes_.clear();
  showResults({});
  std::vector<Node*> sample = sources_.sampleNodes ? sources_.sampleNodes() : std::vector<Node*>();
  if (sample.size() > 5) sample.resize(5);
  ++record->running;
  record->worker = std::thread([this, name, sample] {
    std::vector<Node*> found;
    if (ops_.remoteCrossActivation(name, sample, found) < 0) found.clear();
    QMetaObject::invokeMethod(
        this, [this, name, found] { crossActivationFinished(name, found); }, Qt::QueuedConnection);
  });
}

void UserListTab::crossActivationFinished(const std::string& name,
                                          const std::vector<Node*>& nodes) {
  const auto found = users_.find(name);
  if (found == users_.end()) return;
  UserRecord& record = *found->second;
  record.worker.join();  // it has posted its last word
  record.results = nodes;
  if (nodes.empty()) {
    status_->setText(QString::asprintf(
        "Unable to find any nodes for user %s...\nPlease try again later.", name.c_str()));
  } else {
    resultNodes_ = nodes;
    showResults(nodes);
    status_->clear();
  }
  if (--record.running == 0) users_.erase(found);
  tree_->viewport()->update();
}

void UserListTab::showResults(const std::vector<Node*>& nodes) {
  if (!results_) {
    sources_.showResults(resultView_, nodes);
    return;
  }
  results_->clear();
  for (Node* node : nodes) results_->addItem(sources_.nodeName ? sources_.nodeName(node) : "");
}

void UserListTab::addContact() {
  const QString contact = sources_.askContact ? sources_.askContact() : QString();
  if (contact.isEmpty()) return;
  for (int i = 0; i < contacts_->childCount(); ++i) {
    if (contacts_->child(i)->text(0) == contact) {
      messages_.show(this,
                     {"Contact already exists", "This user already exists in your contact list."});
      return;
    }
  }
  new QTreeWidgetItem(contacts_, {contact});
  contacts_->setExpanded(true);
}

void UserListTab::refreshContact(const QString& name) {
  if (crossActivating(name.toStdString())) {
    messages_.show(this,
                   {"Unable to refresh", "This user is still in the process of cross-activation"});
    return;
  }
  crossActivate(name.toStdString());
}

void UserListTab::showMenu(const QPoint& at) {
  QTreeWidgetItem* item = tree_->itemAt(at);
  if (!item || (item != contacts_ && item->parent() != contacts_)) return;
  QMenu menu(this);
  menu.addAction("Add Contact", this, &UserListTab::addContact);
  if (item->parent() == contacts_) {
    const QString name = item->text(0);
    menu.addAction("Refresh", this, [this, name] { refreshContact(name); });
  }
  menu.exec(tree_->viewport()->mapToGlobal(at));
}

}  // namespace zarvell::app
