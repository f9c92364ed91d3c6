#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "config/scan_row.h"
#include "delivery/influx_writer.h"
#include "scan/line_protocol.h"
#include "scan/row_reading.h"
#include "store/installation_db.h"

namespace orva {

class InstallationDb;
class Link;

// What a tick needs from whoever runs it. Every hook is called in the tick's thread.
struct ScanTickHooks {
  // Sends one record to the server as it is set at this moment, or keeps it for the outbox (a
  // result without a status text).
  std::function<PostResult(const QString& record)> post;
  std::function<void(const QString& text, bool red)> status;
  // The grid row being scanned, 1-based (row 0 of the grid is its header).
  std::function<void(int grid_row)> row_active;
  // Whether "Scan and Log" is still ticked; asked before every row.
  std::function<bool()> keep_scanning;
  // What a row's read gave, after every row that asked the controller or could not be read;
  // optional.
  std::function<void(const RowReading&)> row_read;
};

enum class TickEnd {
  kCompleted,   // every row was read, or the box was unticked between rows
  kPostFailed,  // the server could not be reached or failed: the rest of the tick was dropped
  // The controller could not be reached (no connection, no answer, a refused login): the rows
  // after the one that tried were marked without asking it.
  kControllerLost,
};

// The mark of a row that was not read because its tick had already found no controller.
inline const QString kNoController = QStringLiteral("no controller");

// One pass over the scan rows: read each row from the controller, post a module record per
// module row at once, and one outputs record for all output rows at the end.
class ScanTick {
 public:
  // `tags`: what each record is tagged with from the installation.
  ScanTick(Link& link, InstallationDb& installation, ScanTickHooks hooks, RecordTags tags = {})
      : link_(link), installation_(installation), hooks_(std::move(hooks)), tags_(tags) {}

  TickEnd Run(const QList<ScanRow>& rows);

 private:
  // What reading one row gave: the fields of its record, or why there is none.
  struct RowRead {
    std::optional<FieldList> fields;
    QString error;      // a fault of the row itself (not of the controller), shown in red
    TagList tags = {};  // with the fields
  };

  // kCompleted when the tick goes on with the next row.
  TickEnd ScanOneRow(const ScanRow& row, int grid_row);
  RowRead ReadRow(const ScanRow& row);
  // The tags of the record of a row just read.
  TagList TagsOf(const ScanRow& row) const;
  void ReportRow(const ScanRow& row, int grid_row, const RowRead& read, const QString& error,
                 bool no_controller);
  // Why the controller cannot be reached, as the status line shows it once a tick.
  QString LostText();
  RowRead ReadModule(const ScanRow& row);
  RowRead ReadModuleMemory(const ScanRow& row);
  RowRead ReadOutput(const ScanRow& row);
  // Reads `count` consecutive 16-byte blocks of the row's module and joins them; nullopt when a
  // transaction failed (the remaining blocks are then not read) or an answer was short.
  std::optional<QByteArray> ReadBlocks(const ScanRow& row, int first_block, int count,
                                       QString* error);
  PostOutcome Post(const QString& record);
  PostOutcome PostOutputs();
  bool FinishOutputs();

  Link& link_;
  InstallationDb& installation_;
  ScanTickHooks hooks_;
  RecordTags tags_;

  // The result code of the tick's latest controller transaction; never reset between rows.
  int last_code_ = 0;
  // The module looked up for the latest module read, named by a code 255 message.
  std::optional<Module> module_;
  // Why the controller could not be reached in this tick; empty while it could.
  QString lost_;
  // Whether the current row asked the controller anything.
  bool row_transacted_ = false;
  QString controller_serial_;
  FieldList output_fields_;
  int outputs_read_ = 0;
};

}  // namespace orva
