#include "delivery/delivery_status.h"

#include <QLocale>

namespace orva {
namespace {

QString Count(qint64 count) { return QLocale(QLocale::English).toString(count); }

QString Records(qint64 count) {
  return Count(count) + (count == 1 ? QStringLiteral(" record") : QStringLiteral(" records"));
}

}  // namespace

DeliveryStatusLine DeliveryStatusText(const DeliveryState& state) {
  DeliveryStatusLine line;
  if (state.problem.isEmpty()) {
    line.text = QStringLiteral("InfluxDB: %1 sent").arg(Records(state.sent));
    if (!state.created_database.isEmpty()) {
      line.text = QStringLiteral("InfluxDB: created database %1, %2 sent")
                      .arg(state.created_database, Records(state.sent));
    }
    if (state.waiting > 0) line.text += QStringLiteral(", %1 waiting").arg(Count(state.waiting));
  } else {
    const qint64 seconds = (state.next_try.count() + 999) / 1000;
    line.text = QStringLiteral("%1: %2 waiting since %3; next try in %4 s")
                    .arg(state.problem, Records(state.waiting),
                         state.failing_since.toString(QStringLiteral("HH:mm:ss")))
                    .arg(seconds);
    line.red = true;
  }
  if (state.dropped > 0) {
    line.text += QStringLiteral("; the outbox is full: %1 dropped, the oldest first")
                     .arg(Records(state.dropped));
    line.red = true;
  }
  if (state.rejected > 0) {
    line.text += QStringLiteral("; %1 refused by the server: %2")
                     .arg(Records(state.rejected), state.rejected_message);
    line.red = true;
  }
  return line;
}

}  // namespace orva
