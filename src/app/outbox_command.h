#pragma once

#include "store/app_paths.h"

namespace orva {

// `orva-influx --outbox`: prints what waits in the outbox of the state folder of `paths` (per
// time stamp precision: how many records, read from when to when) and the last ten lines a
// server refused, with its words. Reads without writing, whether an instance runs or not.
int RunOutboxCommand(const AppPaths& paths);

// `orva-influx --outbox-clear`: deletes every record waiting in the outbox and prints how many
// there were; only while no instance runs on the folders of `paths`, else kStartupFailed.
int RunOutboxClearCommand(const AppPaths& paths);

}  // namespace orva
