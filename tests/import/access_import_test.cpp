// The Access import, checked against real Access files of each format and against what the
// mdbtools programs (mdb-tables, mdb-count, mdb-export, mdb-schema) report about them.
#include "import/access_import.h"
#include "store/db_error.h"
#include "store/sqlite_db.h"
#include "temp_dir.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orva {
namespace {

using Cells = std::vector<QString>;

const QString kNull = QStringLiteral("<NULL>");
const QString kDateFormat = QStringLiteral("%Y-%m-%d %H:%M:%S");

// One file per format: Jet 3, Jet 4, ACE.
const char* const kFixtures[] = {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"};

QString AccessFixture(const char* file) {
  return test::FixturePath(QStringLiteral("access/") + QLatin1String(file));
}

QByteArray RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().data();
    return {};
  }
  return process.readAllStandardOutput();
}

// mdb-export's rows, unquoted, with separators no value of the fixtures holds.
std::vector<Cells> MdbExport(const char* file, const QString& table) {
  const QString text = QString::fromUtf8(
      RunTool(QStringLiteral("mdb-export"),
              {QStringLiteral("-Q"), QStringLiteral("-d"), QStringLiteral("\x1f"),
               QStringLiteral("-R"), QStringLiteral("\x1e"), QStringLiteral("-b"),
               QStringLiteral("hex"), QStringLiteral("-0"), kNull, QStringLiteral("-D"),
               kDateFormat, QStringLiteral("-T"), kDateFormat, AccessFixture(file), table}));
  std::vector<Cells> rows;
  for (const QString& row : text.split(QChar(0x1e), Qt::SkipEmptyParts)) {
    const QStringList cells = row.split(QChar(0x1f));
    rows.emplace_back(cells.begin(), cells.end());
  }
  return rows;
}

QStringList MdbTables(const char* file) {
  return QString::fromUtf8(
             RunTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), AccessFixture(file)}))
      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// One imported value as mdb-export would print it; empty cells are compared by type below.
bool SameValue(const DbValue& value, const QString& exported) {
  if (!value) return exported == kNull;
  switch (value->typeId()) {
    case QMetaType::LongLong:
      return QString::number(value->toLongLong()) == exported;
    case QMetaType::Double: {
      // Singles come out of mdb-export with 8 digits, currency with 4 decimals.
      const double expected = exported.toDouble();
      return std::fabs(value->toDouble() - expected) <= 1e-7 * std::fabs(expected);
    }
    case QMetaType::QByteArray:
      return value->toByteArray().toHex().toUpper() == exported.toLatin1();
    default:
      return value->toString() == exported;
  }
}

class AccessImportTest : public ::testing::Test {
 protected:
  SqliteDb Import(const char* file) {
    ImportAccessDatabase(AccessFixture(file), Target());
    return SqliteDb::OpenReadOnly(Target());
  }
  QString Target() const { return dir_.filePath(QStringLiteral("imported.orva")); }
  static std::vector<Record> Rows(SqliteDb& db, const QString& table) {
    return db.Query(
        QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(SqliteDb::QuoteName(table)));
  }

  QTemporaryDir dir_;
};

// Per format, one import against what mdb-tables, mdb-count, mdb-export and mdb-schema say. Its
// source is a writable copy with an old time stamp, so that any write to it would show.
TEST_F(AccessImportTest, TablesRowsValuesAndTextSizesMatchMdbToolsAndTheSourceIsUntouched) {
  for (const char* file : kFixtures) {
    SCOPED_TRACE(file);
    const QString source = dir_.filePath(QLatin1String(file));
    ASSERT_TRUE(QFile::copy(AccessFixture(file), source));
    QFile copy(source);
    ASSERT_TRUE(copy.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1000000000);
    ASSERT_TRUE(copy.setFileTime(stamp, QFileDevice::FileModificationTime));
    copy.close();
    const QByteArray before = test::ReadFile(source);
    const QString target = source + QStringLiteral(".orva");
    ImportAccessDatabase(source, target);
    EXPECT_EQ(test::ReadFile(source), before);
    EXPECT_EQ(QFileInfo(source).lastModified(), stamp);

    SqliteDb db = SqliteDb::OpenReadOnly(target);
    const QStringList expected = MdbTables(file);
    ASSERT_FALSE(expected.isEmpty());
    const std::vector<QString> tables = db.TableNames();
    EXPECT_EQ(QStringList(tables.begin(), tables.end()), expected);
    int text_columns = 0;
    for (const QString& table : expected) {
      SCOPED_TRACE(table.toStdString());
      const int count =
          RunTool(QStringLiteral("mdb-count"), {AccessFixture(file), table}).trimmed().toInt();
      const std::vector<Record> rows = Rows(db, table);
      EXPECT_EQ(static_cast<int>(rows.size()), count);
      const std::vector<Cells> exported = MdbExport(file, table);
      ASSERT_EQ(rows.size() + 1, exported.size());
      for (size_t r = 0; r < rows.size(); ++r) {
        const auto& fields = rows[r].fields();
        ASSERT_EQ(fields.size(), exported[r + 1].size());
        for (size_t c = 0; c < fields.size(); ++c) {
          EXPECT_EQ(fields[c].first, exported[0][c]);
          // libmdb cannot print dates before 1900 or after 2700: AccessDateText has them.
          if (exported[r + 1][c].startsWith(QLatin1String("1900-01-00"))) continue;
          EXPECT_TRUE(SameValue(fields[c].second, exported[r + 1][c]))
              << "row " << r + 1 << " " << fields[c].first.toStdString() << ": "
              << fields[c].second.value_or(QVariant()).toString().toStdString()
              << " != " << exported[r + 1][c].toStdString();
        }
      }
      const QString schema = QString::fromUtf8(
          RunTool(QStringLiteral("mdb-schema"),
                  {QStringLiteral("-T"), table, AccessFixture(file), QStringLiteral("access")}));
      static const QRegularExpression kTextColumn(
          QStringLiteral("\\[([^\\]]+)\\]\\s+Text \\((\\d+)\\)"));
      for (const auto& match : kTextColumn.globalMatch(schema)) {
        EXPECT_EQ(db.TextFieldSize(table, match.captured(1)), match.captured(2).toInt())
            << match.captured(1).toStdString();
        ++text_columns;
      }
    }
    EXPECT_GT(text_columns, 0);
  }
}

// The comparison with mdb-export reads every value as text: the types are checked here.
TEST_F(AccessImportTest, TypesAreKept) {
  SqliteDb db = Import("nwind.mdb");
  const auto count = [&](const QString& sql) { return db.QueryFirst(sql)->Integer(u"n"); };
  const auto type_of = [&](const QString& table, const QString& column) {
    return db
        .QueryFirst(QStringLiteral("SELECT DISTINCT typeof(%1) AS t FROM %2 WHERE %1 IS NOT NULL")
                        .arg(SqliteDb::QuoteName(column), SqliteDb::QuoteName(table)))
        ->Text(u"t");
  };
  const char* const types[][3] = {{"Orders", "OrderID", "integer"},
                                  {"Orders", "Freight", "real"},
                                  {"Orders", "OrderDate", "text"},
                                  {"Categories", "Picture", "blob"},
                                  {"Products", "Discontinued", "integer"}};
  for (const auto& [table, column, type] : types) {
    EXPECT_EQ(type_of(QLatin1String(table), QLatin1String(column)), QLatin1String(type)) << column;
  }
  // A Single of 0.05 stays 0.05, not 0.0500000007450581.
  EXPECT_EQ(
      count(QStringLiteral("SELECT COUNT(*) AS n FROM [Order Details] WHERE Discount = 0.05")),
      count(QStringLiteral("SELECT COUNT(*) AS n FROM [Order Details] "
                           "WHERE Discount > 0.0499 AND Discount < 0.0501")));
}

// Each bad source must give a DbError that names it, and leave nothing at the target.
void ExpectRefused(const QString& source, const QString& target, const char* says) {
  try {
    ImportAccessDatabase(source, target);
    ADD_FAILURE() << "no error for " << source.toStdString();
  } catch (const DbError& error) {
    EXPECT_TRUE(error.description().contains(source)) << error.description().toStdString();
    EXPECT_TRUE(error.description().contains(QLatin1String(says)))
        << error.description().toStdString();
    EXPECT_EQ(error.source(), QStringLiteral("libmdb"));
  }
  EXPECT_FALSE(QFileInfo::exists(target)) << target.toStdString();
}

TEST_F(AccessImportTest, BadSourcesGiveAClearError) {
  const QByteArray nwind = test::ReadFile(AccessFixture("nwind.mdb"));
  const QByteArray dates = test::ReadFile(AccessFixture("DateTestDatabase.mdb"));
  const QByteArray ace = test::ReadFile(AccessFixture("ASampleDatabase.accdb"));
  QByteArray noise(dates.size() - 4096, '\0');
  QRandomGenerator random(42);
  random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
  const struct {
    const char* name;
    QByteArray bytes;
    const char* says;
  } cases[] = {
      {"empty.mdb", {}, "not an Access database"},
      {"text.mdb", "Standard Jet DB, says the text file", "not an Access database"},
      {"first-4096.mdb", nwind.left(4096), "truncated or damaged"},
      {"half.mdb", nwind.left(nwind.size() / 2), "truncated or damaged"},
      {"half-jet4.mdb", dates.left(dates.size() / 2), "truncated or damaged"},
      {"cut-by-one.accdb", ace.left(ace.size() - 1), "truncated or damaged"},
      // Cut where some rows of "Umsätze" are gone, and where catalog rows are gone too.
      {"rows-gone.mdb", nwind.left(777 * 2048), "holds 830 rows"},
      {"tables-gone.mdb", nwind.left(600 * 2048), "MSysObjects"},
      {"header-then-noise.mdb", dates.left(4096) + noise, "truncated or damaged"},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.name);
    const QString source = dir_.filePath(QLatin1String(bad.name));
    test::WriteFile(source, bad.bytes);
    ExpectRefused(source, source + QStringLiteral(".orva"), bad.says);
  }
  ExpectRefused(dir_.filePath(QStringLiteral("missing.mdb")),
                dir_.filePath(QStringLiteral("target.orva")), "Could not find file");

  const QString sqlite = dir_.filePath(QStringLiteral("already.orva"));
  SqliteDb::Create(sqlite).Exec(QStringLiteral("CREATE TABLE t (x)"));
  ExpectRefused(sqlite, dir_.filePath(QStringLiteral("target.orva")), "SQLite database");
  // An existing target is not overwritten.
  test::WriteFile(Target(), "keep me");
  EXPECT_THROW(ImportAccessDatabase(AccessFixture("DateTestDatabase.mdb"), Target()), DbError);
  EXPECT_EQ(test::ReadFile(Target()), QByteArray("keep me"));
}

// Damaged pages must give an error or a complete import, never a crash or a hang.
TEST_F(AccessImportTest, DamagedFilesNeverCrash) {
  QRandomGenerator random(7);
  int refused = 0;
  for (int i = 0; i < 40; ++i) {
    const char* file = i % 2 ? "DateTestDatabase.mdb" : "ASampleDatabase.accdb";
    QByteArray bytes = test::ReadFile(AccessFixture(file));
    ASSERT_GT(bytes.size(), 4096) << file;
    for (int flip = 0; flip < 200; ++flip) {
      bytes[random.bounded(4096, static_cast<int>(bytes.size()))] =
          static_cast<char>(random.bounded(256));
    }
    const QString source = dir_.filePath(QStringLiteral("damaged-%1.mdb").arg(i));
    test::WriteFile(source, bytes);
    try {
      ImportAccessDatabase(source, source + QStringLiteral(".orva"));
      EXPECT_FALSE(SqliteDb::OpenReadOnly(source + QStringLiteral(".orva")).TableNames().empty());
    } catch (const DbError& error) {
      EXPECT_TRUE(error.description().contains(source)) << error.description().toStdString();
      EXPECT_FALSE(QFileInfo::exists(source + QStringLiteral(".orva")));
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace orva
