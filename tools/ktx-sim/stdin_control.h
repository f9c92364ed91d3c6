#pragma once

// Faults switched while running: one line on stdin per change ("fault latency 3000"),
// acknowledged with one line on stdout, so that a test knows when the change is in force.
// "logins" asks how many login packets have arrived so far ("logins 3").
// "reads" answers "reads N": the module memory reads answered so far; "statuses" answers
// "statuses N": the output status requests received so far, whether answered yet or not.

#include <QByteArray>
#include <QObject>

#include <functional>

#include "faults.h"
#include "responder.h"

class QSocketNotifier;

namespace orva::sim {

class StdinControl : public QObject {
 public:
  StdinControl(Faults* faults, const Responder* responder, std::function<int()> logins,
               QObject* parent = nullptr);

 private:
  void OnReadable();

  Faults* faults_;
  const Responder* responder_;
  std::function<int()> logins_;
  QSocketNotifier* notifier_;
  QByteArray buffer_;
};

// Prints one line on stdout and flushes it at once (readers wait for whole lines).
void PrintLine(const QString& line);

// SIGINT and SIGTERM end the event loop, so that destructors remove the serial link.
void QuitOnSignals();

}  // namespace orva::sim
