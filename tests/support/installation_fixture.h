#pragma once

#include <QString>

namespace orva::test {

// Writes a small installation database (SQLite) with the tables the program reads:
// "config" (one record), "modules" and "outputs". `extra_sql` runs afterwards, to change the
// record or drop a table for a case.
void WriteInstallationDb(const QString& path, const QString& extra_sql = {});

}  // namespace orva::test
