#include "config/module_kinds.h"

#include <array>
#include <utility>

namespace orva {
namespace {

// Our own names for the modules of the bus, keyed by type code. Codes 0012, 0014 and 0019 are
// not in use.
constexpr std::array<std::pair<const char*, const char*>, 22> kDesignations = {{
    {"0001", "WS-1 weather station"},
    {"0002", "RM-8 relay module 8x"},
    {"0003", "DM-4 dimmer module 4x"},
    {"0004", "IM-12 input module 12x"},
    {"0005", "SM-4 shutter module 4x"},
    {"0006", "AO-4 analogue output 4x 0-10 V"},
    {"0007", "AI-4 analogue input 4x"},
    {"0008", "TS-1 temperature sensor"},
    {"0009", "PB-6 push-button panel 6x"},
    {"000A", "PB-2 push-button panel 2x"},
    {"000B", "TH-1 room thermostat"},
    {"000C", "RM-4 relay module 4x"},
    {"000D", "DM-1 universal dimmer"},
    {"000E", "LED-4 LED driver 4x"},
    {"000F", "IR-1 infrared transceiver"},
    {"0010", "DP-1 display panel"},
    {"0011", "RF-1 radio gateway"},
    {"0013", "BC-1 bus coupler"},
    {"0015", "HV-2 heating valve module 2x"},
    {"0016", "MS-5 multi-sensor"},
    {"0017", "EM-3 energy meter"},
    {"0018", "AC-1 access control reader"},
}};

}  // namespace

const QStringList& MotionDesignations() {
  static const QStringList kMotion = {QStringLiteral("MD-1 motion detector indoor"),
                                      QStringLiteral("MD-2 motion detector outdoor"),
                                      QStringLiteral("MD motion detector")};
  return kMotion;
}

bool IsMotionDesignation(const QString& type) { return MotionDesignations().contains(type); }

QString DesignationFor(const QString& type) {
  for (const auto& [code, designation] : kDesignations) {
    if (type == QLatin1String(code)) return QString::fromLatin1(designation);
  }
  return type;
}

ModuleKind ModuleKindOf(const QString& type) {
  if (type == QLatin1String(kMultiSensorCode)) return ModuleKind::kMultiSensor;
  if (IsMotionDesignation(type)) return ModuleKind::kMotion;
  if (type == QLatin1String(kWeatherStationCode)) return ModuleKind::kWeatherStation;
  if (type == QLatin1String(kEnergyMeterCode)) return ModuleKind::kEnergyMeter;
  return ModuleKind::kNone;
}

QString ItemTypeFor(const QString& type) {
  return IsMotionDesignation(type) ? MotionDesignations().at(2) : type;
}

}  // namespace orva
