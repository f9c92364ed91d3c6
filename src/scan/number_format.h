#pragma once

#include <QString>
#include <QtGlobal>

namespace orva {

// Field values as the records carry them. All three always write a point as decimal separator,
// whatever the locale.

// "whole": decimal digits, no sign, no leading zeros.
QString FormatWhole(quint32 value);

// "half": a thermostat byte divided by 2: a whole number or one ending in ".5".
QString FormatHalf(quint8 value);

// "single": at most 7 significant digits, no trailing zeros, no point for whole values, a 0
// before the point below 1; from 10,000,000 on in exponent form ("1.677722E+07").
QString FormatSingle(float value);

// A raw unsigned value divided in single precision, as the 16- and 24-bit fields are computed.
float ScaledSingle(quint32 raw, quint32 divisor);

}  // namespace orva
