#include "config/module_kinds.h"

#include <array>

namespace orva {
namespace {

// Our own names for the modules of the bus, keyed by type code: the model designation and the
// kind in plain English. Codes 0012, 0014 and 0019 are not in use.
struct ModuleType {
  const char* code;
  const char* designation;
  const char* kind;
};
constexpr std::array<ModuleType, 22> kModuleTypes = {{
    {"0001", "WS-1 weather station", "weather station"},
    {"0002", "RM-8 relay module 8x", "relay module"},
    {"0003", "DM-4 dimmer module 4x", "dimmer module"},
    {"0004", "IM-12 input module 12x", "input module"},
    {"0005", "SM-4 shutter module 4x", "shutter module"},
    {"0006", "AO-4 analogue output 4x 0-10 V", "analogue output"},
    {"0007", "AI-4 analogue input 4x", "analogue input"},
    {"0008", "TS-1 temperature sensor", "temperature sensor"},
    {"0009", "PB-6 push-button panel 6x", "push-button panel"},
    {"000A", "PB-2 push-button panel 2x", "push-button panel"},
    {"000B", "TH-1 room thermostat", "thermostat"},
    {"000C", "RM-4 relay module 4x", "relay module"},
    {"000D", "DM-1 universal dimmer", "dimmer module"},
    {"000E", "LED-4 LED driver 4x", "LED driver"},
    {"000F", "IR-1 infrared transceiver", "infrared transceiver"},
    {"0010", "DP-1 display panel", "display panel"},
    {"0011", "RF-1 radio gateway", "radio gateway"},
    {"0013", "BC-1 bus coupler", "bus coupler"},
    {"0015", "HV-2 heating valve module 2x", "heating valve module"},
    {"0016", "MS-5 multi-sensor", "multi-sensor"},
    {"0017", "EM-3 energy meter", "energy meter"},
    {"0018", "AC-1 access control reader", "access control reader"},
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
  for (const ModuleType& known : kModuleTypes) {
    if (type == QLatin1String(known.code)) return QString::fromLatin1(known.designation);
  }
  return type;
}

QString KindNameFor(const QString& type) {
  if (IsMotionDesignation(type)) return QStringLiteral("motion sensor");
  for (const ModuleType& known : kModuleTypes) {
    if (type == QLatin1String(known.code) || type == QLatin1String(known.designation)) {
      return QString::fromLatin1(known.kind);
    }
  }
  return QString();
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
