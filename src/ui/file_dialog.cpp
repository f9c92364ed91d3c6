#include "ui/file_dialog.h"

#include "ui/name_only_icon_provider.h"

namespace orva {

QString AskFileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title,
                    const QString& proposed, const QString& filter, const QString& suffix) {
  NameOnlyIconProvider icons;
  QFileDialog dialog(parent, title);
  dialog.setObjectName(QStringLiteral("CommonDialog1"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setIconProvider(&icons);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                     : QFileDialog::ExistingFile);
  if (!filter.isEmpty()) dialog.setNameFilter(filter);
  if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
  if (!proposed.isEmpty()) dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace orva
