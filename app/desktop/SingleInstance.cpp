#include "app/desktop/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtGlobal>

namespace zarvell::app {

namespace {

// Each step of a later start's exchange with the running player (connect, send, answer)
// waits at most this long.
constexpr int kStepMs = 200;
// A connection to the running player that has not sent its request by then is dropped, so a
// stuck client cannot keep a socket open for ever.
constexpr int kClientIdleMs = 2000;
// Longer requests are not ours; the connection is dropped.
constexpr qint64 kMaxRequestBytes = 64;

QString canonicalFolder(const QString& folder) {
  const QFileInfo info(folder);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

QString singleInstanceServerName(const QString& dataFolder) {
  const QByteArray digest =
      QCryptographicHash::hash(canonicalFolder(dataFolder).toUtf8(), QCryptographicHash::Sha256)
          .toHex()
          .left(24);
  const QString name = QStringLiteral("zarvell-%1-%2").arg(getuid()).arg(QLatin1String(digest));
  // The per-user runtime folder is private to the user; the temporary folder is shared, so
  // the user id in the name keeps two users' players apart there.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime + QLatin1Char('/') + name;
  return name;
}

SingleInstance::SingleInstance(QString dataFolder, QObject* parent)
    : QObject(parent),
      lockPath_(QDir(dataFolder).filePath(QStringLiteral("zarvell.lock"))),
      serverName_(singleInstanceServerName(dataFolder)),
      lock_(lockPath_) {
  // The player holds the lock for its whole run: it must never turn stale by age, only
  // when the process that wrote it is gone.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();
  if (locked_) lock_.unlock();
}

bool SingleInstance::acquire() {
  if (lock_.tryLock(0)) {
    locked_ = true;
    listen();
    return true;
  }
  if (lock_.error() == QLockFile::LockFailedError) {
    askRunningToRaise();
    return false;
  }
  // No lock file can be written here; the socket is all that tells whether a player runs.
  if (askRunningToRaise()) return false;
  qWarning("zarvell: cannot create the lock file %s; running without the single-instance lock",
           qUtf8Printable(lockPath_));
  listen();
  return true;
}

void SingleInstance::listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
  if (server_->listen(serverName_)) return;
  // A socket file left by a player that crashed; the lock says none runs now.
  if (server_->serverError() == QAbstractSocket::AddressInUseError) {
    QLocalServer::removeServer(serverName_);
    if (server_->listen(serverName_)) return;
  }
  qWarning("zarvell: cannot listen on %s (%s); a second start will not raise this window",
           qUtf8Printable(serverName_), qUtf8Printable(server_->errorString()));
}

void SingleInstance::onNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onRequestData(socket); });
    QTimer::singleShot(kClientIdleMs, socket, [socket] { socket->abort(); });
    onRequestData(socket);  // the request may already be there
  }
}

void SingleInstance::onRequestData(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
    return;
  }
  const QByteArray request = socket->readLine(kMaxRequestBytes + 1);
  if (request == kRaiseRequest) {
    socket->write(kRaiseAnswer);
    socket->flush();
    socket->disconnectFromServer();
    emit raiseRequested();
    return;
  }
  socket->abort();
}

bool SingleInstance::askRunningToRaise() const {
  QLocalSocket socket;
  // The running player may be between taking the lock and listening: try again briefly.
  const QDeadlineTimer connectDeadline(kStepMs);
  for (;;) {
    socket.connectToServer(serverName_);
    if (socket.waitForConnected(static_cast<int>(connectDeadline.remainingTime()))) break;
    if (connectDeadline.hasExpired()) return false;
    QThread::msleep(20);
  }
  socket.write(kRaiseRequest);
  if (!socket.waitForBytesWritten(kStepMs)) return false;
  QByteArray answer;
  const QDeadlineTimer answerDeadline(kStepMs);
  while (!answer.endsWith('\n') && answer.size() < kMaxRequestBytes) {
    if (socket.bytesAvailable() == 0 &&
        !socket.waitForReadyRead(static_cast<int>(answerDeadline.remainingTime()))) {
      break;
    }
    answer += socket.readAll();
  }
  socket.abort();
  return answer == kRaiseAnswer;
}

}  // namespace zarvell::app
