#include "decimal_comma_locale.h"

#include <clocale>
#include <cstdio>
#include <cstring>

namespace orva::test {
namespace {

constexpr char kLocale[] = "de_DE.UTF-8";

}  // namespace

DecimalCommaLocale::DecimalCommaLocale()
    : previous_qt_(QLocale()), previous_c_(std::setlocale(LC_ALL, nullptr)) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  if (std::setlocale(LC_ALL, kLocale) == nullptr) {
    qputenv("LOCPATH", ORVA_LOCALE_DIR);  // compiled there by the build
    std::setlocale(LC_ALL, kLocale);
  }
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  active_ = std::strcmp(probe, "1,5") == 0;
}

DecimalCommaLocale::~DecimalCommaLocale() {
  std::setlocale(LC_ALL, previous_c_.constData());
  QLocale::setDefault(previous_qt_);
}

}  // namespace orva::test
