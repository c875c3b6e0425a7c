// A stand-in for the community server. The engine of this build answers every community
// call with a failure, so the tests of the paths that need the server to say yes (an
// account made, a log-in accepted, users found, nodes returned, features uploaded) put this
// double behind CommunityOps instead; everything else in those tests is real.
//
// Each operation answers from its script of statuses, one per call, then goes on with the
// last one; it records its calls. getSimilarUsers and remoteCrossActivation run on the
// tab's worker threads: they can be held at a gate until the test opens it.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/community/CommunityOps.h"

namespace apptest {

class FakeCommunity : public zarvell::app::CommunityOps {
 public:
  struct Script {
    std::deque<int> statuses{1};
    int next() {
      const int status = statuses.front();
      if (statuses.size() > 1) statuses.pop_front();
      return status;
    }
  };

  int checkUserExists(const std::string& name, bool& exists) override {
    std::lock_guard lock(mutex_);
    calls.push_back("checkUserExists " + name);
    const int status = check.next();
    exists = status >= 0 && existing.count(name) != 0;
    return status;
  }
  int createUser(const std::string& name, const std::string& password,
                 const std::string& fullName) override {
    std::lock_guard lock(mutex_);
    calls.push_back("createUser " + name + "|" + password + "|" + fullName);
    return create.next();
  }
  int loginUser(const std::string& name, const std::string& password) override {
    std::lock_guard lock(mutex_);
    calls.push_back("loginUser " + name + "|" + password);
    return login.next();
  }
  int getSimilarUsers(const std::string& name, std::vector<std::string>& names) override {
    std::unique_lock lock(mutex_);
    calls.push_back("getSimilarUsers " + name);
    opened_.wait(lock, [this] { return open_; });
    names = similar;
    return search.next();
  }
  int remoteCrossActivation(const std::string& name, const std::vector<Node*>& nodes,
                            std::vector<Node*>& results) override {
    std::unique_lock lock(mutex_);
    calls.push_back("remoteCrossActivation " + name + " " + std::to_string(nodes.size()));
    opened_.wait(lock, [this] { return open_; });
    results = crossResults;
    return cross.next();
  }
  int uploadFeatures(const Node* node) override {
    std::lock_guard lock(mutex_);
    uploaded.push_back(node);
    return upload.next();
  }

  // Holds the worker-thread operations until open().
  void close() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  std::vector<std::string> callsNow() {
    std::lock_guard lock(mutex_);
    return calls;
  }

  Script check, create, login, search, cross, upload;
  std::set<std::string> existing;
  std::vector<std::string> similar;
  std::vector<Node*> crossResults;
  std::vector<std::string> calls;
  std::vector<const Node*> uploaded;

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = true;
};

}  // namespace apptest
