// The "More…" dialog's Test button says in words what a real server made of the settings.
#include "ui/server_access_dialog.h"

#include <QJsonDocument>
#include <QTcpServer>

#include "influxd_process.h"
#include "window_harness.h"

namespace orva {
namespace {

TEST(ServerAccessDialogTest, TestSaysWhatTheServerMadeOfTheSettings) {
  test::InfluxdProcess influxd;
  QString error;
  ASSERT_TRUE(influxd.Start(&error)) << error.toStdString();
  ASSERT_TRUE(influxd.CreateDatabase("orva"));
  const QString closed = QString::number([] {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
  }());
  const struct {
    ServerFields fields;
    const char* text;  // the start of what the dialog says
  } cases[] = {
      {{"127.0.0.1", influxd.port_text(), "orva", "1"}, "Reached and authorised: orva takes"},
      {{"127.0.0.1", influxd.port_text(), "nodb", "1"},
       "Database or bucket not found (database not found: \"nodb\"); the scan creates it"},
      {{"127.0.0.1", closed, "orva", "1"}, "Nothing listening at 127.0.0.1 port"},
  };
  for (const auto& c : cases) {
    ServerAccessDialog dialog(c.fields, ServerAccess{});
    auto* label = dialog.findChild<QLabel*>("labTest");
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdTest"), Qt::LeftButton);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return label->text() != QStringLiteral("Testing…"); }, 10000));
    EXPECT_TRUE(label->text().startsWith(QLatin1String(c.text))) << label->text().toStdString();
  }
  EXPECT_EQ(influxd.Points("SELECT * FROM /.*/", "orva").size(), 0) << "the test writes nothing";
  EXPECT_FALSE(QJsonDocument(influxd.Query("SHOW DATABASES")).toJson().contains("nodb"));
}

}  // namespace
}  // namespace orva
