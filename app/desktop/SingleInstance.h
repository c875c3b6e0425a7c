// SingleInstance: one running player per data folder.
//
// Two players on one data folder would both write the same network and settings at exit,
// and the last one to close would silently undo everything the other learnt. The first
// player therefore holds a lock file in the data folder ("zarvell.lock", taken over when it
// was left by a process that no longer runs) and listens on a local socket whose name is
// derived from the folder's canonical path. A later start on the same folder finds the lock
// held, asks the running player over the socket to raise its window and gives up; a start
// on another data folder is an independent player.
//
// Thread: created, used and destroyed on the interface thread. acquire() is called before
// the event loop runs; raiseRequested() is emitted from that thread's event loop.
// Errors: nothing throws; problems are logged with qWarning and reported by acquire()'s
// result as described there.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace zarvell::app {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The folder need not be canonical: "/data", "/data/." and a symbolic link to "/data"
  // name the same instance.
  explicit SingleInstance(QString dataFolder, QObject* parent = nullptr);
  // Stops listening and releases the lock (the lock file is removed).
  ~SingleInstance() override;

  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True: this process is the first on the data folder; it holds the lock and now listens
  // for raise requests (should the socket fail, it still holds the lock and runs without
  // them, with a warning). False: another player runs on the folder; it has already been
  // asked to raise its window (each step of that exchange waits at most ~200 ms and an
  // unresponsive player is given up silently), and the caller should exit without touching
  // the data folder. When the lock file cannot be written at all (a read-only or missing
  // folder), the answer comes from the socket alone: false when a player answers on it,
  // otherwise true with a warning. Call once.
  bool acquire();

  // The local socket name of this data folder (an absolute path inside $XDG_RUNTIME_DIR
  // when that is set, otherwise a name in the temporary folder that includes the user id).
  QString serverName() const { return serverName_; }
  // The lock file in the data folder.
  QString lockFilePath() const { return lockPath_; }

  // The request a later start sends, and the running player's answer; each is one line.
  static constexpr const char* kRaiseRequest = "zarvell raise\n";
  static constexpr const char* kRaiseAnswer = "ok\n";

 signals:
  // A later start on the same data folder asked this player to show, restore and activate
  // its main window.
  void raiseRequested();

 private:
  void listen();
  void onNewConnection();
  void onRequestData(QLocalSocket* socket);
  // Asks the running player to raise its window; true when it answered.
  bool askRunningToRaise() const;

  QString lockPath_;
  QString serverName_;
  QLockFile lock_;
  bool locked_ = false;
  QLocalServer* server_ = nullptr;  // child of this object
};

// The socket name for a data folder, as SingleInstance uses it. Exposed for tests.
QString singleInstanceServerName(const QString& dataFolder);

}  // namespace zarvell::app
