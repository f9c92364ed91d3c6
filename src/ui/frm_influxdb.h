#pragma once

#include "config/scan_configuration.h"
#include "delivery/influx_writer.h"
#include "ui/picker_entries.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace orva {

class GridEditorDelegate;
class GuiPrompter;
class ScanGridModel;
class ScanGridView;
class ScanWorker;
class ValuesPanel;
struct DeliveryFigures;
struct RowReading;
struct StartupState;

// The program's one window: the InfluxDB server fields, the scan time and the "Scan and Log"
// box, the scan configuration grid with its editors, the values the scan reads, the buttons that
// save and open configuration files, the status line and below it the delivery figures. The scan
// itself runs in a ScanWorker thread; the window hands it the rows and the server fields and shows
// what it reports.
class FrmInfluxDB : public QWidget {
  Q_OBJECT

 public:
  // `state` comes from PrepareStartup and must outlive the window.
  explicit FrmInfluxDB(StartupState& state, QWidget* parent = nullptr);
  ~FrmInfluxDB() override;

  // The load step: the settings step (which opens the installation), the pickers, the grid.
  // Throws DbError when the settings step fails; the program then ends.
  void Form_Load();

  // Reads a configuration file into the fields and the grid; whether the file took over.
  bool LoadConfigFile(const QString& path);

  ScanGridModel* grid_model() const { return model_; }
  const QString& current_config_file() const { return current_config_file_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildServerFrame();
  QWidget* BuildScanFrame();
  QWidget* BuildDataFrame();
  // The natural size, as far as the screen allows.
  QSize DefaultSize() const;

  // The grid and its editors.
  void InitGridHeader();
  void HideCellEditors();
  void OpenPicker(const QModelIndex& cell, const char* name, std::vector<PickerEntry> entries);
  void ShowChosenRow();
  void grdConfig_Click(const QModelIndex& cell);
  void grdConfig_HeaderClick();
  void grdConfig_KeyEdit(const QModelIndex& cell, const QString& typed);
  void grdConfig_KeyMove(const QModelIndex& cell);
  void ChooseRow(const QModelIndex& cell);
  void OpenItemEditor(const QModelIndex& cell);
  void EditorChosen(const QString& picker, const QPersistentModelIndex& cell, const QString& text,
                    qint64 id);
  void cmbScanType_Click(int row, const QString& text);
  void cmbModule_Click(int row, qint64 id);
  void cmbOutput_Click(int row, const QString& text, qint64 id);
  void cmbValueType_Click(int row, const QString& text);
  void updValue_Change(const QPersistentModelIndex& cell, int address);
  void txtValue_Revert(const QPersistentModelIndex& cell, const QString& text);
  void cmdDelData_Click();

  // The server fields.
  bool txtPort_KeyPress(QKeyEvent* event);
  void txtPort_Change();
  ServerFields Fields() const;
  void cmdServerMore_Click();
  void ChooseLanguage(const QString& letter);
  InfluxServer Server() const;

  // Scanning.
  void chkScan_Click(bool ticked);
  void SetScanLock(bool scanning);
  // Red for a failure, the system's button-text colour otherwise.
  void SetColour(QLabel* label, bool red);
  void SetStatus(const QString& text, bool red);
  void ShowFigures(const DeliveryFigures& figures);
  void RowsChanged();
  void ShowScanRow(int grid_row);
  void ShowReading(const RowReading& reading);
  void ShowTick(bool failed);
  // The values of the row the user chose last.
  void ShowChosenValues();

  // Configuration files.
  void cmdSaveConfig_Click();
  void cmdOpenConfig_Click();
  // The file opens again at the next start.
  void RememberConfigFile(const QString& path);
  void ApplyConfiguration(const ScanConfiguration& configuration);
  // The server fields, the "More…" keys and the log days of `configuration`.
  void ApplyServerSettings(const ScanConfiguration& configuration);
  // Server settings changed after the file was opened or saved come back at the next start; once
  // a file holds them again, the file brings them.
  void RememberServer();
  void ForgetEditedServer();

  // Runs a handler that reads the installation; a database failure goes to the status line
  // instead of through the event loop.
  void Guarded(const std::function<void()>& handler);

  StartupState& state_;
  std::vector<PickerEntry> output_entries_;
  QString current_config_file_;
  // The server keys beyond the three fields, as the file or the "More…" dialog gave them.
  ServerAccess access_;
  // Kept from the file for the scan and the next save; the window does not show it.
  double comm_log_days_ = kDefaultCommLogDays;
  bool scanning_ = false;
  // A row was clicked since "Scan and Log" was ticked: the highlight stays on it.
  bool chosen_while_scanning_ = false;
  // Of the running tick: rows read without a failure; whether the server failed at its end.
  int rows_read_ = 0;
  bool delivery_failing_ = false;
  QString delivery_news_;  // said once with the next tick's line

  ScanGridModel* model_;
  GridEditorDelegate* delegate_ = nullptr;
  GuiPrompter* prompter_;
  std::unique_ptr<ScanWorker> worker_;
  // The scan row the user clicked last, or moved to with the keyboard; the delete button
  // removes it.
  QPersistentModelIndex clicked_row_;

  QLineEdit* txtipaddress_ = nullptr;
  QLineEdit* txtPort_ = nullptr;
  QLineEdit* txtDBname_ = nullptr;
  QLineEdit* txtScanTime_ = nullptr;
  QCheckBox* chkScan_ = nullptr;
  ScanGridView* grdConfig_ = nullptr;
  QPushButton* cmdDelData_ = nullptr;
  QToolButton* cmdSaveConfig_ = nullptr;
  QToolButton* cmdOpenConfig_ = nullptr;
  QLabel* labStatus_ = nullptr;
  QLabel* labDelivery_ = nullptr;
  ValuesPanel* values_ = nullptr;
};

}  // namespace orva
