#include "import/installation_file.h"

#include "import/access_import.h"
#include "import/database_file_kind.h"
#include "store/db_error.h"
#include "store/installation_db.h"
#include "store/language_texts.h"
#include "store/sqlite_db.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace orva {
namespace {

constexpr int kHeaderSize = 128;

[[noreturn]] void FailWith(const QString& source, const QString& what, int number = ENOENT) {
  throw DbError(number, QStringLiteral("%1: %2").arg(source, what), QStringLiteral("orva-influx"));
}

QByteArray ReadHeader(const QString& source) {
  const QFileInfo info(source);
  if (!info.exists()) throw TextFault(ENOENT, TextKey::kInstallationFileMissing, {source});
  if (!info.isFile()) throw TextFault(EISDIR, TextKey::kInstallationFileNotAFile, {source});
  QFile file(source);
  if (!file.open(QIODevice::ReadOnly)) FailWith(source, file.errorString(), EACCES);
  return file.read(kHeaderSize);
}

void CopySqliteDatabase(const QString& source, const QString& target) {
  // A file in WAL mode is read with files SQLite makes beside it; where this user cannot make
  // them (the service sees every folder but its state folder read-only) the file is read as it
  // lies on disk.
  SqliteDb db = QFileInfo(QFileInfo(source).absolutePath()).isWritable()
                    ? SqliteDb::OpenReadOnly(source)
                    : SqliteDb::OpenImmutable(source);
  // VACUUM INTO reads every page, so a damaged or truncated file fails here, not later.
  db.Execute(QStringLiteral("VACUUM INTO ?1"), {target});
}

void RemoveDatabaseFiles(const QString& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    QFile::remove(path + QLatin1String(suffix));
  }
}

// A temp folder that cannot take the copy is no fault of the source: said before it is read,
// the message names the working copy instead of the user's file.
void EnsureCreatable(const QString& scratch, const QString& working_copy) {
  QFile probe(scratch);
  if (!probe.open(QIODevice::WriteOnly)) {
    FailWith(working_copy,
             QStringLiteral("cannot create the working copy: %1").arg(probe.errorString()), EACCES);
  }
  probe.remove();
}

}  // namespace

void TakeOverInstallationFile(const QString& source, const QString& working_copy) {
  const QByteArray header = ReadHeader(source);
  const QString scratch = working_copy + QStringLiteral(".new");
  RemoveDatabaseFiles(scratch);
  EnsureCreatable(scratch, working_copy);
  try {
    const DatabaseFileKind kind = DetectDatabaseFile(header);
    if (IsAccess(kind)) {
      ImportAccessDatabase(source, scratch);
    } else if (kind == DatabaseFileKind::kSqlite) {
      CopySqliteDatabase(source, scratch);
    } else {
      FailWith(source, QStringLiteral("neither an Access nor an SQLite database"), EINVAL);
    }
    // Proves the copy holds what the program reads before it replaces the previous one.
    InstallationDb::Open(scratch).RequireColumnsRead();
  } catch (const DbError& error) {
    RemoveDatabaseFiles(scratch);
    if (error.description().startsWith(source)) throw;
    // What was wrong with the copy is what is wrong with the source.
    QString what = error.description();
    what.remove(QFileInfo(scratch).fileName() + QStringLiteral(": "));
    throw DbError(error.number(), QStringLiteral("%1: %2").arg(source, what), error.source());
  }
  RemoveDatabaseFiles(working_copy);
  if (!QFile::rename(scratch, working_copy)) {
    FailWith(working_copy, QStringLiteral("cannot replace the working copy"), EACCES);
  }
}

}  // namespace orva
