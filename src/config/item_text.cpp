#include "config/item_text.h"

namespace orva {
namespace {

QString NumberOrEmpty(const std::optional<qint64>& number) {
  return number ? QString::number(*number) : QString();
}

}  // namespace

QString ModuleItemText(const Module& module) {
  return module.serial + QLatin1Char(' ') + module.place;
}

QString UnknownModuleItemText(const QString& serial) { return serial + QStringLiteral(" ???"); }

QString OutputEntryText(const Output& output) {
  return output.name + QStringLiteral(" (A") + NumberOrEmpty(output.address) + QLatin1Char('.') +
         NumberOrEmpty(output.sub_address) + QLatin1Char(')');
}

}  // namespace orva
