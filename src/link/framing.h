#pragma once

#include "link/transport.h"

#include <QByteArray>

#include <optional>

namespace orva {

// How frames travel over the medium the link connected with, chosen once at connect time: over
// TCP every packet and every answer carries a 12-byte envelope and a packet has a size limit; a
// serial line carries bare frames.
class Framing {
 public:
  static Framing Tcp(Transport& transport);
  static Framing Serial(Transport& transport);

  Transport& transport() const { return *transport_; }
  bool tcp() const { return envelope_length_ > 0; }
  // Bytes in front of every answer that are not part of it.
  int envelope_length() const { return envelope_length_; }
  // The packet that carries `frame`; nullopt when the medium cannot carry a frame that long.
  std::optional<QByteArray> Packet(const QByteArray& frame, quint8 function_id) const;

 private:
  Framing(Transport& transport, int envelope_length, std::optional<int> max_frame_length)
      : transport_(&transport),
        envelope_length_(envelope_length),
        max_frame_length_(max_frame_length) {}

  Transport* transport_;
  int envelope_length_;
  std::optional<int> max_frame_length_;
};

}  // namespace orva
