#include "config/module_kinds.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// The kind that picks what a module row reads, the kind's name a record's tag carries, and the
// designation shown for a type: rows of any motion designation show the third.
TEST(ModuleKindsTest, KindNameAndDesignationByExactTypeText) {
  const QStringList& motion = MotionDesignations();
  ASSERT_EQ(motion.size(), 3);
  const struct {
    QString type;
    ModuleKind kind;
    const char* name;
  } cases[] = {{"0016", ModuleKind::kMultiSensor, "multi-sensor"},
               {"0001", ModuleKind::kWeatherStation, "weather station"},
               {"0017", ModuleKind::kEnergyMeter, "energy meter"},
               {motion[0], ModuleKind::kMotion, "motion sensor"},
               {motion[1], ModuleKind::kMotion, "motion sensor"},
               {motion[2], ModuleKind::kMotion, "motion sensor"},
               {"16", ModuleKind::kNone, ""},
               {"0016 ", ModuleKind::kNone, ""},
               {motion[0].toLower(), ModuleKind::kNone, ""},
               {"000B", ModuleKind::kNone, "thermostat"},
               {"000b", ModuleKind::kNone, ""},
               {"TH-1 room thermostat", ModuleKind::kNone, "thermostat"},
               {"0012", ModuleKind::kNone, ""},
               {"", ModuleKind::kNone, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(ModuleKindOf(c.type), c.kind) << c.type.toStdString();
    EXPECT_EQ(KindNameFor(c.type), c.name) << c.type.toStdString();
    const bool is_motion = c.kind == ModuleKind::kMotion;
    EXPECT_EQ(ItemTypeFor(c.type), is_motion ? motion[2] : c.type) << c.type.toStdString();
    if (is_motion || c.name[0] == '\0') {  // a designation, or a text with none of its own
      EXPECT_EQ(DesignationFor(c.type), c.type) << c.type.toStdString();
    }
  }
  EXPECT_EQ(DesignationFor("000B"), "TH-1 room thermostat");
}

}  // namespace
}  // namespace orva
