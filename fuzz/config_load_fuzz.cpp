// libFuzzer target for the configuration file loader, the whole way from a file's bytes to the
// scan rows, over an installation database: whatever the file holds, the load ends with a
// status; what it takes over, the program saves as a file that loads again in full, with every
// row it saved.
#include "config/config_file.h"
#include "installation_fixture.h"
#include "store/installation_db.h"
#include "store/reference_db.h"
#include "temp_dir.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace orva {
namespace {

// The databases, opened once and kept across inputs.
struct Scene {
  Scene() {
    test::WriteInstallationDb(dir.filePath(QStringLiteral("installation.orva")));
    installation.emplace(InstallationDb::Open(dir.filePath(QStringLiteral("installation.orva"))));
    reference.emplace(ReferenceDb::Open(QStringLiteral(ORVA_BIN_DIR "/init2.orva")));
  }
  ConfigLoad Load(const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("scan.JSON"));
    test::WriteFile(path, bytes);
    return LoadConfigFile(path, *installation, *reference);
  }

  QTemporaryDir dir;
  std::optional<InstallationDb> installation;
  std::optional<ReferenceDb> reference;
};

[[noreturn]] void Fail(const char* what, const QString& saved) {
  std::fprintf(stderr, "config_load_fuzz: %s\nsaved: %s\n", what, qPrintable(saved));
  std::abort();
}

}  // namespace
}  // namespace orva

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orva;
  static Scene* scene = new Scene;
  const ConfigLoad first =
      scene->Load(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  if (!first.TakesOver()) return 0;
  const QString saved = ConfigFileText(first.configuration);
  const ConfigLoad second = scene->Load(saved.toUtf8());
  if (second.status != ConfigLoadStatus::kLoaded) Fail("a saved file does not load in full", saved);
  const std::vector<ScanRow>& rows = first.configuration.rows;
  // A row the scan cannot read is written back as it was read.
  const auto kept = std::count_if(rows.begin(), rows.end(), [](const ScanRow& row) {
    return row.Kind() != ScanKind::kSkipped || !row.fault.isEmpty();
  });
  if (static_cast<qsizetype>(second.configuration.rows.size()) != kept) {
    Fail("a saved file loads with other rows", saved);
  }
  return 0;
}
