#pragma once

#include <QString>
#include <QVariant>

#include <optional>
#include <utility>
#include <vector>

namespace orva {

// One field value as stored; std::nullopt is NULL and never becomes "" or 0 on its own.
using DbValue = std::optional<QVariant>;

// One row read from a table. Field names are matched without regard to letter case.
class Record {
 public:
  void Add(QString field, DbValue value);

  bool Has(QStringView field) const;
  // The value of a field; throws DbError when the row has no such field.
  const DbValue& Value(QStringView field) const;
  // The value as text (numbers in their decimal form); nullopt for NULL.
  std::optional<QString> Text(QStringView field) const;
  // The value as a whole number (texts holding a number are read as one); nullopt for NULL
  // and for texts that hold no number.
  std::optional<qint64> Integer(QStringView field) const;

  const std::vector<std::pair<QString, DbValue>>& fields() const { return fields_; }

 private:
  std::vector<std::pair<QString, DbValue>> fields_;
};

}  // namespace orva
