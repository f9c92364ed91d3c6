#include "json/json_value.h"

namespace orva {

bool JsonObject::Insert(const QString& key, JsonValue value) {
  if (index_.contains(key)) return false;
  index_.insert(key, members_.size());
  members_.append({key, std::move(value)});
  return true;
}

const JsonValue& JsonObject::Value(const QString& key) const {
  static const JsonValue kNothing;
  const auto found = index_.constFind(key);
  return found == index_.cend() ? kNothing : members_[*found].second;
}

JsonValue JsonValue::Null() {
  JsonValue value;
  value.kind_ = Kind::kNull;
  return value;
}

JsonValue JsonValue::Bool(bool held) {
  JsonValue value;
  value.kind_ = Kind::kBool;
  value.bool_ = held;
  return value;
}

JsonValue JsonValue::Number(double held) {
  JsonValue value;
  value.kind_ = Kind::kNumber;
  value.number_ = held;
  return value;
}

JsonValue JsonValue::String(QString held) {
  JsonValue value;
  value.kind_ = Kind::kString;
  value.string_ = std::move(held);
  return value;
}

JsonValue JsonValue::Object(JsonObject held) {
  JsonValue value;
  value.kind_ = Kind::kObject;
  value.object_ = std::make_shared<const JsonObject>(std::move(held));
  return value;
}

JsonValue JsonValue::Array(JsonArray held) {
  JsonValue value;
  value.kind_ = Kind::kArray;
  value.array_ = std::make_shared<const JsonArray>(std::move(held));
  return value;
}

const QString& JsonValue::ToString() const {
  static const QString kEmpty;
  return kind_ == Kind::kString ? string_ : kEmpty;
}

const JsonObject& JsonValue::ToObject() const {
  static const JsonObject kEmpty;
  return kind_ == Kind::kObject ? *object_ : kEmpty;
}

const JsonArray& JsonValue::ToArray() const {
  static const JsonArray kEmpty;
  return kind_ == Kind::kArray ? *array_ : kEmpty;
}

const JsonValue& JsonValue::operator[](const QString& key) const { return ToObject().Value(key); }

bool operator==(const JsonValue& a, const JsonValue& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case JsonValue::Kind::kNothing:
    case JsonValue::Kind::kNull:
      return true;
    case JsonValue::Kind::kBool:
      return a.bool_ == b.bool_;
    case JsonValue::Kind::kNumber:
      return a.number_ == b.number_;
    case JsonValue::Kind::kString:
      return a.string_ == b.string_;
    case JsonValue::Kind::kObject:
      return *a.object_ == *b.object_;
    case JsonValue::Kind::kArray:
      return *a.array_ == *b.array_;
  }
  return false;
}

}  // namespace orva
