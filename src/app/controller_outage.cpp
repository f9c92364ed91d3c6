#include "app/controller_outage.h"

#include "store/language_texts.h"

namespace orva {

QString ControllerOutage::Lost(const QString& text, const QDateTime& now) {
  told_.insert(text);
  latest_ = text;
  if (!since_.isValid()) {
    since_ = now;
    last_line_ = now;
    ticks_ = 0;
    return text;
  }
  if (last_line_.secsTo(now) < kSummarySeconds) return QString();
  last_line_ = now;
  return QStringLiteral("%1 not reached since %2 (%3 ticks): %4")
      .arg(kControllerModel, since_.toString(QStringLiteral("HH:mm:ss")))
      .arg(ticks_)
      .arg(latest_);
}

QString ControllerOutage::Found(const QDateTime& now) {
  if (!since_.isValid()) return QString();
  // Within the tick that met the failure (TCP/IP refused, a serial port answered) nothing was
  // missed.
  if (ticks_ == 0) {
    since_ = QDateTime();
    told_.clear();
    return QString();
  }
  const QString line = QStringLiteral("%1 found again after %2 s without it")
                           .arg(kControllerModel)
                           .arg(since_.secsTo(now));
  since_ = QDateTime();
  told_.clear();
  return line;
}

void ControllerOutage::TickEnded() {
  if (since_.isValid()) ++ticks_;
}

}  // namespace orva
