#pragma once

#include <QByteArray>
#include <QString>

namespace orva {

// True when the serial text is written in hexadecimal: its first character is one of B to F
// (upper case only), or the text is empty.
bool HasHexPrefix(const QString& serial);

// The three bytes of a module's serial number, sent as the data of a memory read. The pairs are
// characters 1-2, 3-4 and the last two. A pair that cannot be converted makes all three bytes 0.
QByteArray SerialBytes(const QString& serial);

}  // namespace orva
