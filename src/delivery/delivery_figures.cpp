#include "delivery/delivery_figures.h"

#include <QStringList>

namespace orva {

DeliveryFiguresLine DeliveryFiguresText(const DeliveryFigures& figures, const QLocale& locale,
                                        const QDateTime& now) {
  QStringList parts;
  const auto add = [&](const char* name, qint64 count) {
    parts << QLatin1String(name) + QLatin1Char(' ') + locale.toString(count);
  };
  add("Read", figures.read);
  add("sent", figures.sent);
  if (figures.direct) {
    add("failed", figures.failed);
  } else {
    add("waiting", figures.waiting);
    add("dropped", figures.dropped);
    add("rejected", figures.rejected);
    // Only a failing disk loses values: the count shows only then, in red.
    if (figures.lost > 0) add("lost", figures.lost);
  }
  QString last = QStringLiteral("none");
  if (figures.last_sent.isValid()) {
    const QDateTime local = figures.last_sent.toLocalTime();
    last = local.toString(local.date() == now.toLocalTime().date()
                              ? QStringLiteral("HH:mm:ss")
                              : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  }
  parts << QStringLiteral("last post ") + last;
  return {parts.join(QStringLiteral(" · ")), !figures.problem.isEmpty() || figures.lost > 0};
}

}  // namespace orva
