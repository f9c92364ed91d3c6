#include "scan/scan_tick.h"

#include <algorithm>

#include "config/module_kinds.h"
#include "link/link.h"
#include "link/result_codes.h"
#include "scan/memory_field.h"
#include "scan/module_fields.h"
#include "scan/output_pieces.h"
#include "scan/record_tags.h"
#include "scan/serial_bytes.h"
#include "store/installation_db.h"

namespace orva {
namespace {

// The link always returns at least the code; an empty result would be a fault of ours, and is
// better shown as a communication error than decoded.
int ResultCode(const QByteArray& result) {
  return result.isEmpty() ? kCommunicationError : static_cast<quint8>(result.at(0));
}

// Raises the link's module-read flag for one transaction.
class ModuleReadFlag {
 public:
  explicit ModuleReadFlag(Link& link) : link_(link) { link_.set_module_read_active(true); }
  ~ModuleReadFlag() { link_.set_module_read_active(false); }
  ModuleReadFlag(const ModuleReadFlag&) = delete;
  ModuleReadFlag& operator=(const ModuleReadFlag&) = delete;

 private:
  Link& link_;
};

Block BlockAt(const QByteArray& joined, int index) {
  Block block;
  std::copy_n(reinterpret_cast<const quint8*>(joined.constData()) + index * kBlockSize, kBlockSize,
              block.begin());
  return block;
}

// Why an output cannot be read, before its read is sent; empty when it can.
QString OutputRowError(int mode, const QString& name, std::optional<qint64> address,
                       std::optional<qint64> sub_address) {
  if (const QString error = OutputKeyError(mode, name); !error.isEmpty()) return error;
  // Without its own address the read would fetch some other output's status and post it under
  // this output's name; only thermostats do without the sub-address.
  const bool needs_sub_address = mode == kMeterMode || mode == kByteMode;
  if (!address || (needs_sub_address && !sub_address)) {
    return QStringLiteral("Output %1: the installation database gives no %2")
        .arg(name, address ? QStringLiteral("sub-address") : QStringLiteral("address"));
  }
  if (*address < 0 || *address > 255) {
    return QStringLiteral("Output %1: address %2 is outside 0 to 255").arg(name).arg(*address);
  }
  return QString();
}

}  // namespace

TickEnd ScanTick::Run(const QList<ScanRow>& rows) {
  last_code_ = 0;
  module_.reset();
  lost_.clear();
  output_fields_.clear();
  outputs_read_ = 0;
  controller_serial_ = installation_.ControllerSerial();
  for (int index = 0; index < rows.size(); ++index) {
    if (!hooks_.keep_scanning()) break;
    hooks_.row_active(index + 1);
    if (ScanOneRow(rows[index], index + 1) == TickEnd::kPostFailed) return TickEnd::kPostFailed;
  }
  if (!FinishOutputs()) return TickEnd::kPostFailed;
  return lost_.isEmpty() ? TickEnd::kCompleted : TickEnd::kControllerLost;
}

TickEnd ScanTick::ScanOneRow(const ScanRow& row, int grid_row) {
  const bool lost_before = !lost_.isEmpty();
  row_transacted_ = false;
  RowRead read = ReadRow(row);
  if (read.fields) read.tags = TagsOf(row);
  QString error = read.error;
  bool no_controller = read.error == kNoController;
  // One attempt to reach the controller a tick: each further one would wait as long again.
  if (!lost_before && link_.unreachable()) {
    lost_ = LostText();
    error = lost_;
    no_controller = true;
  }
  // A row without a transaction of its own shows the tick's latest failure again.
  if (error.isEmpty() && last_code_ != 0 && !lost_before) {
    error = link_.LinkErrorText(last_code_, module_);
  }
  ReportRow(row, grid_row, read, error, no_controller);
  // The lost controller was told at the row that tried; the others only carry their mark.
  if (lost_before && (no_controller || error.isEmpty())) return TickEnd::kCompleted;
  if (!error.isEmpty()) {
    hooks_.status(error, true);
    return TickEnd::kCompleted;
  }
  // An output row's fields wait for the outputs record.
  if (!read.fields || row.Kind() == ScanKind::kOutputStatus) return TickEnd::kCompleted;
  return Post(RecordText(row.ModuleSerial(), *read.fields, read.tags)) == PostOutcome::kServerFailed
             ? TickEnd::kPostFailed
             : TickEnd::kCompleted;
}

ScanTick::RowRead ScanTick::ReadRow(const ScanRow& row) {
  switch (row.Kind()) {
    case ScanKind::kModule:
      return ReadModule(row);
    case ScanKind::kModuleMemory:
      return ReadModuleMemory(row);
    case ScanKind::kOutputStatus:
      return ReadOutput(row);
    case ScanKind::kSkipped:
      break;
  }
  return {};
}

TagList ScanTick::TagsOf(const ScanRow& row) const {
  if (row.Kind() == ScanKind::kOutputStatus) return OutputsTags(tags_);
  // A row with fields read its own module.
  return tags_.any() && module_ ? ModuleTags(*module_, tags_) : TagList();
}

QString ScanTick::LostText() {
  const QString refusal = link_.LoginRefusal();
  if (refusal.isEmpty()) return link_.LinkErrorText(last_code_, module_);
  return refusal + QStringLiteral(": the next tick logs in again");
}

void ScanTick::ReportRow(const ScanRow& row, int grid_row, const RowRead& read,
                         const QString& error, bool no_controller) {
  if (!hooks_.row_read || (!row_transacted_ && read.error.isEmpty())) return;
  const bool own_record = row.Kind() != ScanKind::kOutputStatus;
  hooks_.row_read({grid_row, own_record ? row.ModuleSerial() : controller_serial_, own_record,
                   error.isEmpty() ? read.fields.value_or(FieldList()) : FieldList(), error,
                   QDateTime::currentDateTime(), no_controller,
                   error.isEmpty() ? read.tags : TagList()});
}

ScanTick::RowRead ScanTick::ReadModule(const ScanRow& row) {
  const ModuleKind kind = ModuleKindOf(row.item_type);
  if (kind == ModuleKind::kNone) return {};
  QString error;
  if (kind == ModuleKind::kEnergyMeter) {
    const std::optional<QByteArray> joined =
        ReadBlocks(row, kEnergyFirstBlock, kEnergyBlockCount, &error);
    if (!joined) return {std::nullopt, error};
    EnergyImage image;
    std::copy_n(reinterpret_cast<const quint8*>(joined->constData()), image.size(), image.begin());
    return {EnergyMeterFields(image), {}};
  }
  const int block_number = kind == ModuleKind::kMotion ? kMotionBlock : kSensorBlock;
  const std::optional<QByteArray> joined = ReadBlocks(row, block_number, 1, &error);
  if (!joined) return {std::nullopt, error};
  const Block block = BlockAt(*joined, 0);
  switch (kind) {
    case ModuleKind::kMultiSensor:
      return {MultiSensorFields(block), {}};
    case ModuleKind::kWeatherStation:
      return {WeatherStationFields(block), {}};
    default:
      return {MotionFields(block), {}};
  }
}

ScanTick::RowRead ScanTick::ReadModuleMemory(const ScanRow& row) {
  const MemoryRead plan = PlanMemoryRead(row.sram, row.value_type);
  if (!plan.ok()) return {std::nullopt, row.ModuleSerial() + QLatin1String(" ") + plan.error};
  QString error;
  const std::optional<QByteArray> joined =
      ReadBlocks(row, plan.first_block, plan.block_count, &error);
  if (!joined) return {std::nullopt, error};
  const std::optional<Field> field = MemoryField(plan, *joined);
  if (!field) {
    return {std::nullopt,
            row.ModuleSerial() + QLatin1String(" ") + plan.key + QLatin1String(": no value read")};
  }
  return {FieldList{*field}, {}};
}

std::optional<QByteArray> ScanTick::ReadBlocks(const ScanRow& row, int first_block, int count,
                                               QString* error) {
  if (!lost_.isEmpty()) {
    *error = kNoController;
    return std::nullopt;
  }
  row_transacted_ = true;
  // Looked up for this row's reads, so that a code 255 names this module and no earlier one.
  module_ = installation_.ModuleBySerial(row.ModuleSerial());
  const QByteArray serial = SerialBytes(row.ModuleSerial());
  QByteArray joined;
  for (int block = first_block; block < first_block + count; ++block) {
    int item_count = kBlockSize;
    QByteArray result;
    {
      // While set, a failed read does not make the link drop the connection. A database failure
      // inside the transaction throws past this row, and the flag must not outlive it: the link
      // would then never drop a dead connection again.
      const ModuleReadFlag flag(link_);
      result = link_.LinkTransact(Command::kModuleSram, Direction::kRead,
                                  static_cast<quint8>(block), 0, item_count, serial);
    }
    last_code_ = ResultCode(result);
    if (last_code_ != 0) return std::nullopt;
    const std::optional<Block> bytes = BlockOf(result);
    if (!bytes) {
      *error = QStringLiteral("Module %1: the answer for memory block %2 is too short")
                   .arg(row.ModuleSerial())
                   .arg(block);
      return std::nullopt;
    }
    joined.append(reinterpret_cast<const char*>(bytes->data()), kBlockSize);
  }
  return joined;
}

ScanTick::RowRead ScanTick::ReadOutput(const ScanRow& row) {
  if (row.output_id <= 0) return {};
  const std::optional<Output> output = installation_.OutputById(row.output_id);
  if (!output) return {};
  const int mode = static_cast<int>(output->mode_id.value_or(0));
  const std::optional<qint64> address = output->address;
  const std::optional<qint64> sub_address = output->sub_address;
  const QString name = OutputName(output->name);
  if (const QString error = OutputRowError(mode, name, address, sub_address); !error.isEmpty()) {
    return {std::nullopt, error};
  }
  if (!lost_.isEmpty()) return {std::nullopt, kNoController};
  const OutputRead read = OutputReadFor(mode);
  int count = read.count;
  const QByteArray result =
      link_.LinkTransact(Command::kOutputStatus, Direction::kRead, static_cast<quint8>(*address),
                         static_cast<quint8>(read.parameter2), count, QByteArray());
  row_transacted_ = true;
  last_code_ = ResultCode(result);
  if (last_code_ != 0) return {};
  const OutputPieces pieces = BuildOutputPieces(
      result, mode, static_cast<int>(std::clamp<qint64>(sub_address.value_or(0), -1, 65536)), name);
  if (!pieces.ok()) return {std::nullopt, pieces.error};
  output_fields_ << pieces.fields;
  ++outputs_read_;
  return {pieces.fields, {}};
}

PostOutcome ScanTick::Post(const QString& record) {
  if (record.isEmpty()) return PostOutcome::kSent;
  const PostResult result = hooks_.post(record);
  // A record kept for later says nothing yet.
  if (!result.status_text.isEmpty()) hooks_.status(result.status_text, result.red);
  return result.outcome;
}

PostOutcome ScanTick::PostOutputs() {
  if (outputs_read_ == 0) return PostOutcome::kSent;
  return Post(RecordText(controller_serial_, output_fields_, OutputsTags(tags_)));
}

bool ScanTick::FinishOutputs() {
  // Values read are posted even when a later transaction of the tick failed; the failure still
  // ends up in the status line.
  const PostOutcome outcome = PostOutputs();
  if (outcome == PostOutcome::kSent && last_code_ != 0) {
    if (lost_.isEmpty()) {
      hooks_.status(link_.LinkErrorText(last_code_, module_), true);
    } else if (outputs_read_ > 0) {
      hooks_.status(lost_, true);
    }
  }
  return outcome != PostOutcome::kServerFailed;
}

}  // namespace orva
