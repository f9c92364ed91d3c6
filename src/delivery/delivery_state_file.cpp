#include "delivery/delivery_state_file.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace orva {

bool DeliveryStateFile::Write(const DeliveryFigures& figures) const {
  QJsonObject json{{QStringLiteral("direct"), figures.direct},
                   {QStringLiteral("read"), figures.read},
                   {QStringLiteral("sent"), figures.sent},
                   {QStringLiteral("failed"), figures.failed},
                   {QStringLiteral("waiting"), figures.waiting},
                   {QStringLiteral("dropped"), figures.dropped},
                   {QStringLiteral("rejected"), figures.rejected},
                   {QStringLiteral("problem"), figures.problem},
                   {QStringLiteral("lost"), figures.lost},
                   {QStringLiteral("setAside"), figures.set_aside}};
  if (figures.last_sent.isValid()) {
    json.insert(QStringLiteral("lastSent"), figures.last_sent.toMSecsSinceEpoch());
  }
  QSaveFile file(path_);
  return file.open(QIODevice::WriteOnly) &&
         file.write(QJsonDocument(json).toJson(QJsonDocument::Compact)) >= 0 && file.flush() &&
         file.commit();
}

std::optional<DeliveryFigures> DeliveryStateFile::Read() const {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
  if (!document.isObject()) return std::nullopt;
  const QJsonObject json = document.object();
  const auto count = [&](const char* name) { return json.value(QLatin1String(name)).toInteger(); };
  DeliveryFigures figures;
  figures.direct = json.value(QStringLiteral("direct")).toBool();
  figures.read = count("read");
  figures.sent = count("sent");
  figures.failed = count("failed");
  figures.waiting = count("waiting");
  figures.dropped = count("dropped");
  figures.rejected = count("rejected");
  figures.problem = json.value(QStringLiteral("problem")).toString();
  figures.lost = count("lost");
  figures.set_aside = json.value(QStringLiteral("setAside")).toString();
  if (json.contains(QStringLiteral("lastSent"))) {
    figures.last_sent = QDateTime::fromMSecsSinceEpoch(count("lastSent"));
  }
  return figures;
}

}  // namespace orva
