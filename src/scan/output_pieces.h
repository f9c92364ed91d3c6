#pragma once

#include <QByteArrayView>
#include <QString>

#include "scan/line_protocol.h"

namespace orva {

// Output modes with their own status layout; every other mode is read as a thermostat.
inline constexpr int kMeterMode = 280;
inline constexpr int kByteMode = 151;

// The status read of an output: how many bytes to ask for and the second parameter.
struct OutputRead {
  int count = 0;
  int parameter2 = 0;
};
OutputRead OutputReadFor(int mode_id);

// The output's "Naam" as a key: blanks trimmed at both ends, inner blanks made "_" one by one.
// Other characters stay; the record escapes what line protocol needs.
QString OutputName(const QString& naam);

// Why an output with this name cannot be in the outputs record, or empty when it can. A key the
// server cannot take would make it refuse the record, and with it every other output's values.
QString OutputKeyError(int mode_id, const QString& name);

struct OutputPieces {
  QString error;  // why the answer cannot give the fields (shown in red); empty when it can
  FieldList fields;

  bool ok() const { return error.isEmpty(); }
};

// The fields an output row adds to the outputs record, from a successful status read (status
// byte k is byte 1 + k of the transaction result). A sub-address whose bytes lie past the
// answer gives an error, never bytes from outside it.
OutputPieces BuildOutputPieces(QByteArrayView result, int mode_id, int sub_adres,
                               const QString& name);

}  // namespace orva
