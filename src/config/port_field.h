#pragma once

#include <QChar>
#include <QString>

namespace orva {

// The port field's text after its range correction: a leading number above 65535 becomes
// "65535", one of 0 or less (an empty text, letters, a text in quotes) becomes the default
// "8086"; anything else stays as typed. Correcting a corrected text changes nothing.
QString CorrectedPort(const QString& text);

// Whether a key typed into the port field reaches it: the digits, backspace (8) and Enter (13).
bool IsPortKeyAccepted(int key);
inline bool IsPortKeyAccepted(QChar key) { return IsPortKeyAccepted(int{key.unicode()}); }

}  // namespace orva
