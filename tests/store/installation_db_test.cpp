#include "store/installation_db.h"
#include "installation_fixture.h"
#include "store/db_error.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orva {
namespace {

// The controller's version is made six characters; the interface's only given when missing.
TEST(VersionCompletion, ControllerSixCharactersInterfaceOnlyWhenMissing) {
  EXPECT_EQ(CompletedControllerVersion(std::nullopt), QStringLiteral("000000"));
  EXPECT_EQ(CompletedControllerVersion(QStringLiteral("   ")), QStringLiteral("000000"));
  EXPECT_EQ(CompletedControllerVersion(QStringLiteral(" 31 ")), QStringLiteral("310000"));
  EXPECT_EQ(CompletedControllerVersion(QStringLiteral("03112")), QStringLiteral("031120"));
  EXPECT_EQ(CompletedControllerVersion(QStringLiteral("031105")), std::nullopt);
  EXPECT_EQ(CompletedControllerVersion(QStringLiteral("0311057")), std::nullopt);
  EXPECT_EQ(CompletedInterfaceVersion(std::nullopt), QStringLiteral("0000"));
  EXPECT_EQ(CompletedInterfaceVersion(QStringLiteral("  ")), QStringLiteral("0000"));
  EXPECT_EQ(CompletedInterfaceVersion(QStringLiteral("12")), std::nullopt);
}

class InstallationDbTest : public ::testing::Test {
 protected:
  QString Write(const QString& extra_sql = {}) {
    const QString path = dir_.filePath(QStringLiteral("installation.orva"));
    test::WriteInstallationDb(path, extra_sql);
    return path;
  }
  QTemporaryDir dir_;
};

TEST_F(InstallationDbTest, LooksUpWalksAndNamesWhatIsMissing) {
  InstallationDb db = InstallationDb::Open(Write());
  EXPECT_EQ(db.ModuleBySerial(QStringLiteral("123456"))->place, QStringLiteral("Living room"));
  EXPECT_FALSE(db.ModuleBySerial(QStringLiteral("999999")).has_value());
  // Serials with hexadecimal letters are found whatever their case, as the Access index does.
  InstallationDb hex = InstallationDb::Open(
      Write(QStringLiteral("UPDATE modules SET serienr = 'C4A0B1' WHERE serienr = '200001'")));
  for (const char* serial : {"c4a0b1", "C4A0B1", "C4a0B1"}) {
    const std::optional<Module> module = hex.ModuleBySerial(QLatin1String(serial));
    ASSERT_TRUE(module.has_value()) << serial;
    EXPECT_EQ(module->id, 3) << serial;
  }
  EXPECT_EQ(db.ModuleById(3)->serial, QStringLiteral("200001"));
  EXPECT_EQ(db.OutputById(43)->mode_id, 151);
  EXPECT_FALSE(db.OutputById(1).has_value());

  QStringList serials;
  for (const Module& module : db.ModulesBySerial()) serials << module.serial;
  EXPECT_EQ(serials, QStringList({"123456", "200001", "654321"}));
  QStringList names;
  for (const Output& output : db.OutputsByName()) names << output.name;
  EXPECT_EQ(names, QStringList({"Garage", "Hall", "Kitchen", "Living room"}));

  // A table or row that is missing is named in the error.
  auto message_of = [&](const QString& extra_sql) {
    try {
      InstallationDb::Open(Write(extra_sql));
    } catch (const DbError& error) {
      return error.description();
    }
    return QStringLiteral("no error");
  };
  EXPECT_TRUE(message_of(QStringLiteral("DROP TABLE outputs")).contains(QStringLiteral("outputs")));
  EXPECT_TRUE(message_of(QStringLiteral("DELETE FROM config")).contains(QStringLiteral("config")));
  EXPECT_THROW(InstallationDb::Open(dir_.filePath(QStringLiteral("nothing.orva"))), DbError);
}

TEST(RecordTest, NullStaysNullAndFieldsMatchWithoutCase) {
  Record record;
  record.Add(QStringLiteral("Plaats"), std::nullopt);
  record.Add(QStringLiteral("Adres"), QVariant(QStringLiteral(" 12 ")));
  EXPECT_EQ(record.Text(u"PLAATS"), std::nullopt);
  EXPECT_EQ(record.Integer(u"plaats"), std::nullopt);
  EXPECT_EQ(record.Integer(u"adres"), 12);
  EXPECT_THROW(record.Value(u"missing"), DbError);
}

}  // namespace
}  // namespace orva
