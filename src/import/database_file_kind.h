#pragma once

#include <QByteArray>
#include <QString>

namespace orva {

// What a database file is, told from its first bytes alone.
enum class DatabaseFileKind {
  kUnknown,
  kSqlite,
  kJet3,  // Access 97
  kJet4,  // Access 2000 to 2003
  kAce,   // Access 2007 and later (.accdb)
};

// How many leading bytes DetectDatabaseFile needs; fewer give kUnknown.
inline constexpr int kDatabaseHeaderSize = 32;

// Recognises Access files by the engine signature at offset 4 and the version byte at 0x14,
// SQLite files by their 16-byte magic. Anything else, and any header cut short, is kUnknown.
DatabaseFileKind DetectDatabaseFile(const QByteArray& header);

// Reads the first bytes of a file and detects its kind; kUnknown when it cannot be read.
DatabaseFileKind DetectDatabaseFileAt(const QString& path);

bool IsAccess(DatabaseFileKind kind);

// A short name for messages, e.g. "Access 97 (Jet 3)".
QString DatabaseFileKindName(DatabaseFileKind kind);

}  // namespace orva
