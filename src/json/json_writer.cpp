#include "json/json_writer.h"

#include "json/json_number.h"

namespace orva {
namespace {

void AppendEscaped(QStringView text, QString& out) {
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'"':
        out += u"\\\"";
        break;
      case u'\\':
        out += u"\\\\";
        break;
      case u'/':
        out += u"\\/";
        break;
      case 8:
        out += u"\\b";
        break;
      case 12:
        out += u"\\f";
        break;
      case 10:
        out += u"\\n";
        break;
      case 13:
        out += u"\\r";
        break;
      case 9:
        out += u"\\t";
        break;
      default:
        out += c;
    }
  }
}

void Write(const JsonValue& value, bool quote_strings, QString& out) {
  switch (value.kind()) {
    case JsonValue::Kind::kNothing:
      break;
    case JsonValue::Kind::kNull:
      out += u"null";
      break;
    case JsonValue::Kind::kBool:
      out += value.ToBool() ? u"true" : u"false";
      break;
    case JsonValue::Kind::kNumber:
      out += JsonNumberText(value.ToNumber());
      break;
    case JsonValue::Kind::kString:
      if (quote_strings) out += u'"';
      AppendEscaped(value.ToString(), out);
      if (quote_strings) out += u'"';
      break;
    case JsonValue::Kind::kObject: {
      out += u'{';
      bool first = true;
      for (const auto& [key, member] : value.ToObject()) {
        if (!first) out += u',';
        first = false;
        out += u'"';
        out += key;
        out += u"\":";
        Write(member, true, out);
      }
      out += u'}';
      break;
    }
    case JsonValue::Kind::kArray: {
      out += u'[';
      bool first = true;
      for (const JsonValue& element : value.ToArray()) {
        if (!first) out += u',';
        first = false;
        Write(element, true, out);
      }
      out += u']';
      break;
    }
  }
}

}  // namespace

QString JsonToText(const JsonValue& value, bool quote_strings) {
  QString out;
  Write(value, quote_strings, out);
  return out;
}

QString JsonEscape(QStringView text) {
  QString out;
  out.reserve(text.size());
  AppendEscaped(text, out);
  return out;
}

QString JsonPlainText(const JsonValue& value) {
  return value.IsString() ? value.ToString() : JsonToText(value, false);
}

}  // namespace orva
