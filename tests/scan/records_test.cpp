// Field lists and record texts of every row kind, built from controller answers as they arrive.
#include <gtest/gtest.h>

#include "decimal_comma_locale.h"
#include "scan/line_protocol.h"
#include "scan/memory_field.h"
#include "scan/module_fields.h"
#include "scan/output_pieces.h"

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

// A successful status read: result code 0, then the status bytes.
QByteArray StatusAnswer(std::initializer_list<int> bytes) {
  QByteArray answer(1, '\0');
  for (int b : bytes) answer.append(static_cast<char>(b));
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

TEST(RecordsTest, BlockBytesSitFrom21stCharacterOfTheAnswer) {
  const Block block = BlockOfHex("A0 0102030405060708090A0B0C0D0E AF");
  const QByteArray answer = MemoryAnswer(block);
  ASSERT_EQ(answer.size(), 36);
  EXPECT_EQ(BlockOf(answer), block);
  EXPECT_FALSE(BlockOf(answer.left(35)).has_value()) << "a short answer must not be read past";
  EXPECT_FALSE(BlockOf(QByteArray(1, '\0')).has_value());
}

// Unused block bytes are filled with other values; they must not matter.
TEST(RecordsTest, ModuleRecords) {
  const Block multi = BlockOfHex("0898 11C6 012C 0258 0001", 0x77);
  EXPECT_EQ(RecordText("123456", MultiSensorFields(*BlockOf(MemoryAnswer(multi)))),
            "123456 temperature=22,humidity=45.5,light=300,voc=600,motion=1");
  EXPECT_EQ(
      RecordText("123456", WeatherStationFields(BlockOfHex("00D7 012C 0020 0C 00 28 00 00", 0x55))),
      "123456 temperature=21.5,daylight=300,wind=3.2,light_east=12,light_west=0,"
      "light_south=40,twilight=0,rain=0");
  EXPECT_EQ(RecordText("B1C2D3", MotionFields(BlockOfHex("0000000000000000000000 01 C8 02"))),
            "B1C2D3 motion=200");
}

TEST(RecordsTest, EnergyMeterHasAllFieldsInOrder) {
  EnergyImage image;
  image.fill(0xEE);  // bytes 69 to 79 are not used and must not matter
  for (int j = 0; j < 69; ++j) image[j] = 0;
  const int kTotal = 0, kCurrent = 21, kVoltageL1 = 27, kCurrentL3 = 42, kCurrentGas = 66;
  image[kTotal] = image[kTotal + 1] = image[kTotal + 2] = 0xFF;
  image[kCurrent + 1] = 0x04, image[kCurrent + 2] = 0xD2;      // 1234
  image[kVoltageL1 + 1] = 0x09, image[kVoltageL1 + 2] = 0x0F;  // 2319
  image[kCurrentL3 + 2] = 5;
  image[kCurrentGas] = 0x01;  // 65536
  EXPECT_EQ(RecordText("654321", EnergyMeterFields(image)),
            "654321 Consumption_Total=1.677722E+07,Injection_Total=0,Consumption_Day=0,"
            "Consumption_Night=0,Injection_Day=0,Injection_Night=0,Tariff_Indicator=0,"
            "Current_Consumption=1.234,Current_Injection=0,Voltage_L1=231.9,Voltage_L2=0,"
            "Voltage_L3=0,Current_L1=0,Current_L2=0,Current_L3=0.05,Consumption_L1=0,"
            "Consumption_L2=0,Consumption_L3=0,Injection_L1=0,Injection_L2=0,Injection_L3=0,"
            "Gas_Total=0,Current_Gas=65.536");
}

TEST(RecordsTest, MemoryReadPlans) {
  const struct {
    const char* sram;
    const char* type;
    int first_block, block_count, offset;
  } cases[] = {{"100", "Byte", 6, 1, 4},
               {"0", "Byte", 0, 1, 0},
               {"255", "Byte", 15, 1, 15},
               {"47", "Integer", 2, 2, 15},
               {"46", "Integer", 2, 1, 14},
               {"254", "Integer", 15, 1, 14},
               {"13", "24-bit", 0, 1, 13},
               {"14", "24-bit", 0, 2, 14},
               {"15", "24-bit", 0, 2, 15},
               {"253", "24-bit", 15, 1, 13},
               {"abc", "Byte", 0, 1, 0},
               {"16.4", "Byte", 1, 1, 0},
               // A fraction is rounded before the block is chosen, so that block and offset name
               // one address (15.6 is address 16: block 1, not byte 0 of block 0).
               {"15.6", "Byte", 1, 1, 0},
               {"47.5", "Byte", 3, 1, 0},
               {"46.5", "Integer", 2, 1, 14}};
  for (const auto& c : cases) {
    const MemoryRead plan =
        PlanMemoryRead(QString::fromLatin1(c.sram), QString::fromLatin1(c.type));
    ASSERT_TRUE(plan.ok()) << c.sram << " " << c.type << ": " << plan.error.toStdString();
    EXPECT_EQ(plan.first_block, c.first_block) << c.sram << " " << c.type;
    EXPECT_EQ(plan.block_count, c.block_count) << c.sram << " " << c.type;
    EXPECT_EQ(plan.offset, c.offset) << c.sram << " " << c.type;
    EXPECT_EQ(plan.key, QLatin1String("SRAM") + QLatin1String(c.sram));
  }
}

TEST(RecordsTest, MemoryRowsThatCannotBeReadSayWhy) {
  const struct {
    const char* sram;
    const char* type;
    const char* error_part;
  } cases[] = {
      {"100", "Word", "unknown value type \"Word\""}, {"100", "", "unknown value type"},
      {"255", "Integer", "runs past byte 255"},       {"254", "24-bit", "runs past byte 255"},
      {"255", "24-bit", "runs past byte 255"},        {"256", "Byte", "outside module memory"},
      {"4096", "Byte", "outside module memory"},      {"-1", "Byte", "outside module memory"},
      {"10\\", "Byte", "cannot be a field key"},      {"10\n", "Byte", "cannot be a field key"}};
  for (const auto& c : cases) {
    const MemoryRead plan =
        PlanMemoryRead(QString::fromLatin1(c.sram), QString::fromLatin1(c.type));
    EXPECT_FALSE(plan.ok()) << c.sram << " " << c.type;
    EXPECT_TRUE(plan.error.contains(QLatin1String(c.error_part))) << plan.error.toStdString();
    EXPECT_EQ(plan.block_count, 0) << "nothing may be read for " << c.sram;
    EXPECT_FALSE(MemoryField(plan, QByteArray(32, '\1')).has_value());
  }
}

TEST(RecordsTest, MemoryFieldsFromOneOrTwoBlocks) {
  // Memory byte m holds m + 1 in every block, with a few values placed across block ends.
  auto joined = [](int first_block, int count, std::initializer_list<std::pair<int, int>> set) {
    QByteArray bytes;
    for (int m = first_block * 16; m < (first_block + count) * 16; ++m) bytes += char(m + 1);
    for (const auto& [m, value] : set) bytes[m - first_block * 16] = char(value);
    return bytes;
  };
  const struct {
    const char* sram;
    const char* type;
    QByteArray bytes;
    const char* record;
  } cases[] = {
      {"100", "Byte", joined(6, 1, {{100, 37}}), "123456 SRAM100=37"},
      {"47", "Integer", joined(2, 2, {{47, 0x12}, {48, 0x34}}), "123456 SRAM47=4660"},
      {"15", "24-bit", joined(0, 2, {{15, 0xFF}, {16, 0xFF}, {17, 0xFF}}),
       "123456 SRAM15=1.677722E+07"},
      {"14", "24-bit", joined(0, 2, {{14, 0x01}, {15, 0x00}, {16, 0x02}}), "123456 SRAM14=65538"},
      {"255", "Byte", joined(15, 1, {{255, 255}}), "123456 SRAM255=255"},
      {"0", "Integer", joined(0, 1, {{0, 0x00}, {1, 0xFF}}), "123456 SRAM0=255"},
      {" 7", "Byte", joined(0, 1, {{7, 9}}), "123456 SRAM\\ 7=9"}};
  for (const auto& c : cases) {
    const MemoryRead plan =
        PlanMemoryRead(QString::fromLatin1(c.sram), QString::fromLatin1(c.type));
    ASSERT_EQ(c.bytes.size(), plan.block_count * kBlockSize) << c.sram;
    const std::optional<Field> field = MemoryField(plan, c.bytes);
    ASSERT_TRUE(field.has_value()) << c.sram;
    EXPECT_EQ(RecordText("123456", {*field}), QString::fromLatin1(c.record));
    const QByteArray one_short = c.bytes.left(plan.offset + plan.width - 1);
    EXPECT_FALSE(MemoryField(plan, one_short).has_value()) << "read past the bytes: " << c.sram;
  }
}

TEST(RecordsTest, OutputNames) {
  const struct {
    const char* naam;
    const char* name;
  } cases[] = {{"Hall  light", "Hall__light"},
               {"  Living room ", "Living_room"},
               {"Hall", "Hall"},
               {"a,b=c", "a,b=c"},
               {"Küche Süd", "Küche_Süd"},
               {"   ", ""}};
  for (const auto& c : cases)
    EXPECT_EQ(OutputName(QString::fromUtf8(c.naam)), QString::fromUtf8(c.name));
}

// Modes 280 and 151 key their one field by the name alone; a thermostat's name always gets a
// suffix, so even an empty name or one ending in a backslash gives a key the server takes; a
// line feed can be in no key.
TEST(RecordsTest, OutputNamesThatCannotBeAFieldKey) {
  const struct {
    int mode;
    const char* name;
    bool writable;
  } cases[] = {{151, "", false},
               {280, "", false},
               {151, "Lamp\\", false},
               {280, "a\\", false},
               {151, "Back\\door", true},
               {280, "Hall", true},
               {60, "", true},
               {10, "Lamp\\", true},
               {91, "a,b=c", true},
               {151, "Hall\nway", false},
               {10, "Living\nroom", false}};
  for (const auto& c : cases) {
    const QString error = OutputKeyError(c.mode, QString::fromLatin1(c.name));
    EXPECT_EQ(error.isEmpty(), c.writable) << c.mode << " " << c.name;
    if (c.writable) continue;
    EXPECT_TRUE(error.startsWith(QStringLiteral("Output \"%1\"").arg(c.name)))
        << error.toStdString();
    for (const Field& field : BuildOutputPieces(QByteArray(25, '\0'), c.mode, 0, c.name).fields)
      EXPECT_FALSE(IsWritableFieldKey(field.key)) << c.name;
  }
}

TEST(RecordsTest, OutputReadsByMode) {
  const struct {
    int mode, count, parameter2;
  } cases[] = {{280, 24, 0}, {151, 5, 255}, {10, 4, 255}};
  for (const auto& c : cases) {
    EXPECT_EQ(OutputReadFor(c.mode).count, c.count) << c.mode;
    EXPECT_EQ(OutputReadFor(c.mode).parameter2, c.parameter2) << c.mode;
  }
}

TEST(RecordsTest, MeterOutputTakesThreeBytesPerSubAddress) {
  QByteArray answer(1, '\0');
  for (int k = 0; k < 24; ++k) answer += char(k * 10);  // status byte k holds 10 k
  const char* expected[] = {"2580",    "1976370", "3950160",      "5923950",
                            "7897740", "9871530", "1.184532E+07", "1.381911E+07"};
  for (int s = 0; s < 8; ++s) {
    const OutputPieces pieces = BuildOutputPieces(answer, 280, s, "Meter");
    ASSERT_TRUE(pieces.ok()) << s;
    EXPECT_EQ(pieces.fields, FieldList({{"Meter", expected[s]}})) << s;
  }
}

TEST(RecordsTest, SubAddressesPastTheAnswerAreRejected) {
  QByteArray meter(25, '\x07');
  meter[0] = 0;
  const struct {
    QByteArray answer;
    int mode, sub;
  } cases[] = {{meter, 280, 8},
               {meter, 280, -1},
               {meter.left(24), 280, 7},
               {StatusAnswer({1, 2, 3, 4, 5}), 151, 4},
               {StatusAnswer({1, 2, 3, 4, 5}), 151, -1},
               {StatusAnswer({1, 2, 3}), 151, 2},
               {StatusAnswer({42, 0, 41}), 10, 0},
               {QByteArray(1, '\0'), 91, 0}};
  for (const auto& c : cases) {
    const OutputPieces pieces = BuildOutputPieces(c.answer, c.mode, c.sub, "Out");
    EXPECT_FALSE(pieces.ok()) << c.mode << " / " << c.sub;
    EXPECT_TRUE(pieces.fields.isEmpty());
    EXPECT_TRUE(pieces.error.startsWith("Output Out:")) << pieces.error.toStdString();
  }
}

TEST(RecordsTest, ByteModeTakesTheByteAfterTheSubAddress) {
  const QByteArray answer = StatusAnswer({9, 128, 7, 6, 5});
  const int expected[] = {128, 7, 6, 5};
  for (int s = 0; s < 4; ++s) {
    const OutputPieces pieces = BuildOutputPieces(answer, 151, s, "Hall");
    ASSERT_TRUE(pieces.ok());
    EXPECT_EQ(pieces.fields, FieldList({{"Hall", QString::number(expected[s])}}));
  }
}

TEST(RecordsTest, OutputsRecordWithThermostatAndByteOutput) {
  test::DecimalCommaLocale locale;
  FieldList pieces;
  pieces +=
      BuildOutputPieces(StatusAnswer({42, 99, 41, 3}), 50, 0, OutputName("Living room")).fields;
  pieces += BuildOutputPieces(StatusAnswer({0, 128, 0, 0, 0}), 151, 0, OutputName("Hall")).fields;
  EXPECT_EQ(RecordText("123456", pieces),
            "123456 Living_room_Settemp=21,Living_room_Roomtemp=20.5,Living_room_Program=1.5,"
            "Hall=128");
}

TEST(RecordsTest, EscapesWhatLineProtocolNeedsAndNothingElse) {
  const struct {
    const char* measurement;
    const char* key;
    const char* record;
  } cases[] = {{"123456", "Hall", "123456 Hall=1"},
               {"123456", "Kitchen,North", "123456 Kitchen\\,North=1"},
               {"123456", "a=b", "123456 a\\=b=1"},
               {"123456", "a b", "123456 a\\ b=1"},
               {"123456", "Küche_Süd", "123456 Küche_Süd=1"},
               {"123456", "x\"y'z", "123456 x\"y'z=1"},
               {"12 4,6", "k", "12\\ 4\\,6 k=1"},
               {"12=456", "k", "12=456 k=1"},  // an equals sign needs no escape in a measurement
               {"", "k", " k=1"}};
  for (const auto& c : cases) {
    EXPECT_EQ(RecordText(QString::fromUtf8(c.measurement), {{QString::fromUtf8(c.key), "1"}}),
              QString::fromUtf8(c.record));
  }
  EXPECT_TRUE(RecordText("123456", {}).isEmpty()) << "no fields, no record";
}

}  // namespace
}  // namespace orva
