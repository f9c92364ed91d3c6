#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

#include <optional>

namespace orva {

// Field values as the window shows them. The records keep the program's fixed format (a point as
// decimal separator, whatever the locale); on screen a number follows the user's locale.

// A field value as the records carry it ("21.5", "1.677722E+07"); nullopt for any other text.
std::optional<double> FieldNumber(const QString& value);

// The value with the locale's decimal separator and digit groups, at the 7 significant digits
// the records carry; a text that is no number stays as it is.
QString LocalizedValue(const QString& value, const QLocale& locale);

// The locale's time of day with seconds: reads come every second or faster.
QString TimeOfDayFormat(const QLocale& locale);
QString TimeOfDayText(QTime time, const QLocale& locale);

}  // namespace orva
