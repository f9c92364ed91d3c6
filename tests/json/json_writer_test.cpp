// Writing values back as text, escaping, and the round trips the configuration file relies on.
#include "json_test_util.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Compact;

JsonValue ObjectOf(std::initializer_list<std::pair<QString, JsonValue>> members) {
  JsonObject object;
  for (const auto& [key, value] : members) object.Insert(key, value);
  return JsonValue::Object(object);
}

// Quotes only around a text at the top and only on request; nested texts always have them.
// Exactly eight characters are escaped.
TEST(JsonToTextTest, EveryKindOfValue) {
  const JsonValue text = JsonValue::String(QStringLiteral(R"(a"b/c)"));
  const struct {
    JsonValue value;
    bool quoted;
    QString text;
  } cases[] = {
      {JsonValue(), true, QString()},
      {JsonValue::Null(), true, QStringLiteral("null")},
      {JsonValue::Bool(true), false, QStringLiteral("true")},
      {JsonValue::Number(1.5), false, QStringLiteral("1.5")},
      {text, false, QStringLiteral(R"(a\"b\/c)")},
      {text, true, QStringLiteral(R"("a\"b\/c")")},
      {JsonValue::String(QStringLiteral("\\ \b\f\n\r\t")), false,
       QStringLiteral(R"(\\ \b\f\n\r\t)")},
      {JsonValue::String(QStringLiteral(u"' \x01\x1f \u00e9\u65e5")), false,
       QStringLiteral(u"' \x01\x1f \u00e9\u65e5")},
      {JsonValue::Array(
           {JsonValue::String(QStringLiteral("x")), JsonValue::Number(-2), JsonValue::Null()}),
       false, QStringLiteral(R"(["x",-2,null])")},
      {ObjectOf({{QStringLiteral("k"), JsonValue::String("v")},
                 {QStringLiteral("n"), JsonValue::Number(1.5)}}),
       false, QStringLiteral(R"({"k":"v","n":1.5})")},
      // Insertion order, keys as they stand.
      {ObjectOf({{QStringLiteral("z"), JsonValue::Number(1)},
                 {QStringLiteral("a/b"), JsonValue::Array({})},
                 {QStringLiteral("m"), ObjectOf({})}}),
       true, QStringLiteral(R"({"z":1,"a/b":[],"m":{}})")},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonToText(c.value, c.quoted), c.text);
}

TEST(JsonPlainTextTest, StringsComeBackUnescaped) {
  const JsonValue root =
      JsonParse(uR"({"host":"http:\/\/db\/x","port":8086,"none":null,"list":[1,"a/b"]})");
  ASSERT_EQ(JsonErrors(), QString());
  EXPECT_EQ(JsonPlainText(root[QStringLiteral("host")]), QStringLiteral("http://db/x"));
  EXPECT_EQ(JsonPlainText(root[QStringLiteral("port")]), QStringLiteral("8086"));
  EXPECT_EQ(JsonPlainText(root[QStringLiteral("none")]), QStringLiteral("null"));
  EXPECT_EQ(JsonPlainText(root[QStringLiteral("list")]), QStringLiteral(R"([1,"a\/b"])"));
  EXPECT_EQ(JsonPlainText(root[QStringLiteral("missing")]), QString());
}

// Escaped as the configuration file writes it, under either kind of key quote.
TEST(JsonRoundTrip, EscapedTextReadsBackAsTheSameText) {
  // Texts that a host, database name or Item type might hold, and that once did not survive a
  // save and an open.
  for (const QString& text :
       {QString(), QStringLiteral(R"(C:\data\ say "hi")"), QStringLiteral(R"(\/ \\/ \u0041 \q)"),
        QStringLiteral(u"\u00e9t\u00e9 \u65e5\u672c \u20ac"),
        QString::fromUcs4(U"emoji \U0001F600"), QStringLiteral("tab\tnew\nline\rform\fback\b"),
        QStringLiteral(" /* not */ // a comment "),
        QString(1, QChar(0xD800))}) {  // the last a lone surrogate
    SCOPED_TRACE(text.toStdString());
    for (const QString& document :
         {QStringLiteral("{\"k\":\"") + JsonEscape(text) + QStringLiteral("\"}"),
          QStringLiteral("{'k':\"") + JsonEscape(text) + QStringLiteral("\"}")}) {
      const JsonValue root = JsonParse(document);
      EXPECT_EQ(JsonErrors(), QString());
      EXPECT_EQ(JsonPlainText(root[QStringLiteral("k")]), text);
    }
  }
}

TEST(JsonRoundTrip, WrittenTextParsesToTheSameTree) {
  // The configuration file example is already in the written form.
  const QString example =
      QStringLiteral(R"({"InfluxDB":{"Host":"localhost","Port":8086,"DBName":"orva",)"
                     R"("ScanTime":0.5,"Config":[{"ScanType":"Module","ModuleType":"0016",)"
                     R"("ModuleSerial":"123456"},{"ScanType":"Module_memory","ModuleType":"000B",)"
                     R"("ModuleSerial":"654321","SRAM":180,"Type":"Integer"},)"
                     R"({"ScanType":"Output_status","OutputId":42}]}})");
  EXPECT_EQ(Compact(JsonParse(example)), example);
  const JsonValue tree = JsonParse(
      uR"([1e21,-0.000001,1e-7,123456789012345680000,0.1,true,)"
      uR"(null,{},[[]],{'a':'x\'y' b:"\u00e9\/"}])");
  ASSERT_EQ(JsonErrors(), QString());
  EXPECT_EQ(JsonParse(Compact(tree)), tree);
}

}  // namespace
}  // namespace orva
