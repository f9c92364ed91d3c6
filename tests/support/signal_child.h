#pragma once

#include <QProcess>

#include <csignal>

// Sends `signal` to a child that still runs; false when it has already ended. A child that has
// ended has process id 0, and kill(0, …) would reach our whole process group, ctest included.
inline bool SignalChild(const QProcess& child, int signal) {
  const qint64 id = child.processId();
  return id > 0 && ::kill(static_cast<pid_t>(id), signal) == 0;
}
