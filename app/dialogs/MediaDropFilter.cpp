#include "MediaDropFilter.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <algorithm>

#include "zarvell/FolderScan.h"

namespace zarvell::app {

MediaDropFilter::MediaDropFilter(QWidget* target, Handler onDrop)
    : QObject(target), onDrop_(std::move(onDrop)) {
  target->setAcceptDrops(true);
  target->installEventFilter(this);
}

std::vector<std::string> MediaDropFilter::localPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasFormat("text/uri-list")) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  return paths;
}

bool MediaDropFilter::acceptable(const QMimeData* data) {
  const std::vector<std::string> paths = localPaths(data);
  return std::any_of(paths.begin(), paths.end(),
                     [](const std::string& path) { return passesMediaTest(path); });
}

bool MediaDropFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (acceptable(drag->mimeData())) {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!acceptable(drop->mimeData())) {
        drop->ignore();
        return true;
      }
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      const std::vector<std::string> paths = localPaths(drop->mimeData());
      if (onDrop_) onDrop_(paths);
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace zarvell::app
