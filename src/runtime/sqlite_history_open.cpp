#include "runtime/sqlite_history_open.h"

#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <string>

#include "runtime/history_schema.h"

namespace tambrel {
namespace {

using namespace history_sql;

void KeepJournalOnClose(SQLite::Database& db, bool keep) {
  int flag = keep ? 1 : 0;
  sqlite3_db_config(db.getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, flag, nullptr);
  sqlite3_file_control(db.getHandle(), "main", SQLITE_FCNTL_PERSIST_WAL, &flag);
}

void PrepareEverything(SQLite::Database& db) {
  for (const char* sql : kEverySql) const SQLite::Statement prepared(db, sql);
}

// Brings the file up to date, all steps in one transaction: a crash leaves
// it as it was. Another Tambrel may have done so since the version was
// read. False when the file is newer than this program.
bool Migrate(SQLite::Database& db) {
  SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
  const int version = db.execAndGet("PRAGMA user_version").getInt();
  if (version > kSchemaVersion) return false;
  if (version == kSchemaVersion) return true;
  for (int step = version; step < kSchemaVersion; ++step) db.exec(kMigrations[step]);
  db.exec("PRAGMA user_version = " + std::to_string(kSchemaVersion));
  PrepareEverything(db);
  transaction.commit();
  return true;
}

OpenOutcome Failed(int code, const std::string& path, SQLite::Database* db, KeepProblem& problem) {
  problem = WhyNotKept(code, db != nullptr ? sqlite3_system_errno(db->getHandle()) : 0, path);
  return OpenOutcome::kFailed;
}

OpenOutcome Check(const std::string& path, std::unique_ptr<SQLite::Database>& db,
                  KeepProblem& problem) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return OpenOutcome::kDamaged;
  bool checkingSchema = false;
  try {
    db = std::make_unique<SQLite::Database>(
        path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kHistoryBusyTimeoutMs);
    if (sqlite3_db_readonly(db->getHandle(), "main") != 0) {
      return Failed(SQLITE_READONLY, path, db.get(), problem);
    }
    // Until the file has passed its checks, closing it must neither fold
    // its journal into it nor delete it: a bad file is set aside as found.
    KeepJournalOnClose(*db, true);
    // Everything is checked before anything is written, in one snapshot,
    // so that another Tambrel making the schema meanwhile is seen whole
    // or not at all.
    SQLite::Transaction snapshot(*db);
    // The first read of the header: a file that is no database fails here.
    const int version = db->execAndGet("PRAGMA user_version").getInt();
    if (version > kSchemaVersion) {
      problem = {"the file was written by a newer version of Tambrel", true};
      return OpenOutcome::kFailed;
    }
    if (CutShort(path, db->execAndGet("PRAGMA page_size").getInt64())) {
      return OpenOutcome::kDamaged;
    }
    SQLite::Statement check(*db, "PRAGMA quick_check");
    while (check.executeStep()) {
      if (check.getColumn(0).getString() != "ok") return OpenOutcome::kDamaged;
    }
    // Another program's database, or ours with a table lost.
    checkingSchema = true;
    if (version == 0 && db->execAndGet("SELECT count(*) FROM sqlite_master").getInt() > 0) {
      return OpenOutcome::kDamaged;
    }
    if (version == kSchemaVersion) PrepareEverything(*db);
    snapshot.commit();
    checkingSchema = false;
    KeepJournalOnClose(*db, false);

    // WAL lets a reader and a writer work at once; FULL makes each commit
    // survive a power cut. A new file is in WAL before its tables are made,
    // so that two Tambrels making it at once never need it to themselves;
    // an older one only once it is up to date (version 1 already was).
    if (version == 0) db->exec("PRAGMA journal_mode = WAL");
    db->exec("PRAGMA synchronous = FULL");
    if (version < kSchemaVersion) {
      // A step that fails on the tables it finds (ours with one lost, or
      // another program's) finds a damaged file, which its rollback leaves
      // as it was found.
      checkingSchema = true;
      if (!Migrate(*db)) {
        problem = {"the file was written by a newer version of Tambrel", true};
        return OpenOutcome::kFailed;
      }
      checkingSchema = false;
    }
    db->exec("PRAGMA journal_mode = WAL");
    return OpenOutcome::kOpened;
  } catch (const SQLite::Exception& error) {
    const int code = error.getErrorCode();
    if ((code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB ||
        (checkingSchema && (code & 0xFF) == SQLITE_ERROR)) {
      return OpenOutcome::kDamaged;
    }
    if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED) return OpenOutcome::kBusy;
    return Failed(code, path, db.get(), problem);
  }
}

}  // namespace

OpenOutcome TryOpenHistoryFile(const std::string& path, std::unique_ptr<SQLite::Database>& db,
                               KeepProblem& problem) {
  // Closed only here, once every statement and transaction on it has gone.
  const OpenOutcome outcome = Check(path, db, problem);
  if (outcome != OpenOutcome::kOpened) db.reset();
  return outcome;
}

}  // namespace tambrel
