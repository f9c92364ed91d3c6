#pragma once

// Sends answers in order, each after its latency and in pieces with gaps, without blocking the
// event loop (other connections keep being served meanwhile).

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace orva::sim {

class AnswerQueue : public QObject {
 public:
  using Writer = std::function<void(const QByteArray&)>;

  AnswerQueue(Writer writer, QObject* parent);

  // `done` runs right after the last piece has been written.
  void Enqueue(const QByteArray& bytes, int latency_ms, int pieces, int gap_ms,
               std::function<void()> done = {});

 private:
  struct Step {
    QByteArray bytes;
    int delay_ms = 0;
    std::function<void()> done;
  };

  void WriteNext();
  void Arm();

  Writer writer_;
  QList<Step> steps_;
  QTimer timer_;
};

}  // namespace orva::sim
