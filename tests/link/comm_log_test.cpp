#include "link/comm_log.h"
#include "store/db_error.h"
#include "temp_dir.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(CommLog, KeepsBytesOrderAndTimeUntilDisabled) {
  test::ProgramFolder folder;
  const QString path = folder.File(QStringLiteral("CommLog.orva"));
  CommLog log = CommLog::Open(path);
  QByteArray all_bytes;
  for (int b = 0; b < 256; ++b) all_bytes.append(static_cast<char>(b));
  log.LogRow(QStringLiteral("TX"), all_bytes.repeated(4));
  log.LogRow(QStringLiteral("rxE"), QByteArray());
  log.set_enabled(false);
  log.LogRow(QStringLiteral("rx"), all_bytes);

  SqliteDb db = SqliteDb::OpenExisting(path);
  const std::vector<Record> rows =
      db.Query(QStringLiteral("SELECT TimeStamp, Soort, Data FROM CommLog ORDER BY id"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Text(u"Soort"), QStringLiteral("TX"));
  EXPECT_EQ(rows[0].Value(u"Data")->toByteArray(), all_bytes.repeated(4));
  EXPECT_EQ(rows[1].Text(u"Soort"), QStringLiteral("rxE"));
  ASSERT_TRUE(rows[1].Value(u"Data").has_value()) << "an empty row is not NULL";
  const QDateTime stamp = QDateTime::fromString(*rows[0].Text(u"TimeStamp"), Qt::ISODateWithMs);
  ASSERT_TRUE(stamp.isValid());
  EXPECT_LT(qAbs(stamp.secsTo(QDateTime::currentDateTime())), 60);

  // A log file without its table is refused at once, not at the first row.
  db.Exec(QStringLiteral("DROP TABLE CommLog"));
  EXPECT_THROW(CommLog::Open(path), DbError);
}

// Codes from 128 on are commands sent, below it answers received.
TEST(CommLog, CommandNamesSayTheDirection) {
  EXPECT_TRUE(CommandName(127).startsWith(QStringLiteral("(RX) ")));
  EXPECT_EQ(CommandName(128), QStringLiteral("(TX) ") + CommandName(0).mid(5));
}

}  // namespace
}  // namespace orva
