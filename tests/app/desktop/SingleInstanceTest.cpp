// One player per data folder, with real processes: single_instance_probe stands in for the
// player's start (it prints "first", "raise" per raise request, or "another instance").
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "app/desktop/SingleInstance.h"

using zarvell::app::singleInstanceServerName;

namespace {

// Generous bounds that only catch a hang: a later start gives up after well under a second.
constexpr int kStartMs = 10000;
constexpr int kExitMs = 5000;

// One run of the probe, with everything it printed so far.
class Probe {
 public:
  explicit Probe(const QStringList& args) {
    process_.setProgram(QStringLiteral(ZARVELL_SINGLE_INSTANCE_PROBE));
    process_.setArguments(args);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
  }
  explicit Probe(const QString& folder) : Probe(QStringList{folder}) {}
  ~Probe() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(kExitMs);
    }
  }

  // True once the probe printed `line` at least `times` times; waits at most `ms`.
  bool waitFor(const QByteArray& line, int times = 1, int ms = kStartMs) {
    QElapsedTimer clock;
    clock.start();
    while (count(line) < times) {
      const qint64 left = ms - clock.elapsed();
      if (left <= 0) return false;
      if (!process_.waitForReadyRead(static_cast<int>(left))) {
        collect();
        return count(line) >= times;
      }
      collect();
    }
    return true;
  }
  int count(const QByteArray& line) {
    collect();
    return static_cast<int>(output_.split('\n').count(line));
  }
  bool finish(int ms = kExitMs) { return process_.waitForFinished(ms); }
  int exitCode() const { return process_.exitCode(); }
  QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }
  QByteArray output() {
    collect();
    return output_;
  }
  QProcess& process() { return process_; }

 private:
  void collect() { output_ += process_.readAllStandardOutput(); }

  QProcess process_;
  QByteArray output_;
};

// Every file below `folder` with its contents and modification time: what "touching the
// data folder" would change.
QMap<QString, QByteArray> snapshot(const QString& folder) {
  QMap<QString, QByteArray> files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile file(path);
    QByteArray entry = QByteArray::number(it.fileInfo().lastModified().toMSecsSinceEpoch());
    if (file.open(QIODevice::ReadOnly)) entry += '\n' + file.readAll();
    files.insert(path, entry);
  }
  return files;
}

void expectAnotherInstance(Probe& later) {
  ASSERT_TRUE(later.finish()) << "a later start did not give up";
  EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(later.exitCode(), 3);
  EXPECT_EQ(later.count("another instance"), 1) << later.output().constData();
  EXPECT_EQ(later.count("first"), 0);
}

TEST(SingleInstance, LaterStartsRaiseTheRunningPlayerAndLeaveTheFolderAlone) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString data = home.filePath(QStringLiteral("data"));
  ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/networks")));
  QFile network(data + QStringLiteral("/networks/default.xml"));
  ASSERT_TRUE(network.open(QIODevice::WriteOnly));
  network.write("<network/>\n");
  network.close();
  const QString link = home.filePath(QStringLiteral("link-to-data"));
  ASSERT_TRUE(QFile::link(data, link));

  Probe first(data);
  ASSERT_TRUE(first.waitFor("first")) << first.output().constData();
  const QMap<QString, QByteArray> before = snapshot(data);
  ASSERT_TRUE(before.contains(data + QStringLiteral("/zarvell.lock")));

  // Every spelling of the same folder reaches the same player.
  const QString spellings[] = {data, data + QStringLiteral("/"), data + QStringLiteral("/."),
                               home.filePath(QStringLiteral("data/networks/..")), link};
  int raises = 0;
  for (const QString& spelling : spellings) {
    SCOPED_TRACE(spelling.toStdString());
    Probe later(spelling);
    expectAnotherInstance(later);
    ++raises;
    EXPECT_TRUE(first.waitFor("raise", raises)) << first.output().constData();
  }
  EXPECT_EQ(snapshot(data), before);
  EXPECT_EQ(first.process().state(), QProcess::Running);
}

TEST(SingleInstance, TwoDataFoldersRunSideBySide) {
  QTemporaryDir one;
  QTemporaryDir two;
  ASSERT_TRUE(one.isValid() && two.isValid());
  Probe a(one.path());
  Probe b(two.path());
  ASSERT_TRUE(a.waitFor("first")) << a.output().constData();
  ASSERT_TRUE(b.waitFor("first")) << b.output().constData();
  EXPECT_NE(singleInstanceServerName(one.path()), singleInstanceServerName(two.path()));

  Probe later(two.path());
  expectAnotherInstance(later);
  EXPECT_TRUE(b.waitFor("raise"));
  // Only the player of that folder was asked; by now a stray request would have arrived.
  EXPECT_EQ(a.count("raise"), 0);
}

TEST(SingleInstance, LockOfAKilledPlayerIsTakenOver) {
  QTemporaryDir data;
  ASSERT_TRUE(data.isValid());
  {
    Probe crashed(data.path());
    ASSERT_TRUE(crashed.waitFor("first"));
    crashed.process().kill();  // SIGKILL: no clean-up of any kind
    ASSERT_TRUE(crashed.finish());
  }
  // It left its lock file (and its socket file, outside the temporary folder's control).
  ASSERT_TRUE(QFileInfo::exists(data.filePath(QStringLiteral("zarvell.lock"))));

  Probe next(data.path());
  ASSERT_TRUE(next.waitFor("first")) << next.output().constData();
  // And it really listens: a later start raises it.
  Probe later(data.path());
  expectAnotherInstance(later);
  EXPECT_TRUE(next.waitFor("raise"));
}

TEST(SingleInstance, ACleanCloseGivesTheFolderBack) {
  QTemporaryDir data;
  ASSERT_TRUE(data.isValid());
  {
    Probe player(data.path());
    ASSERT_TRUE(player.waitFor("first"));
    player.process().terminate();  // SIGTERM: the probe closes as the player does
    ASSERT_TRUE(player.finish());
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
  }
  EXPECT_FALSE(QFileInfo::exists(data.filePath(QStringLiteral("zarvell.lock"))));
  Probe next(data.path());
  EXPECT_TRUE(next.waitFor("first")) << next.output().constData();
}

// A player runs for hours: its lock must not turn stale with age.
TEST(SingleInstance, ALongRunningPlayersLockStaysHeld) {
  QTemporaryDir data;
  ASSERT_TRUE(data.isValid());
  Probe player(data.path());
  ASSERT_TRUE(player.waitFor("first"));
  QFile lock(data.filePath(QStringLiteral("zarvell.lock")));
  ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
  const QDateTime hoursAgo = QDateTime::currentDateTime().addSecs(-6 * 3600);
  ASSERT_TRUE(lock.setFileTime(hoursAgo, QFileDevice::FileModificationTime));
  lock.close();
  Probe later(data.path());
  expectAnotherInstance(later);
  EXPECT_TRUE(player.waitFor("raise"));
}

// A player may name itself unlike its executable; its live lock must still hold.
TEST(SingleInstance, LockHoldsWhateverThePlayerCallsItself) {
  QTemporaryDir data;
  ASSERT_TRUE(data.isValid());
  Probe player(QStringList{QStringLiteral("--app-name"), QStringLiteral("Zarvell"), data.path()});
  ASSERT_TRUE(player.waitFor("first")) << player.output().constData();
  Probe later(QStringList{QStringLiteral("--app-name"), QStringLiteral("Zarvell"), data.path()});
  expectAnotherInstance(later);
  EXPECT_TRUE(player.waitFor("raise"));
}

// A lock held by a live process that never answers (hung, or not yet listening) makes a
// later start give up rather than wait or take over.
TEST(SingleInstance, AnUnresponsiveHolderIsGivenUp) {
  enum class Holder { LockOnly, SilentSocket };
  for (const Holder holder : {Holder::LockOnly, Holder::SilentSocket}) {
    SCOPED_TRACE(holder == Holder::LockOnly ? "lock only" : "silent socket");
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    QLockFile lock(data.filePath(QStringLiteral("zarvell.lock")));
    lock.setStaleLockTime(0);
    ASSERT_TRUE(lock.tryLock(0));
    QLocalServer silent;  // accepts through the backlog but never reads or answers
    if (holder == Holder::SilentSocket) {
      QLocalServer::removeServer(singleInstanceServerName(data.path()));
      ASSERT_TRUE(silent.listen(singleInstanceServerName(data.path())));
    }
    const QMap<QString, QByteArray> before = snapshot(data.path());
    Probe later(data.path());
    expectAnotherInstance(later);
    EXPECT_EQ(snapshot(data.path()), before);
    EXPECT_TRUE(lock.isLocked());
  }
}

// Whatever else connects to the socket neither raises the window nor stops the player from
// serving the next real request.
TEST(SingleInstance, ForeignRequestsAreDropped) {
  QTemporaryDir data;
  ASSERT_TRUE(data.isValid());
  Probe player(data.path());
  ASSERT_TRUE(player.waitFor("first"));
  const QByteArray requests[] = {"", "zarvell raise", "zarvell quit\n", QByteArray(4096, 'x'),
                                 "ZARVELL RAISE\n"};
  for (const QByteArray& request : requests) {
    SCOPED_TRACE(request.left(20).constData());
    QLocalSocket socket;
    socket.connectToServer(singleInstanceServerName(data.path()));
    ASSERT_TRUE(socket.waitForConnected(kExitMs));
    if (!request.isEmpty()) {
      socket.write(request);
      ASSERT_TRUE(socket.waitForBytesWritten(kExitMs));
    }
    if (request.endsWith('\n') || request.size() > 64) {
      // A whole line or an oversized request is answered by closing the connection.
      EXPECT_TRUE(socket.state() == QLocalSocket::UnconnectedState ||
                  socket.waitForDisconnected(kExitMs));
      EXPECT_EQ(socket.readAll(), QByteArray());
    }
    socket.abort();
  }
  Probe later(data.path());
  expectAnotherInstance(later);
  EXPECT_TRUE(player.waitFor("raise"));
  EXPECT_EQ(player.count("raise"), 1);
}

}  // namespace
