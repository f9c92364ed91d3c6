#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "config/scan_row.h"
#include "scan/line_protocol.h"

namespace orva {

// How a module-memory row is read. A value may start near the end of its 16-byte block and run
// into the next one, so the row may need two consecutive block reads; the decoder then takes
// the blocks joined in order.
struct MemoryRead {
  QString error;        // why the row cannot be read (shown in red); empty when it can
  int first_block = 0;  // block holding the value's first byte
  int block_count = 0;  // 1, or 2 when the value crosses into the next block
  int offset = 0;       // position of the value's first byte within the joined blocks
  int width = 0;        // bytes of the value: 1, 2 or 3
  QString key;          // "SRAM" followed by the row's address text, unchanged

  bool ok() const { return error.isEmpty(); }
};

// Module memory holds bytes 0 to 255. An address outside them, a value running past byte 255, an
// unknown value type or an address text that cannot be part of a field key gives an error and no
// read at all.
MemoryRead PlanMemoryRead(const QString& sram, const QString& value_type);

// The row's one field from the bytes of the planned blocks, joined in block order. Empty when
// the bytes do not reach the value.
std::optional<Field> MemoryField(const MemoryRead& plan, QByteArrayView joined_blocks);

}  // namespace orva
