#include "link/device_io.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>

namespace orva {
namespace {

constexpr int kWriteWaitMs = 3000;

}  // namespace

int WaitMilliseconds(double seconds) {
  if (seconds <= 0) return 0;
  return static_cast<int>(std::min(std::ceil(seconds * 1000.0), 24.0 * 3600 * 1000));
}

bool WriteAll(QIODevice& device, const QByteArray& bytes) {
  if (device.write(bytes) != bytes.size()) return false;
  while (device.bytesToWrite() > 0) {
    if (!device.waitForBytesWritten(kWriteWaitMs)) return false;
  }
  return true;
}

}  // namespace orva
