#include "runtime/sqlite_history_store.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "runtime/history_file.h"

namespace tambrel {
namespace {

constexpr int kSchemaVersion = 1;

// The values are 16-bit little-endian, two bytes each. `kept` holds how
// many runs and values there are, kept by triggers, so that the limits are
// checked without counting 10,000 rows at every run.
const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY AUTOINCREMENT, ended_at_ms INTEGER NOT NULL, sides INTEGER NOT NULL,
  value_count INTEGER NOT NULL, sum INTEGER NOT NULL, vals BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS kept(
  one INTEGER PRIMARY KEY CHECK (one = 1), runs INTEGER NOT NULL, vals INTEGER NOT NULL);
INSERT OR IGNORE INTO kept VALUES(1, 0, 0);
CREATE TRIGGER IF NOT EXISTS run_kept AFTER INSERT ON runs BEGIN
  UPDATE kept SET runs = runs + 1, vals = vals + NEW.value_count; END;
CREATE TRIGGER IF NOT EXISTS run_forgotten AFTER DELETE ON runs BEGIN
  UPDATE kept SET runs = runs - 1, vals = vals - OLD.value_count; END;
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
const char* const kTotals = "SELECT runs, vals FROM kept";
const char* const kOldest = "SELECT id, value_count FROM runs ORDER BY id";
const char* const kForgetUpTo = "DELETE FROM runs WHERE id <= ?";
#define TAMBREL_RUN_COLUMNS "SELECT id, ended_at_ms, sides, value_count, sum, "
const char* const kRunsPage =
    TAMBREL_RUN_COLUMNS "substr(vals, 1, ?3) FROM runs ORDER BY id DESC LIMIT ?1 OFFSET ?2";
const char* const kRunById = TAMBREL_RUN_COLUMNS "vals FROM runs WHERE id = ?";
const char* const kAllRuns = TAMBREL_RUN_COLUMNS "vals FROM runs ORDER BY id";
#undef TAMBREL_RUN_COLUMNS
const char* const kRanges = "SELECT lowest, highest, since_ms FROM ranges ORDER BY lowest, highest";
const char* const kCounts =
    "SELECT lowest, highest, value, count FROM counts ORDER BY lowest, highest, value";
const char* const kForgetCounts = "DELETE FROM counts WHERE lowest = ? AND highest = ?";
const char* const kSetRange = "INSERT OR REPLACE INTO ranges VALUES(?, ?, ?)";
// Each prepared at open: a table or column missing shows there.
const char* const kEverySql[] = {kInsertRun, kAddCount,   kAddRange, kTotals,   kOldest,
                                 kForgetUpTo, kRunsPage,  kRunById,  kAllRuns, kRanges,
                                 kCounts,     kForgetCounts, kSetRange};

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

      Trim(limits);
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
      SQLite::Statement page(*db_, kRunsPage);
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
      SQLite::Statement byId(*db_, kRunById);
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
      SQLite::Statement all(*db_, kAllRuns);
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

  // The oldest runs go until both limits hold; the newest always stays.
  void Trim(const HistoryLimits& limits) {
    SQLite::Statement kept(*db_, kTotals);
    if (!kept.executeStep()) return;
    std::int64_t runs = kept.getColumn(0).getInt64();
    std::int64_t values = kept.getColumn(1).getInt64();
    if (runs <= limits.runs && values <= limits.values) return;
    SQLite::Statement oldest(*db_, kOldest);
    std::int64_t lastGoing = -1;
    while (runs > 1 && (runs > limits.runs || values > limits.values) && oldest.executeStep()) {
      lastGoing = oldest.getColumn(0).getInt64();
      --runs;
      values -= oldest.getColumn(1).getInt64();
    }
    oldest.reset();
    if (lastGoing < 0) return;
    SQLite::Statement forget(*db_, kForgetUpTo);
    forget.bind(1, lastGoing);
    forget.exec();
  }

  void Fail(int code) {
    const int systemErrno = db_ ? sqlite3_system_errno(db_->getHandle()) : 0;
    problem_ = WhyNotKept(code, systemErrno, path_);
    db_.reset();
  }

  void Open(std::string* setAsideTo) {
    const std::string problem = OpenOrSetAside(path_, setAsideTo, [this] {
      const OpenOutcome outcome = TryOpen();
      if (outcome != OpenOutcome::kOpened) db_.reset();
      return outcome;
    });
    if (!problem.empty()) problem_ = problem;
  }

  OpenOutcome TryOpen() {
    struct stat info {};
    if (stat(path_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return OpenOutcome::kDamaged;
    bool checkingSchema = false;
    try {
      db_ = std::make_unique<SQLite::Database>(
          path_, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kHistoryBusyTimeoutMs);
      if (sqlite3_db_readonly(db_->getHandle(), "main") != 0) {
        Fail(SQLITE_READONLY);
        return OpenOutcome::kFailed;
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
        return OpenOutcome::kFailed;
      }
      if (CutShort(path_, db_->execAndGet("PRAGMA page_size").getInt64())) {
        return OpenOutcome::kDamaged;
      }
      SQLite::Statement check(*db_, "PRAGMA quick_check");
      while (check.executeStep()) {
        if (check.getColumn(0).getString() != "ok") return OpenOutcome::kDamaged;
      }
      // Another program's database, or ours with a table lost.
      checkingSchema = true;
      if (version == 0 && db_->execAndGet("SELECT count(*) FROM sqlite_master").getInt() > 0) {
        return OpenOutcome::kDamaged;
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
      return OpenOutcome::kOpened;
    } catch (const SQLite::Exception& error) {
      const int code = error.getErrorCode();
      if ((code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB ||
          (checkingSchema && (code & 0xFF) == SQLITE_ERROR)) {
        return OpenOutcome::kDamaged;
      }
      if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED) return OpenOutcome::kBusy;
      Fail(code);
      return OpenOutcome::kFailed;
    }
  }

  void KeepJournalOnClose(bool keep) {
    int flag = keep ? 1 : 0;
    sqlite3_db_config(db_->getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, flag, nullptr);
    sqlite3_file_control(db_->getHandle(), "main", SQLITE_FCNTL_PERSIST_WAL, &flag);
  }

  void PrepareEverything() {
    for (const char* sql : kEverySql) const SQLite::Statement prepared(*db_, sql);
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
