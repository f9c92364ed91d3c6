#include "locked_folder.h"

#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace orva::test {

LockedFolder::LockedFolder(const QString& path) : path_(path) {
  QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  if (::geteuid() == 0) QProcess::execute(QStringLiteral("chattr"), {"+i", path_});
}

LockedFolder::~LockedFolder() {
  if (::geteuid() == 0) QProcess::execute(QStringLiteral("chattr"), {"-i", path_});
  QFile::setPermissions(path_,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace orva::test
