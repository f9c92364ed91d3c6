#include "scan/record_tags.h"

#include "config/module_kinds.h"

namespace orva {
namespace {

void AddTag(TagList& tags, bool asked, const char* key, const QString& value) {
  if (asked && IsWritableFieldKey(value)) tags << Tag{QLatin1String(key), value};
}

}  // namespace

TagList ModuleTags(const Module& module, RecordTags asked) {
  TagList tags;
  AddTag(tags, asked.kind, "kind", KindNameFor(module.type));
  AddTag(tags, asked.name, "name", module.place.trimmed());
  return tags;
}

TagList OutputsTags(RecordTags asked) {
  TagList tags;
  AddTag(tags, asked.kind, "kind", QStringLiteral("outputs"));
  return tags;
}

}  // namespace orva
