#pragma once

#include <QString>

namespace orva {

// Makes `working_copy` a copy of the installation database `source`, an Access file (imported)
// or an SQLite file (copied). The copy is built beside the working copy and renamed into place
// only when it is complete and holds the installation's tables, so a bad source leaves the
// previous working copy as it was. `source` is only ever read. Throws DbError naming `source`.
void TakeOverInstallationFile(const QString& source, const QString& working_copy);

}  // namespace orva
