#pragma once

#include <QByteArrayView>
#include <array>
#include <optional>

#include "scan/line_protocol.h"

namespace orva {

inline constexpr int kBlockSize = 16;
// Blocks of the module memory that the whole-module kinds read.
inline constexpr int kSensorBlock = 2;       // multi-sensor, weather station
inline constexpr int kMotionBlock = 5;       // motion-sensing kinds
inline constexpr int kEnergyFirstBlock = 2;  // energy meter: blocks 2 to 6
inline constexpr int kEnergyBlockCount = 5;

using Block = std::array<quint8, kBlockSize>;
using EnergyImage = std::array<quint8, kBlockSize * kEnergyBlockCount>;

// The 16 block bytes of a successful memory read: block byte k is byte 20 + k of the
// transaction result. Empty when the result is too short to hold them.
std::optional<Block> BlockOf(QByteArrayView result);

// Field lists of the whole-module kinds, in the order the records carry them.
FieldList MultiSensorFields(const Block& block2);
FieldList WeatherStationFields(const Block& block2);
FieldList MotionFields(const Block& block5);
// The energy meter's five blocks 2 to 6, joined in that order.
FieldList EnergyMeterFields(const EnergyImage& image);

}  // namespace orva
