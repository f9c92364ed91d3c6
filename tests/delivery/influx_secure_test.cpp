// The writer against an influxd that speaks HTTPS with its own certificate and wants a login,
// set up from the configuration keys as a user writes them.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "delivery/influx_server.h"
#include "influxd_process.h"

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

TEST(InfluxSecureTest, LoginAndCertificateDecideWhetherRecordsArrive) {
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
  for (const auto& c : cases) {
    const ServerAccess access = {
        .tls = true,
        .ca_file = c.ca_file,
        .tls_verify = c.tls_verify,
        .user = "admin",
        .org = {},
        .secret_file = WriteFile(dir.filePath("secret"), c.password + "\n")};
    const ResolvedServer resolved = ResolveServer(fields, access);
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

}  // namespace
}  // namespace orva
