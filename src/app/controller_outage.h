#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>

namespace orva {

// A controller that cannot be reached, as headless mode tells it: the first failure at once,
// then one summary line a minute while it stays away, and its return once. Every tick meets the
// failure again, and a service's journal must not fill with it.
class ControllerOutage {
 public:
  static constexpr qint64 kSummarySeconds = 60;

  // A failure to reach the controller; the line to print for it, or empty while it repeats.
  QString Lost(const QString& text, const QDateTime& now);
  // A value was read: the line that ends an outage that outlasted its tick, else empty.
  QString Found(const QDateTime& now);
  void TickEnded();
  // Whether `text` was met in the current outage, and is not to be printed again.
  bool Told(const QString& text) const { return told_.contains(text); }

 private:
  QDateTime since_;  // invalid while the controller answers
  QDateTime last_line_;
  QString latest_;
  QSet<QString> told_;
  int ticks_ = 0;
};

}  // namespace orva
