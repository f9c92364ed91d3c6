#include "app/headless.h"

#include "app/exit_codes.h"
#include "app/status_lines.h"
#include "app/systemd_watch.h"
#include "config/config_file.h"
#include "delivery/influx_server.h"
#include "link/prompter.h"
#include "scan/scan_interval.h"
#include "scan/scan_worker.h"
#include "startup/command_line.h"
#include "startup/startup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>

namespace orva {
namespace {

// Without a user to ask, messages become status lines and the one question is answered from
// the command line. The link asks from the scan thread; its messages are told in the main thread
// through the worker, whose signals carry the scan's other lines: only what is queued to one
// receiver keeps its order.
class HeadlessPrompter : public Prompter {
 public:
  HeadlessPrompter(bool answer, ScanStatusLines& lines) : answer_(answer), lines_(lines) {}
  void set_receiver(QObject* receiver) { receiver_ = receiver; }
  void ShowMessage(const QString& title, const QString& text) override {
    const QString line = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
    QMetaObject::invokeMethod(
        receiver_, [this, line] { lines_.ControllerMessage(line); }, Qt::QueuedConnection);
  }
  bool AskYesNo(const QString& text) override {
    PrintStatus(text + (answer_ ? QStringLiteral(" - yes") : QStringLiteral(" - no")), false);
    return answer_;
  }

 private:
  bool answer_;
  ScanStatusLines& lines_;
  QObject* receiver_ = nullptr;
};

// Turns SIGINT, SIGTERM and SIGHUP into an event of the main loop: the handler only writes a
// byte. SIGPIPE is ignored: a reader of the status lines that goes away must not stop the scan.
class SignalWatcher {
 public:
  SignalWatcher() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0) return;
    write_fd_ = fds_[0];
    struct sigaction action = {};
    action.sa_handler = [](int) {
      const char byte = 1;
      [[maybe_unused]] ssize_t written = ::write(write_fd_, &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int stop_signal : kStopSignals) sigaction(stop_signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    notifier_.emplace(fds_[1], QSocketNotifier::Read);
  }
  ~SignalWatcher() {
    for (const int stop_signal : kStopSignals) std::signal(stop_signal, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
    notifier_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  QSocketNotifier* notifier() { return notifier_ ? &*notifier_ : nullptr; }

 private:
  static constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
  static inline int write_fd_ = -1;
  int fds_[2] = {-1, -1};
  std::optional<QSocketNotifier> notifier_;
};

std::optional<ScanConfiguration> LoadConfiguration(StartupState& state, const QString& path) {
  const ConfigLoad load = LoadConfigFile(path, *state.installation, *state.reference);
  for (const QString& fault : load.faults) {
    PrintStatus(QStringLiteral("%1: %2; the scan skips it").arg(path, fault), true);
  }
  switch (load.status) {
    case ConfigLoadStatus::kLoaded:
      break;
    case ConfigLoadStatus::kEndedEarly:
      PrintStatus(load.error + QStringLiteral("; scanning the rows read before"), true);
      break;
    case ConfigLoadStatus::kNoInfluxDb:
      PrintStatus(path + QStringLiteral(": no \"InfluxDB\" settings in this file"), true);
      return std::nullopt;
    default:
      PrintStatus(load.error, true);
      return std::nullopt;
  }
  const std::vector<ScanRow>& rows = load.configuration.rows;
  const bool scans_something = std::any_of(rows.begin(), rows.end(), [](const ScanRow& row) {
    return row.Kind() != ScanKind::kSkipped;
  });
  if (!scans_something) {
    PrintStatus(path + QStringLiteral(": no rows to scan"), true);
    return std::nullopt;
  }
  return load.configuration;
}

}  // namespace

std::variant<HeadlessOptions, QString> ParseHeadlessOptions(const QStringList& arguments) {
  const auto given = GivenOptions(arguments);
  if (const QString* problem = std::get_if<QString>(&given)) return *problem;
  HeadlessOptions options;
  for (const GivenOption& option : std::get<QList<GivenOption>>(given)) {
    const QString value = option.value.value_or(QString());
    if (option.name == QStringLiteral("--config")) {
      if (value.isEmpty()) return QStringLiteral("--config needs a file name");
      options.config_path = value;
    } else if (option.name == QStringLiteral("--ticks")) {
      bool ok = false;
      const int ticks = value.toInt(&ok);
      if (!ok || ticks < 1) return QStringLiteral("--ticks needs a whole number of 1 or more");
      options.ticks = ticks;
    } else if (option.name == QStringLiteral("--echo-error-answer")) {
      if (value != QStringLiteral("yes") && value != QStringLiteral("no")) {
        return QStringLiteral("--echo-error-answer needs yes or no");
      }
      options.echo_error_answer = value == QStringLiteral("yes");
    }
  }
  if (options.config_path.isEmpty()) return QStringLiteral("--headless needs --config FILE");
  return options;
}

int RunHeadless(StartupState& state, const HeadlessOptions& options) {
  const std::optional<ScanConfiguration> configuration =
      LoadConfiguration(state, options.config_path);
  if (!configuration) return kConfigError;
  const ScanInterval interval = ReadScanInterval(configuration->server.scan_time);
  if (!interval.ms) {
    PrintStatus(interval.error, true);
    return kConfigError;
  }

  ScanStatusLines lines;
  HeadlessPrompter prompter(options.echo_error_answer, lines);
  ScanWorker worker(ScanWorkerSetupFrom(state), prompter);
  // Before any tick: the link speaks only from within one.
  prompter.set_receiver(&worker);
  // With the worker as context the lines are told in the main thread, in the order the scan
  // thread gave them, the link's messages among them.
  QObject::connect(&worker, &ScanWorker::Status, &worker,
                   [&lines](const QString& text, bool red) { lines.Status(text, red); });
  QObject::connect(&worker, &ScanWorker::Caption, &worker,
                   [&lines](const QString& caption) { lines.Caption(caption); });
  QObject::connect(&worker, &ScanWorker::RowRead, &worker,
                   [&lines](const RowReading& reading) { lines.RowRead(reading); });
  SystemdWatch systemd(worker);
  // Delivery is told once per change of state, and once a minute while records wait; in the main
  // thread like every other line, after the lines the tick gave before it.
  QDateTime last_delivery_line;
  QObject::connect(&worker, &ScanWorker::DeliveryStatus, &worker,
                   [&](const QString& text, bool red, bool changed, bool waiting) {
                     const QDateTime now = QDateTime::currentDateTimeUtc();
                     const bool summary_due = waiting && (last_delivery_line.isNull() ||
                                                          last_delivery_line.secsTo(now) >= 60);
                     if (!changed && !summary_due) return;
                     last_delivery_line = now;
                     PrintStatus(text, red);
                   });
  int ticks_done = 0;
  bool last_tick_failed = false;
  bool values_lost = false;
  QObject::connect(&worker, &ScanWorker::Figures, &worker,
                   [&](const DeliveryFigures& figures) { values_lost = figures.lost > 0; });
  bool cannot_scan = false;
  auto finish = [&worker, &systemd] {
    systemd.Stopping();
    worker.Shutdown();
    // Status lines of the last row are still queued here; they belong in the output.
    QCoreApplication::sendPostedEvents(&worker);
    QCoreApplication::quit();
  };
  // Every tick counts, whatever it met: a controller that never answers must not keep a run
  // of N ticks going for ever.
  QObject::connect(&worker, &ScanWorker::TickFinished, &worker, [&](bool failed) {
    lines.TickFinished();
    last_tick_failed = failed;
    if (options.ticks && ++ticks_done >= *options.ticks) finish();
  });
  QObject::connect(&worker, &ScanWorker::CannotScan, &worker, [&] {
    cannot_scan = true;
    finish();
  });
  SignalWatcher signals;
  if (signals.notifier()) {
    QObject::connect(signals.notifier(), &QSocketNotifier::activated, finish);
  }
  const ResolvedServer server = ResolveServer(configuration->server, configuration->access);
  const QList<ScanRow> rows(configuration->rows.begin(), configuration->rows.end());
  worker.UpdateCommLogDays(configuration->comm_log_days);
  if (!worker.Start(*interval.ms, rows, server.server)) return kConfigError;
  for (const QString& warning : server.warnings) PrintStatus(warning, true);
  const std::vector<ScanRow>& all_rows = configuration->rows;
  const qsizetype row_count =
      std::count_if(all_rows.begin(), all_rows.end(),
                    [](const ScanRow& row) { return row.Kind() != ScanKind::kSkipped; });
  const qsizetype skipped = static_cast<qsizetype>(all_rows.size()) - row_count;
  PrintStatus(QStringLiteral("Scanning %1 %2 of %3%4 every %5 ms")
                  .arg(row_count)
                  .arg(row_count == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                  .arg(QFileInfo(options.config_path).fileName())
                  .arg(skipped > 0 ? QStringLiteral(" (%1 skipped)").arg(skipped) : QString())
                  .arg(*interval.ms),
              false);
  systemd.Ready();
  QCoreApplication::exec();
  if (cannot_scan) return kStartupFailed;
  // A run of N ticks that lost values must not pass for a good one.
  return options.ticks && ticks_done >= *options.ticks && (last_tick_failed || values_lost)
             ? kLastTickFailed
             : 0;
}

}  // namespace orva
