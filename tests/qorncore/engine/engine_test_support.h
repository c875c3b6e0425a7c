// Helpers for engine tests: a small network builder over a real engine and a capture of the
// engine's log lines (level, source name, text).
#pragma once

#include <gtest/gtest.h>
#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "qorncore/engine/PlexEngine.h"

namespace enginetest {

struct LogLine {
  int level;  // log4cplus level
  std::string source;
  std::string text;
};

// Collects every engine log line written while it exists.
class LogCapture {
 public:
  LogCapture() {
    log4cplus::initialize();
    appender_ = log4cplus::SharedAppenderPtr(new Appender(&lines_));
    appender_->setName(LOG4CPLUS_TEXT("EngineTestCapture"));
    auto root = log4cplus::Logger::getRoot();
    root.addAppender(appender_);
    root.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
  }
  ~LogCapture() { log4cplus::Logger::getRoot().removeAppender(appender_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<LogLine>& lines() const { return lines_; }
  void clear() { lines_.clear(); }
  // Number of lines with exactly this level, source and text.
  int count(int level, const std::string& source, const std::string& text) const {
    int n = 0;
    for (const LogLine& l : lines_) n += l.level == level && l.source == source && l.text == text;
    return n;
  }
  // Number of lines whose text starts with `prefix`.
  int countPrefix(const std::string& prefix) const {
    int n = 0;
    for (const LogLine& l : lines_) n += l.text.rfind(prefix, 0) == 0;
    return n;
  }

 private:
  class Appender : public log4cplus::Appender {
   public:
    explicit Appender(std::vector<LogLine>* lines) : lines_(lines) {}
    ~Appender() override { destructorImpl(); }
    void close() override {}

   protected:
    void append(const log4cplus::spi::InternalLoggingEvent& e) override {
      lines_->push_back({e.getLogLevel(), e.getFile(), e.getMessage()});
    }

   private:
    std::vector<LogLine>* lines_;
  };

  std::vector<LogLine> lines_;
  log4cplus::SharedAppenderPtr appender_;
};

constexpr int kDebug = log4cplus::DEBUG_LOG_LEVEL;
constexpr int kInfo = log4cplus::INFO_LOG_LEVEL;
constexpr int kWarn = log4cplus::WARN_LOG_LEVEL;
constexpr int kError = log4cplus::ERROR_LOG_LEVEL;
constexpr int kFatal = log4cplus::FATAL_LOG_LEVEL;

// Adds nodes and links to any engine (PlexEngine or the manager).
class Builder {
 public:
  explicit Builder(qorn::PlexEngine& engine) : e_(engine) {}

  qorn::SongNode* song(int id, int duration = -1, int album = 0,
                       std::initializer_list<int> artists = {}) {
    auto* s = new qorn::SongNode(id);
    s->name = "song" + std::to_string(id);
    s->duration = duration;
    s->albumId = album;
    for (int a : artists) s->people.addPerson(a, "artist");
    EXPECT_EQ(e_.addNode(s), 1);
    return s;
  }
  qorn::SongListNode* list(int id, std::initializer_list<int> tracks, int duration = -1,
                           int type = qorn::kAlbumList) {
    auto* l = new qorn::SongListNode(id);
    l->name = "list" + std::to_string(id);
    l->duration = duration;
    l->listType = type;
    for (int t : tracks) l->setTrack(0, t);
    EXPECT_EQ(e_.addNode(l), 1);
    return l;
  }
  qorn::ArtistNode* artist(int id, int duration = -1) {
    auto* a = new qorn::ArtistNode(id);
    a->name = "artist" + std::to_string(id);
    a->duration = duration;
    EXPECT_EQ(e_.addNode(a), 1);
    return a;
  }
  // A link with the stored strength capped as the link store caps it.
  qorn::Asc* link(int a, int b, float strength) {
    qorn::Asc* l = e_.links().create(a, b, qorn::qornfloat(strength));
    EXPECT_NE(l, nullptr);
    if (l) qorn::AscHolder::setStrength(*l, qorn::qornfloat(strength));
    return l;
  }
  float strength(int a, int b) {
    qorn::Asc* l = e_.links().find(a, b);
    return l ? e_.decayLink(*l).value() : -1.0f;
  }
  Node* node(int id) { return e_.nodes().find(id); }

 private:
  qorn::PlexEngine& e_;
};

// Node ids of a node list.
inline std::vector<int> ids(const std::vector<Node*>& nodes) {
  std::vector<int> out;
  for (const Node* n : nodes) out.push_back(n ? n->id : 0);
  return out;
}

}  // namespace enginetest
