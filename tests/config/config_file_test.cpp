#include "config/config_file.h"

#include "config/decimal_text.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "decimal_comma_locale.h"
#include "temp_dir.h"

namespace orva {
namespace {

// One row of each kind, as the grid holds them after picking.
ScanConfiguration ExampleConfiguration() {
  ScanConfiguration configuration;
  configuration.rows = {
      ScanRow("Module", "123456 Living room", "0016"),
      ScanRow("Module_memory", "654321 Attic", "000B", "180", "Integer"),
      ScanRow("Output_status", "Living room (A12.0)", "Thermostat", {}, {}, 42),
  };
  return configuration;
}

// The "Config" list for rows: the rest of the file is as in the example.
TEST(ConfigFileTextTest, RowsToConfigList) {
  const struct {
    const char* name;
    std::vector<ScanRow> rows;
    const char* config;
  } cases[] = {
      {"no rows", {}, ""},
      {"rows that read nothing are left out; scan types match exactly",
       {ScanRow("KTX_memory", {}, {}), ScanRow("Module", "123456 Living room", "0016"),
        ScanRow("KTX_memory", {}, {}, "12", "Byte"), ScanRow("", {}, {}),
        ScanRow("module", "654321 Attic", "000B")},
       R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"123456"})"},
      {"memory rows take the address's leading number and the serial prefix",
       {ScanRow("Module_memory", "654321 ???", "000B", " 37 ", "24-bit"),
        ScanRow("Module_memory", "12", "000B", "x", "Byte")},
       R"({"ScanType":"Module_memory","ModuleType":"000B","ModuleSerial":"654321","SRAM":37,)"
       R"("Type":"24-bit"},{"ScanType":"Module_memory","ModuleType":"000B",)"
       R"("ModuleSerial":"12","SRAM":0,"Type":"Byte"})"}};
  for (const auto& c : cases) {
    ScanConfiguration configuration;
    configuration.rows = c.rows;
    EXPECT_EQ(ConfigFileText(configuration),
              R"({"InfluxDB":{"Host":"localhost","Port":8086,"DBName":"orva","ScanTime":0.5,)"
              R"("Config":[)" +
                  QString::fromLatin1(c.config) + "]}}\r\n")
        << c.name;
  }
}

// The part of the file text between two keys, for checking one value.
QString ValueAfter(const QString& text, const QString& key) {
  const qsizetype start = text.indexOf(QLatin1Char('"') + key + QStringLiteral("\":"));
  if (start < 0) return QStringLiteral("<missing>");
  const qsizetype from = start + key.size() + 3;
  qsizetype end = from;
  while (end < text.size() && text[end] != QLatin1Char(',') && text[end] != QLatin1Char('}')) ++end;
  return text.mid(from, end - from);
}

// Scan time: the field's leading number with a point, also under a decimal-comma locale, 15
// significant digits and never an exponent; port: digits as typed, anything else (which the key
// filter would have kept out) as the scan time is, still readable JSON. The plain shortest
// decimals behind them, for doubles and for singles.
TEST(ConfigFileTextTest, ScanTimePortAndAddressAreWrittenAsPlainDecimals) {
  test::DecimalCommaLocale locale;
  ASSERT_TRUE(locale.active());
  const struct {
    const char* text;
    const char* scan_time;
    const char* port;
  } cases[] = {{"0.5", "0.5", "0.5"},
               {"0,5", "0", "0"},  // a comma ends the number
               {"abc", "0", "0"},
               {" 2.25 s", "2.25", "2.25"},
               {"0.1234567890123456789", "0.123456789012346", "0.123456789012346"},
               {"0.0000001", "0.0000001", "0.0000001"},
               {"123456789012345678901234", "123456789012346000000000", "123456789012345678901234"},
               {"0080", "80", "0080"},
               {"80a", "80", "80"}};
  for (const auto& c : cases) {
    ScanConfiguration configuration;
    configuration.server.scan_time = configuration.server.port = QString::fromLatin1(c.text);
    const QString text = ConfigFileText(configuration);
    EXPECT_EQ(ValueAfter(text, "ScanTime"), QString::fromLatin1(c.scan_time)) << c.text;
    EXPECT_EQ(ValueAfter(text, "Port"), QString::fromLatin1(c.port)) << c.text;
  }
  ScanConfiguration memory = ExampleConfiguration();
  memory.rows[1].sram = QStringLiteral("12.5");
  EXPECT_EQ(ValueAfter(ConfigFileText(memory), "SRAM"), "12.5");
  const struct {
    double value;
    const char* text15;
    const char* single;
  } decimals[] = {{180, "180", "180"},
                  {0.5, "0.5", "0.5"},
                  {-0.0, "0", "0"},
                  {1.0 / 3, "0.333333333333333", "0.33333334"},
                  {16777217, "16777217", "16777216"},
                  {1e-7, "0.0000001", "0.0000001"},
                  {1e22, "10000000000000000000000", "10000000000000000000000"}};
  for (const auto& c : decimals) {
    EXPECT_EQ(DecimalText15(c.value), QString::fromLatin1(c.text15)) << c.value;
    EXPECT_EQ(SingleDecimalText(c.value), QString::fromLatin1(c.single)) << c.value;
  }
  EXPECT_TRUE(IsSingleRange(3.4e38));
  EXPECT_FALSE(IsSingleRange(3.5e38));
  EXPECT_FALSE(IsSingleRange(-1e300));
}

// A save writes UTF-8 without a mark over an older file; a failed one says why and leaves
// neither a file nor a temporary one, nor harms a folder in the file's place.
TEST(SaveConfigFileTest, ReplacesAnOlderFileOrReportsAndLeavesNoFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("scan.JSON"));
  test::WriteFile(path, QByteArray(5000, 'x'));
  ScanConfiguration configuration = ExampleConfiguration();
  configuration.server.host = QStringLiteral("hôte");
  QString error;
  ASSERT_TRUE(SaveConfigFile(path, configuration, &error)) << error.toStdString();
  EXPECT_EQ(test::ReadFile(path), ConfigFileText(configuration).toUtf8());
  EXPECT_TRUE(test::ReadFile(path).startsWith("{\"InfluxDB\":{\"Host\":\"h\xC3\xB4te\""));

  const QString missing_folder = dir.filePath(QStringLiteral("nowhere/scan.JSON"));
  EXPECT_FALSE(SaveConfigFile(missing_folder, configuration, &error));
  EXPECT_TRUE(error.contains(missing_folder)) << error.toStdString();
  const QString folder = dir.filePath(QStringLiteral("taken.JSON"));
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inner")));
  error.clear();
  EXPECT_FALSE(SaveConfigFile(folder, configuration, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(QDir(folder + QStringLiteral("/inner")).exists());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"scan.JSON"});
}

TEST(ProposedConfigFileNameTest, DateAndTimeWithLeadingZeros) {
  EXPECT_EQ(ProposedConfigFileName(QDateTime(QDate(987, 12, 1), QTime(0, 0, 0))),
            "Influx_09871201_000000.JSON");
  EXPECT_EQ(ProposedConfigFileName(QDateTime(QDate(2023, 6, 9), QTime(23, 59, 59, 999))),
            "Influx_20230609_235959.JSON");
}

}  // namespace
}  // namespace orva
