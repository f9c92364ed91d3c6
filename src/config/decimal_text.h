#pragma once

#include <QString>

namespace orva {

// Numbers of the configuration file and of its fields are written as plain decimals (a point,
// never an exponent), so that the leading-number reading of a field gets the whole value back.
// Each gives the shortest such text that reads back as the same value; NaN gives "0".

// A double, rounded to 15 significant digits first.
QString DecimalText15(double value);

// A double held as single precision. Values beyond the single-precision range have no such
// text; IsSingleRange tells them apart.
QString SingleDecimalText(double value);
bool IsSingleRange(double value);

}  // namespace orva
