#include "scan/scan_session.h"

#include "scan/scan_tick.h"
#include "scan/scan_worker.h"
#include "store/db_error.h"

namespace orva {

ScanSession::ScanSession(const ScanWorkerSetup& setup, Prompter& prompter, const ScanPlan& plan,
                         ScanWorker& worker)
    : plan_(plan),
      worker_(worker),
      settings_(SettingsDb::Open(setup.paths.SettingsDb())),
      installation_(InstallationDb::Open(setup.paths.WorkingCopy())),
      comm_log_(CommLog::Open(setup.paths.CommLogDb())),
      reference_(ReferenceDb::Open(setup.paths.ReferenceDb())),
      language_letter_(setup.language_letter),
      texts_(reference_, [this] { return language_letter_; }),
      link_(LinkContext{settings_, installation_, comm_log_, texts_, prompter,
                        setup.controller_address, setup.serial_speed, setup.window_title,
                        [this](const QString& caption) { Q_EMIT worker_.Caption(caption); }},
            LinkPorts{tcp_, serial_, clock_}),
      writer_(setup.writer) {
  comm_log_.set_reporter(
      [this](const QString& text, bool red) { Q_EMIT worker_.Status(text, red); });
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { RunTick(); });
}

void ScanSession::StartTimer(int interval_ms) {
  timer_.setInterval(interval_ms);
  timer_.start();
}

void ScanSession::StopTimer() { timer_.stop(); }

void ScanSession::RunTick() {
  // The timer is single-shot, so no second tick can start while this one runs.
  timer_.stop();
  // Whatever the tick shows in red is a failure of the tick; the log's own trouble is not.
  bool failed = false;
  ScanTickHooks hooks{
      [this](const QString& record) { return writer_.PostRecord(plan_.Server(), record); },
      [this, &failed](const QString& text, bool red) {
        failed = failed || red;
        Q_EMIT worker_.Status(text, red);
      },
      [this](int grid_row) { Q_EMIT worker_.RowActive(grid_row); },
      [this] { return worker_.scanning(); },
      [this](const RowReading& reading) { Q_EMIT worker_.RowRead(reading); }};
  try {
    ScanTick(link_, installation_, std::move(hooks)).Run(plan_.Rows());
  } catch (const DbError& error) {
    // A database that fails under the scan ends this tick only; the next one tries again.
    Q_EMIT worker_.Status(error.Text(), true);
    failed = true;
  }
  // A failed post also comes here: the next tick tries the server again.
  if (worker_.scanning()) timer_.start();
  retention_.AfterTick(plan_.CommLogDays());
  Q_EMIT worker_.TickFinished(failed);
}

}  // namespace orva
