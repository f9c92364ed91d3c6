#include "temp_dir.h"

#include "store/sqlite_db.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace orva::test {

ProgramFolder::ProgramFolder() {
  QDir().mkpath(program_dir());
  QDir().mkpath(root());
  for (const char* name : {"init2.orva", "config2.orva", "CommLog.orva"}) {
    const QString source = QStringLiteral(ORVA_BIN_DIR "/") + QLatin1String(name);
    if (!QFile::copy(source, File(QLatin1String(name)))) ADD_FAILURE() << "cannot copy " << name;
    QFile::setPermissions(File(QLatin1String(name)), QFile::ReadOwner | QFile::WriteOwner);
  }
  // The build's own log fills up whenever the program runs from there; a new folder starts empty.
  SqliteDb::OpenExisting(File(QStringLiteral("CommLog.orva")))
      .Exec(QStringLiteral("DELETE FROM CommLog"));
  had_root_ = qEnvironmentVariableIsSet("ORVA_ROOT");
  previous_root_ = qgetenv("ORVA_ROOT");
  qputenv("ORVA_ROOT", root().toUtf8());
}

ProgramFolder::~ProgramFolder() {
  if (had_root_) {
    qputenv("ORVA_ROOT", previous_root_);
  } else {
    qunsetenv("ORVA_ROOT");
  }
}

QString ProgramFolder::CopyProgram() const {
  const QString program = File(QStringLiteral("orva-influx"));
  if (QFile::exists(program)) return program;
  if (!QFile::copy(QStringLiteral(ORVA_BIN_DIR "/orva-influx"), program)) {
    ADD_FAILURE() << "cannot copy orva-influx";
  }
  QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return program;
}

QString FixturePath(const QString& relative) {
  return QStringLiteral(ORVA_FIXTURES_DIR "/") + relative;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(bytes);
}

}  // namespace orva::test
