#include "sim_model.h"

#include <QtMath>

#include <cmath>

#include "serial_number.h"

namespace orva::sim {

QByteArray PlacementBytes(const ValuePlacement& placement, double t) {
  double value = placement.value + placement.rate * t;
  if (placement.amplitude != 0 && placement.period > 0) {
    value += placement.amplitude * std::sin(2 * M_PI * t / placement.period);
  }
  const double largest = std::ldexp(1.0, 8 * placement.size) - 1;
  const double raw = qBound(0.0, std::round(value * placement.scale), largest);
  auto whole = static_cast<quint64>(raw);
  QByteArray bytes(placement.size, '\0');
  for (int i = placement.size - 1; i >= 0; --i) {
    bytes[i] = static_cast<char>(whole & 0xFF);
    whole >>= 8;
  }
  return bytes;
}

namespace {

void Apply(const QList<ValuePlacement>& values, double t, QByteArray* bytes) {
  for (const ValuePlacement& placement : values) {
    const QByteArray part = PlacementBytes(placement, t);
    for (int i = 0; i < part.size() && placement.offset + i < bytes->size(); ++i) {
      (*bytes)[placement.offset + i] = part[i];
    }
  }
}

}  // namespace

QByteArray ModuleMemory(const SimModule& module, double t) {
  QByteArray memory = module.memory;
  memory.resize(kModuleMemorySize, '\0');
  Apply(module.values, t, &memory);
  return memory;
}

QByteArray OutputStatus(const SimOutput& output, double t, int size) {
  QByteArray status = output.status;
  status.resize(qMax<int>(size, status.size()), '\0');
  Apply(output.values, t, &status);
  return status.left(size);
}

const SimModule* FindModule(const Model& model, const QByteArray& serial_bytes) {
  for (const SimModule& module : model.modules) {
    if (module.serial_bytes == serial_bytes) return &module;
  }
  return nullptr;
}

const SimOutput* FindOutput(const Model& model, int address, int sub_address) {
  const SimOutput* any = nullptr;
  for (const SimOutput& output : model.outputs) {
    if (output.address != address) continue;
    if (output.sub_address == sub_address) return &output;
    if (output.sub_address < 0 && any == nullptr) any = &output;
  }
  return any;
}

QByteArray VersionData(const ControllerInfo& controller) {
  QByteArray data = SerialTextToBytes(controller.serial);
  data.append(static_cast<char>(controller.type));
  data.append('\0');
  for (const int number : controller.version) data.append(static_cast<char>(number));
  return data;
}

}  // namespace orva::sim
