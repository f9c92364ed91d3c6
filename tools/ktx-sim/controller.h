#pragma once

// The controller's command handling: a request in, the answer frame out (no envelope, no
// faults).

#include <QByteArray>
#include <QElapsedTimer>

#include "frames.h"
#include "sim_model.h"

namespace orva::sim {

// Status for commands this simulator does not know ("PDA-command error").
inline constexpr quint8 kUnknownCommandStatus = 63;
inline constexpr quint8 kInvalidDataLength = 104;
inline constexpr quint8 kWrongOffset = 103;
inline constexpr quint8 kInvalidAddress = 112;
inline constexpr quint8 kModuleNotFound = 255;

inline constexpr int kVersionCommand = 7;
inline constexpr int kModuleMemoryCommand = 40;
inline constexpr int kOutputStatusCommand = 56;
inline constexpr int kCancelProgrammingCommand = 81;

// The 19 bytes in front of a module's memory bytes: serial (3), block, type code (2 bytes
// when the type is four hex digits, else 0 0), then zeros.
QByteArray ModuleMemoryHeader(const SimModule& module, quint8 block);

// Answer of one request at `t` seconds. Pure apart from reading the model.
QByteArray AnswerRequest(const Model& model, const Request& request, double t);

class Controller {
 public:
  Controller(Model model, bool freeze_time);

  QByteArray Answer(const Request& request) const { return AnswerRequest(model_, request, Now()); }
  const Model& model() const { return model_; }
  // Seconds since start; always 0 when time is frozen, so that values stay put.
  double Now() const;

 private:
  Model model_;
  bool freeze_time_;
  QElapsedTimer clock_;
};

}  // namespace orva::sim
