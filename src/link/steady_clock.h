#pragma once

#include "link/transport.h"

#include <QElapsedTimer>

namespace orva {

class SteadyClock : public Clock {
 public:
  SteadyClock() { timer_.start(); }
  double Now() override;
  void Sleep(double seconds) override;

 private:
  QElapsedTimer timer_;
};

}  // namespace orva
