#include "config/server_access_keys.h"

#include "config/delivery_keys.h"

#include "json/json_value.h"
#include "json/json_writer.h"

namespace orva {
namespace {

const QString kApiNames[] = {QStringLiteral("v1"), QStringLiteral("v2"), QStringLiteral("v3")};
const QString kNameTag = QStringLiteral("name");
const QString kKindTag = QStringLiteral("kind");

bool BoolOr(const JsonValue& value, bool absent) {
  return value.IsBool() ? value.ToBool() : absent;
}

QString Member(const char* key, const QString& value) {
  return QStringLiteral(",\"%1\":").arg(QLatin1String(key)) + value;
}

QString TextMember(const char* key, const QString& text) {
  return text.isEmpty() ? QString()
                        : Member(key, QLatin1Char('"') + JsonEscape(text) + QLatin1Char('"'));
}

RecordTags TagsOf(const JsonValue& list) {
  RecordTags tags;
  for (const JsonValue& entry : list.ToArray()) {
    const QString tag = JsonPlainText(entry).toLower();
    tags.name = tags.name || tag == kNameTag;
    tags.kind = tags.kind || tag == kKindTag;
  }
  return tags;
}

QString TagsMember(const RecordTags& tags) {
  if (!tags.any()) return QString();
  QStringList names;
  if (tags.name) names << QLatin1Char('"') + kNameTag + QLatin1Char('"');
  if (tags.kind) names << QLatin1Char('"') + kKindTag + QLatin1Char('"');
  return Member("Tags", QLatin1Char('[') + names.join(QLatin1Char(',')) + QLatin1Char(']'));
}

}  // namespace

ServerAccess ServerAccessOf(const JsonValue& settings) {
  ServerAccess access;
  const QString api = JsonPlainText(settings[QStringLiteral("Api")]).toLower();
  if (api == kApiNames[1]) access.api = InfluxApi::kV2;
  if (api == kApiNames[2]) access.api = InfluxApi::kV3;
  access.tls = BoolOr(settings[QStringLiteral("Tls")], false);
  access.ca_file = JsonPlainText(settings[QStringLiteral("CaFile")]);
  access.tls_verify = BoolOr(settings[QStringLiteral("TlsVerify")], true);
  access.user = JsonPlainText(settings[QStringLiteral("User")]);
  access.org = JsonPlainText(settings[QStringLiteral("Org")]);
  access.secret_file = JsonPlainText(settings[QStringLiteral("SecretFile")]);
  access.create_database = BoolOr(settings[QStringLiteral("CreateDatabase")], true);
  access.delivery = DeliverySettingsOf(settings);
  access.tags = TagsOf(settings[QStringLiteral("Tags")]);
  return access;
}

QString ServerAccessMembers(const ServerAccess& access) {
  QString members;
  if (access.api != InfluxApi::kV1) {
    members += TextMember("Api", kApiNames[static_cast<int>(access.api)]);
  }
  if (access.tls) members += Member("Tls", QStringLiteral("true"));
  members += TextMember("CaFile", access.ca_file);
  if (!access.tls_verify) members += Member("TlsVerify", QStringLiteral("false"));
  members += TextMember("User", access.user);
  members += TextMember("Org", access.org);
  members += TextMember("SecretFile", access.secret_file);
  if (!access.create_database) members += Member("CreateDatabase", QStringLiteral("false"));
  return members + TagsMember(access.tags) + DeliveryMembers(access.delivery);
}

}  // namespace orva
