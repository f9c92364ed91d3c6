// The writer against real servers on loopback ports: an influxd that speaks HTTPS with its own
// certificate and wants a login, set up from the configuration keys as a user writes them; and
// VictoriaMetrics, which takes InfluxDB's line protocol on both the 1.x and the 2.x endpoint.
// influxd over plain HTTP serves the program's own runs (headless_test).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "delivery/influx_server.h"
#include "influxd_process.h"
#include "scan/line_protocol.h"
#include "victoria_metrics_process.h"

namespace orva {
namespace {

const QString kDatabase = QStringLiteral("secure");
const QString kPassword = QStringLiteral("s3cret pass");

QString WriteFile(const QString& path, const QByteArray& bytes,
                  QFileDevice::Permissions permissions = QFileDevice::ReadOwner |
                                                         QFileDevice::WriteOwner) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
  file.setPermissions(permissions);
  return path;
}

// Login and certificate decide whether records arrive. Through them, records without a time stamp
// stay apart a few milliseconds apart, odd names and long (compressed) records arrive as written,
// in a database whose name needs escaping in the address. A missing database is created at the
// first post, unless the settings say not to: then it rejects that record alone, with the
// server's message, and the connection stays usable.
TEST(InfluxSecureTest, LoginAndCertificateDecideWhetherRecordsArriveAndHowTheyDo) {
  QTemporaryDir dir;
  const QString cert = dir.filePath("cert.pem");
  const QString key = dir.filePath("key.pem");
  // A certificate for the loopback address, as an administrator makes one for a server that
  // has no name in any public CA's eyes.
  ASSERT_EQ(
      QProcess::execute("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                                    "-subj", "/CN=127.0.0.1", "-addext",
                                    "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert}),
      0);
  test::InfluxdProcess influxd({}, test::InfluxdSecurity{cert, key, "admin", kPassword});
  QString error;
  ASSERT_TRUE(influxd.Start(&error)) << error.toStdString();
  ASSERT_TRUE(influxd.CreateDatabase(kDatabase));
  // The settings a user of this server writes: HTTPS, its certificate, the admin login.
  const ServerFields fields = {influxd.host(), influxd.port_text(), kDatabase, "1"};
  const struct {
    const char* name;
    QByteArray password;
    QString ca_file;
    bool tls_verify;
    QString record;
    QString status_text;  // ends in "…": the start of the text
  } cases[] = {
      {"login and certificate", kPassword.toUtf8(), cert, true, "tls,n=1 v=1",
       "InfluxDB data sent"},
      {"check off", kPassword.toUtf8(), "", false, "tls,n=3 v=3", "InfluxDB data sent"},
      {"wrong password", "wrong", cert, true, "tls,n=4 v=4",
       "InfluxDB refused the login (401): authorization failed"},
      {"system store", kPassword.toUtf8(), "", true, "tls,n=5 v=5",
       "InfluxDB certificate not trusted: …"},
  };
  const auto access = [&](const QByteArray& password, const QString& ca_file, bool tls_verify) {
    return ServerAccess{.tls = true,
                        .ca_file = ca_file,
                        .tls_verify = tls_verify,
                        .user = "admin",
                        .org = {},
                        .secret_file = WriteFile(dir.filePath("secret"), password + "\n")};
  };
  for (const auto& c : cases) {
    const ResolvedServer resolved =
        ResolveServer(fields, access(c.password, c.ca_file, c.tls_verify));
    const PostResult result = InfluxWriter().PostRecord(resolved.server, c.record);
    if (c.status_text.endsWith(QChar(0x2026))) {
      EXPECT_TRUE(result.status_text.startsWith(c.status_text.chopped(1)))
          << c.name << ": " << result.status_text.toStdString();
      EXPECT_GT(result.status_text.size(), c.status_text.size()) << c.name << ": a reason";
    } else {
      EXPECT_EQ(result.status_text, c.status_text) << c.name;
    }
    EXPECT_FALSE(result.status_text.contains(kPassword)) << c.name;
    EXPECT_EQ(resolved.warnings.size(), c.tls_verify ? 0 : 1) << c.name;
  }
  const QList<QJsonObject> points = influxd.Points("SELECT * FROM tls", kDatabase);
  ASSERT_EQ(points.size(), 2);
  EXPECT_EQ(points[0].value("n").toString(), "1");
  EXPECT_EQ(points[1].value("n").toString(), "3");

  const InfluxServer trusted = ResolveServer(fields, access(kPassword.toUtf8(), cert, true)).server;
  const auto server = [&](const QString& database) {
    InfluxServer server = trusted;
    server.database = database;
    return server;
  };
  const QString database = QString::fromUtf8("a&b+c #d%41é?");
  ASSERT_TRUE(influxd.CreateDatabase(database));
  InfluxWriter writer;
  for (int i = 0; i < 3; ++i) {
    const PostResult result =
        writer.PostRecord(server(database), QStringLiteral("same v=%1").arg(i));
    ASSERT_EQ(result.outcome, PostOutcome::kSent) << result.status_text.toStdString();
    EXPECT_EQ(result.http_status, 204);
    QThread::msleep(5);
  }
  EXPECT_EQ(influxd.Points("SELECT * FROM same", database).size(), 3);

  FieldList fields_of_note = {
      {"Kitchen,North_Settemp", "21"}, {"a=b", "1"}, {QString::fromUtf8("Küche_Süd"), "2"}};
  for (int i = 0; i < 100; ++i)
    fields_of_note.append({QStringLiteral("field_%1").arg(i), QString::number(i)});
  for (const char* measurement : {"odd 1,2", "odd=3"}) {
    const PostResult result =
        writer.PostRecord(server(database), RecordText(measurement, fields_of_note));
    ASSERT_EQ(result.outcome, PostOutcome::kSent) << result.status_text.toStdString();
    const QList<QJsonObject> points =
        influxd.Points(QStringLiteral("SELECT * FROM \"%1\"").arg(measurement), database);
    ASSERT_EQ(points.size(), 1) << measurement;
    for (const Field& field : fields_of_note) {
      EXPECT_EQ(points[0].value(field.key).toDouble(), field.value.toDouble())
          << field.key.toStdString();
    }
  }

  for (const bool create : {false, true}) {
    InfluxServer made = server("made_db");
    made.access.create_database = create;
    const PostResult result = writer.PostRecord(made, "made v=1");
    EXPECT_EQ(result.outcome, create ? PostOutcome::kSent : PostOutcome::kRecordRejected);
    EXPECT_EQ(result.status_text,
              create ? "InfluxDB: created database made_db"
                     : "InfluxDB server error 404: database not found: \"made_db\"");
    EXPECT_EQ(result.database_created, create);
  }
  EXPECT_EQ(influxd.Points("SELECT * FROM made", "made_db").size(), 1);
  EXPECT_EQ(writer.PostRecord(server(database), "after_missing v=2").outcome, PostOutcome::kSent);
  EXPECT_EQ(influxd.Points("SELECT * FROM after_missing", database).size(), 1);
}

// Where the secret comes from, and the warning for a file others can read.
TEST(ResolveServerTest, SecretSources) {
  QTemporaryDir dir;
  const QString shared =
      WriteFile(dir.filePath("shared"), "open\n", QFileDevice::ReadOwner | QFileDevice::ReadOther);
  WriteFile(dir.filePath("cred"), "from systemd\nsecond line\n");
  const struct {
    QString secret_file;
    QByteArray environment;  // $ORVA_INFLUX_SECRET
    QByteArray credentials;  // $CREDENTIALS_DIRECTORY
    QString secret;
    int warnings;
  } cases[] = {
      {"", "from env", "", "from env", 0},
      {dir.filePath("cred"), "from env", "", "from systemd", 0},
      {"cred", "", dir.path().toUtf8(), "from systemd", 0},
      {shared, "", "", "open", 1},
      {dir.filePath("missing"), "from env", "", "", 1},
  };
  for (const auto& c : cases) {
    qputenv(kSecretVariable, c.environment);
    qputenv("CREDENTIALS_DIRECTORY", c.credentials);
    ServerAccess access;
    access.secret_file = c.secret_file;
    const ResolvedServer resolved = ResolveServer({}, access);
    EXPECT_EQ(resolved.server.secret, c.secret) << c.secret_file.toStdString();
    EXPECT_EQ(resolved.warnings.size(), c.warnings) << c.secret_file.toStdString();
    if (c.secret.isEmpty()) continue;
    for (const QString& warning : resolved.warnings) EXPECT_FALSE(warning.contains(c.secret));
  }
  qunsetenv(kSecretVariable);
  qunsetenv("CREDENTIALS_DIRECTORY");
}

TEST(VictoriaMetricsTest, RecordsArriveOnEitherApi) {
  test::VictoriaMetricsProcess vm;
  ASSERT_TRUE(vm.WaitReady());
  for (const auto& [api, record] : {std::pair{InfluxApi::kV1, QStringLiteral("vm1,n=1 v=11")},
                                    std::pair{InfluxApi::kV2, QStringLiteral("vm2,n=1 v=12")}}) {
    ServerAccess access;
    access.api = api;
    access.org = "org";
    const InfluxServer server = {vm.host(), vm.port_text(), "orva", access, {}};
    EXPECT_EQ(InfluxWriter().PostRecord(server, record).status_text, "InfluxDB data sent");
    const QByteArray exported = vm.Export(record.left(3));
    EXPECT_TRUE(exported.contains("\"__name__\":\"" + record.left(3).toUtf8() + "_v\""))
        << exported.data();
    EXPECT_TRUE(exported.contains("\"values\":[" + record.right(2).toUtf8() + "]"))
        << exported.data();
  }
}

}  // namespace
}  // namespace orva
