#include "startup/instance_lock.h"

#include <QDir>

namespace orva {
namespace {

QString ProgramLock(const AppPaths& paths) {
  return QDir(paths.program_folder).filePath(QStringLiteral("orva-influx.lock"));
}

}  // namespace

InstanceLock::InstanceLock(const AppPaths& paths) {
  QDir().mkpath(paths.temp_folder);
  if (Take(ProgramLock(paths)) && Take(paths.WorkingCopy() + QStringLiteral(".lock"))) return;
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
  QLockFile lock(ProgramLock(paths));
  lock.setStaleLockTime(0);
  if (lock.tryLock(0)) {
    lock.unlock();
    return false;
  }
  if (lock.error() == QLockFile::LockFailedError) return true;
  // A user who may not write the folder cannot take the lock to see whether it is stale; a lock
  // file that names a holder is taken for a running one.
  qint64 holder = 0;
  return lock.getLockInfo(&holder, nullptr, nullptr);
}

}  // namespace orva
