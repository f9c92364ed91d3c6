#include "scan/scan_worker.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>

#include "scan/scan_session.h"
#include "store/db_error.h"

namespace orva {

// Runs the scan thread's event loop around a session that lives on its stack.
class ScanWorker::Thread : public QThread {
 public:
  explicit Thread(ScanWorker& worker) : worker_(worker) {}

  // Only touched from this thread: set before the event loop runs any queued call.
  ScanSession* session = nullptr;
  QString open_error;

 protected:
  void run() override {
    std::unique_ptr<ScanSession> owned;
    try {
      owned =
          std::make_unique<ScanSession>(worker_.setup_, worker_.prompter_, worker_.plan_, worker_);
    } catch (const DbError& error) {
      open_error = error.Text();
    }
    session = owned.get();
    exec();
    session = nullptr;
  }

 private:
  ScanWorker& worker_;
};

ScanWorker::ScanWorker(ScanWorkerSetup setup, Prompter& prompter, QObject* parent)
    : QObject(parent),
      setup_(std::move(setup)),
      prompter_(prompter),
      thread_(std::make_unique<Thread>(*this)),
      mailbox_(std::make_unique<QObject>()) {
  thread_->setObjectName(QStringLiteral("scan"));
  plan_.SetLanguageLetter(setup_.language_letter);
  mailbox_->moveToThread(thread_.get());
  thread_->start();
}

ScanWorker::~ScanWorker() { Shutdown(); }

bool ScanWorker::Start(int interval_ms, QList<ScanRow> rows, InfluxServer server) {
  if (interval_ms <= 0) {
    Q_EMIT Status(
        QStringLiteral("Scan time of %1 ms: scanning needs a scan time above 0").arg(interval_ms),
        true);
    return false;
  }
  {
    QMutexLocker lock(&mutex_);
    if (shut_down_) return false;
  }
  plan_.Set(std::move(rows), std::move(server));
  scanning_ = true;
  Send([this, interval_ms](ScanSession* session) {
    if (session != nullptr) {
      session->StartTimer(interval_ms);
      return;
    }
    scanning_ = false;
    Q_EMIT Status(thread_->open_error, true);
    Q_EMIT CannotScan();
  });
  return true;
}

void ScanWorker::Stop() {
  scanning_ = false;
  Send([](ScanSession* session) {
    if (session != nullptr) session->StopTimer();
  });
}

void ScanWorker::UpdateRows(QList<ScanRow> rows) { plan_.SetRows(std::move(rows)); }

void ScanWorker::UpdateServer(InfluxServer server) { plan_.SetServer(std::move(server)); }

void ScanWorker::UpdateCommLogDays(double days) { plan_.SetCommLogDays(days); }

void ScanWorker::UpdateLanguage(QString letter) { plan_.SetLanguageLetter(std::move(letter)); }

void ScanWorker::Shutdown() {
  scanning_ = false;
  {
    QMutexLocker lock(&mutex_);
    if (shut_down_) return;
    shut_down_ = true;
  }
  thread_->quit();
  thread_->wait();
}

void ScanWorker::AskAlive() {
  Send([this](ScanSession*) { Q_EMIT Alive(); });
}

void ScanWorker::Send(std::function<void(ScanSession*)> command) {
  QMutexLocker lock(&mutex_);
  if (shut_down_) return;
  QMetaObject::invokeMethod(
      mailbox_.get(), [this, command = std::move(command)] { command(thread_->session); },
      Qt::QueuedConnection);
}

void ScanPlan::Set(QList<ScanRow> rows, InfluxServer server) {
  QMutexLocker lock(&mutex_);
  rows_ = std::move(rows);
  server_ = std::move(server);
}

void ScanPlan::SetRows(QList<ScanRow> rows) {
  QMutexLocker lock(&mutex_);
  rows_ = std::move(rows);
}

void ScanPlan::SetServer(InfluxServer server) {
  QMutexLocker lock(&mutex_);
  server_ = std::move(server);
}

void ScanPlan::SetCommLogDays(double days) {
  QMutexLocker lock(&mutex_);
  comm_log_days_ = days;
}

void ScanPlan::SetLanguageLetter(QString letter) {
  QMutexLocker lock(&mutex_);
  language_letter_ = std::move(letter);
}

QString ScanPlan::LanguageLetter() const {
  QMutexLocker lock(&mutex_);
  return language_letter_;
}

QList<ScanRow> ScanPlan::Rows() const {
  QMutexLocker lock(&mutex_);
  return rows_;
}

InfluxServer ScanPlan::Server() const {
  QMutexLocker lock(&mutex_);
  return server_;
}

double ScanPlan::CommLogDays() const {
  QMutexLocker lock(&mutex_);
  return comm_log_days_;
}

}  // namespace orva
