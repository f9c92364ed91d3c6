#pragma once

#include <QByteArray>

class QIODevice;

namespace orva {

// Milliseconds for the waitFor... calls: at least 1 for any wait above zero.
int WaitMilliseconds(double seconds);

// Writes all of `bytes` to a socket or port and blocks until they have left it.
bool WriteAll(QIODevice& device, const QByteArray& bytes);

}  // namespace orva
