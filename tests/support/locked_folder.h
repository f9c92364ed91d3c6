#pragma once

#include <QString>

namespace orva::test {

// Makes a folder refuse new files, for root too (which permissions alone do not stop); undone
// when it goes.
class LockedFolder {
 public:
  explicit LockedFolder(const QString& path);
  ~LockedFolder();
  LockedFolder(const LockedFolder&) = delete;
  LockedFolder& operator=(const LockedFolder&) = delete;

 private:
  QString path_;
};

}  // namespace orva::test
