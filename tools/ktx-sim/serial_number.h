#pragma once

// How a module's six-character serial text, as the installation database stores it, becomes
// the three bytes that address the module on the bus.

#include <QByteArray>
#include <QString>

namespace orva::sim {

// True when the text starts with one of "BCDEF" (upper case) or is empty: then every pair is
// hexadecimal.
bool HasHexPrefix(const QString& serial);

// Pairs are characters 1-2, 3-4 and the last two. Hex-prefixed texts read all pairs as hex;
// others read them as decimal, except that a first pair without a leading decimal number
// ("0A", "A1") is read as hex. A pair that does not convert gives three zero bytes.
QByteArray SerialTextToBytes(const QString& serial);

}  // namespace orva::sim
