#include "link/comm_log.h"
#include "temp_dir.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(CommLog, KeepsBytesAndOrder) {
  test::ProgramFolder folder;
  const QString path = folder.File(QStringLiteral("CommLog.orva"));
  CommLog log = CommLog::Open(path);
  const QByteArray frame("\x00\x28\x00\x01\x02\x0F\x23", 7);
  QByteArray all_bytes;
  for (int b = 0; b < 256; ++b) all_bytes.append(static_cast<char>(b));
  log.LogRow(QStringLiteral("TX"), frame);
  log.LogRow(QStringLiteral("rxE"), QByteArray());
  log.LogRow(QStringLiteral("rx"), all_bytes.repeated(4));
  log.set_enabled(false);
  log.LogRow(QStringLiteral("rx"), frame);

  SqliteDb db = SqliteDb::OpenExisting(path);
  const std::vector<Record> rows =
      db.Query(QStringLiteral("SELECT TimeStamp, Soort, Data FROM CommLog ORDER BY id"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Text(u"Soort"), QStringLiteral("TX"));
  EXPECT_EQ(rows[0].Value(u"Data")->toByteArray(), frame);
  EXPECT_EQ(rows[1].Text(u"Soort"), QStringLiteral("rxE"));
  ASSERT_TRUE(rows[1].Value(u"Data").has_value());
  EXPECT_TRUE(rows[1].Value(u"Data")->toByteArray().isEmpty());
  EXPECT_EQ(rows[2].Value(u"Data")->toByteArray(), all_bytes.repeated(4));
  const QDateTime stamp = QDateTime::fromString(*rows[0].Text(u"TimeStamp"), Qt::ISODateWithMs);
  ASSERT_TRUE(stamp.isValid());
  EXPECT_LT(qAbs(stamp.secsTo(QDateTime::currentDateTime())), 60);
}

TEST(CommandName, DirectionAndName) {
  EXPECT_EQ(CommandName(0xA8), QStringLiteral("(TX) ModuleSram"));
  EXPECT_EQ(CommandName(5), QStringLiteral("(RX) ???"));
  EXPECT_EQ(CommandName(56), QStringLiteral("(RX) Status"));
  EXPECT_EQ(CommandName(127), QStringLiteral("(RX) "));
  EXPECT_EQ(CommandName(70), QStringLiteral("(RX) Copy Data from SD to KTX"));
  EXPECT_EQ(CommandName(71 + 128), QStringLiteral("(TX) Copy Data from KTX to SD"));
  EXPECT_EQ(CommandName(7), QStringLiteral("(RX) KTX Versie"));
}

}  // namespace
}  // namespace orva
