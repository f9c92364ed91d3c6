#include "startup/instance_lock.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>

namespace orva {
InstanceLock::InstanceLock(const AppPaths& paths) {
  QDir().mkpath(paths.temp_folder);
  QDir().mkpath(paths.state_folder);
  if (Take(paths.InstanceLockFile()) && Take(paths.WorkingCopy() + QStringLiteral(".lock"))) return;
  locks_.clear();
}

bool InstanceLock::Take(const QString& path) {
  auto lock = std::make_unique<QLockFile>(path);
  // A scan runs for months: only a holder that is gone makes a lock stale, never its age.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) {
    locks_.push_back(std::move(lock));
    return true;
  }
  if (lock->error() != QLockFile::LockFailedError) return true;
  qint64 holder = 0;
  lock->getLockInfo(&holder, nullptr, nullptr);
  refusal_ = QStringLiteral("orva-influx is already running (process %1)").arg(holder);
  return false;
}

bool InstanceRunning(const AppPaths& paths) {
  // Only looks: taking the lock for a moment, even to give it back at once, would refuse an
  // instance starting in that moment.
  qint64 holder = 0;
  QString application;
  if (!QLockFile(paths.InstanceLockFile()).getLockInfo(&holder, nullptr, &application))
    return false;
  if (::kill(static_cast<pid_t>(holder), 0) != 0 && errno == ESRCH) return false;
  // A lock left by a killed instance may name a number the system has given to another program
  // since; where /proc tells the program, it must be the one that took the lock (perhaps
  // replaced on disk by an update since it started).
  QString program = QFileInfo(QStringLiteral("/proc/%1/exe").arg(holder)).symLinkTarget();
  if (program.isEmpty()) return true;
  program.remove(QRegularExpression(QStringLiteral(" \\(deleted\\)$")));
  return QFileInfo(program).fileName() == QFileInfo(application).fileName();
}

}  // namespace orva
