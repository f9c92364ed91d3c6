#pragma once

#include <QString>

namespace orva {

class JsonValue;

// The "CommLogDays" key of a configuration file's "InfluxDB" object: a number of days, fractions
// allowed, 0 for no limit. Absent, negative or not a number, it means the default.
double CommLogDaysOf(const JsonValue& settings);

// ',"CommLogDays":days', or empty for the default, so that such a file is written as before.
QString CommLogDaysMember(double days);

}  // namespace orva
