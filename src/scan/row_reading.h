#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include "scan/line_protocol.h"

namespace orva {

// What reading one scan row gave, as the scan thread reports it after the row: the fields as
// they go into the record, or why the row gave none. Rows that ask the controller nothing
// (skipped scan types, module kinds the scan does not read, outputs the installation lacks)
// report nothing.
struct RowReading {
  int grid_row = 0;     // 1-based, as the grid counts rows below its header
  QString measurement;  // module rows: the module serial; output rows: the controller serial
  // A module row's fields make a record of their own; an output row's join the one outputs
  // record the tick posts at its end.
  bool own_record = false;
  FieldList fields;  // empty when the read failed
  QString error;     // the text shown in red; empty when the read succeeded
  QDateTime read_at;
  // The controller could not be reached: by this row's attempt, or by an earlier one of its tick.
  bool no_controller = false;
  TagList tags = {};  // the record's tags, when the scan adds any

  bool ok() const { return error.isEmpty(); }
};

}  // namespace orva

Q_DECLARE_METATYPE(orva::RowReading)
