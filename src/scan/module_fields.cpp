#include "scan/module_fields.h"

#include <algorithm>

#include "scan/number_format.h"

namespace orva {
namespace {

// Block byte k sits at position 21 + k of the transaction result counted from 1.
constexpr qsizetype kBlockStart = 20;

quint32 Word(const quint8* bytes) { return bytes[0] * 256u + bytes[1]; }
quint32 Triple(const quint8* bytes) { return bytes[0] * 65536u + bytes[1] * 256u + bytes[2]; }

Field Single(const char* key, quint32 raw, quint32 divisor) {
  return {QString::fromLatin1(key), FormatSingle(ScaledSingle(raw, divisor))};
}

Field Whole(const char* key, quint8 value) {
  return {QString::fromLatin1(key), FormatWhole(value)};
}

struct EnergyField {
  const char* key;
  quint32 divisor;
};

// Consecutive 24-bit values from image byte 0 on; bytes 69 to 79 are not used.
constexpr EnergyField kEnergyFields[] = {
    {"Consumption_Total", 1},    {"Injection_Total", 1},
    {"Consumption_Day", 1},      {"Consumption_Night", 1},
    {"Injection_Day", 1},        {"Injection_Night", 1},
    {"Tariff_Indicator", 1},     {"Current_Consumption", 1000},
    {"Current_Injection", 1000}, {"Voltage_L1", 10},
    {"Voltage_L2", 10},          {"Voltage_L3", 10},
    {"Current_L1", 100},         {"Current_L2", 100},
    {"Current_L3", 100},         {"Consumption_L1", 1000},
    {"Consumption_L2", 1000},    {"Consumption_L3", 1000},
    {"Injection_L1", 1000},      {"Injection_L2", 1000},
    {"Injection_L3", 1000},      {"Gas_Total", 1},
    {"Current_Gas", 1000},
};

}  // namespace

std::optional<Block> BlockOf(QByteArrayView result) {
  if (result.size() < kBlockStart + kBlockSize) return std::nullopt;
  Block block;
  std::copy_n(reinterpret_cast<const quint8*>(result.data()) + kBlockStart, kBlockSize,
              block.begin());
  return block;
}

FieldList MultiSensorFields(const Block& b) {
  return {Single("temperature", Word(&b[0]), 100), Single("humidity", Word(&b[2]), 100),
          Single("light", Word(&b[4]), 1), Single("voc", Word(&b[6]), 1),
          Single("motion", Word(&b[8]), 1)};
}

FieldList WeatherStationFields(const Block& b) {
  return {Single("temperature", Word(&b[0]), 10),
          Single("daylight", Word(&b[2]), 1),
          Single("wind", Word(&b[4]), 10),
          Whole("light_east", b[6]),
          Whole("light_west", b[7]),
          Whole("light_south", b[8]),
          Whole("twilight", b[9]),
          Whole("rain", b[10])};
}

FieldList MotionFields(const Block& b) { return {Whole("motion", b[12])}; }

FieldList EnergyMeterFields(const EnergyImage& image) {
  FieldList fields;
  fields.reserve(std::size(kEnergyFields));
  const quint8* bytes = image.data();
  for (const EnergyField& field : kEnergyFields) {
    fields << Single(field.key, Triple(bytes), field.divisor);
    bytes += 3;
  }
  return fields;
}

}  // namespace orva
