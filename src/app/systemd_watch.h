#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace orva {

class ScanWorker;

// Tells systemd how a headless scan goes when systemd runs it as a Type=notify service
// (NOTIFY_SOCKET set); without that socket it sends nothing. The watchdog hears as each row
// starts, after every tick, and between ticks whenever the scan thread answers, at least every
// 10 s (more often when the unit's WatchdogSec= asks for it): a row that hangs answers nothing,
// so systemd restarts the service.
class SystemdWatch : public QObject {
 public:
  explicit SystemdWatch(ScanWorker& worker);

  // Start-up is done and the scan runs.
  void Ready();
  // The program is on its way out.
  void Stopping();

 private:
  void Notify(const QString& state);

  // Outside systemd nobody listens: the scan's signals would wake the main thread for nothing.
  const bool under_systemd_ = qEnvironmentVariableIsSet("NOTIFY_SOCKET");
  QTimer ping_;
};

}  // namespace orva
