#pragma once

#include <QString>

#include "app/controller_outage.h"
#include "scan/row_reading.h"

namespace orva {

// Prints one status line with a local time stamp on stdout; an error line also on stderr, unless
// stderr is stdout's own file (a terminal, `2>&1`, a service's journal stream), where it would
// show twice.
void PrintStatus(const QString& text, bool error);

// What headless mode prints of a running scan. A controller that cannot be reached is told as
// ControllerOutage says; the lines of its rows, messages and captions that only repeat it are
// left out. A caption is printed when it changes.
class ScanStatusLines {
 public:
  void Status(const QString& text, bool red);
  void Caption(const QString& caption);
  // A message of the link: it says why the controller cannot be reached.
  void ControllerMessage(const QString& text);
  void RowRead(const RowReading& reading);
  void TickFinished() { outage_.TickEnded(); }

 private:
  void Lost(const QString& text);

  ControllerOutage outage_;
  QString caption_;
};

}  // namespace orva
