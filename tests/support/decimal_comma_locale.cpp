#include "decimal_comma_locale.h"

#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>
#include <cstring>

namespace orva::test {
namespace {

constexpr char kLocale[] = "de_DE.UTF-8";

// Compiles the locale once; returns the folder to put into LOCPATH, empty when that failed.
QString CompiledLocaleFolder() {
  static QTemporaryDir folder;
  static const bool built = [] {
    if (!folder.isValid()) return false;
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), folder.path() + QLatin1Char('/') + kLocale});
    return localedef.waitForFinished(60000) && localedef.exitCode() == 0;
  }();
  return built ? folder.path() : QString();
}

}  // namespace

DecimalCommaLocale::DecimalCommaLocale()
    : previous_qt_(QLocale()), previous_c_(std::setlocale(LC_ALL, nullptr)) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  if (std::setlocale(LC_ALL, kLocale) == nullptr) {
    const QString folder = CompiledLocaleFolder();
    if (!folder.isEmpty()) {
      qputenv("LOCPATH", folder.toLocal8Bit());
      std::setlocale(LC_ALL, kLocale);
    }
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
