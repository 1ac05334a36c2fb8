// One copy of the desktop program per program directory. The first copy holds the
// directory's instance lock and listens on a local socket; a later start hands its command
// line to the first copy and ends.
#pragma once

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/posix/instance_lock.h"

class QLocalServer;

namespace norvax {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(const std::filesystem::path& directory);
  ~SingleInstance() override;

  // True for the first copy on the directory.
  bool First() const { return lock_.Held(); }

  // A later copy: hands args to the first copy; false when it cannot be reached (it is
  // still starting, or ending) within a few seconds.
  bool HandOver(const QStringList& args) const;

  // The first copy: from now on, each later start's command line goes to onStart; those
  // that arrived before are delivered at once.
  void Receive(std::function<void(const QStringList&)> onStart);

 private:
  void Deliver(const QStringList& args);

  InstanceLock lock_;
  QString name_;
  std::unique_ptr<QLocalServer> server_;
  std::function<void(const QStringList&)> onStart_;
  QList<QStringList> pending_;
};

}  // namespace norvax
