#include "runtime/sqlite_history_store.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include "runtime/history_file.h"

namespace tambrel {
namespace {

constexpr int kSchemaVersion = 1;

// The values are 16-bit little-endian, two bytes each. The index on
// (id, value_count) lets the trim add up the values without reading a blob.
const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY AUTOINCREMENT, ended_at_ms INTEGER NOT NULL, sides INTEGER NOT NULL,
  value_count INTEGER NOT NULL, sum INTEGER NOT NULL, vals BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS runs_sizes ON runs(id, value_count);
CREATE TABLE IF NOT EXISTS counts(
  lowest INTEGER NOT NULL, highest INTEGER NOT NULL, value INTEGER NOT NULL,
  count INTEGER NOT NULL, PRIMARY KEY(lowest, highest, value)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS ranges(
  lowest INTEGER NOT NULL, highest INTEGER NOT NULL, since_ms INTEGER NOT NULL,
  PRIMARY KEY(lowest, highest)) WITHOUT ROWID;
PRAGMA user_version = 1;
)";

const char* const kInsertRun =
    "INSERT INTO runs(ended_at_ms, sides, value_count, sum, vals) VALUES(?, ?, ?, ?, ?)";
const char* const kAddCount =
    "INSERT INTO counts VALUES(?, ?, ?, ?) "
    "ON CONFLICT(lowest, highest, value) DO UPDATE SET count = count + excluded.count";
const char* const kAddRange = "INSERT OR IGNORE INTO ranges VALUES(?, ?, ?)";
// Counting from the newest, the first run past either limit goes, and every
// older one with it; the newest run always stays.
const char* const kTrim = R"(
DELETE FROM runs WHERE id <= (
  SELECT id FROM (
    SELECT id, count(*) OVER newest AS n, sum(value_count) OVER newest AS v FROM runs
    WINDOW newest AS (ORDER BY id DESC ROWS UNBOUNDED PRECEDING))
  WHERE n > 1 AND (n > ?1 OR v > ?2) ORDER BY id DESC LIMIT 1))";
const char* const kRunColumns = "SELECT id, ended_at_ms, sides, value_count, sum, ";
const char* const kRunsPage = "substr(vals, 1, ?3) FROM runs ORDER BY id DESC LIMIT ?1 OFFSET ?2";
const char* const kRunById = "vals FROM runs WHERE id = ?";
const char* const kAllRuns = "vals FROM runs ORDER BY id";
const char* const kRanges = "SELECT lowest, highest, since_ms FROM ranges ORDER BY lowest, highest";
const char* const kCounts =
    "SELECT lowest, highest, value, count FROM counts ORDER BY lowest, highest, value";
const char* const kForgetCounts = "DELETE FROM counts WHERE lowest = ? AND highest = ?";
const char* const kSetRange = "INSERT OR REPLACE INTO ranges VALUES(?, ?, ?)";

StoredRun ReadRun(const SQLite::Statement& row) {
  StoredRun run;
  run.id = row.getColumn(0).getInt64();
  run.endedAtMs = row.getColumn(1).getInt64();
  run.sides = static_cast<std::int16_t>(row.getColumn(2).getInt());
  run.valueCount = row.getColumn(3).getInt();
  run.sum = row.getColumn(4).getInt64();
  const SQLite::Column vals = row.getColumn(5);
  run.values = BytesToValues(vals.getBlob(), static_cast<std::size_t>(vals.getBytes()));
  return run;
}

void BindRange(SQLite::Statement& statement, const StoredRange& range) {
  statement.bind(1, range.lowest);
  statement.bind(2, range.highest);
}

bool IsDamage(int code) {
  return (code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB;
}

class SqliteHistoryStore final : public HistoryStore {
 public:
  SqliteHistoryStore(std::string path, std::string* setAsideTo) : path_(std::move(path)) {
    try {
      Open(setAsideTo);
    } catch (...) {
      db_.reset();
      if (problem_.empty()) problem_ = "the file " + path_ + " cannot be opened";
    }
  }

  std::optional<std::int64_t> Record(const StoredRun& run, const StoredRange& range,
                                     const HistoryLimits& limits) override {
    return Guarded<std::optional<std::int64_t>>(std::nullopt, [&]() -> std::optional<std::int64_t> {
      std::int64_t sum = 0;
      for (const std::int16_t value : run.values) sum += value;
      const std::string vals = ValuesToBytes(run.values);
      // A run has up to 32767 values but far fewer distinct ones: one
      // upsert per distinct value.
      std::vector<std::int16_t> sorted = run.values;
      std::sort(sorted.begin(), sorted.end());

      SQLite::Transaction transaction(*db_, SQLite::TransactionBehavior::IMMEDIATE);
      SQLite::Statement insert(*db_, kInsertRun);
      insert.bind(1, static_cast<std::int64_t>(run.endedAtMs));
      insert.bind(2, static_cast<std::int32_t>(run.sides));
      insert.bind(3, static_cast<std::int64_t>(run.values.size()));
      insert.bind(4, sum);
      insert.bind(5, vals.data(), static_cast<int>(vals.size()));
      insert.exec();
      const std::int64_t id = db_->getLastInsertRowid();

      SQLite::Statement add(*db_, kAddCount);
      BindRange(add, range);
      for (auto first = sorted.begin(); first != sorted.end();) {
        const auto last = std::upper_bound(first, sorted.end(), *first);
        add.bind(3, static_cast<std::int32_t>(*first));
        add.bind(4, static_cast<std::int64_t>(last - first));
        add.exec();
        add.reset();
        first = last;
      }
      SQLite::Statement addRange(*db_, kAddRange);
      BindRange(addRange, range);
      addRange.bind(3, static_cast<std::int64_t>(range.sinceMs));
      addRange.exec();

      SQLite::Statement trim(*db_, kTrim);
      trim.bind(1, static_cast<std::int64_t>(limits.runs));
      trim.bind(2, static_cast<std::int64_t>(limits.values));
      trim.exec();
      transaction.commit();
      return id;
    });
  }

  std::int64_t RunCount() override {
    return Guarded<std::int64_t>(0, [&] {
      return db_->execAndGet("SELECT count(*) FROM runs").getInt64();
    });
  }

  std::vector<StoredRun> Runs(std::int64_t offset, std::int64_t count,
                              std::size_t headValues) override {
    return Guarded<std::vector<StoredRun>>({}, [&] {
      std::vector<StoredRun> runs;
      if (count <= 0) return runs;
      SQLite::Statement page(*db_, std::string(kRunColumns) + kRunsPage);
      page.bind(1, static_cast<std::int64_t>(count));
      page.bind(2, static_cast<std::int64_t>(std::max<std::int64_t>(offset, 0)));
      // Only the head of each blob is read and copied.
      page.bind(3, static_cast<std::int64_t>(std::min<std::size_t>(headValues, 1U << 30U) * 2));
      while (page.executeStep()) runs.push_back(ReadRun(page));
      return runs;
    });
  }

  std::vector<StoredRun> RunsById(const std::vector<std::int64_t>& ids) override {
    return Guarded<std::vector<StoredRun>>({}, [&] {
      std::vector<std::int64_t> newestFirst = ids;
      std::sort(newestFirst.begin(), newestFirst.end(), std::greater<>());
      newestFirst.erase(std::unique(newestFirst.begin(), newestFirst.end()), newestFirst.end());
      std::vector<StoredRun> runs;
      // One snapshot, so that another Tambrel's trim cannot fall between
      // two of the rows.
      SQLite::Transaction snapshot(*db_);
      SQLite::Statement byId(*db_, std::string(kRunColumns) + kRunById);
      for (const std::int64_t id : newestFirst) {
        byId.bind(1, static_cast<std::int64_t>(id));
        if (byId.executeStep()) runs.push_back(ReadRun(byId));
        byId.reset();
      }
      snapshot.commit();
      return runs;
    });
  }

  bool ForEachRun(const std::function<void(const StoredRun&)>& visit) override {
    return Guarded<bool>(false, [&] {
      SQLite::Statement all(*db_, std::string(kRunColumns) + kAllRuns);
      while (all.executeStep()) {
        const StoredRun run = ReadRun(all);
        try {
          visit(run);
        } catch (...) {
          return false;  // the caller's failure, not the file's
        }
      }
      return true;
    });
  }

  bool ClearRuns() override {
    return Guarded<bool>(false, [&] {
      SQLite::Transaction transaction(*db_, SQLite::TransactionBehavior::IMMEDIATE);
      db_->exec("DELETE FROM runs");
      transaction.commit();
      return true;
    });
  }

  std::vector<StoredRange> Ranges() override {
    return Guarded<std::vector<StoredRange>>({}, [&] {
      std::vector<StoredRange> ranges;
      SQLite::Statement all(*db_, kRanges);
      while (all.executeStep()) {
        ranges.push_back({all.getColumn(0).getInt(), all.getColumn(1).getInt(),
                          all.getColumn(2).getInt64()});
      }
      return ranges;
    });
  }

  std::vector<StoredCount> Counts() override {
    return Guarded<std::vector<StoredCount>>({}, [&] {
      std::vector<StoredCount> counts;
      SQLite::Statement all(*db_, kCounts);
      while (all.executeStep()) {
        counts.push_back({all.getColumn(0).getInt(), all.getColumn(1).getInt(),
                          all.getColumn(2).getInt(),
                          static_cast<std::uint64_t>(all.getColumn(3).getInt64())});
      }
      return counts;
    });
  }

  bool ResetRange(const StoredRange& range) override {
    return Guarded<bool>(false, [&] {
      SQLite::Transaction transaction(*db_, SQLite::TransactionBehavior::IMMEDIATE);
      SQLite::Statement forget(*db_, kForgetCounts);
      BindRange(forget, range);
      forget.exec();
      SQLite::Statement set(*db_, kSetRange);
      BindRange(set, range);
      set.bind(3, static_cast<std::int64_t>(range.sinceMs));
      set.exec();
      transaction.commit();
      return true;
    });
  }

  std::string Problem() const override { return problem_; }

 private:
  enum class Opened { kKept, kDamaged, kBusy, kFailed };

  // Every call runs here: an SQLite error ends the keeping for good and
  // says why; nothing is thrown to the caller.
  template <typename Result, typename Body>
  Result Guarded(Result failed, Body&& body) {
    if (!db_) return failed;
    try {
      return body();
    } catch (const SQLite::Exception& error) {
      Fail(error.getErrorCode());
    } catch (...) {
      // Out of memory: this call fails, the file is still sound.
    }
    return failed;
  }

  void Fail(int code) {
    const int systemErrno = db_ ? sqlite3_system_errno(db_->getHandle()) : 0;
    problem_ = WhyNotKept(code, systemErrno, path_);
    db_.reset();
  }

  void Open(std::string* setAsideTo) {
    if (path_.empty()) {
      problem_ = "no home folder was found to keep it in";
      return;
    }
    problem_ = MakeFolders(FolderOf(path_));
    if (!problem_.empty()) return;
    // Another Tambrel opening the file at the same moment can hold a lock
    // that SQLite will not wait for (a change of journal mode): try again.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kHistoryBusyTimeoutMs);
    for (int setAside = 0;;) {
      const Opened opened = TryOpen();
      if (opened == Opened::kKept) return;
      db_.reset();
      if (opened == Opened::kFailed) return;
      if (opened == Opened::kBusy) {
        if (std::chrono::steady_clock::now() >= deadline) {
          problem_ = WhyNotKept(SQLITE_BUSY, 0, path_);
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      // A second damaged file in a row means something else is wrong:
      // nothing more is renamed.
      if (setAside++ > 0) break;
      const std::string aside = SetAside(path_);
      if (aside.empty()) break;
      if (setAsideTo != nullptr) *setAsideTo = aside;
    }
    problem_ = "the file " + path_ + " is damaged and cannot be set aside";
  }

  Opened TryOpen() {
    struct stat info {};
    if (stat(path_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return Opened::kDamaged;
    bool checkingSchema = false;
    try {
      db_ = std::make_unique<SQLite::Database>(
          path_, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kHistoryBusyTimeoutMs);
      if (sqlite3_db_readonly(db_->getHandle(), "main") != 0) {
        Fail(SQLITE_READONLY);
        return Opened::kFailed;
      }
      // Until the file has passed its checks, closing it must neither fold
      // its journal into it nor delete it: a bad file is set aside as found.
      KeepJournalOnClose(true);
      // Everything is checked before anything is written, in one snapshot,
      // so that another Tambrel making the schema meanwhile is seen whole
      // or not at all.
      SQLite::Transaction snapshot(*db_);
      // The first read of the header: a file that is no database fails here.
      const int version = db_->execAndGet("PRAGMA user_version").getInt();
      if (version > kSchemaVersion) {
        problem_ = "the file was written by a newer version of Tambrel";
        return Opened::kFailed;
      }
      SQLite::Statement check(*db_, "PRAGMA quick_check");
      while (check.executeStep()) {
        if (check.getColumn(0).getString() != "ok") return Opened::kDamaged;
      }
      // Another program's database, or ours with a table lost.
      checkingSchema = true;
      if (version == 0 && db_->execAndGet("SELECT count(*) FROM sqlite_master").getInt() > 0) {
        return Opened::kDamaged;
      }
      if (version == kSchemaVersion) PrepareEverything();
      snapshot.commit();
      checkingSchema = false;
      KeepJournalOnClose(false);

      // WAL lets a reader and a writer work at once; FULL makes each commit
      // survive a power cut.
      db_->exec("PRAGMA journal_mode = WAL");
      db_->exec("PRAGMA synchronous = FULL");
      if (version < kSchemaVersion) {
        SQLite::Transaction transaction(*db_, SQLite::TransactionBehavior::IMMEDIATE);
        db_->exec(kSchema);
        transaction.commit();
      }
      return Opened::kKept;
    } catch (const SQLite::Exception& error) {
      const int code = error.getErrorCode();
      if (IsDamage(code) || (checkingSchema && (code & 0xFF) == SQLITE_ERROR)) {
        return Opened::kDamaged;
      }
      if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED) return Opened::kBusy;
      Fail(code);
      return Opened::kFailed;
    }
  }

  void KeepJournalOnClose(bool keep) {
    int flag = keep ? 1 : 0;
    sqlite3_db_config(db_->getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, flag, nullptr);
    sqlite3_file_control(db_->getHandle(), "main", SQLITE_FCNTL_PERSIST_WAL, &flag);
  }

  void PrepareEverything() {
    for (const std::string& sql :
         {std::string(kInsertRun), std::string(kAddCount), std::string(kAddRange),
          std::string(kTrim), std::string(kRunColumns) + kRunsPage,
          std::string(kRunColumns) + kRunById, std::string(kRunColumns) + kAllRuns,
          std::string(kCounts), std::string(kRanges), std::string(kForgetCounts),
          std::string(kSetRange)}) {
      const SQLite::Statement prepared(*db_, sql);
    }
  }

  std::string path_;
  std::unique_ptr<SQLite::Database> db_;  // null once nothing can be kept
  std::string problem_;
};

}  // namespace

std::unique_ptr<HistoryStore> OpenSqliteHistoryStore(const std::string& path,
                                                     std::string* setAsideTo) {
  try {
    return std::make_unique<SqliteHistoryStore>(path, setAsideTo);
  } catch (...) {
    return nullptr;  // out of memory before anything was opened
  }
}

}  // namespace tambrel
