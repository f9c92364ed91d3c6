#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <utility>

namespace orva {

class JsonObject;
class JsonValue;
using JsonArray = QList<JsonValue>;

// One node of a parsed JSON tree. Values are immutable once built, so copies share their
// containers.
class JsonValue {
 public:
  enum class Kind { kNothing, kNull, kBool, kNumber, kString, kObject, kArray };

  // The nothing value: what a failed parse, an absent member or a truncated number yields.
  JsonValue() = default;
  static JsonValue Null();
  static JsonValue Bool(bool value);
  static JsonValue Number(double value);
  static JsonValue String(QString value);
  static JsonValue Object(JsonObject value);
  static JsonValue Array(JsonArray value);

  Kind kind() const { return kind_; }
  bool IsNothing() const { return kind_ == Kind::kNothing; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  bool IsBool() const { return kind_ == Kind::kBool; }
  bool IsNumber() const { return kind_ == Kind::kNumber; }
  bool IsString() const { return kind_ == Kind::kString; }
  bool IsObject() const { return kind_ == Kind::kObject; }
  bool IsArray() const { return kind_ == Kind::kArray; }

  // Each accessor gives the held value, or false, 0, "", an empty object or an empty array
  // when the value is of another kind.
  bool ToBool() const { return kind_ == Kind::kBool && bool_; }
  double ToNumber() const { return kind_ == Kind::kNumber ? number_ : 0.0; }
  const QString& ToString() const;
  const JsonObject& ToObject() const;
  const JsonArray& ToArray() const;

  // Member lookup; the nothing value when this is not an object or the key is absent.
  const JsonValue& operator[](const QString& key) const;

  friend bool operator==(const JsonValue& a, const JsonValue& b);

 private:
  Kind kind_ = Kind::kNothing;
  bool bool_ = false;
  double number_ = 0.0;
  QString string_;
  std::shared_ptr<const JsonObject> object_;
  std::shared_ptr<const JsonArray> array_;
};

// Members in the order they were added. Keys are case-sensitive and occur once; the index
// keeps duplicate detection linear for large objects.
class JsonObject {
 public:
  using Member = std::pair<QString, JsonValue>;

  // Adds a member at the end. Returns false, and leaves the object unchanged, when the key
  // is already present.
  bool Insert(const QString& key, JsonValue value);
  bool Contains(const QString& key) const { return index_.contains(key); }
  // The member's value; the nothing value when the key is absent.
  const JsonValue& Value(const QString& key) const;

  qsizetype size() const { return members_.size(); }
  bool empty() const { return members_.empty(); }
  QList<Member>::const_iterator begin() const { return members_.cbegin(); }
  QList<Member>::const_iterator end() const { return members_.cend(); }

  friend bool operator==(const JsonObject& a, const JsonObject& b) {
    return a.members_ == b.members_;
  }

 private:
  QList<Member> members_;
  QHash<QString, qsizetype> index_;
};

}  // namespace orva
