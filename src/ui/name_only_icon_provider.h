#pragma once

#include <QAbstractFileIconProvider>

namespace orva {

// Icons and type names of the file dialogs, from the file names alone. Qt's own provider reads
// the first bytes of a file whose name it does not know: that opens and closes the program's
// SQLite files (the outbox, the log, the settings) in this process, and on Linux closing any
// descriptor of a file drops every lock the process holds on it, so that another program could
// take itself for the file's only user and remove its log under the running program.
class NameOnlyIconProvider : public QAbstractFileIconProvider {
 public:
  QIcon icon(const QFileInfo& info) const override;
  QString type(const QFileInfo& info) const override;
  using QAbstractFileIconProvider::icon;
};

}  // namespace orva
