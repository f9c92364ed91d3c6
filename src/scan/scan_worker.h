#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

#include "config/scan_configuration.h"
#include "config/scan_row.h"
#include "delivery/delivery_figures.h"
#include "delivery/influx_writer.h"
#include "scan/row_reading.h"
#include "store/app_paths.h"

namespace orva {

class Prompter;
class ScanSession;

// What the scan thread opens for itself: databases are per-thread connections, so it gets the
// paths, not the GUI thread's open handles.
struct ScanWorkerSetup {
  AppPaths paths;
  QString language_letter;
  QString controller_address;  // the -c switch
  QString serial_speed = QStringLiteral("115200");
  QString window_title;
  InfluxWriterOptions writer;
};

// What the next tick reads: the rows and the server, swapped in whole from any thread.
class ScanPlan {
 public:
  void Set(QList<ScanRow> rows, InfluxServer server);
  void SetRows(QList<ScanRow> rows);
  void SetServer(InfluxServer server);
  void SetCommLogDays(double days);
  void SetLanguageLetter(QString letter);
  QList<ScanRow> Rows() const;
  InfluxServer Server() const;
  double CommLogDays() const;
  QString LanguageLetter() const;

 private:
  mutable QMutex mutex_;
  QList<ScanRow> rows_;
  InfluxServer server_;
  double comm_log_days_ = kDefaultCommLogDays;
  QString language_letter_;
};

// The scan cycle in a thread of its own, so that the window never waits on the controller or
// the server. The thread owns the link, its transports, the HTTP writer, the scan timer and its
// own database connections; the window drives it through the methods below, which are safe to
// call from any thread, and hears from it through queued signals.
//
// Scanning follows the "Scan and Log" box: Start() ticks it, Stop() unticks it. A tick reads the
// rows as they were when it began; UpdateRows() and UpdateServer() reach the next tick and the
// next post. Stop() is seen before every row, so a running tick ends after its current row.
//
// The link asks the user through `prompter` from the scan thread and waits for the answer; a
// prompter must not wait for a thread that is itself waiting in Shutdown().
class ScanWorker : public QObject {
  Q_OBJECT

 public:
  ScanWorker(ScanWorkerSetup setup, Prompter& prompter, QObject* parent = nullptr);
  // Shuts down.
  ~ScanWorker() override;

  // Ticks the box: the first tick runs `interval_ms` from now, each next one `interval_ms` after
  // the previous tick ended. False (and a red status) for an interval of 0 or less, or after
  // Shutdown().
  bool Start(int interval_ms, QList<ScanRow> rows, InfluxServer server);
  // Unticks the box: no further tick starts, and a running one ends after its current row.
  void Stop();
  void UpdateRows(QList<ScanRow> rows);
  void UpdateServer(InfluxServer server);
  // How many days of the communication log to keep (0: every row); reaches the next tick.
  void UpdateCommLogDays(double days);
  // The language of the link's messages from the next one on.
  void UpdateLanguage(QString letter);
  // Stops scanning, lets a running tick finish its row and ends the thread; waits for it.
  void Shutdown();
  // Alive() follows once the scan thread is free to take it: at once between ticks, after the
  // tick while one runs, never while a tick hangs.
  void AskAlive();

  bool scanning() const { return scanning_; }

 Q_SIGNALS:
  void Status(const QString& text, bool red);
  // The grid row being read, 1-based as the grid counts them below its header.
  void RowActive(int grid_row);
  // After every row that was read or failed (see RowReading).
  void RowRead(const orva::RowReading& reading);
  // The window caption the link sets while it connects.
  void Caption(const QString& caption);
  // `failed`: the tick showed a failure in red (the controller, the server, a row).
  void TickFinished(bool failed);
  // The scan thread could not open its databases: no tick will ever run. Status() said why.
  void CannotScan();
  void Alive();
  // After each tick in buffered delivery: how delivery stands. `changed`: the server's state
  // changed since the previous one (it failed, failed otherwise or came back), or records were
  // dropped or refused; `waiting`: records wait in the outbox.
  void DeliveryStatus(const QString& text, bool red, bool changed, bool waiting);
  // After each tick and once a second: how delivery has gone since the program started.
  void Figures(const orva::DeliveryFigures& figures);

 private:
  class Thread;

  // Runs `command` in the scan thread once it is free.
  void Send(std::function<void(ScanSession*)> command);

  const ScanWorkerSetup setup_;
  Prompter& prompter_;
  std::atomic<bool> scanning_{false};
  ScanPlan plan_;
  QMutex mutex_;
  bool shut_down_ = false;
  std::unique_ptr<Thread> thread_;
  // Lives in the scan thread: queued calls to it run there.
  std::unique_ptr<QObject> mailbox_;
};

}  // namespace orva
