#include "store/record.h"

#include "store/db_error.h"

#include <cmath>

namespace orva {

void Record::Add(QString field, DbValue value) {
  fields_.emplace_back(std::move(field), std::move(value));
}

bool Record::Has(QStringView field) const {
  for (const auto& [name, value] : fields_) {
    if (name.compare(field, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

const DbValue& Record::Value(QStringView field) const {
  for (const auto& [name, value] : fields_) {
    if (name.compare(field, Qt::CaseInsensitive) == 0) return value;
  }
  throw DbError(3265, QStringLiteral("Item not found in this collection: ") + field.toString());
}

std::optional<QString> Record::Text(QStringView field) const {
  const DbValue& value = Value(field);
  if (!value) return std::nullopt;
  if (value->typeId() == QMetaType::QByteArray) return QString::fromUtf8(value->toByteArray());
  return value->toString();
}

std::optional<qint64> Record::Integer(QStringView field) const {
  const DbValue& value = Value(field);
  if (!value) return std::nullopt;
  if (value->typeId() == QMetaType::Double) return std::llround(value->toDouble());
  bool ok = false;
  const qint64 number = value->toString().trimmed().toLongLong(&ok);
  if (ok) return number;
  const double real = value->toString().trimmed().toDouble(&ok);
  if (ok) return std::llround(real);
  return std::nullopt;
}

}  // namespace orva
