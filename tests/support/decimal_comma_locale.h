#pragma once

#include <QByteArray>
#include <QLocale>

namespace orva::test {

// For the life of the object both Qt's default locale and the C library's locale write numbers
// with a decimal comma (German), as on many of our users' machines. The machine may have no such
// C locale installed, so the build compiles one into its own folder.
// active() tells whether the C library took it.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale();
  ~DecimalCommaLocale();
  DecimalCommaLocale(const DecimalCommaLocale&) = delete;
  DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

  bool active() const { return active_; }

 private:
  QLocale previous_qt_;
  QByteArray previous_c_;
  bool active_ = false;
};

}  // namespace orva::test
