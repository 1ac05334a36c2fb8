// One copy of the desktop program per program directory. The first copy holds the
// directory's instance lock and listens on a local socket; a later start hands its command
// line to the first copy, waits for its answer and ends.
//
// The socket lies where no other user can place one: in the user's runtime directory
// ($XDG_RUNTIME_DIR, when it is a directory of the user's own with mode 0700), else in the
// program directory. Its name follows the program directory's identity (device and inode),
// as the lock, a file in that directory, does. Each side talks only to a peer of its own user.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/posix/instance_lock.h"

class QLocalServer;
class QLocalSocket;

namespace norvax {

// What the first copy answers a later start.
enum class StartAnswer : char {
  kTaken = '1',    // it carries out the command line
  kEditing = 'e',  // refused: one of its modal windows is open
  kEnding = 'q',   // refused: it is ending
  kRefused = 'r',  // refused by the program's own rules, for the reason that follows
};

// The answer with the reason of kRefused (CP932), in the program's words.
struct StartReply {
  StartReply(StartAnswer given = StartAnswer::kTaken, std::string why = {})
      : answer(given), reason(std::move(why)) {}
  StartAnswer answer;
  std::string reason;
  bool operator==(const StartReply&) const = default;
};

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(const std::filesystem::path& directory);
  // The first copy removes its socket.
  ~SingleInstance() override;

  // Where the socket of the copy on directory lies, in the environment of now.
  static std::filesystem::path SocketPath(const std::filesystem::path& directory);

  // True for the first copy on the directory.
  bool First() const { return lock_.Held(); }

  // The first copy: why later starts cannot reach it (CP932); empty while it listens.
  const std::string& ListenFailure() const { return listenFailure_; }

  // A later copy: hands args to the first copy and waits for its answer as long as the
  // first copy runs; calls onWaiting once when none has come within patience (by default a
  // note on the error stream). Empty when the first copy took the command line, else why
  // not (CP932): the first copy's own words for kRefused; when no socket is where this copy
  // looks, that a copy seems to run where another runtime directory puts it. When what held
  // the directory was no copy (a log command of norvaxctl, a call's guardian) and lets go
  // within patience, this copy becomes the first instead: empty, and First() is true.
  std::string HandOver(const QStringList& args,
                       std::chrono::milliseconds patience = std::chrono::seconds(5),
                       const std::function<void()>& onWaiting = {});

  // The first copy: from now on, each later start's command line goes to onStart, whose
  // answer goes back to that start; those that arrived before are delivered at once.
  void Receive(std::function<StartReply(const QStringList&)> onStart);

 private:
  // The first copy: listens at path_ for later starts.
  void Listen();
  void Accept();
  void Deliver(QLocalSocket* socket, const QStringList& args);

  InstanceLock lock_;
  std::filesystem::path directory_;
  std::filesystem::path path_;
  int socketDirectory_ = -1;  // the first copy's: the folder of its socket
  std::string listenFailure_;
  std::unique_ptr<QLocalServer> server_;
  std::function<StartReply(const QStringList&)> onStart_;
  QList<std::pair<QPointer<QLocalSocket>, QStringList>> pending_;
};

// A failure to start as one copy: on the error stream and in an error box.
void ReportStartFailure(const std::string& text);

}  // namespace norvax
