#pragma once

// What the simulated controller knows: itself, its bus modules with their 256 memory bytes,
// and the status bytes of its outputs. Loaded from a small JSON file (demo-model.json shows
// every key).

#include <QByteArray>
#include <QList>
#include <QString>

namespace orva::sim {

// A number written big-endian into `size` bytes at `offset`:
// round((value + amplitude * sin(2 pi t / period) + rate * t) * scale), kept within the bytes.
struct ValuePlacement {
  QString name;
  int offset = 0;
  int size = 1;
  double value = 0;
  double scale = 1;
  double amplitude = 0;
  double period = 60;  // seconds
  double rate = 0;     // per second
};

struct SimModule {
  QString serial;           // as the installation database stores it
  QByteArray serial_bytes;  // as it appears on the bus
  QString type;             // module type code such as "0016", or a designation
  QString location;
  QByteArray memory;  // 256 bytes before the placements
  QList<ValuePlacement> values;
};

struct SimOutput {
  QString name;
  int address = 0;
  int sub_address = -1;  // the parameter 2 it answers to; -1 answers any
  int mode = 0;
  QByteArray status;
  QList<ValuePlacement> values;
};

struct ControllerInfo {
  QString serial = QStringLiteral("123456");
  int type = 12;
  QList<int> version = {3, 20, 32};  // two numbers give the short version answer
  QString interface_version = QStringLiteral("2.15");
};

struct Model {
  ControllerInfo controller;
  QList<SimModule> modules;
  QList<SimOutput> outputs;
};

inline constexpr int kModuleMemorySize = 256;

// False with a message naming the offending key when the file does not describe a model.
bool ParseModel(const QByteArray& json, Model* model, QString* error);

// The bytes a placement holds at `t` seconds.
QByteArray PlacementBytes(const ValuePlacement& placement, double t);

// Memory and status at `t` seconds, with every placement written over the stored bytes.
QByteArray ModuleMemory(const SimModule& module, double t);
QByteArray OutputStatus(const SimOutput& output, double t, int size);

const SimModule* FindModule(const Model& model, const QByteArray& serial_bytes);
// An output of that address answering that parameter 2, else one that answers any.
const SimOutput* FindOutput(const Model& model, int address, int sub_address);

// Data of the version answer: controller serial (3), type, 0, the version numbers.
QByteArray VersionData(const ControllerInfo& controller);

}  // namespace orva::sim
