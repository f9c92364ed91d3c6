#include "config/item_text.h"

namespace orva {
namespace {

// A missing value reads as nothing, as an empty cell would.
QString TextOf(const Record& record, QStringView field) {
  return record.Text(field).value_or(QString());
}

}  // namespace

QString ModuleItemText(const Record& module) {
  return TextOf(module, u"serienr") + QLatin1Char(' ') + TextOf(module, u"plaats");
}

QString UnknownModuleItemText(const QString& serial) { return serial + QStringLiteral(" ???"); }

QString OutputEntryText(const Record& output) {
  return TextOf(output, u"Naam") + QStringLiteral(" (A") + TextOf(output, u"Adres") +
         QLatin1Char('.') + TextOf(output, u"SubAdres") + QLatin1Char(')');
}

}  // namespace orva
