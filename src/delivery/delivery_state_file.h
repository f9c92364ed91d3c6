#pragma once

#include "delivery/delivery_figures.h"

#include <QString>

#include <optional>

namespace orva {

// The running program's delivery figures in a small JSON file, for `orva-influx --status`. The
// file is replaced whole (written beside it, then renamed), so a reader never sees half of it.
class DeliveryStateFile {
 public:
  explicit DeliveryStateFile(QString path) : path_(std::move(path)) {}

  // False when the file cannot be written.
  bool Write(const DeliveryFigures& figures) const;
  // nullopt when there is no such file, or it holds no figures.
  std::optional<DeliveryFigures> Read() const;

  const QString& path() const { return path_; }

 private:
  QString path_;
};

}  // namespace orva
