#pragma once

#include "store/app_paths.h"

#include <QLockFile>
#include <QString>

#include <memory>
#include <vector>

namespace orva {

// Keeps a second start off the files a running one works on: the settings, log and outbox in
// the state folder, and the working copy under the program root. Each is guarded by a lock file
// that names its holder's process; a lock whose process is gone (killed, crashed) is taken over.
class InstanceLock {
 public:
  // Takes both locks, or none. Creates the state folder and the folder of the working copy when
  // they are missing.
  explicit InstanceLock(const AppPaths& paths);

  // Why this start must end ("orva-influx is already running (process N)"); empty when it
  // holds the locks. A lock that cannot be written at all is left to start-up, which names
  // the folder that refuses.
  const QString& refusal() const { return refusal_; }

 private:
  bool Take(const QString& path);

  std::vector<std::unique_ptr<QLockFile>> locks_;
  QString refusal_;
};

// Whether an orva-influx runs on the state folder of `paths`: a live process holds its lock.
bool InstanceRunning(const AppPaths& paths);

}  // namespace orva
