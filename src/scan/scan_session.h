#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include "delivery/delivery_state_file.h"
#include "delivery/influx_writer.h"
#include "delivery/outbox.h"
#include "delivery/outbox_sender.h"
#include "link/comm_log.h"
#include "link/link.h"
#include "link/serial_transport.h"
#include "link/steady_clock.h"
#include "link/tcp_transport.h"
#include "scan/comm_log_retention.h"
#include "store/installation_db.h"
#include "store/language_texts.h"
#include "store/reference_db.h"
#include "store/settings_db.h"

namespace orva {

class Prompter;
class ScanPlan;
class ScanWorker;
struct ScanWorkerSetup;

// Everything the scan thread owns. Created, used and destroyed in that thread only.
class ScanSession {
 public:
  // Opens the thread's own database connections; throws DbError.
  // `plan` is read at every tick; `worker` hears how the scan goes through its signals.
  ScanSession(const ScanWorkerSetup& setup, Prompter& prompter, const ScanPlan& plan,
              ScanWorker& worker);
  // Gives the sender its time to empty the outbox (kStopGrace), then says what it sent or left.
  ~ScanSession();
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;

  static constexpr std::chrono::milliseconds kStopGrace{5000};

  void StartTimer(int interval_ms);
  void StopTimer();

 private:
  void RunTick();
  // Takes a buffered tick's records into the outbox and shows how delivery stands.
  // Whether the outbox took the records; a tick whose records it cannot take has failed.
  bool CommitTick(const InfluxServer& server, bool tick_failed);
  void CountDirectPost(const PostResult& result);
  // Tells the window how delivery has gone, and the state file at most once a second.
  void ReportFigures();

  const ScanPlan& plan_;
  ScanWorker& worker_;
  SettingsDb settings_;
  InstallationDb installation_;
  CommLog comm_log_;
  CommLogRetention retention_{comm_log_};
  ReferenceDb reference_;
  LanguageTexts texts_;
  TcpTransport tcp_;
  SerialTransport serial_;
  SteadyClock clock_;
  Link link_;
  InfluxWriter writer_;
  Outbox outbox_;
  OutboxSender sender_;
  // The records of the running tick, in buffered delivery.
  QList<StampedRecord> pending_;
  QString shown_problem_;   // of the delivery status shown last
  qint64 read_ = 0;         // records read since the session began
  qint64 lost_ = 0;         // records read that the outbox could not take
  DeliveryFigures direct_;  // direct posts: sent, failed, the last one and its problem
  DeliveryStateFile state_file_;
  QElapsedTimer since_state_written_;
  bool state_file_failing_ = false;
  QTimer timer_;
  QTimer figures_timer_;
};

}  // namespace orva
