#pragma once

// What TCP and serial sessions share: the controller, the faults in force, and the trace.

#include <QByteArray>

#include "controller.h"
#include "faults.h"

namespace orva::sim {

class Responder {
 public:
  Responder(const Controller* controller, Faults* faults, bool verbose)
      : controller_(controller), faults_(faults), verbose_(verbose) {}

  // The answer to one request with the faults applied. Uses up the one-shot echo error, and a
  // cancel-programming command disarms it (the controller has stopped rebooting).
  AnswerPlan Respond(const Request& request);

  const Faults& faults() const { return *faults_; }
  // Module memory reads answered so far (blocks, not modules).
  qint64 module_reads() const { return module_reads_; }
  // Output status requests (command 56) received so far, answered or not yet.
  qint64 status_requests() const { return status_requests_; }
  const Controller& controller() const { return *controller_; }

  // One line on stderr when --verbose is given: "<channel> <direction> <hex>".
  void Trace(const char* channel, const char* direction, const QByteArray& bytes) const;

 private:
  const Controller* controller_;
  Faults* faults_;
  bool verbose_;
  qint64 module_reads_ = 0;
  qint64 status_requests_ = 0;
};

}  // namespace orva::sim
