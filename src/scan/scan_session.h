#pragma once

#include <QString>
#include <QTimer>

#include "delivery/influx_writer.h"
#include "link/comm_log.h"
#include "link/link.h"
#include "link/serial_transport.h"
#include "link/steady_clock.h"
#include "link/tcp_transport.h"
#include "store/installation_db.h"
#include "store/language_texts.h"
#include "store/reference_db.h"
#include "store/settings_db.h"

namespace orva {

class DbError;
class Prompter;
class ScanWorker;
struct ScanWorkerSetup;

// A database failure in the status line: "Err: " number " / " description " in " source.
QString DbFailureText(const DbError& error);

// Everything the scan thread owns. Created, used and destroyed in that thread only.
class ScanSession {
 public:
  // Opens the thread's own database connections; throws DbError.
  ScanSession(const ScanWorkerSetup& setup, Prompter& prompter, ScanWorker& worker);

  void StartTimer(int interval_ms);
  void StopTimer();

 private:
  void RunTick();

  ScanWorker& worker_;
  SettingsDb settings_;
  InstallationDb installation_;
  CommLog comm_log_;
  ReferenceDb reference_;
  QString language_letter_;
  LanguageTexts texts_;
  TcpTransport tcp_;
  SerialTransport serial_;
  SteadyClock clock_;
  Link link_;
  InfluxWriter writer_;
  QTimer timer_;
};

}  // namespace orva
