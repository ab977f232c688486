#include "runtime/sqlite_history_store.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "runtime/history_file.h"

namespace tambrel {
namespace {

constexpr int kSchemaVersion = 1;
// Another Tambrel's transactions last milliseconds; a lock held longer than
// this is stuck, and waiting on would freeze the window.
constexpr int kBusyTimeoutMs = 1000;
const char* const kBusyProblem = "another program has held the file locked for 1 second";

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

std::string Encode(const std::vector<std::int16_t>& values) {
  std::string bytes(values.size() * 2, '\0');
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto bits = static_cast<std::uint16_t>(values[i]);
    bytes[2 * i] = static_cast<char>(bits & 0xFFU);
    bytes[2 * i + 1] = static_cast<char>(bits >> 8U);
  }
  return bytes;
}

StoredRun ReadRun(const SQLite::Statement& row) {
  StoredRun run;
  run.id = row.getColumn(0).getInt64();
  run.endedAtMs = row.getColumn(1).getInt64();
  run.sides = static_cast<std::int16_t>(row.getColumn(2).getInt());
  run.valueCount = row.getColumn(3).getInt();
  run.sum = row.getColumn(4).getInt64();
  const SQLite::Column vals = row.getColumn(5);
  const auto* bytes = static_cast<const unsigned char*>(vals.getBlob());
  const auto count = static_cast<std::size_t>(vals.getBytes()) / 2;
  run.values.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto bits = static_cast<unsigned>(bytes[2 * i] | (bytes[2 * i + 1] << 8U));
    run.values[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
  }
  return run;
}

void BindRange(SQLite::Statement& statement, const StoredRange& range) {
  statement.bind(1, range.lowest);
  statement.bind(2, range.highest);
}

bool IsDamage(int code) {
  return (code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB;
}

std::int64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
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
      const std::string vals = Encode(run.values);
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
  enum class Opened { kKept, kDamaged, kFailed };

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
    problem_ = Describe(code, systemErrno);
    db_.reset();
  }

  std::string Describe(int code, int systemErrno) const {
    const std::string folder = FolderOf(path_);
    switch (code & 0xFF) {
      case SQLITE_BUSY:
      case SQLITE_LOCKED:
        return kBusyProblem;
      case SQLITE_NOMEM:
        return "there is not enough memory";
      case SQLITE_CORRUPT:
      case SQLITE_NOTADB:
        return "the file " + path_ + " is damaged";
      case SQLITE_FULL:
      case SQLITE_IOERR:
        if (systemErrno == EFBIG || NearSizeLimit()) return "the file has reached its size limit";
        if (systemErrno == EDQUOT) return "the disk quota is used up";
        if ((code & 0xFF) == SQLITE_FULL || systemErrno == ENOSPC) return "the disk is full";
        break;
      default:
        break;
    }
    if (access(folder.c_str(), W_OK) != 0) return "the folder " + folder + " cannot be written";
    return "the file " + path_ + " cannot be written";
  }

  // A file size limit (ulimit -f) shows as a short write, which SQLite
  // reports as a full disk.
  bool NearSizeLimit() const {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
    const auto largest = std::max(FileSize(path_), FileSize(path_ + "-wal"));
    return static_cast<rlim_t>(largest) + 65536 >= limit.rlim_cur;
  }

  void Open(std::string* setAsideTo) {
    if (path_.empty()) {
      problem_ = "no home folder was found to keep it in";
      return;
    }
    problem_ = MakeFolders(FolderOf(path_));
    if (!problem_.empty()) return;
    // A damaged file is set aside once; a second damaged file in a row
    // means something else is wrong, and nothing more is renamed.
    for (int attempt = 0; attempt < 2; ++attempt) {
      const Opened opened = TryOpen();
      if (opened != Opened::kDamaged) return;
      db_.reset();
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
          path_, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMs);
      // The first read of the header: a file that is no database fails here.
      const int version = db_->execAndGet("PRAGMA user_version").getInt();
      if (version > kSchemaVersion) {
        db_.reset();
        problem_ = "the file was written by a newer version of Tambrel";
        return Opened::kFailed;
      }
      if (sqlite3_db_readonly(db_->getHandle(), "main") != 0) {
        Fail(SQLITE_READONLY);
        return Opened::kFailed;
      }
      // WAL lets a reader and a writer work at once; FULL makes each commit
      // survive a power cut.
      db_->exec("PRAGMA journal_mode = WAL");
      db_->exec("PRAGMA synchronous = FULL");
      SQLite::Statement check(*db_, "PRAGMA quick_check");
      while (check.executeStep()) {
        if (check.getColumn(0).getString() != "ok") return Opened::kDamaged;
      }
      if (version < kSchemaVersion) {
        SQLite::Transaction transaction(*db_, SQLite::TransactionBehavior::IMMEDIATE);
        db_->exec(kSchema);
        transaction.commit();
      }
      // A database that is not ours, or has lost a table, fails here.
      checkingSchema = true;
      for (const std::string& sql :
           {std::string(kInsertRun), std::string(kAddCount), std::string(kAddRange),
            std::string(kTrim), std::string(kRunColumns) + kRunsPage,
            std::string(kRunColumns) + kRunById, std::string(kRunColumns) + kAllRuns,
            std::string(kCounts), std::string(kRanges), std::string(kForgetCounts),
            std::string(kSetRange)}) {
        SQLite::Statement prepared(*db_, sql);
      }
      return Opened::kKept;
    } catch (const SQLite::Exception& error) {
      const int code = error.getErrorCode();
      if (IsDamage(code) || (checkingSchema && (code & 0xFF) == SQLITE_ERROR)) {
        return Opened::kDamaged;
      }
      Fail(code);
      return Opened::kFailed;
    }
  }

  std::string path_;
  std::unique_ptr<SQLite::Database> db_;  // null once nothing can be kept
  std::string problem_;
};

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

}  // namespace

std::string DefaultHistoryPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base;
  if (state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    base = home + "/.local/state";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base == "/") base.clear();
  return base + "/tambrel/history.sqlite3";
}

std::unique_ptr<HistoryStore> OpenSqliteHistoryStore(const std::string& path,
                                                     std::string* setAsideTo) {
  try {
    return std::make_unique<SqliteHistoryStore>(path, setAsideTo);
  } catch (...) {
    return nullptr;  // out of memory before anything was opened
  }
}

}  // namespace tambrel
