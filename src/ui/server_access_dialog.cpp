#include "ui/server_access_dialog.h"

#include "delivery/influx_server.h"
#include "ui/file_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

namespace orva {

QString ConnectionTestText(const PostResult& result, const ServerFields& fields) {
  switch (result.problem) {
    case PostProblem::kNone:
      return QStringLiteral("Reached and authorised: %1 takes records").arg(fields.database);
    case PostProblem::kLoginRefused:
      return QStringLiteral("Wrong user, password or token (%1)").arg(result.status_text);
    case PostProblem::kCertificateRejected:
      return QStringLiteral("The server's certificate is not trusted (%1)").arg(result.detail);
    case PostProblem::kDatabaseNotFound:
      return QStringLiteral("Database or bucket not found (%1)").arg(result.detail);
    case PostProblem::kNothingListening:
      return QStringLiteral("Nothing listening at %1 port %2").arg(fields.host, fields.port);
    case PostProblem::kOther:
      break;
  }
  return result.status_text;
}

ServerAccessDialog::ServerAccessDialog(const ServerFields& fields, const ServerAccess& access,
                                       QWidget* parent)
    : QDialog(parent), fields_(fields), given_(access) {
  setObjectName(QStringLiteral("dlgServerAccess"));
  setWindowTitle(QStringLiteral("InfluxDB server: more settings"));
  auto* form = new QFormLayout(this);
  cmbApi_ = new QComboBox(this);
  cmbApi_->setObjectName(QStringLiteral("cmbApi"));
  cmbApi_->addItems({QStringLiteral("v1: InfluxDB 1.x, VictoriaMetrics"),
                     QStringLiteral("v2: InfluxDB 2.x, InfluxDB Cloud"),
                     QStringLiteral("v3: InfluxDB 3.x")});
  cmbApi_->setCurrentIndex(static_cast<int>(access.api));
  form->addRow(QStringLiteral("Server kind"), cmbApi_);
  chkTls_ = new QCheckBox(QStringLiteral("HTTPS"), this);
  chkTls_->setObjectName(QStringLiteral("chkTls"));
  chkTls_->setChecked(access.tls);
  form->addRow(QString(), chkTls_);
  txtCaFile_ = AddFileField("txtCaFile", QStringLiteral("CA certificates (PEM)"), access.ca_file);
  chkTlsVerify_ = new QCheckBox(QStringLiteral("Check the server's certificate and name"), this);
  chkTlsVerify_->setObjectName(QStringLiteral("chkTlsVerify"));
  chkTlsVerify_->setChecked(access.tls_verify);
  form->addRow(QString(), chkTlsVerify_);
  txtUser_ = new QLineEdit(access.user, this);
  txtUser_->setObjectName(QStringLiteral("txtUser"));
  form->addRow(QStringLiteral("User (v1)"), txtUser_);
  txtOrg_ = new QLineEdit(access.org, this);
  txtOrg_->setObjectName(QStringLiteral("txtOrg"));
  form->addRow(QStringLiteral("Organisation (v2)"), txtOrg_);
  txtSecretFile_ =
      AddFileField("txtSecretFile", QStringLiteral("Password or token file"), access.secret_file);
  txtSecretFile_->setPlaceholderText(QStringLiteral("empty: $%1").arg(kSecretVariable));
  cmbDelivery_ = new QComboBox(this);
  cmbDelivery_->setObjectName(QStringLiteral("cmbDelivery"));
  cmbDelivery_->addItems(
      {QStringLiteral("buffered: time of reading, kept on disk until the server has them"),
       QStringLiteral("direct: one post per record, nothing kept")});
  cmbDelivery_->setCurrentIndex(static_cast<int>(given_.delivery.Mode()));
  form->addRow(QStringLiteral("Delivery"), cmbDelivery_);
  AddTagBoxes(access.tags);

  cmdTest_ = new QPushButton(QStringLiteral("Test"), this);
  cmdTest_->setObjectName(QStringLiteral("cmdTest"));
  labTest_ = new QLabel(this);
  labTest_->setObjectName(QStringLiteral("labTest"));
  labTest_->setWordWrap(true);
  labTest_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(cmdTest_, labTest_);
  connect(cmdTest_, &QPushButton::clicked, this, &ServerAccessDialog::Test);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

QLineEdit* ServerAccessDialog::AddFileField(const char* name, const QString& label,
                                            const QString& text) {
  auto* row = new QHBoxLayout;
  auto* field = new QLineEdit(text, this);
  field->setObjectName(QLatin1String(name));
  auto* choose = new QPushButton(QStringLiteral("…"), this);
  choose->setObjectName(QLatin1String(name) + QStringLiteral("Choose"));
  connect(choose, &QPushButton::clicked, this, [this, field, label] {
    const QString path = AskFileName(this, QFileDialog::AcceptOpen, label, field->text());
    if (!path.isEmpty()) field->setText(path);
  });
  row->addWidget(field, 1);
  row->addWidget(choose);
  static_cast<QFormLayout*>(layout())->addRow(label, row);
  return field;
}

void ServerAccessDialog::AddTagBoxes(const RecordTags& tags) {
  auto* row = new QHBoxLayout;
  chkTagName_ = new QCheckBox(QStringLiteral("name (the module's place)"), this);
  chkTagName_->setObjectName(QStringLiteral("chkTagName"));
  chkTagName_->setChecked(tags.name);
  chkTagKind_ = new QCheckBox(QStringLiteral("kind (e.g. energy meter)"), this);
  chkTagKind_->setObjectName(QStringLiteral("chkTagKind"));
  chkTagKind_->setChecked(tags.kind);
  for (QCheckBox* box : {chkTagName_, chkTagKind_}) {
    box->setToolTip(QStringLiteral("Adds this tag from the installation to each module record"));
    row->addWidget(box);
  }
  row->addStretch(1);
  static_cast<QFormLayout*>(layout())->addRow(QStringLiteral("Tags"), row);
}

ServerAccess ServerAccessDialog::Access() const {
  ServerAccess access = given_;
  access.api = static_cast<InfluxApi>(cmbApi_->currentIndex());
  access.tls = chkTls_->isChecked();
  access.ca_file = txtCaFile_->text();
  access.tls_verify = chkTlsVerify_->isChecked();
  access.user = txtUser_->text();
  access.org = txtOrg_->text();
  access.secret_file = txtSecretFile_->text();
  const auto mode = static_cast<DeliveryMode>(cmbDelivery_->currentIndex());
  if (mode != access.delivery.Mode()) access.delivery.mode = mode;
  access.tags = {chkTagName_->isChecked(), chkTagKind_->isChecked()};
  return access;
}

// The post runs in a thread of its own, so the window stays responsive while the server takes
// its time; the answer comes back through the thread's end.
void ServerAccessDialog::Test() {
  cmdTest_->setEnabled(false);
  labTest_->setText(QStringLiteral("Testing…"));
  const ServerAccess access = Access();
  ResolvedServer resolved = ResolveServer(fields_, access);
  // A test leaves the server as it was: a database it lacks is only said, never made.
  resolved.server.access.create_database = false;
  const bool scan_creates = access.api == InfluxApi::kV1 && access.create_database;
  auto result = std::make_shared<PostResult>();
  QThread* thread = QThread::create(
      [server = resolved.server, result] { *result = InfluxWriter().PostRecord(server, {}); });
  connect(thread, &QThread::finished, this,
          [this, result, scan_creates, warnings = resolved.warnings] {
            QString text = ConnectionTestText(*result, fields_);
            if (scan_creates && result->problem == PostProblem::kDatabaseNotFound) {
              text += QStringLiteral("; the scan creates it");
            }
            QStringList lines = warnings;
            lines.prepend(text);
            labTest_->setText(lines.join(QLatin1Char('\n')));
            cmdTest_->setEnabled(true);
          });
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start();
}

}  // namespace orva
