// Which outputs the output picker offers, and the load step's failure on a broken installation.
#include "ui/picker_entries.h"
#include "store/db_error.h"
#include "store/sqlite_db.h"
#include "window_harness.h"

namespace orva::test {
namespace {

TEST(PickerEntriesTest, OutputModeFilter) {
  struct Case {
    qint64 mode;
    qint64 sub_address;
    bool listed;
  };
  // A few listed modes, mode 30 only off sub-address 3, and modes next to listed ones.
  const Case cases[] = {{10, 1, true},   {151, 5, true}, {30, 4, true},   {30, 3, false},
                        {30, -1, false}, {11, 0, false}, {150, 0, false}, {281, 0, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(PassesOutputModeFilter(c.mode, c.sub_address), c.listed)
        << c.mode << "." << c.sub_address;
  }
}

TEST(PickerEntriesTest, OutputsWithoutModeOrSubAddressAreLeftOutAndEmptyTablesListNothing) {
  ProgramFolder folder;
  const QString path = folder.root() + QStringLiteral("i.orva");
  WriteInstallationDb(path, QStringLiteral("INSERT INTO outputs VALUES (50, 'Attic', NULL, 1, 0), "
                                           "(51, 'Barn', 30, 2, NULL), (52, NULL, 10, NULL, 2)"));
  InstallationDb db = InstallationDb::Open(path);
  std::vector<QString> texts;
  for (const PickerEntry& entry : OutputPickerEntries(db)) texts.push_back(entry.text);
  EXPECT_EQ(texts, (std::vector<QString>{" (A.2)", "Garage (A13.4)", "Hall (A12.1)",
                                         "Living room (A12.0)"}));
  SqliteDb::OpenExisting(path).Exec(QStringLiteral("DELETE FROM outputs; DELETE FROM modules;"));
  EXPECT_TRUE(OutputPickerEntries(db).empty());
  EXPECT_TRUE(ModulePickerEntries(db, false).empty());
}

TEST(PickerEntriesTest, AListOpensOnTheCellsEntryElseOnTheFirst) {
  const std::vector<PickerEntry> modules = {{"123456 MS-5 multi-sensor Living room", 2},
                                            {"200001 WS-1 weather station Roof", 3},
                                            {"654321 TH-1 room thermostat Attic", 1}};
  const std::vector<PickerEntry> types = {{"Byte", 0}, {"Integer", 0}, {"24-bit", 0}};
  struct Case {
    const char* name;
    const std::vector<PickerEntry>* entries;
    QString cell;
    bool by_serial;
    int highlighted;
  };
  const std::vector<PickerEntry> none;
  const Case cases[] = {
      {"equal text", &types, "Integer", false, 1},
      {"equal text is case-sensitive", &types, "integer", false, 0},
      {"a module by its serial", &modules, "200001 Roof", true, 1},
      {"a module whose location changed", &modules, "654321 Cellar", true, 2},
      {"a serial only other pickers would not match", &types, "200001 Roof", false, 0},
      {"a serial no longer installed", &modules, "999999 ???", true, 0},
      {"five characters are no serial", &modules, "20000", true, 0},
      {"an empty list", &none, "Byte", false, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HighlightedEntry(*c.entries, c.cell, c.by_serial), c.highlighted) << c.name;
  }
}

TEST(PickerEntriesTest, LoadStepFailsOnAnInstallationWithoutOutputsTable) {
  EXPECT_THROW(WindowHarness(QStringLiteral("DROP TABLE outputs")), DbError);
}

}  // namespace
}  // namespace orva::test
