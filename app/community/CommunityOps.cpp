#include "CommunityOps.h"

#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

int EngineCommunityOps::checkUserExists(const std::string& name, bool& exists) {
  exists = false;
  return engine_.checkUserExists(name.c_str(), &exists);
}

int EngineCommunityOps::createUser(const std::string& name, const std::string& password,
                                   const std::string& fullName) {
  return engine_.createUser(name.c_str(), password.c_str(), fullName.c_str());
}

int EngineCommunityOps::loginUser(const std::string& name, const std::string& password) {
  return engine_.loginUser(name.c_str(), password.c_str());
}

int EngineCommunityOps::getSimilarUsers(const std::string& name, std::vector<std::string>& names) {
  names.clear();
  char** found = nullptr;
  int count = 0;
  const int status = engine_.getSimilarUsers(name.c_str(), &found, &count);
  for (int i = 0; found && i < count; ++i)
    if (found[i]) names.emplace_back(found[i]);
  return status;
}

int EngineCommunityOps::remoteCrossActivation(const std::string& name,
                                              const std::vector<Node*>& nodes,
                                              std::vector<Node*>& results) {
  results.clear();
  Node** out = nullptr;
  int count = 0;
  std::vector<Node*> sent(nodes);
  const int status = engine_.remoteCrossActivation(name.c_str(), sent.data(),
                                                   static_cast<int>(sent.size()), &out, &count);
  for (int i = 0; out && i < count; ++i)
    if (out[i]) results.push_back(out[i]);
  return status;
}

int EngineCommunityOps::uploadFeatures(const Node* node) {
  return engine_.uploadFeatures(node);
}

}  // namespace zarvell::app
