#include "startup/command_line.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Each text is parsed into values that held "keep": a switch that is absent leaves its value.
TEST(SwitchParser, GivesTheValuesOfEachSwitch) {
  const struct {
    const char* text;
    const char* folder;
    const char* file;
    const char* controller;
  } cases[] = {
      {R"(-d C:\Data\Site -f house.mdb -c 192.168.0.20)", R"(C:\Data\Site)", "house.mdb",
       "192.168.0.20"},
      // Order does not matter.
      {"-f house.mdb -c ktx -d /srv/site", "/srv/site", "house.mdb", "ktx"},
      // Text before the first switch is skipped; later switches are still read.
      {"start here -d /a -f b.mdb", "/a", "b.mdb", "keep"},
      // A minus inside a value stays; a blank followed by a minus ends the value.
      {"-d /my-site/x-y -f a-b.mdb", "/my-site/x-y", "a-b.mdb", "keep"},
      {"-d /my site -x -f a.mdb", "/my site", "a.mdb", "keep"},
      // Values are trimmed; a later occurrence replaces an earlier one.
      {"-d   /one    -d /two  ", "/two", "keep", "keep"},
      // Unknown letters are skipped with their value.
      {"-z zzz -c 127.0.0.1:9000", "keep", "keep", "127.0.0.1:9000"},
      // A "-" not at the start and not after a blank is not a switch.
      {"x-d /a", "keep", "keep", "keep"},
      {"", "keep", "keep", "keep"},
  };
  for (const auto& c : cases) {
    SwitchValues values{"keep", "keep", "keep"};
    ParseSwitches(QString::fromUtf8(c.text), values);
    EXPECT_EQ(values.folder, QString::fromUtf8(c.folder)) << c.text;
    EXPECT_EQ(values.file, QString::fromUtf8(c.file)) << c.text;
    EXPECT_EQ(values.controller, QString::fromUtf8(c.controller)) << c.text;
  }
}

TEST(SwitchText, JoinsArgumentsLeavesOurOptionsOutAndTakesTheInnerText) {
  EXPECT_EQ(SwitchTextOf({"-d", "/srv/site", "-f", "house.mdb"}), "-d /srv/site -f house.mdb");
  EXPECT_EQ(SwitchTextOf({"\"-d /srv/site -f house.mdb\""}), "\"-d /srv/site -f house.mdb\"");
  EXPECT_EQ(SwitchTextOf({"--headless", "--config", "scan.json", "-c", "ktx", "--ticks=3",
                          "--state-dir", "/var/lib/x"}),
            "-c ktx");
  EXPECT_EQ(SwitchTextOf({"--config=scan.json", "--ticks", "2", "-f", "a.mdb"}), "-f a.mdb");
  EXPECT_EQ(SwitchTextOf({}), "");
  // The inner text, with or without quotes; a quote only at one end is part of the text.
  EXPECT_EQ(InnerSwitchText(QStringLiteral("\"-d /a -f b\"")), QStringLiteral("-d /a -f b"));
  EXPECT_EQ(InnerSwitchText(QStringLiteral("-d /a -f b")), QStringLiteral("-d /a -f b"));
  EXPECT_EQ(InnerSwitchText(QStringLiteral("\"-d /a -f b")), QStringLiteral("\"-d /a -f b"));
  EXPECT_EQ(InnerSwitchText(QString()), std::nullopt);
  // A lone double quote names a file and leaves nothing to take: the copy then fails.
  EXPECT_EQ(InnerSwitchText(QStringLiteral("\"")), QString());
}

// --language and --serial-ports as the settings record takes them, and what is refused.
TEST(SettingsOptions, ChangeTheSettingsOrSayWhatIsWrong) {
  const QVariant none;
  const struct {
    QStringList arguments;
    QVariantMap changes;
    const char* problem = nullptr;
  } cases[] = {
      {{"--language", "e", "-c", "ktx"}, {{"laatstetaal", "E"}}},
      {{"--language=O", "--serial-ports", "2-5"},
       {{"laatstetaal", "O"}, {"SerOfEth", "SE "}, {"begcom", 2}, {"endcom", 5}}},
      {{"--serial-ports=3"}, {{"SerOfEth", "SE "}, {"begcom", 3}, {"endcom", 3}}},
      {{"--serial-ports", "none"}, {{"begcom", none}, {"endcom", none}}},
      {{"--headless", "--config", "a.json"}, {}},
      {{"--language", "X"}, {}, "--language needs"},
      {{"--language"}, {}, "--language needs"},
      {{"--language", "NE"}, {}, "--language needs"},
      {{"--serial-ports", "4-2"}, {}, "--serial-ports needs"},
      {{"--serial-ports", "0-2"}, {}, "--serial-ports needs"},
      {{"--serial-ports", "1-2-3"}, {}, "--serial-ports needs"},
      {{"--serial-port", "1"}, {}, "unknown option --serial-port"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const auto given = GivenOptions(c.arguments);
    std::variant<QVariantMap, QString> changes = QString();
    if (const auto* options = std::get_if<QList<GivenOption>>(&given)) {
      changes = SettingsChanges(*options);
    } else {
      changes = std::get<QString>(given);
    }
    if (c.problem) {
      ASSERT_TRUE(std::holds_alternative<QString>(changes));
      EXPECT_TRUE(std::get<QString>(changes).startsWith(QLatin1String(c.problem)))
          << std::get<QString>(changes).toStdString();
    } else {
      ASSERT_TRUE(std::holds_alternative<QVariantMap>(changes));
      EXPECT_EQ(std::get<QVariantMap>(changes), c.changes);
    }
  }
}

}  // namespace
}  // namespace orva
