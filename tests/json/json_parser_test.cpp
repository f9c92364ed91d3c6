// The parser's rules one group at a time: top level, skipping and comments, keys, strings,
// numbers, literals, containers and their error lines, the depth cap.
#include "json_test_util.h"

#include <gtest/gtest.h>

#include <thread>

namespace orva {
namespace {

using test::Compact;

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// A document, the tree that survives (compact JSON; empty: none) and the exact error lines.
TEST(JsonParse, TreeAndErrorLinesPerRule) {
  const struct {
    const char* json;
    const char* compact;
    const char* errors;
  } cases[] = {
      // Only an object or an array is a document.
      {"  {}", "{}", ""},
      {"abc", "", "Invalid JSON"},
      {"", "", "Invalid JSON"},
      {"\"text\"", "", "Invalid JSON"},
      // What follows the top-level value is ignored.
      {"[1,2] trailing words", "[1,2]", ""},
      {"{\"a\":1}}}]]", "{\"a\":1}", ""},
      // Comments and stray characters stand for blanks; an open one runs to the end.
      {"/* note\n */ {\"a\": // comment\n2}", "{\"a\":2}", ""},
      {"{\"a\":1 // to the carriage return\r\"b\":2}", "{\"a\":1,\"b\":2}", ""},
      // The star that opens a block comment cannot also close it.
      {"{\"a\":/*/ still inside */5}", "{\"a\":5}", ""},
      // Only a slash right after a star closes.
      {"{\"a\":/* * / still inside */6}", "{\"a\":6}", ""},
      // A slash inside a line comment does not end it.
      {"// see http://host/x\n{\"a\":7}", "{\"a\":7}", ""},
      {"( [1] )", "[1]", ""},
      {"{\"a\":/ 8}", "{\"a\":8}", ""},
      {"\t\r\n{\r\n\t\"a\"\t:\r\n\t10\r\n}", "{\"a\":10}", ""},
      {"[1 /* never closed ]", "[1]", "Missing ']': [1 /* never closed ]\r\n"},
      {"[1 // no new line ]", "[1]", "Missing ']': [1 // no new line ]\r\n"},
      // Keys: quotes are optional and blanks are dropped; a closed key needs its colon.
      {"{'a':1 \"b\":2}", "{\"a\":1,\"b\":2}", ""},
      {"{a:1,b_2:2}", "{\"a\":1,\"b_2\":2}", ""},
      {"{\"x y\":1}", "{\"xy\":1}", ""},
      {"{\"a:b\":1}", "{\"a:b\":1}", ""},
      // An apostrophe in a double-quoted key is an ordinary character, not a quote.
      {"{\"a'b'c\" : 'x' \"d\":3}", "{\"a'b'c\":\"x\",\"d\":3}", ""},
      // Keys are case-sensitive: no duplicate here.
      {"{\"a\":1,\"A\":2}", "{\"a\":1,\"A\":2}", ""},
      // No escapes in keys: the backslash stays.
      {"{\"a\\b\":1}", "{\"a\\b\":1}", ""},
      {"{\"a\" 1}", "{\"a\":1}", "Invalid Key at position 6 : a\r\n"},
      {"{'abc'}", "{\"abc\":0}", "Invalid Key at position 7 : abc\r\n"},
      // An unterminated string keeps what was read.
      {"[\"abc", "[\"abc\"]", "Missing ']': [\"abc\r\n"},
      // Only the opening mark closes the string.
      {"['ab\"c", "[\"ab\\\"c\"]", "Missing ']': ['ab\"c\r\n"},
      // A backslash or a \u code cut off by the end reads nothing beyond it.
      {"[\"abc\\", "[\"abc\"]", "Missing ']': [\"abc\\\r\n"},
      {"[\"a\\u41", "[\"aA\"]", "Missing ']': [\"a\\u41\r\n"},
      {"[1", "[]", "Missing ']': [1\r\n"},  // a number cut off by the end yields nothing
      // Escapes: unknown ones keep the letter; four characters always belong to a \u code,
      // of which only the leading hex digits count.
      {R"(["a\qb","\u0041","\u41zzX","\"\\\/\'","\b\f\n\r\t",'it"s',"it's",""])",
       R"(["aqb","A","AX","\"\\\/'","\b\f\n\r\t","it\"s","it's",""])", ""},
      {"[\"\\uD83D\\uDE00 \xc3\xbc \xe6\x97\xa5\", \"a // b /* c */ ( d )\"]",
       "[\"\xf0\x9f\x98\x80 \xc3\xbc \xe6\x97\xa5\",\"a \\/\\/ b \\/* c *\\/ ( d )\"]", ""},
      // Numbers: the leading numeric part of the run.
      {"[1.5,-2,1e3,1E-2,1-2,+5,.5,-,1.2.3]", "[1.5,-2,1000,0.01,1,5,0.5,0,1.2]", ""},
      {"{\"a\":}", "{\"a\":0}", ""},
      // Literals, and misspelled ones reported.
      {"[true,false,null]", "[true,false,null]", ""},
      {"[tru]", "[]", "Invalid Boolean at position 2 : tru]\r\n"},
      {"[nul]", "[]", "Invalid null value at position 2 : nul]\r\n"},
      // In an object the member keeps false and reading goes on from the same place.
      {"{\"a\":tru,\"b\":1}", "{\"a\":false,\"tru,b\":1}",
       "Invalid Boolean at position 6 : tru,\"b\":1}\r\n"},
      // Commas are optional.
      {"[1 2 3]", "[1,2,3]", ""},
      {"[1,,2,]", "[1,2]", ""},
      {"{,\"a\":1}", "{\"a\":1}", ""},
      {"{\"z\":1,\"a\":2,\"m\":3}", "{\"z\":1,\"a\":2,\"m\":3}", ""},  // members keep their order
      // A missing closer quotes the last twenty characters.
      {"{\"a\":1", "{\"a\":}", "Missing '}': {\"a\":1\r\n"},
      {"{\"alpha\":1,\"beta\":[1,2],\"gamma\":\"g\"",
       "{\"alpha\":1,\"beta\":[1,2],\"gamma\":\"g\"}",
       "Missing '}': a\":[1,2],\"gamma\":\"g\"\r\n"},
      // A duplicate key ends the object.
      {"{\"a\":1,\"a\":2}", "{\"a\":1}", "Duplicate key: a\r\n"},
      {"{\"a\" 1,\"a\":2}", "{\"a\":1}", "Invalid Key at position 6 : a\r\nDuplicate key: a\r\n"},
      // An element that cannot start a value ends the array.
      {"[1,}]", "[1]", "Invalid Value at position 4 : }]\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    const JsonValue value = JsonParse(Utf8(c.json));
    EXPECT_EQ(JsonErrors(), Utf8(c.errors));
    EXPECT_EQ(Compact(value), Utf8(c.compact));
  }
}

TEST(JsonParseTopLevel, ErrorTextBelongsToTheParseAndItsThread) {
  JsonParse(u"abc");
  std::thread other([] { JsonParse(u"{}"); });
  other.join();
  EXPECT_EQ(JsonErrors(), QStringLiteral("Invalid JSON"));
  JsonParse(u"{}");
  EXPECT_EQ(JsonErrors(), QString());
}

TEST(JsonParseDepth, NestingUpToTheCapIsReadDeeperStopsQuietly) {
  const QString deepest = QString(kJsonMaxDepth, u'[') + QString(kJsonMaxDepth, u']');
  EXPECT_EQ(Compact(JsonParse(deepest)), deepest);
  EXPECT_EQ(JsonErrors(), QString());

  const JsonValue value = JsonParse(QStringLiteral("[") + deepest + QStringLiteral("],1]"));
  EXPECT_EQ(JsonErrors(), QStringLiteral("Nesting too deep at position 513 : [") +
                              QString(19, u']') + QStringLiteral("\r\n"));
  EXPECT_EQ(Compact(value), deepest);

  // Hostile nesting does not exhaust the stack.
  const int levels = 200000;
  const JsonValue arrays = JsonParse(QString(levels, u'['));
  EXPECT_EQ(JsonErrors(), QStringLiteral("Nesting too deep at position 513 : ") +
                              QString(20, u'[') + QStringLiteral("\r\n"));
  EXPECT_EQ(Compact(arrays), QString(kJsonMaxDepth, u'[') + QString(kJsonMaxDepth, u']'));

  const JsonValue objects = JsonParse(QStringLiteral("{\"a\":").repeated(levels));
  EXPECT_EQ(JsonErrors(),
            QStringLiteral("Nesting too deep at position 2561 : {\"a\":{\"a\":{\"a\":{\"a\":\r\n"));
  EXPECT_EQ(Compact(objects), QStringLiteral("{\"a\":").repeated(kJsonMaxDepth - 1) +
                                  QStringLiteral("{}") + QString(kJsonMaxDepth - 1, u'}'));
}

TEST(JsonParseErrors, ManyErrorsDoNotGrowTheTextWithoutBound) {
  // Every member's misspelled value quotes the whole rest of the text; unbounded, this text
  // would need gigabytes.
  QString text = QStringLiteral("{");
  for (int i = 0; i < 20000; ++i) text += QStringLiteral("k%1:t ").arg(i);
  const JsonValue value = JsonParse(text);
  // The last t is read as a key as well.
  EXPECT_EQ(value.ToObject().size(), 20001);
  const QString errors = JsonErrors();
  EXPECT_TRUE(errors.startsWith(QStringLiteral("Invalid Boolean at position 5 : t k1:t ")));
  EXPECT_GT(errors.size(), 1 << 20);
  EXPECT_LT(errors.size(), (1 << 20) + text.size() + 100);
}

}  // namespace
}  // namespace orva
