#pragma once

#include <QStringView>

namespace orva {

// The number a text typed by a user starts with, as every number field of the program and the
// controller's version digits are read: blanks are ignored wherever they are; an optional sign,
// decimal digits and one decimal point are read up to the first character that cannot continue
// the number. A text without a number gives 0. Never depends on the locale ("0,5" gives 0).
double LeadingNumber(QStringView text);

}  // namespace orva
