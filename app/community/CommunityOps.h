// CommunityOps: the community server's operations as the player uses them (accounts, similar
// users, cross-activation, the feature upload of a song). The program's implementation,
// EngineCommunityOps, forwards to the engine; tests put a double of the server behind the
// same interface where the engine of this build cannot answer success.
//
// Every operation returns the engine's status: negative on failure. Out-parameters hold
// copies, so nothing refers to the engine's result buffers afterwards. The engine's
// operations may be called from a worker thread; implementations must allow that for
// getSimilarUsers and remoteCrossActivation. Nothing here throws except std::bad_alloc.
#pragma once

#include <string>
#include <vector>

class IQornManager;
class Node;

namespace zarvell::app {

class CommunityOps {
 public:
  virtual ~CommunityOps() = default;
  virtual int checkUserExists(const std::string& name, bool& exists) = 0;
  virtual int createUser(const std::string& name, const std::string& password,
                         const std::string& fullName) = 0;
  virtual int loginUser(const std::string& name, const std::string& password) = 0;
  virtual int getSimilarUsers(const std::string& name, std::vector<std::string>& names) = 0;
  virtual int remoteCrossActivation(const std::string& name, const std::vector<Node*>& nodes,
                                    std::vector<Node*>& results) = 0;
  virtual int uploadFeatures(const Node* node) = 0;
};

class EngineCommunityOps : public CommunityOps {
 public:
  explicit EngineCommunityOps(IQornManager& engine) : engine_(engine) {}
  int checkUserExists(const std::string& name, bool& exists) override;
  int createUser(const std::string& name, const std::string& password,
                 const std::string& fullName) override;
  int loginUser(const std::string& name, const std::string& password) override;
  int getSimilarUsers(const std::string& name, std::vector<std::string>& names) override;
  int remoteCrossActivation(const std::string& name, const std::vector<Node*>& nodes,
                            std::vector<Node*>& results) override;
  int uploadFeatures(const Node* node) override;

 private:
  IQornManager& engine_;
};

}  // namespace zarvell::app
