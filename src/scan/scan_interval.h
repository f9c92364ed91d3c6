#pragma once

#include <QString>

#include <optional>

namespace orva {

// The longest scan time we accept. The old timer's 65.535 s ceiling is gone; a day still keeps
// the milliseconds well inside a QTimer's int.
inline constexpr int kMaxScanIntervalMs = 24 * 60 * 60 * 1000;

// The scan time box as the timer takes it.
struct ScanInterval {
  std::optional<int> ms;  // nullopt: no usable scan time
  QString error;          // then why, for the status line in red
};

// The scan time text is seconds with a point ("0.5"): its leading number, times 1000, rounded
// to whole milliseconds with halves to the even neighbour. A text that reads as 0 ms or less
// ("0,5" reads as 0) would leave a ticked box that never scans, so it is refused with a reason
// rather than accepted silently.
ScanInterval ReadScanInterval(const QString& text);

inline std::optional<int> ScanIntervalMs(const QString& text) { return ReadScanInterval(text).ms; }

}  // namespace orva
