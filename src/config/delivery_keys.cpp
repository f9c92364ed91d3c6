#include "config/delivery_keys.h"

#include "config/decimal_text.h"
#include "json/json_value.h"
#include "json/json_writer.h"

#include <array>

namespace orva {
namespace {

const std::array kModeNames = {QStringLiteral("buffered"), QStringLiteral("direct")};
const std::array kPrecisionNames = {QStringLiteral("ms"), QStringLiteral("s"), QStringLiteral("us"),
                                    QStringLiteral("ns")};

// The index of the value's text among `names`, letter case aside.
template <typename Names>
std::optional<int> NameIndex(const JsonValue& value, const Names& names) {
  const QString text = JsonPlainText(value).toLower();
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    if (text == names[i]) return i;
  }
  return std::nullopt;
}

// A whole number of 1 or more.
std::optional<qint64> CountOf(const JsonValue& value) {
  const double number = value.ToNumber();
  if (!value.IsNumber() || number < 1 || number > 1e15) return std::nullopt;
  return static_cast<qint64>(number);
}

QString Member(const char* key, const QString& value) {
  return QStringLiteral(",\"%1\":").arg(QLatin1String(key)) + value;
}

}  // namespace

DeliverySettings DeliverySettingsOf(const JsonValue& settings) {
  DeliverySettings delivery;
  if (const auto mode = NameIndex(settings[QStringLiteral("Delivery")], kModeNames)) {
    delivery.mode = static_cast<DeliveryMode>(*mode);
  }
  if (const auto precision = NameIndex(settings[QStringLiteral("Precision")], kPrecisionNames)) {
    delivery.precision = static_cast<TimePrecision>(*precision);
  }
  delivery.outbox_limit = CountOf(settings[QStringLiteral("OutboxLimit")]);
  delivery.batch_size = CountOf(settings[QStringLiteral("BatchSize")]);
  const JsonValue& flush = settings[QStringLiteral("FlushSeconds")];
  if (flush.IsNumber() && flush.ToNumber() > 0 && flush.ToNumber() <= 86400) {
    delivery.flush_seconds = flush.ToNumber();
  }
  return delivery;
}

QString DeliveryMembers(const DeliverySettings& delivery) {
  QString members;
  if (delivery.mode) {
    members += Member("Delivery", QLatin1Char('"') + kModeNames[static_cast<int>(*delivery.mode)] +
                                      QLatin1Char('"'));
  }
  if (delivery.precision) {
    members += Member("Precision",
                      QLatin1Char('"') + PrecisionName(*delivery.precision) + QLatin1Char('"'));
  }
  if (delivery.outbox_limit) {
    members += Member("OutboxLimit", QString::number(*delivery.outbox_limit));
  }
  if (delivery.batch_size) members += Member("BatchSize", QString::number(*delivery.batch_size));
  if (delivery.flush_seconds) {
    members += Member("FlushSeconds", DecimalText15(*delivery.flush_seconds));
  }
  return members;
}

QString PrecisionName(TimePrecision precision) {
  return kPrecisionNames[static_cast<int>(precision)];
}

}  // namespace orva
