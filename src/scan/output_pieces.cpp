#include "scan/output_pieces.h"

#include <algorithm>

#include "scan/number_format.h"

namespace orva {
namespace {

// Status byte k sits at position 2 + k of the transaction result counted from 1.
constexpr qsizetype kStatusStart = 1;

OutputPieces PastAnswer(const QString& name, int sub_adres, qsizetype available) {
  return {QStringLiteral("Output %1: sub-address %2 lies past the %3 status bytes read")
              .arg(name)
              .arg(sub_adres)
              .arg(available),
          {}};
}

// A thermostat's three fields, each keyed by the output name and its suffix.
const QLatin1String kThermostatSuffixes[] = {QLatin1String("_Settemp"), QLatin1String("_Roomtemp"),
                                             QLatin1String("_Program")};

}  // namespace

OutputRead OutputReadFor(int mode_id) {
  if (mode_id == kMeterMode) return {24, 0};
  if (mode_id == kByteMode) return {5, 255};
  return {4, 255};
}

QString OutputName(const QString& naam) {
  qsizetype begin = 0;
  qsizetype end = naam.size();
  while (begin < end && naam[begin] == QLatin1Char(' ')) ++begin;
  while (end > begin && naam[end - 1] == QLatin1Char(' ')) --end;
  QString name = naam.mid(begin, end - begin);
  name.replace(QLatin1Char(' '), QLatin1Char('_'));
  return name;
}

QString OutputKeyError(int mode_id, const QString& name) {
  const bool keyed_by_name = mode_id == kMeterMode || mode_id == kByteMode;
  const QString key = keyed_by_name ? name : name + kThermostatSuffixes[0];
  if (IsWritableFieldKey(key)) return QString();
  return QStringLiteral(
             "Output \"%1\": a name that is empty, ends in a backslash or holds a line feed "
             "cannot be a field key")
      .arg(name);
}

OutputPieces BuildOutputPieces(QByteArrayView result, int mode_id, int sub_adres,
                               const QString& name) {
  // Only the bytes asked for count, even if an answer carries more.
  const qsizetype available = std::min<qsizetype>(
      std::max<qsizetype>(result.size() - kStatusStart, 0), OutputReadFor(mode_id).count);
  const auto* status = reinterpret_cast<const quint8*>(result.data()) + kStatusStart;
  if (mode_id == kMeterMode) {
    const qint64 first = 3LL * sub_adres;
    if (sub_adres < 0 || first + 3 > available) return PastAnswer(name, sub_adres, available);
    const quint32 raw = status[first] * 65536u + status[first + 1] * 256u + status[first + 2];
    return {{}, {{name, FormatSingle(ScaledSingle(raw, 1))}}};
  }
  if (mode_id == kByteMode) {
    if (sub_adres < 0 || sub_adres + 1 >= available) return PastAnswer(name, sub_adres, available);
    return {{}, {{name, FormatWhole(status[sub_adres + 1])}}};
  }
  if (available < 4) {
    return {QStringLiteral("Output %1: %2 status bytes read, 4 needed").arg(name).arg(available),
            {}};
  }
  return {{},
          {{name + kThermostatSuffixes[0], FormatHalf(status[0])},
           {name + kThermostatSuffixes[1], FormatHalf(status[2])},
           {name + kThermostatSuffixes[2], FormatHalf(status[3])}}};
}

}  // namespace orva
