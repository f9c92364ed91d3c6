#include "scan/scan_session.h"

#include "delivery/delivery_status.h"
#include "scan/line_protocol.h"
#include "scan/scan_tick.h"
#include "scan/scan_worker.h"
#include "store/db_error.h"

#include <QLocale>

namespace orva {

ScanSession::ScanSession(const ScanWorkerSetup& setup, Prompter& prompter, const ScanPlan& plan,
                         ScanWorker& worker)
    : plan_(plan),
      worker_(worker),
      settings_(SettingsDb::Open(setup.paths.SettingsDb())),
      installation_(InstallationDb::Open(setup.paths.WorkingCopy())),
      comm_log_(CommLog::Open(setup.paths.CommLogDb())),
      reference_(ReferenceDb::Open(setup.paths.ReferenceDb())),
      texts_(reference_, [this] { return plan_.LanguageLetter(); }),
      link_(LinkContext{settings_, installation_, comm_log_, texts_, prompter,
                        setup.controller_address, setup.serial_speed, setup.window_title,
                        [this](const QString& caption) { Q_EMIT worker_.Caption(caption); }},
            LinkPorts{tcp_, serial_, clock_}),
      writer_(setup.writer),
      outbox_(setup.paths.OutboxDb(), DeliverySettings().OutboxLimit()),
      sender_(outbox_, setup.writer, [this] { return plan_.Server(); }),
      state_file_(setup.paths.DeliveryStateFile()) {
  comm_log_.set_reporter(
      [this](const QString& text, bool red) { Q_EMIT worker_.Status(text, red); });
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { RunTick(); });
  // The sender goes on between ticks, and after the scan stops.
  figures_timer_.setInterval(1000);
  QObject::connect(&figures_timer_, &QTimer::timeout, &figures_timer_, [this] { ReportFigures(); });
  figures_timer_.start();
  if (!outbox_.set_aside().isEmpty()) {
    Q_EMIT worker_.Status(
        QStringLiteral(
            "The outbox was damaged and is kept aside as %1; a fresh one takes its place")
            .arg(outbox_.set_aside()),
        true);
  }
  ReportFigures();
}

ScanSession::~ScanSession() {
  sender_.Finish(kStopGrace);
  // The last word on delivery: the per-tick lines were said before the sender's last batches.
  if (const qint64 left = outbox_.size(); left > 0) {
    const QString problem = sender_.Totals().problem;
    Q_EMIT worker_.Status(
        QStringLiteral("InfluxDB: %1 records stay in the outbox for the next start")
                .arg(QLocale(QLocale::English).toString(left)) +
            (problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problem)),
        !problem.isEmpty());
  } else if (const qint64 sent = sender_.Totals().sent; sent > 0) {
    DeliveryState all_sent;
    all_sent.sent = sent;
    Q_EMIT worker_.Status(DeliveryStatusText(all_sent).text, false);
  }
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
  // Buffered, the tick's records carry the precision of the tick's start; direct, each post goes
  // to the server as it is set at that moment.
  const InfluxServer server = plan_.Server();
  const bool buffered = server.access.delivery.Mode() == DeliveryMode::kBuffered;
  auto keep = [this, precision = server.access.delivery.Precision()](const QString& record) {
    const auto now = std::chrono::system_clock::now();
    pending_ << StampedRecord{
        WithTimeStamp(record, now, precision).toUtf8(),
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count()};
    return PostResult{PostOutcome::kSent, {}, false, 0, {}, PostProblem::kNone};
  };
  auto post = [this](const QString& record) {
    ++read_;
    const PostResult result = writer_.PostRecord(plan_.Server(), record);
    CountDirectPost(result);
    return result;
  };
  ScanTickHooks hooks{buffered ? std::function<PostResult(const QString&)>(keep) : post,
                      [this, &failed](const QString& text, bool red) {
                        failed = failed || red;
                        Q_EMIT worker_.Status(text, red);
                      },
                      [this](int grid_row) { Q_EMIT worker_.RowActive(grid_row); },
                      [this] { return worker_.scanning(); },
                      [this](const RowReading& reading) { Q_EMIT worker_.RowRead(reading); }};
  try {
    // The tick's frames go to the log in one transaction, as it ends.
    const CommLogBatch log_batch(comm_log_);
    ScanTick(link_, installation_, std::move(hooks), server.access.tags).Run(plan_.Rows());
  } catch (const DbError& error) {
    // A database that fails under the scan ends this tick only; the next one tries again.
    Q_EMIT worker_.Status(error.Text(), true);
    failed = true;
  }
  if (buffered && !CommitTick(server, failed)) failed = true;
  ReportFigures();
  // A failed post also comes here: the next tick tries the server again.
  if (worker_.scanning()) timer_.start();
  retention_.AfterTick(plan_.CommLogDays());
  Q_EMIT worker_.TickFinished(failed);
}

bool ScanSession::CommitTick(const InfluxServer& server, bool tick_failed) {
  const DeliverySettings& delivery = server.access.delivery;
  outbox_.set_limit(delivery.OutboxLimit());
  sender_.Configure({delivery.BatchSize(), SenderSettings().batch_bytes,
                     std::chrono::milliseconds(qRound64(delivery.FlushSeconds() * 1000))});
  bool kept = true;
  try {
    outbox_.Add(delivery.Precision(), pending_);
    read_ += pending_.size();
  } catch (const DbError& error) {
    lost_ += pending_.size();
    kept = false;
    tick_failed = true;
    Q_EMIT worker_.Status(QStringLiteral("The values of this tick are lost: %1").arg(error.Text()),
                          true);
  }
  pending_.clear();
  sender_.Wake();
  const DeliveryState state = sender_.TakeState();
  const DeliveryStatusLine line = DeliveryStatusText(state);
  // A failure of the tick stays in the status line, unless delivery has one of its own.
  if (tick_failed && !line.red) return kept;
  const bool changed = state.problem != shown_problem_ || state.dropped > 0 || state.rejected > 0 ||
                       !state.created_database.isEmpty();
  shown_problem_ = state.problem;
  Q_EMIT worker_.DeliveryStatus(line.text, line.red, changed, state.waiting > 0);
  return kept;
}

void ScanSession::CountDirectPost(const PostResult& result) {
  if (result.outcome == PostOutcome::kSent) {
    ++direct_.sent;
    direct_.last_sent = QDateTime::currentDateTime();
    direct_.problem.clear();
  } else {
    ++direct_.failed;
    direct_.problem = result.status_text;
  }
}

void ScanSession::ReportFigures() {
  DeliveryFigures figures = sender_.Totals();
  figures.direct = plan_.Server().access.delivery.Mode() == DeliveryMode::kDirect;
  figures.read = read_;
  figures.lost = lost_;
  figures.set_aside = outbox_.set_aside();
  figures.sent += direct_.sent;
  figures.failed = direct_.failed;
  if (direct_.last_sent.isValid() &&
      (!figures.last_sent.isValid() || direct_.last_sent > figures.last_sent)) {
    figures.last_sent = direct_.last_sent;
  }
  if (figures.direct) figures.problem = direct_.problem;
  Q_EMIT worker_.Figures(figures);

  if (since_state_written_.isValid() && since_state_written_.elapsed() < 1000) return;
  since_state_written_.start();
  const bool failing = !state_file_.Write(figures);
  if (failing == state_file_failing_) return;
  state_file_failing_ = failing;
  Q_EMIT worker_.Status(failing ? QStringLiteral("%1 cannot be written: --status shows old figures")
                                      .arg(state_file_.path())
                                : QStringLiteral("%1 is written again").arg(state_file_.path()),
                        failing);
}

}  // namespace orva
