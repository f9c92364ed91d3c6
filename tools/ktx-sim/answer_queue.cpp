#include "answer_queue.h"

#include "faults.h"

namespace orva::sim {

AnswerQueue::AnswerQueue(Writer writer, QObject* parent)
    : QObject(parent), writer_(std::move(writer)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &AnswerQueue::WriteNext);
}

void AnswerQueue::Enqueue(const QByteArray& bytes, int latency_ms, int pieces, int gap_ms,
                          std::function<void()> done) {
  // The usual case leaves at once, without a trip through the event loop.
  if (steps_.isEmpty() && latency_ms <= 0 && pieces <= 1) {
    writer_(bytes);
    if (done) done();
    return;
  }
  const QList<QByteArray> parts = SplitIntoPieces(bytes, pieces);
  for (int i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    steps_.append({parts[i], i == 0 ? latency_ms : gap_ms, last ? done : nullptr});
  }
  if (!timer_.isActive()) Arm();
}

void AnswerQueue::Arm() {
  if (!steps_.isEmpty()) timer_.start(qMax(0, steps_.front().delay_ms));
}

void AnswerQueue::WriteNext() {
  if (steps_.isEmpty()) return;
  const Step step = steps_.takeFirst();
  writer_(step.bytes);
  Arm();
  // Last: `done` may hang up and delete whoever owns this queue.
  if (step.done) step.done();
}

}  // namespace orva::sim
