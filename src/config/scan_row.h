#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <utility>

namespace orva {

// What a scan row reads, taken from its scan-type text. Any text we do not know reads nothing,
// exactly as "KTX_memory" does.
enum class ScanKind { kSkipped, kModule, kModuleMemory, kOutputStatus };

// Value types of a module-memory row.
enum class ValueType { kUnknown, kByte, kInteger, k24Bit };

// One row of the scan configuration. The fields are kept as the texts the grid shows, so that
// every view and file reads back exactly what was chosen.
struct ScanRow {
  ScanRow() = default;
  // A row as the grid's editors make it; only a load gives a row its fault.
  ScanRow(QString scan_type, QString item_text, QString item_type = {}, QString sram = {},
          QString value_type = {}, qint32 output_id = 0)
      : scan_type(std::move(scan_type)),
        item_text(std::move(item_text)),
        item_type(std::move(item_type)),
        sram(std::move(sram)),
        value_type(std::move(value_type)),
        output_id(output_id) {}

  QString scan_type;   // "KTX_memory", "Module", "Module_memory", "Output_status"
  QString item_text;   // modules: serial, blank, location; outputs: the picker entry
  QString item_type;   // module type code or designation; output rows: the mode's name
  QString sram;        // module-memory rows: decimal byte address
  QString value_type;  // module-memory rows: "Byte", "Integer" or "24-bit"
  qint32 output_id = 0;
  // Why the row cannot be scanned, found when its file was loaded (an output, module or module
  // type the installation lacks, a scan type we do not know); empty when it can. Such a row is
  // skipped by the scan and written back to the file as `file_text`, its object as it was read.
  QString fault;
  QString file_text;

  // The module serial is the first six characters of the Item text.
  QString ModuleSerial() const { return item_text.left(6); }
  // kSkipped for a faulty row, whatever its scan type says.
  ScanKind Kind() const;

  friend bool operator==(const ScanRow&, const ScanRow&) = default;
};

// The four scan types, in the order the scan-type picker offers them.
const QStringList& ScanTypeTexts();
// The three value types, in the order the value-type picker offers them.
const QStringList& ValueTypeTexts();

ScanKind ScanKindOf(const QString& scan_type);
ValueType ValueTypeOf(const QString& value_type);

// Why a module-memory row with this address and value type can never be read (an unknown value
// type, an address outside the module's 256 bytes, a value that runs past them); empty when it
// can.
QString MemoryRowFault(double address, const QString& value_type);

// Rounds to a whole number with halves going to the even neighbour (2.5 -> 2, 3.5 -> 4).
qint64 RoundHalfEven(double value);

}  // namespace orva
