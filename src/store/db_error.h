#pragma once

#include <QString>

#include <stdexcept>

namespace orva {

// A failure of the database layer or of the file system below it. Carries what the start-up
// message shows: a number, a description and the component that raised it.
class DbError : public std::runtime_error {
 public:
  DbError(int number, const QString& description, const QString& source = QStringLiteral("SQLite"))
      : std::runtime_error(description.toStdString()),
        number_(number),
        description_(description),
        source_(source) {}

  int number() const { return number_; }
  const QString& description() const { return description_; }
  const QString& source() const { return source_; }
  // "Err: <number> / <description> in <source>", as every status line and message shows it.
  QString Text() const {
    return QStringLiteral("Err: %1 / %2 in %3")
        .arg(QString::number(number_), description_, source_);
  }

 private:
  int number_;
  QString description_;
  QString source_;
};

}  // namespace orva
