#include "controller.h"

namespace orva::sim {
namespace {

constexpr int kHeaderSize = 19;
constexpr int kBlockSize = 16;

QByteArray ReadModuleMemory(const Model& model, const Request& request, double t) {
  if (request.data.size() != 3) return ErrorAnswer(request, kInvalidDataLength);
  const SimModule* module = FindModule(model, request.data);
  if (module == nullptr) return ErrorAnswer(request, kModuleNotFound);
  const int start = request.param1 * kBlockSize;
  const int size = request.count + 1;
  if (start + size > kModuleMemorySize) return ErrorAnswer(request, kWrongOffset);
  const QByteArray memory = ModuleMemory(*module, t).mid(start, size);
  return ModuleMemoryAnswer(request, ModuleMemoryHeader(*module, request.param1), memory);
}

QByteArray ReadOutputStatus(const Model& model, const Request& request, double t) {
  const SimOutput* output = FindOutput(model, request.param1, request.param2);
  if (output == nullptr) return ErrorAnswer(request, kInvalidAddress);
  return ReadAnswer(request, OutputStatus(*output, t, request.count + 1));
}

}  // namespace

QByteArray ModuleMemoryHeader(const SimModule& module, quint8 block) {
  QByteArray header = module.serial_bytes;
  header.append(static_cast<char>(block));
  bool parsed = false;
  const uint code = module.type.toUInt(&parsed, 16);
  const bool hex = parsed && module.type.size() == 4;
  header.append(static_cast<char>(hex ? (code >> 8) & 0xFF : 0));
  header.append(static_cast<char>(hex ? code & 0xFF : 0));
  header.append(kHeaderSize - header.size(), '\0');
  return header;
}

QByteArray AnswerRequest(const Model& model, const Request& request, double t) {
  switch (request.command) {
    case kVersionCommand:
      if (!request.write) return ReadAnswer(request, VersionData(model.controller));
      break;
    case kModuleMemoryCommand:
      if (!request.write) return ReadModuleMemory(model, request, t);
      break;
    case kOutputStatusCommand:
      if (!request.write) return ReadOutputStatus(model, request, t);
      break;
    case kCancelProgrammingCommand:
      return WriteAccepted(request);
    default:
      break;
  }
  return ErrorAnswer(request, kUnknownCommandStatus);
}

Controller::Controller(Model model, bool freeze_time)
    : model_(std::move(model)), freeze_time_(freeze_time) {
  clock_.start();
}

double Controller::Now() const {
  return freeze_time_ ? 0.0 : static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

}  // namespace orva::sim
