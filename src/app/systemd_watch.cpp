#include "app/systemd_watch.h"

#include "scan/scan_worker.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstdint>

namespace orva {
namespace {

constexpr int kLongestPingMs = 10000;

// Half the unit's WatchdogSec=, as systemd advises, and at most kLongestPingMs.
int PingIntervalMs() {
  uint64_t watchdog_usec = 0;
  if (sd_watchdog_enabled(0, &watchdog_usec) <= 0) return kLongestPingMs;
  return static_cast<int>(std::clamp<uint64_t>(watchdog_usec / 2000, 1, kLongestPingMs));
}

}  // namespace

SystemdWatch::SystemdWatch(ScanWorker& worker) {
  if (!under_systemd_) return;
  const QString watchdog = QStringLiteral("WATCHDOG=1");
  connect(&worker, &ScanWorker::Status, this,
          [this](const QString& text, bool) { Notify(QStringLiteral("STATUS=") + text); });
  // Each row is progress: a tick of many rows that wait for a controller that is away may
  // outlast WatchdogSec= without hanging.
  connect(&worker, &ScanWorker::RowActive, this, [this, watchdog] { Notify(watchdog); });
  connect(&worker, &ScanWorker::TickFinished, this, [this, watchdog] { Notify(watchdog); });
  connect(&worker, &ScanWorker::Alive, this, [this, watchdog] { Notify(watchdog); });
  connect(&ping_, &QTimer::timeout, &worker, &ScanWorker::AskAlive);
  ping_.setInterval(PingIntervalMs());
}

void SystemdWatch::Ready() {
  Notify(QStringLiteral("READY=1"));
  if (under_systemd_) ping_.start();
}

void SystemdWatch::Stopping() {
  ping_.stop();
  Notify(QStringLiteral("STOPPING=1"));
}

void SystemdWatch::Notify(const QString& state) { sd_notify(0, state.toUtf8().constData()); }

}  // namespace orva
