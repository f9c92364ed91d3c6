// orva-mkdb SCRIPT.sql OUTPUT: runs SCRIPT in a new database written to OUTPUT.
// The database is built beside OUTPUT and renamed into place, so a failed script
// never leaves a half-filled database behind.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

bool RunScript(const std::string& script, const std::string& db_path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(db_path.c_str(), &db) != SQLITE_OK) {
    std::cerr << "orva-mkdb: cannot create " << db_path << ": " << sqlite3_errmsg(db) << '\n';
    sqlite3_close(db);
    return false;
  }
  char* error = nullptr;
  const std::string sql = "BEGIN;\n" + script + "\nCOMMIT;";
  bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
  if (!ok) {
    std::cerr << "orva-mkdb: " << (error ? error : "unknown error") << '\n';
    sqlite3_free(error);
  }
  ok = ok && sqlite3_exec(db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: orva-mkdb SCRIPT.sql OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "orva-mkdb: cannot read " << argv[1] << '\n';
    return 1;
  }
  std::stringstream script;
  script << in.rdbuf();

  namespace fs = std::filesystem;
  const fs::path output = argv[2];
  const fs::path scratch = output.string() + ".new";
  fs::remove(scratch);
  if (!RunScript(script.str(), scratch.string())) {
    fs::remove(scratch);
    return 1;
  }
  for (const char* suffix : {"-wal", "-shm"}) fs::remove(output.string() + suffix);
  fs::rename(scratch, output);
  return 0;
}
