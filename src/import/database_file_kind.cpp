#include "import/database_file_kind.h"

#include <QFile>

namespace orva {
namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";  // followed by a 0 byte
constexpr int kSignatureOffset = 4;
constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr int kVersionOffset = 0x14;
// Version bytes the ACE format has used so far (Access 2007 to 2019).
constexpr int kFirstAceVersion = 0x02;
constexpr int kLastAceVersion = 0x06;

bool HasSignature(const QByteArray& header, const char* signature) {
  const QByteArray expected(signature, qstrlen(signature) + 1);  // with its terminating 0
  return header.mid(kSignatureOffset, expected.size()) == expected;
}

}  // namespace

DatabaseFileKind DetectDatabaseFile(const QByteArray& header) {
  if (header.size() < kDatabaseHeaderSize) return DatabaseFileKind::kUnknown;
  if (header.startsWith(QByteArray(kSqliteMagic, sizeof(kSqliteMagic)))) {
    return DatabaseFileKind::kSqlite;
  }
  // Access files start with the page type of their header page: 00 01 00 00.
  if (!header.startsWith(QByteArrayLiteral("\x00\x01\x00\x00"))) return DatabaseFileKind::kUnknown;
  const int version = static_cast<unsigned char>(header.at(kVersionOffset));
  if (HasSignature(header, kJetSignature)) {
    if (version == 0x00) return DatabaseFileKind::kJet3;
    if (version == 0x01) return DatabaseFileKind::kJet4;
  } else if (HasSignature(header, kAceSignature)) {
    if (version >= kFirstAceVersion && version <= kLastAceVersion) return DatabaseFileKind::kAce;
  }
  return DatabaseFileKind::kUnknown;
}

DatabaseFileKind DetectDatabaseFileAt(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return DatabaseFileKind::kUnknown;
  return DetectDatabaseFile(file.read(kDatabaseHeaderSize));
}

bool IsAccess(DatabaseFileKind kind) {
  return kind == DatabaseFileKind::kJet3 || kind == DatabaseFileKind::kJet4 ||
         kind == DatabaseFileKind::kAce;
}

QString DatabaseFileKindName(DatabaseFileKind kind) {
  switch (kind) {
    case DatabaseFileKind::kSqlite:
      return QStringLiteral("SQLite 3");
    case DatabaseFileKind::kJet3:
      return QStringLiteral("Access 97 (Jet 3)");
    case DatabaseFileKind::kJet4:
      return QStringLiteral("Access 2000 (Jet 4)");
    case DatabaseFileKind::kAce:
      return QStringLiteral("Access 2007 or later (ACE)");
    case DatabaseFileKind::kUnknown:
      break;
  }
  return QStringLiteral("unknown");
}

}  // namespace orva
