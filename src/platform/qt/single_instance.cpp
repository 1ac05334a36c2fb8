#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <optional>

#include "platform/cp932.h"
#include "platform/qt/qt_user_dialogs.h"

namespace norvax {
namespace {

constexpr int kRetryMs = 100;

QString QtPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// The user's runtime directory when it is a directory of the user's own that no one else
// may enter (mode 0700), else nothing.
std::optional<std::filesystem::path> PrivateRuntimeDirectory() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (!runtime || *runtime == '\0' || stat(runtime, &st) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_uid != geteuid() || (st.st_mode & 07777) != 0700) {
    return std::nullopt;
  }
  return runtime;
}

// The user a connected local socket's peer runs as, or nothing when it cannot be told.
std::optional<uid_t> PeerUser(qintptr socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    return std::nullopt;
  }
  return peer.uid;
}

bool OwnPeer(const QLocalSocket& socket) {
  return PeerUser(socket.socketDescriptor()) == geteuid();
}

// A socket of the user's own at path is a copy's that was killed: the lock holder's to
// replace. Anything else there stays; why the copy cannot listen, or empty.
std::string ClearPlace(const std::filesystem::path& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return {};
  if (S_ISSOCK(st.st_mode) && st.st_uid == geteuid() && unlink(path.c_str()) == 0) return {};
  return Cp932ForDisplay(path.string()) + Sjis(" はこの NORVAX のものではありません。");
}

std::string WithPath(const std::filesystem::path& path, const std::string& text) {
  return text + " (" + Cp932ForDisplay(path.string()) + ")";
}

// A copy holds the directory's lock, but its socket is not where this copy looks: the two
// were started with different runtime directories.
std::string SocketElsewhereMessage(const std::filesystem::path& directory,
                                   const std::filesystem::path& path) {
  return Sjis("起動中の NORVAX に接続できません。\n") + Cp932ForDisplay(directory.string()) +
         Sjis(" では別の NORVAX が起動しているようですが、その接続口 ") +
         Cp932ForDisplay(path.string()) +
         Sjis(
             " がありません。XDG_RUNTIME_DIR の違う環境（別のセッションなど）で起動された "
             "NORVAX かもしれません。その NORVAX と同じセッション（同じ XDG_RUNTIME_DIR）"
             "から起動して下さい。");
}

// The reason that follows a refusal, or nothing when the connection ends before it is whole.
std::optional<std::string> RefusalReason(QLocalSocket& socket) {
  QDataStream in(&socket);
  QByteArray reason;
  for (;;) {
    in.startTransaction();
    in >> reason;
    if (in.commitTransaction()) return reason.toStdString();
    if (!socket.waitForReadyRead(-1)) return std::nullopt;
  }
}

}  // namespace

std::filesystem::path SingleInstance::SocketPath(const std::filesystem::path& directory) {
  const auto runtime = PrivateRuntimeDirectory();
  if (!runtime) return directory / "norvax.sock";
  struct stat st {};
  stat(directory.c_str(), &st);
  char name[64];
  std::snprintf(name, sizeof name, "norvax-%jx-%jx", static_cast<uintmax_t>(st.st_dev),
                static_cast<uintmax_t>(st.st_ino));
  return *runtime / name;
}

SingleInstance::SingleInstance(const std::filesystem::path& directory)
    : lock_(directory), directory_(directory), path_(SocketPath(directory)) {
  if (First()) Listen();
}

void SingleInstance::Listen() {
  socketDirectory_ = open(path_.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  listenFailure_ = ClearPlace(path_);
  if (listenFailure_.empty() && !server_->listen(QtPath(path_))) {
    listenFailure_ = Cp932ForDisplay(path_.string()) + Sjis(" で待ち受けできません (") +
                     Cp932ForDisplay(server_->errorString().toStdString()) + ")";
  }
  if (!listenFailure_.empty()) {
    listenFailure_ += Sjis("\nこのあと起動した NORVAX は、この NORVAX に引き継げません。");
  }
  connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

SingleInstance::~SingleInstance() {
  // Only a socket this copy listens on is its own to remove; it goes with the directory it
  // lies in, even when that was renamed meanwhile.
  if (server_ && server_->isListening()) {
    server_->close();
    unlinkat(socketDirectory_, path_.filename().c_str(), 0);
  }
  if (socketDirectory_ >= 0) close(socketDirectory_);
}

void SingleInstance::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (!OwnPeer(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      QDataStream in(socket);
      in.startTransaction();
      QStringList args;
      in >> args;
      if (in.commitTransaction()) Deliver(socket, args);
    });
  }
}

void SingleInstance::Deliver(QLocalSocket* socket, const QStringList& args) {
  if (!onStart_) {
    pending_.append({socket, args});
    return;
  }
  const StartReply reply = onStart_(args);
  QByteArray message(1, static_cast<char>(reply.answer));
  if (reply.answer == StartAnswer::kRefused) {
    QDataStream out(&message, QIODevice::Append);
    out << QByteArray::fromStdString(reply.reason);
  }
  socket->write(message);
  socket->flush();
}

void SingleInstance::Receive(std::function<StartReply(const QStringList&)> onStart) {
  onStart_ = std::move(onStart);
  // A later start that was ended meanwhile (Ctrl+C) has given up its command line.
  for (auto& [socket, args] : std::exchange(pending_, {})) {
    if (socket && socket->state() == QLocalSocket::ConnectedState) Deliver(socket, args);
  }
}

std::string SingleInstance::HandOver(const QStringList& args, std::chrono::milliseconds patience,
                                     const std::function<void()>& onWaiting) {
  // The first copy listens as soon as it holds the lock; a moment may pass until then. A
  // lock that nothing listens for may be a log command's or a call guardian's, held for a
  // moment.
  QLocalSocket socket;
  QDeadlineTimer reach(patience);
  for (;;) {
    socket.connectToServer(QtPath(path_));
    if (socket.waitForConnected(kRetryMs)) break;
    if (lock_.Take()) {
      Listen();
      return {};
    }
    if (reach.hasExpired()) {
      if (socket.error() == QLocalSocket::ServerNotFoundError) {
        return SocketElsewhereMessage(directory_, path_);
      }
      return WithPath(path_, Sjis("起動中の NORVAX に接続できません。 ") +
                                 Cp932ForDisplay(socket.errorString().toStdString()));
    }
    QThread::msleep(kRetryMs);
  }
  if (!OwnPeer(socket)) {
    return WithPath(path_, Sjis("起動中の NORVAX の接続口を別のユーザーが使っています。"
                                "コマンドラインは渡しません。"));
  }
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out << args;
  socket.write(message);
  // A first copy that is busy (starting, or with its windows waiting for the user) answers
  // later: the wait lasts as long as it runs, and a copy that ends closes the connection.
  bool told = false;
  while (socket.bytesAvailable() == 0) {
    if (socket.waitForReadyRead(told ? -1 : static_cast<int>(patience.count())) ||
        socket.bytesAvailable() > 0) {
      continue;
    }
    if (socket.state() != QLocalSocket::ConnectedState) {
      return Sjis("起動中の NORVAX が、受け付ける前に終了しました。もう一度起動して下さい。");
    }
    told = true;
    if (onWaiting) {
      onWaiting();
    } else {
      std::cerr << "起動中の NORVAX の応答を待っています...\n";
    }
  }
  char answer = 0;
  socket.getChar(&answer);
  switch (static_cast<StartAnswer>(answer)) {
    case StartAnswer::kTaken:
      return {};
    case StartAnswer::kEditing:
      return Sjis(
          "起動中の NORVAX で画面が開いているため、受け付けられませんでした。"
          "その画面を閉じてから、もう一度起動して下さい。");
    case StartAnswer::kEnding:
      return Sjis(
          "起動中の NORVAX が終了するところのため、受け付けられませんでした。"
          "終了してから、もう一度起動して下さい。");
    case StartAnswer::kRefused:
      if (auto reason = RefusalReason(socket); reason && !reason->empty()) return *reason;
      break;
  }
  return Sjis("起動中の NORVAX の応答が読めません。");
}

void ReportStartFailure(const std::string& text) {
  std::cerr << Cp932ToUtf8(text) << "\n";
  QtUserDialogs().ShowError(text);
}

}  // namespace norvax
