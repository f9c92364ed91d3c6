#pragma once

#include <QString>
#include <QStringView>

namespace orva {

// True for the characters a number run is made of: "+-0123456789.eE".
bool IsJsonNumberChar(QChar c);

// The value of the leading numeric part of a run of number characters; conversion stops at
// the first character that does not fit (so "1-2" gives 1) and a run without a leading number
// gives 0. Never depends on the locale. Magnitudes beyond the double range are held as the
// largest finite double of the same sign, so that the value always writes back as a number.
double JsonNumberFromRun(QStringView run);

// The shortest decimal text that reads back as the same double, with a point as the decimal
// separator whatever the locale. Plain digits for magnitudes from 1e-6 up to 1e21 (so that a
// port or an address reads as its digits), exponent form beyond.
QString JsonNumberText(double value);

}  // namespace orva
