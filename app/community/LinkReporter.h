// LinkReporter: the link reports of the list views' debug entries. The first selected song
// (A) has its features uploaded; every later selected song (B) has its features uploaded too
// and is reported with A to the link-report web service as "should be linked", "should not
// be linked" or "should be removed". Non-song nodes are refused one by one.
//
// Every outcome is shown (through MessageBoxes) and logged; a failed report does not stop
// the remaining nodes, a failed first upload ends the report. Interface thread; the upload
// and the request block it (they are short). Returns counts, never throws except
// std::bad_alloc.
#pragma once

#include <functional>
#include <string>
#include <vector>

class IQornManager;
class Node;
class QWidget;

namespace zarvell::app {

class CommunityOps;
class MessageBoxes;

class LinkReporter {
 public:
  // The three reports, in the order of the list views' entries.
  enum Kind { kLinked = 0, kNotLinked = 1, kRemove = 2 };
  using Log = std::function<void(bool error, const std::string& line)>;

  LinkReporter(IQornManager& engine, CommunityOps& ops, MessageBoxes& messages, QWidget* parent,
               Log log);

  // The whole report for the selection, in selection order. `base` is the service's address
  // up to and including its fixed query ("...linkreport.cgi?rm=addlink&referer=addlink").
  // Returns how many pairs were reported successfully.
  int report(Kind kind, const std::vector<Node*>& nodes, const std::string& userName,
             const std::string& base);

  // "linked=1", "linked=0" or "remove=y".
  static const char* linkText(Kind kind);
  // The address of one report; the user name and hashes are percent-encoded.
  static std::string address(const std::string& base, const std::string& userName, Kind kind,
                             const std::string& hashA, const std::string& hashB);
  static std::string percentEncoded(const std::string& text);

 private:
  bool isSong(Node* node);
  void refuse();
  bool request(const std::string& url);

  IQornManager& engine_;
  CommunityOps& ops_;
  MessageBoxes& messages_;
  QWidget* parent_;
  Log log_;
};

}  // namespace zarvell::app
