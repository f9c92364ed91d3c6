// ParseModel: the JSON form of the model. Unknown keys (such as "_comment") are ignored so
// that model files can explain themselves.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "serial_number.h"
#include "sim_model.h"

namespace orva::sim {
namespace {

// Collects the first problem; later checks become no-ops.
class Reader {
 public:
  explicit Reader(QString* error) : error_(error) {}
  bool ok() const { return error_->isEmpty(); }
  void Fail(const QString& where, const QString& what) {
    if (ok()) *error_ = where + QStringLiteral(": ") + what;
  }

  int Int(const QJsonObject& object, const QString& key, const QString& where, int low, int high,
          int fallback) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) return fallback;
    const double number = value.toDouble(-1e18);
    if (!value.isDouble() || number != std::floor(number) || number < low || number > high) {
      Fail(where, QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                      .arg(key)
                      .arg(low)
                      .arg(high));
      return fallback;
    }
    return static_cast<int>(number);
  }

  double Number(const QJsonObject& object, const QString& key, const QString& where,
                double fallback) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) return fallback;
    if (!value.isDouble()) Fail(where, QStringLiteral("\"%1\" must be a number").arg(key));
    return value.toDouble(fallback);
  }

  QByteArray Hex(const QString& text, const QString& where) {
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
    if (digits.size() % 2 != 0 || bytes.size() * 2 != digits.size()) {
      Fail(where, QStringLiteral("\"%1\" is not a string of hex byte pairs").arg(text));
    }
    return bytes;
  }

  // Writes "raw" pieces ({"offset": n, "hex": "..."}) into bytes of a fixed size.
  void RawPieces(const QJsonObject& object, const QString& where, QByteArray* bytes) {
    const QJsonArray pieces = object.value(QStringLiteral("raw")).toArray();
    for (int i = 0; i < pieces.size(); ++i) {
      const QString here = where + QStringLiteral(".raw[%1]").arg(i);
      const QJsonObject piece = pieces[i].toObject();
      const int offset = Int(piece, QStringLiteral("offset"), here, 0, bytes->size() - 1, 0);
      const QByteArray hex = Hex(piece.value(QStringLiteral("hex")).toString(), here);
      if (offset + hex.size() > bytes->size()) Fail(here, QStringLiteral("runs past the end"));
      if (!ok()) return;
      bytes->replace(offset, hex.size(), hex);
    }
  }

  QList<ValuePlacement> Values(const QJsonObject& object, const QString& where, int room) {
    QList<ValuePlacement> values;
    const QJsonArray list = object.value(QStringLiteral("values")).toArray();
    for (int i = 0; i < list.size(); ++i) {
      const QString here = where + QStringLiteral(".values[%1]").arg(i);
      const QJsonObject item = list[i].toObject();
      ValuePlacement placement;
      placement.name = item.value(QStringLiteral("name")).toString();
      placement.offset = Int(item, QStringLiteral("offset"), here, 0, room - 1, 0);
      placement.size = Int(item, QStringLiteral("size"), here, 1, 4, 1);
      placement.value = Number(item, QStringLiteral("value"), here, 0);
      placement.scale = Number(item, QStringLiteral("scale"), here, 1);
      placement.amplitude = Number(item, QStringLiteral("amplitude"), here, 0);
      placement.period = Number(item, QStringLiteral("period"), here, 60);
      placement.rate = Number(item, QStringLiteral("rate"), here, 0);
      if (placement.offset + placement.size > room) Fail(here, QStringLiteral("runs past the end"));
      values.append(placement);
    }
    return values;
  }

 private:
  QString* error_;
};

void ReadController(const QJsonObject& object, Reader* reader, ControllerInfo* controller) {
  const QString where = QStringLiteral("controller");
  if (object.contains(QStringLiteral("serial"))) {
    controller->serial = object.value(QStringLiteral("serial")).toString();
  }
  controller->type = reader->Int(object, QStringLiteral("type"), where, 0, 255, controller->type);
  const QString version = object.value(QStringLiteral("version")).toString();
  if (!version.isEmpty()) {
    controller->version.clear();
    for (const QString& part : version.split(QLatin1Char('.'))) {
      bool ok = false;
      const int number = part.toInt(&ok);
      if (!ok || number < 0 || number > 255) reader->Fail(where, QStringLiteral("bad version"));
      controller->version.append(number);
    }
    if (controller->version.size() < 2 || controller->version.size() > 3) {
      reader->Fail(where, QStringLiteral("\"version\" needs two or three numbers"));
    }
  }
  const QString interface = object.value(QStringLiteral("interface_version")).toString();
  if (!interface.isEmpty()) controller->interface_version = interface;
}

SimModule ReadModule(const QJsonObject& object, const QString& where, Reader* reader) {
  SimModule module;
  module.serial = object.value(QStringLiteral("serial")).toString();
  if (module.serial.size() != 6)
    reader->Fail(where, QStringLiteral("\"serial\" needs 6 characters"));
  module.serial_bytes = SerialTextToBytes(module.serial);
  module.type = object.value(QStringLiteral("type")).toString();
  module.location = object.value(QStringLiteral("location")).toString();
  module.memory = QByteArray(kModuleMemorySize, '\0');
  reader->RawPieces(object, where, &module.memory);
  module.values = reader->Values(object, where, kModuleMemorySize);
  return module;
}

SimOutput ReadOutput(const QJsonObject& object, const QString& where, Reader* reader) {
  SimOutput output;
  output.name = object.value(QStringLiteral("name")).toString();
  output.address = reader->Int(object, QStringLiteral("address"), where, 0, 255, 0);
  output.sub_address = reader->Int(object, QStringLiteral("sub_address"), where, -1, 255, -1);
  output.mode = reader->Int(object, QStringLiteral("mode"), where, 0, 65535, 0);
  output.status = reader->Hex(object.value(QStringLiteral("status")).toString(), where);
  const int room = qMax<int>(output.status.size(), 256);
  output.values = reader->Values(object, where, room);
  return output;
}

}  // namespace

bool ParseModel(const QByteArray& json, Model* model, QString* error) {
  error->clear();
  QJsonParseError parse_error;
  const QJsonDocument document = QJsonDocument::fromJson(json, &parse_error);
  if (!document.isObject()) {
    *error = QStringLiteral("not a JSON object: ") + parse_error.errorString();
    return false;
  }
  const QJsonObject root = document.object();
  Reader reader(error);
  *model = Model{};
  ReadController(root.value(QStringLiteral("controller")).toObject(), &reader, &model->controller);
  const QJsonArray modules = root.value(QStringLiteral("modules")).toArray();
  for (int i = 0; i < modules.size() && reader.ok(); ++i) {
    const QString where = QStringLiteral("modules[%1]").arg(i);
    model->modules.append(ReadModule(modules[i].toObject(), where, &reader));
  }
  const QJsonArray outputs = root.value(QStringLiteral("outputs")).toArray();
  for (int i = 0; i < outputs.size() && reader.ok(); ++i) {
    const QString where = QStringLiteral("outputs[%1]").arg(i);
    model->outputs.append(ReadOutput(outputs[i].toObject(), where, &reader));
  }
  return reader.ok();
}

}  // namespace orva::sim
