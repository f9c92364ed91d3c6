#include "link/framing.h"

#include "link/frame.h"

namespace orva {

Framing Framing::Tcp(Transport& transport) {
  return Framing(transport, kEnvelopeLength, kMaxTcpFrameLength);
}

Framing Framing::Serial(Transport& transport) { return Framing(transport, 0, std::nullopt); }

std::optional<QByteArray> Framing::Packet(const QByteArray& frame, quint8 function_id) const {
  if (max_frame_length_ && frame.size() > *max_frame_length_) return std::nullopt;
  if (!tcp()) return frame;
  return TcpEnvelope(function_id, static_cast<int>(frame.size())) + frame;
}

}  // namespace orva
