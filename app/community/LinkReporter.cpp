#include "LinkReporter.h"

#include "CommunityOps.h"
#include "app/dialogs/MessageBoxes.h"
#include "app/net/Http.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {
namespace {

constexpr int kSongKind = 1;
constexpr std::size_t kMaxAddress = 1024;

std::string hashOf(IQornManager& engine, Node* node) {
  const char* md5 = engine.getMd5(node);
  return md5 ? md5 : "";
}

}  // namespace

LinkReporter::LinkReporter(IQornManager& engine, CommunityOps& ops, MessageBoxes& messages,
                           QWidget* parent, Log log)
    : engine_(engine), ops_(ops), messages_(messages), parent_(parent), log_(std::move(log)) {}

const char* LinkReporter::linkText(Kind kind) {
  switch (kind) {
    case kLinked:
      return "linked=1";
    case kNotLinked:
      return "linked=0";
    case kRemove:
      break;
  }
  return "remove=y";
}

std::string LinkReporter::percentEncoded(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string LinkReporter::address(const std::string& base, const std::string& userName, Kind kind,
                                  const std::string& hashA, const std::string& hashB) {
  const std::string user = percentEncoded(userName);
  return base + user + "&source=" + "&who=" + user + "&" + linkText(kind) +
         "&nodea=" + percentEncoded(hashA) + "&nodeb=" + percentEncoded(hashB);
}

bool LinkReporter::isSong(Node* node) {
  return node && engine_.getNodeType(node) == kSongKind;
}

void LinkReporter::refuse() {
  messages_.show(parent_, {"Node type not supported",
                           "Can't report non-song node - please ensure that only song nodes are "
                           "selected.",
                           QMessageBox::Warning});
  log_(true, "can't report non song node to link tool ");
}

bool LinkReporter::request(const std::string& url) {
  if (url.size() > kMaxAddress) return false;
  std::string reply;
  net::FetchOptions options;
  options.maxBytes = 1;  // the reply is not read
  const net::FetchResult result = net::fetch(url, reply, options);
  return result == net::FetchResult::kOk || result == net::FetchResult::kEmpty;
}

int LinkReporter::report(Kind kind, const std::vector<Node*>& nodes, const std::string& userName,
                         const std::string& base) {
  int reported = 0;
  std::size_t at = 0;
  while (at < nodes.size() && !isSong(nodes[at])) {
    refuse();
    ++at;
  }
  if (at < nodes.size()) {
    Node* first = nodes[at++];
    const std::string hashA = hashOf(engine_, first);
    if (ops_.uploadFeatures(first) < 0) {
      messages_.show(parent_, {"Feature upload failed",
                               "Unable to upload features - please check your server settings "
                               "and make sure you are connected to the internet",
                               QMessageBox::Warning});
      log_(true, "feature upload failed " + hashA);
      at = nodes.size();
    }
    for (; at < nodes.size(); ++at) {
      Node* other = nodes[at];
      if (!isSong(other)) {
        refuse();
        continue;
      }
      const std::string hashB = hashOf(engine_, other);
      ops_.uploadFeatures(other);  // a failure here does not stop the report
      const std::string url = address(base, userName, kind, hashA, hashB);
      if (request(url)) {
        log_(false, "reported " + url);
        ++reported;
      } else {
        messages_.show(parent_,
                       {"Communication Problem Found", "Unable to report link - web service failed",
                        QMessageBox::Warning});
        log_(true, "could not report " + url);
      }
    }
  }
  log_(false, "--- report end ---");
  return reported;
}

}  // namespace zarvell::app
