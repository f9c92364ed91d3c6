#pragma once

#include "config/scan_configuration.h"
#include "scan/line_protocol.h"
#include "store/installation_db.h"

namespace orva {

// The tags a module's record carries, by key as InfluxDB prefers them: "kind", the English name
// of the module's kind, and "name", its place in the installation without surrounding blanks.
// Each only when asked for, known and writable: a tag without a value is no tag.
TagList ModuleTags(const Module& module, RecordTags asked);

// The outputs record's: "kind=outputs" when the kind is asked for.
TagList OutputsTags(RecordTags asked);

}  // namespace orva
