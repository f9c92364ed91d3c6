#include "app/status_command.h"

#include "app/exit_codes.h"
#include "delivery/delivery_state_file.h"
#include "delivery/outbox.h"
#include "startup/instance_lock.h"
#include "store/db_error.h"

#include <cstdio>

namespace orva {

int RunStatusCommand(const AppPaths& paths) {
  if (!InstanceRunning(paths)) {
    std::fputs("not running\n", stdout);
    return kNotRunning;
  }
  // Before its first second a running instance may not have written its figures yet.
  DeliveryFigures figures =
      DeliveryStateFile(paths.DeliveryStateFile()).Read().value_or(DeliveryFigures());
  try {
    figures.waiting = 0;
    for (const auto& group : Outbox::Contents(paths.OutboxDb(), 0).waiting) {
      figures.waiting += group.count;
    }
  } catch (const DbError&) {
    // No outbox yet: the figures of the state file stand.
  }
  // Plain digits for scripts that read them.
  const DeliveryFiguresLine line =
      DeliveryFiguresText(figures, QLocale::c(), QDateTime::currentDateTime());
  std::fputs(qPrintable(line.text + QLatin1Char('\n')), stdout);
  for (const QString& note :
       {figures.problem,
        figures.set_aside.isEmpty()
            ? QString()
            : QStringLiteral("A damaged outbox was set aside as %1").arg(figures.set_aside)}) {
    if (!note.isEmpty()) std::fputs(qPrintable(note + QLatin1Char('\n')), stdout);
  }
  return 0;
}

}  // namespace orva
