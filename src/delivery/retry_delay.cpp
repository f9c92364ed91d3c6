#include "delivery/retry_delay.h"

#include <algorithm>

namespace orva {
namespace {

constexpr std::chrono::milliseconds kFirstDelay{1000};
constexpr std::chrono::milliseconds kLongestDelay{120'000};
constexpr std::chrono::seconds kLongestRetryAfter{600};
constexpr double kJitter = 0.2;

}  // namespace

std::chrono::milliseconds RetryDelay(int failures, std::optional<std::chrono::seconds> retry_after,
                                     double unit_random) {
  if (retry_after) return std::min(*retry_after, kLongestRetryAfter);
  // 2^7 s is past the longest delay already; the shift stays small.
  const int doublings = std::clamp(failures - 1, 0, 7);
  const std::chrono::milliseconds base = std::min(kFirstDelay * (1 << doublings), kLongestDelay);
  const double factor = 1.0 - kJitter + 2 * kJitter * std::clamp(unit_random, 0.0, 1.0);
  return std::chrono::milliseconds(
      static_cast<long long>(static_cast<double>(base.count()) * factor));
}

}  // namespace orva
