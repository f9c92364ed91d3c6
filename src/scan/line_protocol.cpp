#include "scan/line_protocol.h"

#include <QStringList>

namespace orva {
namespace {

QString Escape(const QString& text, QStringView special) {
  QString escaped;
  escaped.reserve(text.size());
  for (const QChar c : text) {
    if (special.contains(c)) escaped += QLatin1Char('\\');
    escaped += c;
  }
  return escaped;
}

}  // namespace

QString EscapeMeasurement(const QString& measurement) { return Escape(measurement, u", "); }

QString EscapeFieldKey(const QString& key) { return Escape(key, u",= "); }

bool IsWritableFieldKey(const QString& key) {
  return !key.isEmpty() && !key.endsWith(QLatin1Char('\\')) && !key.contains(QLatin1Char('\n'));
}

QString RecordText(const QString& measurement, const FieldList& fields, const TagList& tags) {
  if (fields.isEmpty()) return QString();
  QString series = EscapeMeasurement(measurement);
  for (const Tag& tag : tags)
    series += u',' + EscapeFieldKey(tag.key) + u'=' + EscapeFieldKey(tag.value);
  QStringList pieces;
  pieces.reserve(fields.size());
  for (const Field& field : fields) pieces << EscapeFieldKey(field.key) + u'=' + field.value;
  return series + u' ' + pieces.join(u',');
}

QString WithTimeStamp(const QString& record, std::chrono::system_clock::time_point read,
                      TimePrecision precision) {
  using namespace std::chrono;
  const nanoseconds since_epoch = read.time_since_epoch();
  qint64 stamp = 0;
  switch (precision) {
    case TimePrecision::kSeconds:
      stamp = floor<seconds>(since_epoch).count();
      break;
    case TimePrecision::kMicroseconds:
      stamp = floor<microseconds>(since_epoch).count();
      break;
    case TimePrecision::kNanoseconds:
      stamp = since_epoch.count();
      break;
    case TimePrecision::kMilliseconds:
      stamp = floor<milliseconds>(since_epoch).count();
      break;
  }
  return record + u' ' + QString::number(stamp);
}

}  // namespace orva
