// Pure pieces of the Access import: telling the file format from its header and turning the
// stored forms of dates, texts and singles into values.
#include "import/access_value.h"
#include "import/database_file_kind.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orva {
namespace {

TEST(DetectDatabaseFile, TellsTheFormatFromTheHeader) {
  // The import of each fixture shows the three Access formats told apart.
  EXPECT_EQ(DetectDatabaseFileAt(test::FixturePath(QStringLiteral("access/nwind.mdb"))),
            DatabaseFileKind::kJet3);
  EXPECT_EQ(DetectDatabaseFileAt(QStringLiteral("/nonexistent/file.mdb")),
            DatabaseFileKind::kUnknown);
  QByteArray jet = test::ReadFile(test::FixturePath(QStringLiteral("access/DateTestDatabase.mdb")))
                       .left(kDatabaseHeaderSize);
  QByteArray sqlite("SQLite format 3\0", 16);
  sqlite.append(kDatabaseHeaderSize, '\x01');
  const struct {
    QByteArray header;
    DatabaseFileKind kind;
  } cases[] = {
      {sqlite, DatabaseFileKind::kSqlite},
      {sqlite.left(kDatabaseHeaderSize - 1), DatabaseFileKind::kUnknown},  // cut short
      {jet, DatabaseFileKind::kJet4},
      {jet.left(kDatabaseHeaderSize - 1), DatabaseFileKind::kUnknown},
      {QByteArray(jet).replace(0x14, 1, "\x02"), DatabaseFileKind::kUnknown},  // Jet has no v2
      {QByteArray(jet).replace(4, 15, "Standard ACE DB").replace(0x14, 1, "\x05"),
       DatabaseFileKind::kAce},
      {QByteArray(jet).replace(4, 15, "Standard ACE DB"), DatabaseFileKind::kUnknown},
      {QByteArray(jet).replace(1, 1, "\x02"), DatabaseFileKind::kUnknown},  // not a header page
      {QByteArray(jet).replace(4, 1, "s"), DatabaseFileKind::kUnknown},
      {QByteArray(kDatabaseHeaderSize, '\0'), DatabaseFileKind::kUnknown},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DetectDatabaseFile(c.header), c.kind) << c.header.toHex().data();
}

TEST(AccessDateText, CountsDaysFrom1899AndTimeForwardFromMidnight) {
  const struct {
    double days;
    const char* text;
  } cases[] = {
      {0.0, "1899-12-30 00:00:00"},        {0.25, "1899-12-30 06:00:00"},
      {-1.25, "1899-12-29 06:00:00"},  // before 1899-12-30 the time still counts forward
      {-0.5, "1899-12-30 12:00:00"},       {2.0, "1900-01-01 00:00:00"},
      {60.0, "1900-02-28 00:00:00"},  // 1900 was no leap year
      {61.0, "1900-03-01 00:00:00"},       {44532.5 + 1.0 / 86400, "2021-12-02 12:00:01"},
      {0.9999999, "1899-12-31 00:00:00"},  // rounds up to the next midnight
      {-1.9999999, "1899-12-30 00:00:00"}, {2958465.0 + 86399.0 / 86400, "9999-12-31 23:59:59"},
      {-657434.0, "0100-01-01 00:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(AccessDateText(c.days), QLatin1String(c.text)) << c.days;
  for (double outside : {2958466.0, -700000.0, 1e300, std::nan("")}) {
    EXPECT_EQ(AccessDateText(outside), std::nullopt) << outside;
  }
}

TEST(DecodeAccessText, ReadsEachStoredForm) {
  const struct {
    QByteArray stored;
    AccessTextEncoding encoding;
    QString text;
  } cases[] = {
      {"Ums\xe4tze \x80\x93\x81", AccessTextEncoding::kCodePage1252, u"Umsätze €“\u0081"_qs},
      {QByteArray("H\0\xe9\0\xac\x20", 6), AccessTextEncoding::kUtf16, u"Hé€"_qs},
      {QByteArray("\xff\xfeHi", 4), AccessTextEncoding::kUtf16, u"Hi"_qs},
      // compressed: single bytes, a 0 switches to UTF-16 pairs, another 0 back
      {QByteArray("\xff\xfe\xe4\0\xac\x20\x3d\xd8\x0a\xde\0x", 12), AccessTextEncoding::kUtf16,
       u"ä€\U0001F60Ax"_qs},
      {QByteArray("\xff\xfe", 2), AccessTextEncoding::kUtf16, QString()},
      {QByteArray("A\0B", 3), AccessTextEncoding::kUtf16, u"A"_qs},  // odd byte dropped
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeAccessText(c.stored, c.encoding), c.text) << c.stored.toHex().data();
  }
}

TEST(WidenSingle, KeepsTheDecimalTheUserTyped) {
  EXPECT_EQ(WidenSingle(0.1f), 0.1);
  EXPECT_EQ(WidenSingle(0.05f), 0.05);
  EXPECT_EQ(WidenSingle(-1234.5f), -1234.5);
  EXPECT_EQ(WidenSingle(3.4028235e38f), 3.4028235e38);
  EXPECT_EQ(WidenSingle(1.0e-45f), 1.0e-45);
  EXPECT_TRUE(std::isinf(WidenSingle(-INFINITY)));
}

}  // namespace
}  // namespace orva
