#include "ui/frm_influxdb.h"

#include "config/config_file.h"
#include "config/port_field.h"
#include "delivery/delivery_figures.h"
#include "delivery/influx_server.h"
#include "scan/scan_worker.h"
#include "startup/startup.h"
#include "store/db_error.h"
#include "ui/grid_editor_delegate.h"
#include "ui/gui_prompter.h"
#include "ui/language_menu.h"
#include "ui/scan_grid_model.h"
#include "ui/scan_grid_view.h"
#include "ui/server_access_dialog.h"
#include "ui/values_panel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace orva {
namespace {

const QString kLastConfigFile = QStringLiteral("LastConfigFile");
// Server settings edited since the last file was opened or saved; empty when the file has them.
const QString kEditedServer = QStringLiteral("EditedServer");

// Frame and inner margins of a line edit, on both sides together.
constexpr int kFieldMargins = 12;

}  // namespace

FrmInfluxDB::FrmInfluxDB(StartupState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      model_(new ScanGridModel(this)),
      prompter_(new GuiPrompter(this)) {
  setObjectName(QStringLiteral("frmInfluxDB"));
  setWindowTitle(state_.window_title);
  connect(prompter_, &GuiPrompter::StatusText, this, &FrmInfluxDB::SetStatus);
  BuildControls();
  connect(model_, &QAbstractItemModel::dataChanged, this, &FrmInfluxDB::RowsChanged);
  connect(model_, &QAbstractItemModel::rowsInserted, this, &FrmInfluxDB::RowsChanged);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &FrmInfluxDB::RowsChanged);
  connect(model_, &QAbstractItemModel::modelReset, this, &FrmInfluxDB::RowsChanged);
  // What was read belongs to rows by their place in the grid.
  connect(model_, &QAbstractItemModel::rowsRemoved, values_, &ValuesPanel::Clear);
  connect(model_, &QAbstractItemModel::modelReset, values_, &ValuesPanel::Clear);
  connect(model_, &QAbstractItemModel::dataChanged, values_,
          [this](const QModelIndex& changed) { values_->Forget(changed.row() + 1); });
}

FrmInfluxDB::~FrmInfluxDB() {
  prompter_->Close();
  worker_.reset();
}

void FrmInfluxDB::BuildControls() {
  auto* top = new QHBoxLayout;
  top->addWidget(BuildServerFrame(), 3);
  top->addWidget(BuildScanFrame(), 2);
  auto* file_buttons = new QVBoxLayout;
  cmdSaveConfig_ = new QToolButton(this);
  cmdSaveConfig_->setObjectName(QStringLiteral("cmdSaveConfig"));
  cmdSaveConfig_->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  cmdSaveConfig_->setToolTip(QStringLiteral("Save configuration to JSON file"));
  cmdOpenConfig_ = new QToolButton(this);
  cmdOpenConfig_->setObjectName(QStringLiteral("cmdOpenConfig"));
  cmdOpenConfig_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  cmdOpenConfig_->setToolTip(QStringLiteral("Open configuration from JSON File"));
  for (QToolButton* button : {cmdSaveConfig_, cmdOpenConfig_}) {
    button->setIconSize(QSize(24, 24));
    file_buttons->addWidget(button);
  }
  file_buttons->addStretch();
  top->addLayout(file_buttons);
  connect(cmdSaveConfig_, &QToolButton::clicked, this, &FrmInfluxDB::cmdSaveConfig_Click);
  connect(cmdOpenConfig_, &QToolButton::clicked, this, &FrmInfluxDB::cmdOpenConfig_Click);

  labStatus_ = new QLabel(this);
  labStatus_->setObjectName(QStringLiteral("labStatus"));
  labStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  SetStatus(QString(), false);
  labDelivery_ = new QLabel(this);
  labDelivery_->setObjectName(QStringLiteral("labDelivery"));
  labDelivery_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A line of its own below the status line, which keeps its whole width for messages. Growing,
  // the figures never widen the window; one made narrower than they are cuts them.
  labDelivery_->setMinimumWidth(1);

  values_ = new ValuesPanel(this);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(BuildLanguageMenu(this, state_.language_letter,
                                       [this](const QString& letter) { ChooseLanguage(letter); }));
  layout->addLayout(top);
  layout->addWidget(BuildDataFrame(), 3);
  layout->addWidget(values_, 2);
  layout->addWidget(labStatus_);
  layout->addWidget(labDelivery_);
}

QWidget* FrmInfluxDB::BuildServerFrame() {
  auto* frame = new QGroupBox(QStringLiteral("InfluxDB server settings"), this);
  frame->setObjectName(QStringLiteral("fraServer"));
  auto* form = new QFormLayout(frame);
  const auto add_field = [&](QLineEdit*& field, const char* name, const char* label,
                             const char* text) {
    field = new QLineEdit(QString::fromLatin1(text), frame);
    field->setObjectName(QLatin1String(name));
    form->addRow(QString::fromLatin1(label), field);
  };
  add_field(txtipaddress_, "txtipaddress", "IP address or host name", "localhost");
  add_field(txtPort_, "txtPort", "Port number", "8086");
  add_field(txtDBname_, "txtDBname", "Database name", "orva");
  // However small the window, a field shows an IPv4 address whole.
  for (QLineEdit* field : {txtipaddress_, txtPort_, txtDBname_}) {
    field->setMinimumWidth(
        field->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + kFieldMargins);
  }
  txtPort_->installEventFilter(this);
  // Pasted or dropped text bypasses the key filter; it must be digits all the same.
  txtPort_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), txtPort_));
  connect(txtPort_, &QLineEdit::textChanged, this, &FrmInfluxDB::txtPort_Change);
  // A server takes effect once its edit is finished (Enter, or leaving the field), never while
  // it is half typed.
  for (QLineEdit* field : {txtipaddress_, txtPort_, txtDBname_}) {
    connect(field, &QLineEdit::editingFinished, this, [this] {
      if (worker_) worker_->UpdateServer(Server());
      RememberServer();
    });
  }
  auto* more = new QPushButton(QStringLiteral("More…"), frame);
  more->setObjectName(QStringLiteral("cmdServerMore"));
  more->setToolTip(QStringLiteral("Server kind, HTTPS, login"));
  form->addRow(QString(), more);
  connect(more, &QPushButton::clicked, this, &FrmInfluxDB::cmdServerMore_Click);
  return frame;
}

QWidget* FrmInfluxDB::BuildScanFrame() {
  auto* frame = new QGroupBox(QStringLiteral("Scan"), this);
  frame->setObjectName(QStringLiteral("fraScan"));
  auto* form = new QFormLayout(frame);
  txtScanTime_ = new QLineEdit(QStringLiteral("0.5"), frame);
  txtScanTime_->setObjectName(QStringLiteral("txtScanTime"));
  txtScanTime_->setMinimumWidth(
      txtScanTime_->fontMetrics().horizontalAdvance(QStringLiteral("00.000")) + kFieldMargins);
  form->addRow(QStringLiteral("Speed in s"), txtScanTime_);
  connect(txtScanTime_, &QLineEdit::editingFinished, this, &FrmInfluxDB::RememberServer);
  chkScan_ = new QCheckBox(QStringLiteral("Scan and Log"), frame);
  chkScan_->setObjectName(QStringLiteral("chkScan"));
  chkScan_->setAutoFillBackground(true);
  // The back colour marks the box alone, not the row it sits in.
  chkScan_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  form->addRow(chkScan_);
  connect(chkScan_, &QCheckBox::toggled, this, &FrmInfluxDB::chkScan_Click);
  return frame;
}

QWidget* FrmInfluxDB::BuildDataFrame() {
  auto* frame = new QGroupBox(QStringLiteral("Data selection"), this);
  frame->setObjectName(QStringLiteral("fraData"));
  grdConfig_ = new ScanGridView(frame);
  grdConfig_->setObjectName(QStringLiteral("grdConfig"));
  grdConfig_->setModel(model_);
  grdConfig_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdConfig_->setSelectionBehavior(QAbstractItemView::SelectItems);
  grdConfig_->setWordWrap(false);
  // The row header carries only the mark of each row's last read.
  grdConfig_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grdConfig_->verticalHeader()->setSectionsClickable(false);
  grdConfig_->horizontalHeader()->setStretchLastSection(false);
  grdConfig_->horizontalHeader()->setMinimumSectionSize(8);
  grdConfig_->horizontalHeader()->setSectionsClickable(true);
  delegate_ = new GridEditorDelegate(grdConfig_);
  grdConfig_->setItemDelegate(delegate_);
  connect(grdConfig_, &QTableView::clicked, this, &FrmInfluxDB::grdConfig_Click);
  connect(grdConfig_, &ScanGridView::EditRequested, this, &FrmInfluxDB::grdConfig_KeyEdit);
  connect(grdConfig_, &ScanGridView::CurrentMovedByKey, this, &FrmInfluxDB::grdConfig_KeyMove);
  connect(grdConfig_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &FrmInfluxDB::grdConfig_HeaderClick);
  connect(delegate_, &GridEditorDelegate::PickerChosen, this, &FrmInfluxDB::EditorChosen);
  connect(delegate_, &GridEditorDelegate::AddressChosen, this, &FrmInfluxDB::updValue_Change);
  connect(delegate_, &GridEditorDelegate::AddressReverted, this, &FrmInfluxDB::txtValue_Revert);

  cmdDelData_ = new QPushButton(QStringLiteral("-"), frame);
  cmdDelData_->setObjectName(QStringLiteral("cmdDelData"));
  cmdDelData_->setFixedWidth(cmdDelData_->fontMetrics().horizontalAdvance(QStringLiteral("--")) +
                             16);
  cmdDelData_->setToolTip(QStringLiteral("Delete the selected row"));
  // The grid keeps its width, and its columns their places, as the button comes and goes.
  QSizePolicy keep_place = cmdDelData_->sizePolicy();
  keep_place.setRetainSizeWhenHidden(true);
  cmdDelData_->setSizePolicy(keep_place);
  cmdDelData_->hide();
  connect(cmdDelData_, &QPushButton::clicked, this, &FrmInfluxDB::cmdDelData_Click);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(cmdDelData_);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(frame);
  layout->addWidget(grdConfig_, 1);
  layout->addLayout(buttons);
  return frame;
}

void FrmInfluxDB::Form_Load() {
  RunSettingsStep(state_);
  InitGridHeader();
  // Shown first at the size that shows every column of the grid; a window loaded again keeps
  // the size the user gave it.
  if (!testAttribute(Qt::WA_Resized)) resize(DefaultSize());
  output_entries_ = OutputPickerEntries(*state_.installation);
  worker_ = std::make_unique<ScanWorker>(ScanWorkerSetupFrom(state_), *prompter_);
  connect(worker_.get(), &ScanWorker::Status, this, &FrmInfluxDB::SetStatus);
  // The counts are the figures line's: the status line tells a server that fails, and how each
  // tick went.
  connect(worker_.get(), &ScanWorker::DeliveryStatus, this,
          [this](const QString& text, bool red, bool changed) {
            delivery_failing_ = red;
            if (red) SetStatus(text, true);
            // News of delivery (a database created, the server back) joins the tick's line once.
            delivery_news_ = !red && changed ? text : QString();
          });
  connect(worker_.get(), &ScanWorker::TickFinished, this, &FrmInfluxDB::ShowTick);
  connect(worker_.get(), &ScanWorker::Figures, this, &FrmInfluxDB::ShowFigures);
  // Values came through, so the link works: a notice of an outage is no longer true.
  connect(worker_.get(), &ScanWorker::Status, prompter_, [this](const QString&, bool red) {
    if (!red) prompter_->LinkWorks();
  });
  // Buffered, values that came through show as a tick without a failure.
  connect(worker_.get(), &ScanWorker::TickFinished, prompter_, [this](bool failed) {
    if (!failed) prompter_->LinkWorks();
  });
  // The scan thread gives up on its own only when it cannot open its databases: the box
  // must not stay ticked over a scan that is not running.
  connect(worker_.get(), &ScanWorker::Status, this, [this] {
    if (chkScan_->isChecked() && !worker_->scanning()) chkScan_->setChecked(false);
  });
  connect(worker_.get(), &ScanWorker::Caption, this, &QWidget::setWindowTitle);
  connect(worker_.get(), &ScanWorker::RowActive, this, &FrmInfluxDB::ShowScanRow);
  connect(worker_.get(), &ScanWorker::RowRead, this, &FrmInfluxDB::ShowReading);
  // The window comes back with the file it had: loaded a second time in one run, or at the next
  // start.
  if (current_config_file_.isEmpty()) {
    Guarded([this] {
      current_config_file_ = state_.settings->ProgramValue(kLastConfigFile).value_or(QString());
    });
  }
  if (QFileInfo::exists(current_config_file_)) LoadConfigFile(current_config_file_);
  // The server as it was left, where it was changed after the file.
  std::optional<ScanConfiguration> edited;
  Guarded([&] {
    edited = ServerSettingsOf(state_.settings->ProgramValue(kEditedServer).value_or(QString()));
  });
  if (edited) ApplyServerSettings(*edited);
}

QSize FrmInfluxDB::DefaultSize() const {
  QSize size = sizeHint();
  if (const QScreen* screen = this->screen()) {
    size = size.boundedTo(screen->availableGeometry().size());
  }
  return size.expandedTo(minimumSizeHint());
}

// The port takes digits only; backspace and Enter pass as editing keys. Keys that type
// nothing (arrows, Delete) are not characters and pass as well.
bool FrmInfluxDB::txtPort_KeyPress(QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Return ||
      event->key() == Qt::Key_Enter) {
    return false;
  }
  const QString text = event->text();
  if (text.isEmpty() || event->matches(QKeySequence::Paste)) return false;
  for (const QChar character : text) {
    if (character.isPrint() && !IsPortKeyAccepted(character)) return true;
  }
  return false;
}

void FrmInfluxDB::txtPort_Change() {
  const QString corrected = CorrectedPort(txtPort_->text());
  if (corrected != txtPort_->text()) txtPort_->setText(corrected);
}

bool FrmInfluxDB::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtPort_ && event->type() == QEvent::KeyPress) {
    return txtPort_KeyPress(static_cast<QKeyEvent*>(event));
  }
  return QWidget::eventFilter(watched, event);
}

ServerFields FrmInfluxDB::Fields() const {
  return {txtipaddress_->text(), txtPort_->text(), txtDBname_->text(), txtScanTime_->text()};
}

void FrmInfluxDB::cmdServerMore_Click() {
  ServerAccessDialog dialog(Fields(), access_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  access_ = dialog.Access();
  if (worker_) worker_->UpdateServer(Server());
  RememberServer();
}

InfluxServer FrmInfluxDB::Server() const { return ResolveServer(Fields(), access_).server; }

void FrmInfluxDB::SetColour(QLabel* label, bool red) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText,
                   red ? QColor(255, 0, 0) : this->palette().color(QPalette::ButtonText));
  label->setPalette(palette);
}

void FrmInfluxDB::SetStatus(const QString& text, bool red) {
  SetColour(labStatus_, red);
  labStatus_->setText(text);
}

void FrmInfluxDB::ShowFigures(const DeliveryFigures& figures) {
  const DeliveryFiguresLine line =
      DeliveryFiguresText(figures, QLocale(), QDateTime::currentDateTime());
  SetColour(labDelivery_, line.red);
  labDelivery_->setText(line.text);
  labDelivery_->setToolTip(figures.problem);
}

void FrmInfluxDB::RememberConfigFile(const QString& path) {
  current_config_file_ = path;
  Guarded([&] { state_.settings->SetProgramValue(kLastConfigFile, path); });
}

void FrmInfluxDB::RememberServer() {
  const QString text = ServerSettingsText({Fields(), {}, access_, comm_log_days_});
  Guarded([&] { state_.settings->SetProgramValue(kEditedServer, text); });
}

void FrmInfluxDB::ForgetEditedServer() {
  Guarded([&] { state_.settings->SetProgramValue(kEditedServer, QString()); });
}

// The controller's messages change at once, in the scan as well; the next start keeps the choice.
void FrmInfluxDB::ChooseLanguage(const QString& letter) {
  state_.language_letter = letter;
  if (worker_) worker_->UpdateLanguage(letter);
  Guarded([&] { state_.settings->Update({{QStringLiteral("laatstetaal"), letter}}); });
}

void FrmInfluxDB::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const DbError& error) {
    SetStatus(error.Text(), true);
  }
}

// Closing stops scanning and waits for the running tick to finish its row. A question the
// link is asking is answered first, so the scan thread is not left waiting for this window.
void FrmInfluxDB::closeEvent(QCloseEvent* event) {
  HideCellEditors();
  chkScan_->setChecked(false);
  prompter_->Close();
  if (worker_) worker_->Shutdown();
  event->accept();
}

}  // namespace orva
