#pragma once

#include <QList>
#include <QString>

#include <chrono>

#include "config/scan_configuration.h"

namespace orva {

// One key=value field of a record; the value is already written in its number format.
struct Field {
  QString key;
  QString value;

  friend bool operator==(const Field&, const Field&) = default;
};
using FieldList = QList<Field>;

// One key=value tag of a record: text that names the series, not a value.
struct Tag {
  QString key;
  QString value;

  friend bool operator==(const Tag&, const Tag&) = default;
};
using TagList = QList<Tag>;

// Line protocol needs a backslash before a comma or blank in a measurement, and before a comma,
// equals sign or blank in a field key, a tag key or a tag value; anything else stays byte for
// byte.
QString EscapeMeasurement(const QString& measurement);
QString EscapeFieldKey(const QString& key);

// Whether a field key, or a tag's key or value, can be written at all. An empty key is no key, and
// a backslash at the end would escape the equals sign after it; InfluxDB takes no escape for that
// backslash either, so such a key makes the server refuse the whole record. A line feed cannot be
// escaped at all: it would end the record there, and the server would store its first half.
bool IsWritableFieldKey(const QString& key);

// "measurement,tag=value field=value,field=value", the tags in the order given, no timestamp (a
// record posted at once is stamped by the server on arrival; one that waits in the outbox gets
// WithTimeStamp). Empty when there are no fields, because a record without a field is not line
// protocol and must not be posted.
QString RecordText(const QString& measurement, const FieldList& fields, const TagList& tags = {});

// The record with the time its value was read at its end, in whole units of `precision` since
// the epoch.
QString WithTimeStamp(const QString& record, std::chrono::system_clock::time_point read,
                      TimePrecision precision);

}  // namespace orva
