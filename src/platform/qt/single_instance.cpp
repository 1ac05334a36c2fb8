#include "platform/qt/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace norvax {
namespace {

constexpr int kHandOverMs = 5000;
constexpr int kRetryMs = 100;

// The socket's name: one per user and program directory.
QString ServerName(const std::filesystem::path& directory) {
  std::error_code ec;
  auto canonical = std::filesystem::weakly_canonical(directory, ec);
  const QByteArray path = QByteArray::fromStdString((ec ? directory : canonical).string());
  return QStringLiteral("norvax-%1-%2")
      .arg(getuid())
      .arg(QString::fromLatin1(
          QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(16)));
}

}  // namespace

SingleInstance::SingleInstance(const std::filesystem::path& directory)
    : lock_(directory), name_(ServerName(directory)) {
  if (!First()) return;
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // A socket left by a copy that was killed is ours to replace: the lock is ours.
  QLocalServer::removeServer(name_);
  server_->listen(name_);
  connect(server_.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        QDataStream in(socket);
        in.startTransaction();
        QStringList args;
        in >> args;
        if (!in.commitTransaction()) return;
        socket->write("1");
        socket->flush();
        Deliver(args);
      });
    }
  });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::HandOver(const QStringList& args) const {
  QDeadlineTimer deadline(kHandOverMs);
  while (!deadline.hasExpired()) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (socket.waitForConnected(kRetryMs)) {
      QByteArray message;
      QDataStream out(&message, QIODevice::WriteOnly);
      out << args;
      socket.write(message);
      if (socket.waitForBytesWritten(kHandOverMs) &&
          socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        return true;
      }
    }
    QThread::msleep(kRetryMs);
  }
  return false;
}

void SingleInstance::Receive(std::function<void(const QStringList&)> onStart) {
  onStart_ = std::move(onStart);
  for (const QStringList& args : std::exchange(pending_, {})) onStart_(args);
}

void SingleInstance::Deliver(const QStringList& args) {
  if (onStart_) {
    onStart_(args);
  } else {
    pending_.append(args);
  }
}

}  // namespace norvax
