#include "json/json_parser.h"

#include "json/json_number.h"

namespace orva {
namespace {

// Quoting the rest of the text into every error line would make hostile input quadratic.
constexpr qsizetype kMaxErrorText = qsizetype{1} << 20;

thread_local QString t_errors;

class Parser {
 public:
  Parser(QStringView text, QString& errors) : text_(text), errors_(errors) {}

  JsonValue ParseTop() {
    Skip();
    if (Current() != u'{' && Current() != u'[') {
      errors_ = QStringLiteral("Invalid JSON");
      return {};
    }
    return ParseValue();
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  // NUL past the end, which matches no character the parser looks for.
  QChar Current() const { return AtEnd() ? QChar() : text_[pos_]; }
  QStringView Rest() const { return text_.mid(pos_); }
  QStringView Next20() const { return text_.mid(pos_, 20); }
  QStringView Last20() const { return text_.right(20); }

  QString AtPosition(QStringView what) const {
    return what.toString() + QStringLiteral(" at position ") + QString::number(pos_ + 1) +
           QStringLiteral(" : ");
  }

  void AddError(const QString& head, QStringView quoted) {
    ++problems_;
    if (errors_.size() >= kMaxErrorText) return;
    errors_ += head;
    errors_ += quoted;
    errors_ += QStringLiteral("\r\n");
  }

  void Skip();
  bool AtNextElement(char16_t close);
  JsonValue ParseValue();
  JsonValue ParseObject();
  JsonValue ParseArray();
  QString ParseKey();
  QString ParseString();
  JsonValue ParseNumber();
  JsonValue ParseBoolean();
  JsonValue ParseNull();

  QStringView text_;
  QString& errors_;
  qsizetype pos_ = 0;
  int depth_ = 0;
  // Counted apart from the text, which stops growing at its cap.
  int problems_ = 0;
  // Set at the depth cap: every open container returns at once with what it holds.
  bool aborted_ = false;
};

// Whitespace, stray "/", "*", "(" and ")", line comments and block comments.
void Parser::Skip() {
  enum class Comment { kNone, kLine, kBlock };
  Comment comment = Comment::kNone;
  QChar previous;  // the "/" or "*" just before, which may start or end a comment
  for (; !AtEnd(); ++pos_) {
    const QChar c = text_[pos_];
    const QChar before = previous;
    previous = QChar();
    if (comment == Comment::kBlock) {
      if (c == u'/' && before == u'*') {
        comment = Comment::kNone;
      } else if (c == u'*') {
        previous = c;
      }
      continue;
    }
    if (comment == Comment::kLine) {
      if (c == u'\r' || c == u'\n') comment = Comment::kNone;
      continue;
    }
    switch (c.unicode()) {
      case u'\r':
      case u'\n':
      case u'\t':
      case u' ':
      case u'(':
      case u')':
        break;
      case u'/':
        if (before == u'/') {
          comment = Comment::kLine;
        } else {
          previous = c;
        }
        break;
      case u'*':
        if (before == u'/') {
          comment = Comment::kBlock;
        } else {
          previous = c;
        }
        break;
      default:
        return;
    }
  }
}

JsonValue Parser::ParseValue() {
  Skip();
  switch (Current().unicode()) {
    case u'{':
    case u'[': {
      if (depth_ >= kJsonMaxDepth) {
        AddError(AtPosition(u"Nesting too deep"), Next20());
        aborted_ = true;
        return {};
      }
      ++depth_;
      JsonValue container = Current() == u'{' ? ParseObject() : ParseArray();
      --depth_;
      return container;
    }
    case u'"':
    case u'\'':
      return JsonValue::String(ParseString());
    case u't':
    case u'f':
      return ParseBoolean();
    case u'n':
      return ParseNull();
    default:
      return ParseNumber();
  }
}

// Moves to the next element of an open object or list, over blanks and any number of commas.
// False at the closing bracket (consumed), at the end of the text (an error) or after the
// depth cap.
bool Parser::AtNextElement(char16_t close) {
  while (!aborted_) {
    Skip();
    if (Current() == close) {
      ++pos_;
      return false;
    }
    if (Current() == u',') {
      ++pos_;
      continue;
    }
    if (AtEnd()) {
      AddError(QStringLiteral("Missing '%1': ").arg(QChar(close)), Last20());
      return false;
    }
    return true;
  }
  return false;
}

JsonValue Parser::ParseObject() {
  JsonObject object;
  Skip();
  if (Current() != u'{') {
    AddError(AtPosition(u"Invalid Object"), Rest());
    return JsonValue::Object(std::move(object));
  }
  ++pos_;
  while (AtNextElement(u'}')) {
    const QString key = ParseKey();
    Skip();
    const int problems_before = problems_;
    JsonValue value = ParseValue();
    if (aborted_ && value.IsNothing()) break;
    // A missing value reads as 0, but a bare word that is no literal ("NaN", "Infinity") ends
    // the object: read on, the rest of the text would become keys.
    if (problems_ == problems_before && Current().isLetter()) {
      AddError(AtPosition(u"Invalid Value"), Next20());
      break;
    }
    if (!object.Insert(key, std::move(value))) {
      AddError(QStringLiteral("Duplicate key: "), key);
      break;
    }
  }
  return JsonValue::Object(std::move(object));
}

JsonValue Parser::ParseArray() {
  JsonArray array;
  Skip();
  if (Current() != u'[') {
    AddError(AtPosition(u"Invalid Array"), Next20());
    return JsonValue::Array(std::move(array));
  }
  ++pos_;
  while (AtNextElement(u']')) {
    const qsizetype start = pos_;
    const int problems_before = problems_;
    JsonValue value = ParseValue();
    if (aborted_ && value.IsNothing()) break;
    if (pos_ == start) {
      // A character no value starts with: reading on would never move.
      if (problems_ == problems_before) AddError(AtPosition(u"Invalid Value"), Next20());
      break;
    }
    // An element that broke off would pass for a whole one: it and the rest are left out. Past
    // the depth cap the parse ends quietly with what it holds.
    if (problems_ != problems_before && !aborted_) break;
    array.append(std::move(value));
  }
  return JsonValue::Array(std::move(array));
}

QString Parser::ParseKey() {
  QString key;
  bool in_double = false;
  bool in_single = false;
  Skip();
  while (!AtEnd()) {
    const QChar c = text_[pos_++];
    // An apostrophe inside double quotes is part of the key, as standard JSON has it ("it's");
    // taken as an opening quote it would carry the rest of the document into the key.
    if (c == u'"' || (c == u'\'' && !in_double)) {
      bool& open = c == u'"' ? in_double : in_single;
      open = !open;
      if (!open) {
        Skip();
        if (Current() != u':') {
          AddError(AtPosition(u"Invalid Key"), key);
          return key;
        }
      }
    } else if (c == u':' && !in_double && !in_single) {
      return key;
    } else if (c != u'\r' && c != u'\n' && c != u'\t' && c != u' ') {
      key += c;
    }
  }
  return key;
}

// The value of the leading hexadecimal digits of a \u code; 0 when there are none.
char16_t LeadingHexValue(QStringView code) {
  char16_t value = 0;
  for (const QChar c : code) {
    const char16_t u = c.unicode();
    int digit = 0;
    if (u >= u'0' && u <= u'9') {
      digit = u - u'0';
    } else if (u >= u'a' && u <= u'f') {
      digit = u - u'a' + 10;
    } else if (u >= u'A' && u <= u'F') {
      digit = u - u'A' + 10;
    } else {
      break;
    }
    value = static_cast<char16_t>(value * 16 + digit);
  }
  return value;
}

QString Parser::ParseString() {
  QString text;
  Skip();
  const QChar quote = text_[pos_++];
  while (!AtEnd()) {
    const QChar c = text_[pos_++];
    if (c == quote) return text;
    if (c != u'\\') {
      text += c;
      continue;
    }
    if (AtEnd()) break;
    const QChar escaped = text_[pos_];
    switch (escaped.unicode()) {
      case u'"':
      case u'\\':
      case u'/':
      case u'\'':
        text += escaped;
        break;
      case u'b':
        text += QChar(8);
        break;
      case u'f':
        text += QChar(12);
        break;
      case u'n':
        text += QChar(10);
        break;
      case u'r':
        text += QChar(13);
        break;
      case u't':
        text += QChar(9);
        break;
      case u'u': {
        const QStringView code = text_.mid(pos_ + 1, 4);
        text += QChar(LeadingHexValue(code));
        pos_ += code.size();
        break;
      }
      default:
        // An unknown escape drops its backslash; the character is read as it stands.
        continue;
    }
    ++pos_;
  }
  return text;
}

JsonValue Parser::ParseNumber() {
  Skip();
  const qsizetype start = pos_;
  while (!AtEnd() && IsJsonNumberChar(text_[pos_])) ++pos_;
  // A number cut off by the end of the text may have lost digits: no value at all.
  if (AtEnd()) return {};
  return JsonValue::Number(JsonNumberFromRun(text_.mid(start, pos_ - start)));
}

JsonValue Parser::ParseBoolean() {
  Skip();
  if (text_.mid(pos_, 4) == u"true") {
    pos_ += 4;
    return JsonValue::Bool(true);
  }
  if (text_.mid(pos_, 5) == u"false") {
    pos_ += 5;
    return JsonValue::Bool(false);
  }
  AddError(AtPosition(u"Invalid Boolean"), Rest());
  return JsonValue::Bool(false);
}

JsonValue Parser::ParseNull() {
  Skip();
  if (text_.mid(pos_, 4) == u"null") {
    pos_ += 4;
    return JsonValue::Null();
  }
  AddError(AtPosition(u"Invalid null value"), Rest());
  return {};
}

}  // namespace

JsonValue JsonParse(QStringView text) {
  t_errors.clear();
  return Parser(text, t_errors).ParseTop();
}

QString JsonErrors() { return t_errors; }

}  // namespace orva
