#pragma once

#include <QString>

namespace orva {

// Copies every user table of the Access database `access_path` (Jet 3, Jet 4 or ACE) into a
// new SQLite database at `sqlite_path`, in one transaction. Table and column names stay as
// they are; system tables (MSys*) are left out. Rows keep their order, NULL stays NULL.
//
//   Access type                  declared SQLite type   stored as
//   Yes/No                       BOOLEAN                INTEGER 0 or 1
//   Byte, Integer, Long, Complex TINYINT, SMALLINT,     INTEGER
//                                INTEGER
//   Single, Double               FLOAT, DOUBLE          REAL (a Single through its shortest
//                                                       decimal form: 0.1 stays 0.1)
//   Currency                     REAL                   REAL (the exact value / 10000)
//   Decimal                      DECIMAL(p,s)           the number as SQLite reads its text
//   Date/Time                    DATETIME               TEXT "YYYY-MM-DD HH:MM:SS" (years 1 to
//                                                       9999; a value outside that stays REAL)
//   Text                         VARCHAR(n)             TEXT (UTF-8), n = the defined size
//   Memo                         TEXT                   TEXT (UTF-8)
//   OLE object, Binary           BLOB                   BLOB, bytes unchanged
//   Replication ID               VARCHAR(38)            TEXT "{XXXXXXXX-XXXX-...}"
//
// The Access file is opened for reading only and never written. `sqlite_path` must not exist
// or be empty; when the import fails nothing is left there. Failures throw DbError (source
// "libmdb") naming `access_path` and what is wrong with it: missing, not an Access database,
// truncated or damaged.
void ImportAccessDatabase(const QString& access_path, const QString& sqlite_path);

}  // namespace orva
