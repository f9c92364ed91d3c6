#include "startup/instance_lock.h"

#include <QDir>

namespace orva {

InstanceLock::InstanceLock(const AppPaths& paths) {
  QDir().mkpath(paths.temp_folder);
  const QString program_lock =
      QDir(paths.program_folder).filePath(QStringLiteral("orva-influx.lock"));
  if (Take(program_lock) && Take(paths.WorkingCopy() + QStringLiteral(".lock"))) return;
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

}  // namespace orva
