#pragma once

#include <QString>
#include <QStringList>

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
  // A fault of ours whose words the texts hold in every language: the key of its text in table
  // "talen" (0: none) and what fills its %1, %2; the description is its English.
  int text_key() const { return text_key_; }
  const QStringList& text_arguments() const { return text_arguments_; }
  DbError& SetText(int key, const QStringList& arguments) {
    text_key_ = key;
    text_arguments_ = arguments;
    return *this;
  }
  // "Err: <number> / <description> in <source>", as every status line and message shows it.
  QString Text() const {
    return QStringLiteral("Err: %1 / %2 in %3")
        .arg(QString::number(number_), description_, source_);
  }

 private:
  int number_;
  QString description_;
  QString source_;
  int text_key_ = 0;
  QStringList text_arguments_;
};

}  // namespace orva
