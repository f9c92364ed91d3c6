#pragma once

#include <QString>
#include <QTemporaryDir>

namespace orva::test {

// A program folder of its own for one test: the small databases copied from the build, and
// ORVA_ROOT pointing at a fresh root, restored when the folder goes.
class ProgramFolder {
 public:
  ProgramFolder();
  ~ProgramFolder();

  QString program_dir() const { return base_.path() + QStringLiteral("/bin"); }
  QString root() const { return base_.path() + QStringLiteral("/root/"); }
  QString temp_folder() const { return root() + QStringLiteral("Orva/Temp/"); }
  QString working_copy() const { return temp_folder() + QStringLiteral("influxtmp.orva"); }
  QString File(const QString& name) const { return program_dir() + QLatin1Char('/') + name; }
  // Copies the built program into this folder, so that it runs on this folder's databases;
  // returns its path.
  QString CopyProgram() const;

 private:
  QTemporaryDir base_;
  QByteArray previous_root_;
  bool had_root_ = false;
};

// Path of a file under ../shared/fixtures.
QString FixturePath(const QString& relative);

// Reads a whole file; empty when it cannot be read.
QByteArray ReadFile(const QString& path);
void WriteFile(const QString& path, const QByteArray& bytes);

}  // namespace orva::test
