// Field lists and record texts of every row kind, built from controller answers as they arrive.
#include <gtest/gtest.h>

#include "scan/line_protocol.h"
#include "scan/memory_field.h"
#include "scan/module_fields.h"
#include "scan/output_pieces.h"
#include "scan/record_tags.h"

namespace orva {
namespace {

// A successful memory read as the link returns it: result code 0, 19 bytes before the block,
// then the 16 block bytes.
QByteArray MemoryAnswer(const Block& block) {
  QByteArray answer(20, '\x11');
  answer[0] = 0;
  answer.append(reinterpret_cast<const char*>(block.data()), kBlockSize);
  return answer;
}

// A block starting with the given bytes, the rest `fill`.
Block BlockOfHex(const char* hex, quint8 fill = 0) {
  Block block;
  block.fill(fill);
  const QByteArray bytes = QByteArray::fromHex(hex);
  std::copy(bytes.begin(), bytes.end(), block.begin());
  return block;
}

// Unused block bytes are filled with other values; they must not matter.
TEST(RecordsTest, ModuleRecords) {
  const QByteArray answer = MemoryAnswer(BlockOfHex("0898 11C6 012C 0258 0001", 0x77));
  EXPECT_FALSE(BlockOf(answer.left(35)).has_value()) << "a short answer must not be read past";
  EXPECT_FALSE(BlockOf(QByteArray(1, '\0')).has_value());
  EXPECT_EQ(RecordText("123456", MultiSensorFields(*BlockOf(answer))),
            "123456 temperature=22,humidity=45.5,light=300,voc=600,motion=1");
  EXPECT_EQ(
      RecordText("123456", WeatherStationFields(BlockOfHex("00D7 012C 0020 0C 00 28 00 00", 0x55))),
      "123456 temperature=21.5,daylight=300,wind=3.2,light_east=12,light_west=0,"
      "light_south=40,twilight=0,rain=0");
  EXPECT_EQ(RecordText("B1C2D3", MotionFields(BlockOfHex("0000000000000000000000 01 C8 02"))),
            "B1C2D3 motion=200");
  // Energy meter field k holds k + 1, so that each shows its own divisor; the total holds the
  // largest value.
  EnergyImage image;
  image.fill(0xEE);  // bytes 69 to 79 are not used and must not matter
  for (int k = 0; k < 23; ++k) {
    image[3 * k] = image[3 * k + 1] = 0;
    image[3 * k + 2] = static_cast<quint8>(k + 1);
  }
  image[0] = image[1] = image[2] = 0xFF;
  EXPECT_EQ(RecordText("654321", EnergyMeterFields(image)),
            "654321 Consumption_Total=1.677722E+07,Injection_Total=2,Consumption_Day=3,"
            "Consumption_Night=4,Injection_Day=5,Injection_Night=6,Tariff_Indicator=7,"
            "Current_Consumption=0.008,Current_Injection=0.009,Voltage_L1=1,Voltage_L2=1.1,"
            "Voltage_L3=1.2,Current_L1=0.13,Current_L2=0.14,Current_L3=0.15,Consumption_L1=0.016,"
            "Consumption_L2=0.017,Consumption_L3=0.018,Injection_L1=0.019,Injection_L2=0.02,"
            "Injection_L3=0.021,Gas_Total=22,Current_Gas=0.023");
}

// Which blocks a memory row reads and where its value starts in them ("first count offset"),
// and the field read from memory whose byte m holds m + 1; or why it cannot be read. A fraction
// is rounded before the block is chosen, so that block and offset name one address (15.6 is
// address 16: block 1, not byte 0 of block 0).
TEST(RecordsTest, MemoryReadPlansAndFields) {
  const struct {
    const char *sram, *type, *plan, *field;  // field nullptr: plan is part of the error
  } cases[] = {
      {"100", "Byte", "6 1 4", "SRAM100=101"},
      {"255", "Byte", "15 1 15", "SRAM255=0"},
      {"47", "Integer", "2 2 15", "SRAM47=12337"},
      {"254", "Integer", "15 1 14", "SRAM254=65280"},
      {"14", "24-bit", "0 2 14", "SRAM14=987153"},
      {"15", "24-bit", "0 2 15", "SRAM15=1052946"},
      {"253", "24-bit", "15 1 13", "SRAM253=1.671142E+07"},
      {"abc", "Byte", "0 1 0", "SRAMabc=1"},
      {"15.6", "Byte", "1 1 0", "SRAM15.6=17"},
      {"47.5", "Byte", "3 1 0", "SRAM47.5=49"},
      {"46.5", "Integer", "2 1 14", "SRAM46.5=12080"},
      {" 7", "Byte", "0 1 7", "SRAM\\ 7=8"},
      {"100", "Word", "type \"Word\"", nullptr},
      {"100", "", "value type", nullptr},
      {"255", "Integer", "past byte 255", nullptr},
      {"255", "24-bit", "past byte 255", nullptr},
      {"256", "Byte", "outside module", nullptr},
      {"-1", "Byte", "outside module", nullptr},
      {"10\\", "Byte", "be a field key", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sram << " " << c.type);
    const MemoryRead plan =
        PlanMemoryRead(QString::fromLatin1(c.sram), QString::fromLatin1(c.type));
    if (!c.field) {
      EXPECT_TRUE(plan.error.contains(QLatin1String(c.plan))) << plan.error.toStdString();
      EXPECT_EQ(plan.block_count, 0) << "nothing may be read";
      EXPECT_FALSE(MemoryField(plan, QByteArray(32, '\1')).has_value());
      continue;
    }
    EXPECT_EQ(
        QStringLiteral("%1 %2 %3").arg(plan.first_block).arg(plan.block_count).arg(plan.offset),
        c.plan);
    QByteArray bytes;
    for (int m = plan.first_block * 16; m < (plan.first_block + plan.block_count) * 16; ++m)
      bytes += char(m + 1);
    const std::optional<Field> field = MemoryField(plan, bytes);
    ASSERT_TRUE(field.has_value());
    EXPECT_EQ(RecordText("1", {*field}), QStringLiteral("1 ") + QLatin1String(c.field));
    EXPECT_FALSE(MemoryField(plan, bytes.left(plan.offset + plan.width - 1)).has_value())
        << "read past the bytes";
  }
}

// An output's name loses its outer blanks and has the inner ones replaced. Modes 280 and 151 key
// their one field by the name alone; a thermostat's name always gets a suffix, so even an empty
// name or one ending in a backslash gives a key the server takes; a line feed can be in no key.
TEST(RecordsTest, OutputNamesFieldKeysAndPiecesByModeAndSubAddress) {
  const struct {
    int mode;
    const char *naam, *key;  // key nullptr: refused
  } cases[] = {
      {151, "Hall  light", "Hall__light"},
      {280, "  Living room ", "Living_room"},
      {91, "a,b=c", "a,b=c_Settemp"},
      {151, "Küche Süd", "Küche_Süd"},
      {151, "Back\\door", "Back\\door"},
      {60, "", "_Settemp"},
      {10, "Lamp\\", "Lamp\\_Settemp"},
      {151, "   ", nullptr},
      {280, "", nullptr},
      {280, "a\\", nullptr},
      {151, "Hall\nway", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.naam);
    const QString name = OutputName(QString::fromUtf8(c.naam));
    const QString error = OutputKeyError(c.mode, name);
    const FieldList fields = BuildOutputPieces(QByteArray(25, '\0'), c.mode, 0, name).fields;
    ASSERT_FALSE(fields.isEmpty());
    if (c.key) {
      EXPECT_EQ(error, QString());
      EXPECT_EQ(fields[0].key, QString::fromUtf8(c.key));
      continue;
    }
    EXPECT_TRUE(error.startsWith(QStringLiteral("Output \"%1\"").arg(name))) << error.toStdString();
    for (const Field& f : fields) EXPECT_FALSE(IsWritableFieldKey(f.key)) << f.key.toStdString();
  }
  // Meter outputs take three status bytes per sub-address, byte outputs the byte after it,
  // thermostats three halves; a sub-address past the bytes asked for gives no field.
  QByteArray meter(1, '\0');
  for (int k = 0; k < 24; ++k) meter += char(k * 10);  // status byte k holds 10 k
  // Status answers: result code 0, then the status bytes.
  const QByteArray bytes = QByteArray::fromHex("00 09 80 07 06 05");
  const QByteArray five = QByteArray::fromHex("00 01 02 03 04 05");
  const QByteArray thermostat = QByteArray::fromHex("00 2A 63 29 03");
  const struct {
    struct {
      QByteArray answer;
      int mode, sub;
    } in;
    const char* record;  // nullptr: no field, and why
  } pieces_cases[] = {
      {{meter, 280, 0}, "Out=2580"},
      {{meter, 280, 1}, "Out=1976370"},
      {{meter, 280, 7}, "Out=1.381911E+07"},
      {{bytes, 151, 0}, "Out=128"},
      {{bytes, 151, 1}, "Out=7"},
      {{bytes, 151, 3}, "Out=5"},
      {{meter, 280, 8}, nullptr},
      {{meter, 280, -1}, nullptr},
      {{meter.left(24), 280, 7}, nullptr},
      {{five, 151, 4}, nullptr},
      {{five.left(4), 151, 2}, nullptr},
      {{five.left(4), 10, 0}, nullptr},
      {{five.left(1), 91, 0}, nullptr},
      {{thermostat, 50, 0}, "Out_Settemp=21,Out_Roomtemp=20.5,Out_Program=1.5"},
  };
  for (const auto& c : pieces_cases) {
    SCOPED_TRACE(testing::Message() << c.in.mode << " / " << c.in.sub);
    const OutputPieces pieces = BuildOutputPieces(c.in.answer, c.in.mode, c.in.sub, "Out");
    EXPECT_EQ(RecordText("", pieces.fields), c.record ? QStringLiteral(" ") + c.record : QString());
    EXPECT_EQ(pieces.error.startsWith("Output Out:"), !c.record) << pieces.error.toStdString();
  }
}

TEST(RecordsTest, EscapesWhatLineProtocolNeedsAndTagsWhatTheInstallationGives) {
  const struct {
    struct {
      const char *measurement, *key, *tag = nullptr;
    } in;
    const char* record;
  } cases[] = {
      {{"123456", "Kitchen,North"}, "123456 Kitchen\\,North=1"},
      {{"123456", "a=b"}, "123456 a\\=b=1"},
      {{"123456", "Küche_Süd"}, "123456 Küche_Süd=1"},
      {{"123456", "x\"y'z"}, "123456 x\"y'z=1"},
      {{"12 4,6", "k"}, "12\\ 4\\,6 k=1"},
      {{"12=456", "k"}, "12=456 k=1"},
      {{"", "k"}, " k=1"},
      {{"123456", "k", "Meter cupboard"}, "123456,name=Meter\\ cupboard k=1"},
      {{"123456", "k", "a,b=c\"ü"}, "123456,name=a\\,b\\=c\"ü k=1"},
  };
  for (const auto& c : cases) {
    const TagList tags = c.in.tag ? TagList{{"name", QString::fromUtf8(c.in.tag)}} : TagList();
    EXPECT_EQ(
        RecordText(QString::fromUtf8(c.in.measurement), {{QString::fromUtf8(c.in.key), "1"}}, tags),
        QString::fromUtf8(c.record));
  }
  EXPECT_TRUE(RecordText("123456", {}).isEmpty()) << "no fields, no record";
  // A record's tags come from the installation, each only when asked for and when it has a value
  // that can be written.
  const struct {
    RecordTags asked;
    const char *type, *place;
    TagList tags;
  } tag_cases[] = {
      {{true, true},
       "0017",
       " Meter cupboard ",
       {{"kind", "energy meter"}, {"name", "Meter cupboard"}}},
      {{true, false}, "0017", "Kitchen", {{"name", "Kitchen"}}},
      {{false, true}, "0099", "Kitchen", {}},
      {{true, true}, "0016", "  ", {{"kind", "multi-sensor"}}},
      {{true, false}, "0016", "Attic\\", {}},
      {{false, false}, "0016", "Kitchen", {}},
  };
  for (const auto& c : tag_cases) {
    EXPECT_EQ(ModuleTags(Module{1, "160012", c.place, c.type}, c.asked), c.tags) << c.place;
  }
  EXPECT_EQ(OutputsTags({false, true}), (TagList{{"kind", "outputs"}}));
  EXPECT_EQ(OutputsTags({true, false}), TagList());
}

// A record carries its read time in the unit the server is told, cut, never rounded, to it.
TEST(RecordsTest, ReadTimeInEachPrecision) {
  const std::chrono::system_clock::time_point read{
      std::chrono::nanoseconds(1'700'000'000'987'654'321)};
  const struct {
    TimePrecision precision;
    const char* record;
  } cases[] = {
      {TimePrecision::kSeconds, "m k=1 1700000000"},
      {TimePrecision::kMilliseconds, "m k=1 1700000000987"},
      {TimePrecision::kMicroseconds, "m k=1 1700000000987654"},
      {TimePrecision::kNanoseconds, "m k=1 1700000000987654321"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithTimeStamp(QStringLiteral("m k=1"), read, c.precision),
              QString::fromUtf8(c.record));
  }
}

}  // namespace
}  // namespace orva
