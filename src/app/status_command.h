#pragma once

#include "store/app_paths.h"

namespace orva {

// `orva-influx --status`: prints how delivery has gone in the instance running on the program
// folder of `paths` (its state file, and the outbox for the records waiting) and returns 0;
// prints "not running" and returns kNotRunning when none runs there.
int RunStatusCommand(const AppPaths& paths);

}  // namespace orva
