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

QString RecordText(const QString& measurement, const FieldList& fields) {
  if (fields.isEmpty()) return QString();
  QStringList pieces;
  pieces.reserve(fields.size());
  for (const Field& field : fields) pieces << EscapeFieldKey(field.key) + u'=' + field.value;
  return EscapeMeasurement(measurement) + u' ' + pieces.join(u',');
}

}  // namespace orva
