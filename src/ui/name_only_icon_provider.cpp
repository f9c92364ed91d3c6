#include "ui/name_only_icon_provider.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace orva {
namespace {

QMimeType MimeTypeByName(const QFileInfo& info) {
  return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
}

}  // namespace

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
  if (info.isDir()) return icon(QAbstractFileIconProvider::Folder);
  const QIcon themed = QIcon::fromTheme(MimeTypeByName(info).iconName());
  return themed.isNull() ? icon(QAbstractFileIconProvider::File) : themed;
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
  if (info.isDir()) return QAbstractFileIconProvider::type(info);
  return MimeTypeByName(info).comment();
}

}  // namespace orva
