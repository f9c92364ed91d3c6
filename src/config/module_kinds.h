#pragma once

#include <QString>
#include <QStringList>

namespace orva {

// Module type codes of the kinds that a whole-module scan row can read.
inline constexpr char kMultiSensorCode[] = "0016";
inline constexpr char kWeatherStationCode[] = "0001";
inline constexpr char kEnergyMeterCode[] = "0017";

// Kinds a "Module" scan row can name; every other module type reads nothing.
enum class ModuleKind { kNone, kMultiSensor, kWeatherStation, kEnergyMeter, kMotion };

// The three model designations of the motion-sensing modules, in the order the picker tests them.
// Their order matters: the third one stands for all three in a row's Item type.
const QStringList& MotionDesignations();

bool IsMotionDesignation(const QString& type);

// The maker's model designation for a module type code ("000B" -> designation); a text without
// an entry (a code without one, or a designation already) comes back unchanged.
QString DesignationFor(const QString& type);

// The kind of module in plain English ("energy meter", "motion sensor") for a "Type" that holds
// a type code or one of our designations; empty for any other text.
QString KindNameFor(const QString& type);

// Kind of a module by its "Type" text, compared exactly (case matters), in picker order.
ModuleKind ModuleKindOf(const QString& type);

// The Item type a row shows for a module of this "Type": all motion kinds show the third
// motion designation, everything else shows the type as stored.
QString ItemTypeFor(const QString& type);

}  // namespace orva
