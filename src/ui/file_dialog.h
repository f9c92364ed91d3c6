#pragma once

#include <QFileDialog>
#include <QString>

namespace orva {

// Asks for a file in Qt's own dialog rather than the desktop's, so that it looks and behaves
// alike everywhere (and can be driven in tests), and so that it never opens the files it lists
// (NameOnlyIconProvider). `filter` ("JSON (*.JSON)") and `suffix` may be empty. Returns the
// chosen path; empty when the user cancelled.
QString AskFileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title,
                    const QString& proposed, const QString& filter = {},
                    const QString& suffix = {});

}  // namespace orva
