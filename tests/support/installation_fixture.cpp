#include "installation_fixture.h"

#include "store/sqlite_db.h"

#include <QFile>

namespace orva::test {

void WriteInstallationDb(const QString& path, const QString& extra_sql) {
  QFile::remove(path);
  SqliteDb db = SqliteDb::Create(path);
  db.Exec(QStringLiteral(R"sql(
    CREATE TABLE config (Id INTEGER PRIMARY KEY, IPAddress VARCHAR(50), webport INTEGER,
                         ethuser VARCHAR(40), rxctlversie VARCHAR(6), rxethversie VARCHAR(4),
                         ctltype VARCHAR(2), CTLSerial VARCHAR(6));
    INSERT INTO config VALUES (1, NULL, 8446, '', NULL, NULL, '01', '123456');
    CREATE TABLE modules (Id INTEGER PRIMARY KEY, serienr VARCHAR(6), Type VARCHAR(20),
                          plaats VARCHAR(50));
    INSERT INTO modules VALUES (1, '654321', '000B', 'Attic'),
                               (2, '123456', '0016', 'Living room'),
                               (3, '200001', '0001', 'Roof');
    CREATE TABLE outputs (Id INTEGER PRIMARY KEY, Naam VARCHAR(50), ModeId INTEGER,
                          Adres INTEGER, SubAdres INTEGER);
    INSERT INTO outputs VALUES (42, 'Living room', 60, 12, 0), (43, 'Hall', 151, 12, 1),
                               (44, 'Kitchen', 30, 13, 3), (45, 'Garage', 30, 13, 4);
  )sql"));
  if (!extra_sql.isEmpty()) db.Exec(extra_sql);
}

}  // namespace orva::test
