// MediaDropFilter: lets a window take files and folders dropped from the desktop's file
// manager. Installed as an event filter on a widget (which it sets to accept drops), it
// accepts a text/uri-list drag with the copy action when at least one local path passes
// the media test (a folder, or a supported audio file), ignores any other drag, and on a
// drop calls its handler with the local paths (all of them; the import sorts them out).
//
// Interface thread only. Nothing here throws except std::bad_alloc.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

namespace zarvell::app {

class MediaDropFilter : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(const std::vector<std::string>& paths)>;

  // Installs itself on `target` (and becomes its child).
  MediaDropFilter(QWidget* target, Handler onDrop);

  // The local paths of a text/uri-list payload, in order; other URLs are left out.
  static std::vector<std::string> localPaths(const QMimeData* data);
  // True when at least one of them passes the media test.
  static bool acceptable(const QMimeData* data);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Handler onDrop_;
};

}  // namespace zarvell::app
