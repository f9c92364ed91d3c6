#include "config/config_file.h"
#include "store/installation_db.h"
#include "store/reference_db.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include "installation_fixture.h"
#include "temp_dir.h"

namespace orva {

void PrintTo(const ScanRow& row, std::ostream* out) {
  *out << '{' << row.scan_type.toStdString() << " | " << row.item_text.toStdString() << " | "
       << row.item_type.toStdString() << " | " << row.sram.toStdString() << " | "
       << row.value_type.toStdString() << " | " << row.output_id << '}';
}

namespace {

// Outputs beyond the shared installation: a mode the mode table lacks, no mode, a name with
// characters that need escaping in JSON, an id of an installation that counts past 32,767.
constexpr char kExtraOutputs[] =
    "INSERT INTO outputs VALUES (46, 'Attic fan', 999, 14, 0), (47, 'Pump', NULL, 14, 1),"
    " (48, 'Hall \"North\"/South', 10, 15, 2), (99999, 'Far', 60, 20, 0);";

class ConfigLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteInstallationDb(dir_.filePath(QStringLiteral("installation.orva")),
                              QString::fromLatin1(kExtraOutputs));
    installation_.emplace(InstallationDb::Open(dir_.filePath(QStringLiteral("installation.orva"))));
    reference_.emplace(ReferenceDb::Open(program_.File(QStringLiteral("init2.orva"))));
  }

  QString Path() const { return dir_.filePath(QStringLiteral("scan.JSON")); }

  ConfigLoad LoadBytes(const QByteArray& bytes) {
    test::WriteFile(Path(), bytes);
    return LoadConfigFile(Path(), *installation_, *reference_);
  }

  // A file with the given server members (without the braces) and rows.
  ConfigLoad LoadFile(const QString& settings, const QString& rows) {
    return LoadBytes((QStringLiteral("{\"InfluxDB\":{") + settings +
                      QStringLiteral(",\"Config\":[") + rows + QStringLiteral("]}}"))
                         .toUtf8());
  }
  ConfigLoad LoadRows(const QString& rows) {
    return LoadFile(QStringLiteral(R"("Host":"h","Port":8086,"DBName":"d","ScanTime":1)"), rows);
  }

  test::ProgramFolder program_;
  QTemporaryDir dir_;
  std::optional<InstallationDb> installation_;
  std::optional<ReferenceDb> reference_;
};

ScanRow Module(const char* item, const char* type) { return {"Module", item, type}; }
ScanRow Memory(const char* item, const char* type, const char* sram, const char* value_type) {
  return {"Module_memory", item, type, sram, value_type};
}
ScanRow Output(const char* item, const char* mode, qint32 id) {
  return {"Output_status", item, mode, {}, {}, id};
}

constexpr char kModuleRow[] =
    R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"123456"})";
constexpr char kOutputRow[] = R"({"ScanType":"Output_status","OutputId":42})";

TEST_F(ConfigLoadTest, SaveOpenSaveGivesTheSameBytesForAnyText) {
  ScanConfiguration configuration;
  configuration.server = {QStringLiteral("http://influx.example/\"x\"\\y"), QStringLiteral("9000"),
                          QStringLiteral("db/één \\\"ü\" 漢字 😀\ttab\r\nline"),
                          QStringLiteral("2.5")};
  configuration.access = {InfluxApi::kV3,
                          true,
                          QStringLiteral("/etc/ca \"x\".pem"),
                          false,
                          QStringLiteral("ann\\b"),
                          QStringLiteral("org/ü"),
                          QStringLiteral("s")};
  configuration.comm_log_days = 0.002;
  configuration.access.delivery = {DeliveryMode::kBuffered, TimePrecision::kMicroseconds, 2000, 100,
                                   0.25};
  configuration.access.tags = {true, true};
  configuration.rows = {
      Module("200001 Roof", "0001"),
      ScanRow{"KTX_memory", {}, {}, {}, {}, 0},
      Memory("654321 Attic", "Typ/ä \"q\" \\b\\", "253", "24-bit"),
      Memory("999999 ???", "000B", "0", "Byte/\\\""),
      Output("Hall \"North\"/South (A15.2)", "Switch", 48),
      Output("Attic fan (A14.0)", "", 46),
      Output("Far (A20.0)", "Thermostat", 99999),
  };
  const QString first_path = dir_.filePath(QStringLiteral("first.JSON"));
  const QString second_path = dir_.filePath(QStringLiteral("second.JSON"));
  QString error;
  ASSERT_TRUE(SaveConfigFile(first_path, configuration, &error)) << error.toStdString();
  const ConfigLoad load = LoadConfigFile(first_path, *installation_, *reference_);
  ASSERT_EQ(load.status, ConfigLoadStatus::kLoaded);
  ASSERT_TRUE(SaveConfigFile(second_path, load.configuration, &error)) << error.toStdString();
  EXPECT_EQ(test::ReadFile(second_path), test::ReadFile(first_path));

  // Texts come back exactly, without a backslash added before "/".
  EXPECT_EQ(load.configuration.server, configuration.server);
  EXPECT_EQ(load.configuration.access, configuration.access);
  EXPECT_EQ(load.configuration.comm_log_days, configuration.comm_log_days);
  std::vector<ScanRow> without_skipped = configuration.rows;
  without_skipped.erase(without_skipped.begin() + 1);
  // The module the installation lacks went out as it was read: the bytes above say so.
  without_skipped[2].fault = QStringLiteral("module \"999999\" is not in the installation");
  without_skipped[2].file_text = load.configuration.rows.at(2).file_text;
  EXPECT_EQ(load.configuration.rows, without_skipped);
}

// Files that are not ours, too many rows, too many bytes or a scan time that is a word change
// nothing; all but those without an "InfluxDB" object say why.
TEST_F(ConfigLoadTest, FilesThatAreNotOursOrTooLargeChangeNothing) {
  using enum ConfigLoadStatus;
  const QString row = QString::fromLatin1(kOutputRow);
  const QString many = QStringList(kMaxConfigRows + 1, row).join(',');
  const auto file = [&row](const QString& settings, const QString& rows = {}) {
    return R"({"InfluxDB":{)" + settings + R"(,"Config":[)" + (rows.isEmpty() ? row : rows) + "]}}";
  };
  const struct {
    QString text;  // null: no file
    ConfigLoadStatus status;
    const char* says = "";
  } cases[] = {
      {"hello", kNotJson},
      {"", kNotJson},
      {"42", kNotJson},
      {QString(), kUnreadable, "Cannot read"},
      {R"({"Other":{"Host":"h","Config":[]}})", kNoInfluxDb},
      {R"({"influxdb":{"Host":"h","Config":[]}})", kNoInfluxDb},
      {R"([{"InfluxDB":{"Host":"h","Config":[]}}])", kNoInfluxDb},
      {R"({"InfluxDB":5})", kNoInfluxDb},
      {R"({"InfluxDB":[{"Host":"h"}]})", kNoInfluxDb},
      {file(R"("ScanTime":NaN)"), kUnreadable, "Scan time NaN is not a number"},
      {file(R"("ScanTime":-Infinity)"), kUnreadable, "Scan time -Infinity is not a number"},
      {file(R"("ScanTime":1)", many), kUnreadable,
       "holds 10001 rows; a configuration has at most 10000"},
      {file(R"("ScanTime":1)", many + QString(kMaxConfigRows * 400, ' ')), kUnreadable,
       "too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.isNull() ? "missing file" : c.text.left(60).toStdString());
    QFile::remove(Path());
    const ConfigLoad load = c.text.isNull() ? LoadConfigFile(Path(), *installation_, *reference_)
                                            : LoadBytes(c.text.toUtf8());
    EXPECT_EQ(load.status, c.status);
    EXPECT_FALSE(load.TakesOver());
    if (c.status == kNotJson) {
      EXPECT_EQ(load.error, "Error: " + Path() + " is not a valid JSON file");
    } else if (c.status == kUnreadable) {
      EXPECT_TRUE(load.error.contains(Path()) && load.error.contains(QLatin1String(c.says)))
          << load.error.toStdString();
    } else {
      EXPECT_TRUE(load.error.isEmpty());
    }
  }
  EXPECT_EQ(LoadRows(QStringList(kMaxConfigRows, row).join(',')).status, kLoaded);
}

// Each case ends the load at one element: the rows before it stay, nothing after it is read, and
// the message says where, what and how much it leaves out, so that a user does not scan a
// handful of rows believing it is the whole file.
TEST_F(ConfigLoadTest, MalformedContentEndsTheLoadKeepingWhatWasRead) {
  const ScanRow module = Module("123456 Living room", "0016");
  const ScanRow output = Output("Living room (A12.0)", "Thermostat", 42);
  const struct {
    const char* name;
    const char* config;  // the "Config" member, or nothing
    std::vector<ScanRow> rows;
    std::vector<const char*> says = {};  // parts of the message
  } cases[] = {
      {"Config missing", "", {}},
      {"Config an object", R"(,"Config":{"a":{"ScanType":"Module"}})", {}},
      {"element not an object", R"(,"Config":[%1,5,%2])", {module}},
      {"SRAM a text",
       R"(,"Config":[%1,{"ScanType":"Module_memory","ModuleType":"000B","ModuleSerial":"654321",)"
       R"("SRAM":"180","Type":"Byte"},%2])",
       {module}},
      {"SRAM beyond single precision",
       R"(,"Config":[%2,{"ScanType":"Module_memory","ModuleType":"000B","SRAM":1e39},%1])",
       {output}},
      {"OutputId 2147483648",
       R"(,"Config":[%1,{"ScanType":"Output_status","OutputId":2147483648},%2,%2])",
       {module},
       {"row 2", "OutputId", "2147483648", "3 rows not read"}},
      {"OutputId -2147483649",
       R"(,"Config":[{"ScanType":"Output_status","OutputId":-2147483649},%2])",
       {},
       {"row 1", "2 rows not read"}},
      {"OutputId rounds to 2147483648",
       R"(,"Config":[{"ScanType":"Output_status","OutputId":2147483647.5},%2])",
       {}},
      {"OutputId a text",
       R"(,"Config":[%2,{"ScanType":"Output_status","OutputId":"42"}])",
       {output},
       {"row 2", "1 row not read"}},
      {"key given twice",
       R"(,"Config":[%2,{"ScanType":"Output_status","OutputId":42,"OutputId":43},%2,%2])",
       {output},
       {"row 2", "OutputId", "3 rows not read"}},
      {"NaN",
       R"(,"Config":[%2,{"ScanType":"Output_status","OutputId":NaN},%2,%2])",
       {output},
       {"row 2", "NaN", "3 rows not read"}},
      {"beyond the double range",
       R"(,"Config":[%2,{"ScanType":"Output_status","OutputId":1e400},%2,%2])",
       {output},
       {"row 2", "OutputId", "3 rows not read"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString config = QString::fromLatin1(c.config)
                               .replace(QStringLiteral("%1"), QLatin1String(kModuleRow))
                               .replace(QStringLiteral("%2"), QLatin1String(kOutputRow));
    const ConfigLoad load = LoadBytes(
        (QStringLiteral(R"({"InfluxDB":{"Host":"h","Port":9000,"DBName":"d","ScanTime":2)") +
         config + QStringLiteral("}}"))
            .toUtf8());
    EXPECT_EQ(load.status, ConfigLoadStatus::kEndedEarly);
    EXPECT_TRUE(load.TakesOver());
    EXPECT_EQ(load.configuration.server, (ServerFields{QStringLiteral("h"), QStringLiteral("9000"),
                                                       QStringLiteral("d"), QStringLiteral("2")}));
    EXPECT_EQ(load.configuration.rows, c.rows);
    for (const char* part : c.says) {
      EXPECT_TRUE(load.error.contains(QString::fromUtf8(part)))
          << part << " in " << load.error.toStdString();
    }
  }
  // A copy that broke off inside the third row: two whole rows, and no partial third.
  const QByteArray whole = (QStringLiteral(R"({"InfluxDB":{"Host":"h","Config":[)") + kOutputRow +
                            QLatin1Char(',') + kModuleRow + QLatin1Char(',') + kModuleRow)
                               .toUtf8();
  const ConfigLoad cut = LoadBytes(whole.left(whole.size() - 8));
  EXPECT_EQ(cut.status, ConfigLoadStatus::kEndedEarly);
  EXPECT_EQ(cut.configuration.rows.size(), 2u);
  EXPECT_TRUE(cut.error.contains(QStringLiteral("cut short")) &&
              cut.error.contains(QStringLiteral("2 rows read")))
      << cut.error.toStdString();
}

// A row the scan cannot read is named with its place and keeps it, the scan skipping it; a save
// writes it back as it was read. Rows that can be read are rebuilt from the installation.
TEST_F(ConfigLoadTest, RowsTheInstallationCannotServeAreNamedAndKept) {
  const QStringList faulty = {
      R"({"ScanType":"Module","ModuleType":"0016","ModuleSerial":"999999"})",
      R"({"ScanType":"Output_status","OutputId":4711})",
      R"({"ScanType":"KTX_memory","ModuleType":"0016","ModuleSerial":"123456"})",
      R"({"ScanType":"Module","ModuleSerial":"123456"})",
      R"({"ScanType":"Module","ModuleType":"000B","ModuleSerial":"654321"})",
      R"({"ScanType":"module","ModuleType":"0016","ModuleSerial":"123456"})",
      R"({"ScanType":"Module_memory","ModuleType":"000B","ModuleSerial":"999999","SRAM":1,)"
      R"("Type":"Byte"})",
      R"({"ScanType":"Module_memory","ModuleType":"000B","ModuleSerial":"654321","SRAM":1,)"
      R"("Type":"Float"})",
      R"({"ScanType":"Module_memory","ModuleType":"000B","ModuleSerial":"654321","SRAM":300,)"
      R"("Type":"Byte"})",
      R"({"ScanType":"Module_memory","ModuleType":"000B","ModuleSerial":"654321","SRAM":254,)"
      R"("Type":"24-bit"})",
  };
  const ConfigLoad load = LoadRows(
      faulty.join(',') +
      R"(,{"ScanType":"Output_status","OutputId":46},)"   // mode not in the mode table
      R"({"ScanType":"Output_status","OutputId":47},)"    // no mode at all
      R"({"ScanType":"Output_status","OutputId":42.5},)"  // ids round half to even
      R"({"ScanType":"Output_status","OutputId":43.5},)"
      R"({"ScanType":"Output_status","OutputId":44.4},)"
      R"({"ScanType":"Module_memory","ModuleType":"000B","ModuleSerial":"654321","SRAM":12.5,)"
      R"("Type":"Byte"})");
  ASSERT_EQ(load.status, ConfigLoadStatus::kLoaded);
  EXPECT_EQ(load.faults.join('\n').toStdString(),
            "row 1: module \"999999\" is not in the installation\n"
            "row 2: output 4711 is not in the installation\n"
            "row 3: scan type \"KTX_memory\" is not one the scan can read\n"
            "row 4: no \"ModuleType\"\n"
            "row 5: module type \"000B\" is not one the scan can read\n"
            "row 6: scan type \"module\" is unknown\n"
            "row 7: module \"999999\" is not in the installation\n"
            "row 8: value type \"Float\" is none of Byte, Integer, 24-bit\n"
            "row 9: SRAM 300 is outside module memory 0 to 255\n"
            "row 10: a 24-bit value at SRAM 254 runs past byte 255");
  const QByteArray kitchen = reference_->ModeName(30).value_or(QString()).toUtf8();
  std::vector<ScanRow> readable = load.configuration.rows;
  ASSERT_EQ(readable.size(), 16u);
  EXPECT_EQ(readable[1].item_text, QStringLiteral("4711 ???"));
  for (qsizetype i = 0; i < faulty.size(); ++i) {
    EXPECT_EQ(readable[static_cast<size_t>(i)].Kind(), ScanKind::kSkipped) << i;
    EXPECT_EQ(readable[static_cast<size_t>(i)].file_text, faulty[i]);
  }
  readable.erase(readable.begin(), readable.begin() + faulty.size());
  EXPECT_EQ(readable, (std::vector<ScanRow>{
                          Output("Attic fan (A14.0)", "", 46),
                          Output("Pump (A14.1)", "", 47),
                          Output("Living room (A12.0)", "Thermostat", 42),
                          Output("Kitchen (A13.3)", kitchen.constData(), 44),
                          Output("Kitchen (A13.3)", kitchen.constData(), 44),
                          Memory("654321 Attic", "000B", "12.5", "Byte"),
                      }));
  const QString saved = ConfigFileText(load.configuration);
  EXPECT_TRUE(saved.contains(faulty.join(',') + ',')) << saved.toStdString();
}

TEST_F(ConfigLoadTest, ServerFieldsTakeThePortCorrection) {
  const struct {
    const char* settings;
    ServerFields fields;
  } cases[] = {
      {R"("Host":"h","Port":70000,"DBName":"d","ScanTime":0.5)", {"h", "65535", "d", "0.5"}},
      {R"("Host":"h","Port":"9000","DBName":"d","ScanTime":0.5)", {"h", "8086", "d", "0.5"}},
      {R"("Host":"h","Port":true,"DBName":"d","ScanTime":0.5)", {"h", "8086", "d", "0.5"}},
      {R"("Host":"h","Port":8086,"DBName":"d","ScanTime":"0.5")", {"h", "8086", "d", "\"0.5\""}},
      {R"("Host":"h","Port":8086,"DBName":"d","ScanTime":1e-7)", {"h", "8086", "d", "0.0000001"}},
      {R"("Host":5,"Port":8086,"DBName":null)", {"5", "8086", "null", ""}},
      {R"("Other":1)", {"", "8086", "", ""}},  // missing members give empty fields
      // A member of our own before the known ones, with an apostrophe in its key.
      {R"("Host":"h","owner's note":1,"Port":1234,"DBName":"d","ScanTime":3)",
       {"h", "1234", "d", "3"}},
      {R"('Host':'a\/b' Port:1234 "DBName":"x" /* lenient */ "ScanTime":3)",
       {"a/b", "1234", "x", "3"}},
  };
  for (const auto& c : cases) {
    const ConfigLoad load = LoadFile(QString::fromLatin1(c.settings), QString());
    EXPECT_EQ(load.status, ConfigLoadStatus::kLoaded) << c.settings;
    EXPECT_EQ(load.configuration.server, c.fields) << c.settings;
  }
}

TEST_F(ConfigLoadTest, WindowsCodePageUtf8AndByteOrderMarkFilesLoad) {
  const struct {
    const char* mark;
    const char* host;
  } cases[] = {{"", "\x80h\xE9te"},
               {"", "\xE2\x82\xACh\xC3\xA9te"},
               {"\xEF\xBB\xBF", "\xE2\x82\xACh\xC3\xA9te"}};
  for (const auto& c : cases) {
    const ConfigLoad load = LoadBytes(QByteArray(c.mark) + R"({"InfluxDB":{"Host":")" + c.host +
                                      R"(","Config":[)" + kOutputRow + "]}}\r\n");
    ASSERT_EQ(load.status, ConfigLoadStatus::kLoaded) << c.mark << c.host;
    EXPECT_EQ(load.configuration.server.host, QStringLiteral(u"\u20ACh\u00E9te"));
    EXPECT_EQ(load.configuration.rows.size(), 1u);
  }
}

TEST_F(ConfigLoadTest, AnInstallationThatFailsEndsTheLoadWithItsError) {
  // A "modules" table without the serial column makes every module lookup fail.
  test::WriteInstallationDb(
      dir_.filePath(QStringLiteral("broken.orva")),
      QStringLiteral("DROP TABLE modules; CREATE TABLE modules (Id INTEGER);"));
  InstallationDb broken = InstallationDb::Open(dir_.filePath(QStringLiteral("broken.orva")));
  test::WriteFile(Path(), (QStringLiteral(R"({"InfluxDB":{"Host":"h","Config":[)") + kOutputRow +
                           QLatin1Char(',') + kModuleRow + QStringLiteral("]}}"))
                              .toUtf8());
  const ConfigLoad load = LoadConfigFile(Path(), broken, *reference_);
  EXPECT_EQ(load.status, ConfigLoadStatus::kEndedEarly);
  EXPECT_FALSE(load.error.isEmpty());
  EXPECT_EQ(load.configuration.rows,
            std::vector<ScanRow>{Output("Living room (A12.0)", "Thermostat", 42)});
}

}  // namespace
}  // namespace orva
