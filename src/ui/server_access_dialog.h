#pragma once

#include "config/scan_configuration.h"
#include "delivery/influx_writer.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orva {

// In words a user acts on: what a test post to the server came to.
QString ConnectionTestText(const PostResult& result, const ServerFields& fields);

// The server keys beyond the window's three fields: the server kind, HTTPS and its certificate
// check, the login and where its secret is kept, and how records are delivered. "Test" posts an
// empty body with these settings and the window's fields, which checks the address, the
// certificate, the login and the database without writing anything.
class ServerAccessDialog : public QDialog {
  Q_OBJECT

 public:
  ServerAccessDialog(const ServerFields& fields, const ServerAccess& access,
                     QWidget* parent = nullptr);

  ServerAccess Access() const;

 private:
  QLineEdit* AddFileField(const char* name, const QString& label, const QString& text);
  void AddTagBoxes(const RecordTags& tags);
  void Test();

  ServerFields fields_;
  ServerAccess given_;  // as given, changed only in what the user changes
  QComboBox* cmbApi_;
  QComboBox* cmbDelivery_;
  QCheckBox* chkTls_;
  QLineEdit* txtCaFile_ = nullptr;
  QCheckBox* chkTlsVerify_;
  QCheckBox* chkTagName_;
  QCheckBox* chkTagKind_;
  QLineEdit* txtUser_;
  QLineEdit* txtOrg_;
  QLineEdit* txtSecretFile_ = nullptr;
  QPushButton* cmdTest_;
  QLabel* labTest_;
};

}  // namespace orva
