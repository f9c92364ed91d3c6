#pragma once

#include <chrono>
#include <optional>

namespace orva {

// The wait before the next try after `failures` failed tries in a row (1 or more): 1 s doubling
// up to 120 s, stretched by a factor from 0.8 to 1.2 as `unit_random` runs from 0 to 1, so that
// many senders do not come back at once. A server's Retry-After is taken instead, up to 10
// minutes.
std::chrono::milliseconds RetryDelay(int failures, std::optional<std::chrono::seconds> retry_after,
                                     double unit_random);

}  // namespace orva
