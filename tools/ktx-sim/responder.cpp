#include "responder.h"

#include <cstdio>

namespace orva::sim {

AnswerPlan Responder::Respond(const Request& request) {
  const AnswerPlan plan = PlanAnswer(*faults_, request, controller_->Answer(request));
  if (plan.garbled_echo || request.command == kCancelProgrammingCommand) {
    faults_->echo_error_version = false;
  }
  if (request.command == kModuleMemoryCommand && !request.write && !plan.silent) ++module_reads_;
  if (request.command == kOutputStatusCommand && !request.write) ++status_requests_;
  return plan;
}

void Responder::Trace(const char* channel, const char* direction, const QByteArray& bytes) const {
  if (!verbose_) return;
  std::fprintf(stderr, "%s %s %s\n", channel, direction, HexDump(bytes).constData());
  std::fflush(stderr);
}

}  // namespace orva::sim
