// The "Scan and Log" box, what the scan reads, and the configuration files.
#include "config/config_file.h"
#include "delivery/influx_server.h"
#include "scan/scan_interval.h"
#include "scan/scan_worker.h"
#include "startup/startup.h"
#include "ui/file_dialog.h"
#include "ui/frm_influxdb.h"
#include "ui/grid_editor_delegate.h"
#include "ui/gui_prompter.h"
#include "ui/scan_grid_model.h"
#include "ui/scan_grid_view.h"
#include "ui/value_text.h"
#include "ui/values_panel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace orva {
namespace {

const QString kJsonFilter = QStringLiteral("JSON (*.JSON)");
const QString kJsonSuffix = QStringLiteral("JSON");

}  // namespace

void FrmInfluxDB::chkScan_Click(bool ticked) {
  prompter_->SetScanning(ticked);
  if (!ticked) {
    if (worker_) worker_->Stop();
    SetScanLock(false);
    ShowChosenRow();
    return;
  }
  // A scan time that reads as 0 would tick the box and never scan: say why and stay unticked.
  const ScanInterval interval = ReadScanInterval(txtScanTime_->text());
  if (!interval.ms || !worker_) {
    SetStatus(interval.ms ? QStringLiteral("The installation is not loaded") : interval.error,
              true);
    chkScan_->setChecked(false);
    return;
  }
  HideCellEditors();
  SetScanLock(true);
  values_->StartScan();
  const ResolvedServer server = ResolveServer(Fields(), access_);
  if (!worker_->Start(*interval.ms, model_->RowList(), server.server)) {
    chkScan_->setChecked(false);
    return;
  }
  if (!server.warnings.isEmpty()) SetStatus(server.warnings.join(QLatin1String("; ")), true);
}

void FrmInfluxDB::SetScanLock(bool scanning) {
  scanning_ = scanning;
  chosen_while_scanning_ = false;
  cmdDelData_->setEnabled(!scanning);
  QPalette palette = chkScan_->palette();
  palette.setColor(chkScan_->backgroundRole(),
                   scanning ? QColor(128, 255, 128) : this->palette().color(QPalette::Button));
  chkScan_->setPalette(palette);
}

// The scan works on a copy of the rows taken at the start of each tick; every change reaches
// the next tick.
void FrmInfluxDB::RowsChanged() {
  if (worker_ && scanning_) worker_->UpdateRows(model_->RowList());
}

void FrmInfluxDB::ShowScanRow(int grid_row) {
  // A tick that finishes its row after the box was unticked leaves the highlight alone, and so
  // does every tick once the user chose a row.
  if (!scanning_ || chosen_while_scanning_) return;
  const QModelIndex cell = model_->index(grid_row - 1, ScanGridModel::kScanType);
  if (!cell.isValid()) return;
  grdConfig_->selectionModel()->select(cell, QItemSelectionModel::ClearAndSelect);
  grdConfig_->scrollTo(cell);
}

void FrmInfluxDB::ShowReading(const RowReading& reading) {
  rows_read_ += reading.ok();
  values_->Add(reading);
  const QString read_at = TimeOfDayText(reading.read_at.time(), QLocale());
  model_->SetReadMark(
      reading.grid_row - 1,
      {reading.ok(), reading.ok() ? QStringLiteral("Read at ") + read_at
                                  : read_at + QStringLiteral(": ") + reading.error});
}

// A tick that showed a failure leaves it in the status line.
void FrmInfluxDB::ShowTick(bool failed) {
  if (!failed && !delivery_failing_) {
    SetStatus(QStringLiteral("%1: %2 %3 read")
                      .arg(TimeOfDayText(QTime::currentTime(), QLocale()))
                      .arg(rows_read_)
                      .arg(rows_read_ == 1 ? QStringLiteral("row") : QStringLiteral("rows")) +
                  (delivery_news_.isEmpty() ? QString() : QStringLiteral("; ") + delivery_news_),
              false);
  }
  rows_read_ = 0;
  delivery_news_.clear();
}

void FrmInfluxDB::ShowChosenValues() {
  const int row = clicked_row_.isValid() ? clicked_row_.row() : -1;
  values_->ShowRow(row + 1, model_->Row(row).item_text);
}

void FrmInfluxDB::cmdSaveConfig_Click() {
  HideCellEditors();
  const ScanConfiguration configuration{Fields(), model_->rows(), access_, comm_log_days_};
  const QString path =
      AskFileName(this, QFileDialog::AcceptSave, QStringLiteral("Save configuration to JSON File"),
                  ProposedConfigFileName(QDateTime::currentDateTime()), kJsonFilter, kJsonSuffix);
  if (path.isEmpty()) return;
  RememberConfigFile(path);
  QString error;
  // Either way the outcome replaces what the status line showed, an older failure too.
  if (SaveConfigFile(path, configuration, &error)) {
    ForgetEditedServer();
    SetStatus(QStringLiteral("Saved ") + QDir::toNativeSeparators(path), false);
  } else {
    SetStatus(error, true);
  }
}

void FrmInfluxDB::cmdOpenConfig_Click() {
  HideCellEditors();
  const QString path =
      AskFileName(this, QFileDialog::AcceptOpen, QStringLiteral("Select InfluxDB config file"),
                  QString(), kJsonFilter, kJsonSuffix);
  if (path.isEmpty()) return;
  RememberConfigFile(path);
  if (LoadConfigFile(path)) ForgetEditedServer();
}

bool FrmInfluxDB::LoadConfigFile(const QString& path) {
  HideCellEditors();
  ConfigLoad load;
  Guarded([&] { load = orva::LoadConfigFile(path, *state_.installation, *state_.reference); });
  switch (load.status) {
    case ConfigLoadStatus::kNotJson: {
      QMessageBox box(QMessageBox::Warning, windowTitle(), NotJsonMessage(path), QMessageBox::Ok,
                      this);
      box.setObjectName(QStringLiteral("notJsonBox"));
      box.exec();
      return false;
    }
    case ConfigLoadStatus::kNoInfluxDb:
      return false;
    case ConfigLoadStatus::kUnreadable:
      if (!load.error.isEmpty()) SetStatus(load.error, true);
      return false;
    case ConfigLoadStatus::kLoaded:
    case ConfigLoadStatus::kEndedEarly:
      ApplyConfiguration(load.configuration);
      if (!load.error.isEmpty()) {
        SetStatus(load.error, true);
      } else if (!load.faults.isEmpty()) {
        SetStatus(QStringLiteral("%1: the scan skips %2")
                      .arg(QDir::toNativeSeparators(path), load.faults.join(QStringLiteral("; "))),
                  true);
      } else {
        SetStatus(QStringLiteral("Loaded ") + QDir::toNativeSeparators(path), false);
      }
      return true;
  }
  return false;
}

void FrmInfluxDB::ApplyServerSettings(const ScanConfiguration& configuration) {
  access_ = configuration.access;
  comm_log_days_ = configuration.comm_log_days;
  txtipaddress_->setText(configuration.server.host);
  txtPort_->setText(configuration.server.port);
  txtDBname_->setText(configuration.server.database);
  txtScanTime_->setText(configuration.server.scan_time);
  if (worker_) {
    worker_->UpdateServer(Server());
    worker_->UpdateCommLogDays(comm_log_days_);
  }
}

// A running scan keeps going and picks the new rows and server up at its next tick.
void FrmInfluxDB::ApplyConfiguration(const ScanConfiguration& configuration) {
  ApplyServerSettings(configuration);
  model_->SetRows(configuration.rows);
  // The file's last row is the current one, as the reader leaves the grid; the delete button
  // shows when there is one, and removes it.
  const int last = static_cast<int>(configuration.rows.size()) - 1;
  clicked_row_ = last >= 0 ? QPersistentModelIndex(model_->index(last, ScanGridModel::kScanType))
                           : QPersistentModelIndex();
  cmdDelData_->setVisible(clicked_row_.isValid());
  ShowChosenValues();
  // A running scan shows the row it reads; the row chosen here is shown when it stops.
  if (!scanning_) ShowChosenRow();
}

}  // namespace orva
