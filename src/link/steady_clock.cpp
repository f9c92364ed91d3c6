#include "link/steady_clock.h"

#include <QThread>

#include <cmath>

namespace orva {

double SteadyClock::Now() { return static_cast<double>(timer_.nsecsElapsed()) / 1e9; }

void SteadyClock::Sleep(double seconds) {
  if (seconds <= 0) return;
  QThread::usleep(static_cast<unsigned long>(std::ceil(seconds * 1e6)));
}

}  // namespace orva
