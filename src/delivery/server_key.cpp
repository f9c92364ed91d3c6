#include "delivery/server_key.h"

#include "config/server_access_keys.h"
#include "delivery/influx_server.h"
#include "json/json_parser.h"
#include "json/json_value.h"
#include "json/json_writer.h"

namespace orva {
namespace {

QString Quoted(const QString& text) {
  return QLatin1Char('"') + JsonEscape(text) + QLatin1Char('"');
}

}  // namespace

QString ServerKey(const InfluxServer& server) {
  ServerAccess access = server.access;
  // Of the delivery settings only the precision changes what a record means to the server.
  DeliverySettings delivery;
  delivery.precision = access.delivery.Precision();
  access.delivery = delivery;
  return QStringLiteral("{\"Host\":") + Quoted(server.host) + QStringLiteral(",\"Port\":") +
         Quoted(server.port) + QStringLiteral(",\"DBName\":") + Quoted(server.database) +
         ServerAccessMembers(access) + QLatin1Char('}');
}

InfluxServer ServerOfKey(const QString& key) {
  const JsonValue settings = JsonParse(key);
  ServerFields fields;
  fields.host = JsonPlainText(settings[QStringLiteral("Host")]);
  fields.port = JsonPlainText(settings[QStringLiteral("Port")]);
  fields.database = JsonPlainText(settings[QStringLiteral("DBName")]);
  return ResolveServer(fields, ServerAccessOf(settings)).server;
}

}  // namespace orva
