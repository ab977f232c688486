#include "runtime/sqlite_history_store.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "runtime/history_file.h"
#include "runtime/history_schema.h"
#include "runtime/sqlite_history_open.h"
#include "runtime/sqlite_history_rows.h"

namespace tambrel {
namespace {

using namespace history_sql;
using namespace history_rows;

void BindRange(SQLite::Statement& statement, std::int32_t lowest, std::int32_t highest) {
  statement.bind(1, lowest);
  statement.bind(2, highest);
}

class SqliteHistoryStore final : public HistoryStore {
 public:
  SqliteHistoryStore(std::string path, std::string* setAsideTo) : path_(std::move(path)) {
    Open(setAsideTo);
  }

  std::optional<std::int64_t> Record(const StoredRun& run, const StoredRange& range,
                                     const HistoryLimits& limits) override {
    return Kept(limits, [&] {
      const std::int64_t id = InsertRun(*db_, run);
      history_rows::AddCounts(*db_, range, CountsOf(run.values));
      return id;
    });
  }

  std::optional<std::int64_t> RecordRoll(const StoredRun& roll, const StoredTotals& totals,
                                         const HistoryLimits& limits) override {
    return Kept(limits, [&] {
      const std::int64_t id = InsertRun(*db_, roll);
      history_rows::AddTotals(*db_, totals);
      return id;
    });
  }

  bool AddCounts(const StoredRange& range, const std::vector<StoredValueCount>& counts) override {
    return Changed([&] { history_rows::AddCounts(*db_, range, counts); });
  }

  bool AddTotals(const StoredTotals& totals) override {
    return Changed([&] { history_rows::AddTotals(*db_, totals); });
  }

  std::int64_t RunCount() override {
    return Read<std::int64_t>(0, [&] {
      return db_->execAndGet("SELECT count(*) FROM runs").getInt64();
    });
  }

  std::vector<StoredRun> Runs(std::int64_t offset, std::int64_t count,
                              std::size_t headValues) override {
    return Read<std::vector<StoredRun>>({}, [&] {
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
    return Read<std::vector<StoredRun>>({}, [&] {
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
    return Read<bool>(false, [&] {
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
    return Changed([&] { db_->exec("DELETE FROM runs"); });
  }

  std::vector<StoredRange> Ranges() override {
    return Read<std::vector<StoredRange>>({}, [&] {
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
    return Read<std::vector<StoredCount>>({}, [&] {
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

  std::optional<StoredTally> TallyOf(std::int32_t lowest, std::int32_t highest) override {
    return Read<std::optional<StoredTally>>(std::nullopt, [&] {
      StoredTally tally;
      SQLite::Transaction snapshot(*db_);
      SQLite::Statement since(*db_, kRangeSince);
      BindRange(since, lowest, highest);
      if (since.executeStep()) tally.sinceMs = since.getColumn(0).getInt64();
      SQLite::Statement counts(*db_, kRangeCounts);
      BindRange(counts, lowest, highest);
      while (counts.executeStep()) {
        tally.counts.emplace_back(counts.getColumn(0).getInt(),
                                  static_cast<std::uint64_t>(counts.getColumn(1).getInt64()));
      }
      snapshot.commit();
      return std::optional<StoredTally>(std::move(tally));
    });
  }

  bool ResetRange(const StoredRange& range) override {
    return Changed([&] {
      SQLite::Statement forget(*db_, kForgetCounts);
      BindRange(forget, range.lowest, range.highest);
      forget.exec();
      SQLite::Statement set(*db_, kSetRange);
      BindRange(set, range.lowest, range.highest);
      set.bind(3, static_cast<std::int64_t>(range.sinceMs));
      set.exec();
    });
  }

  std::optional<ExpressionTally> TotalsOf(const std::string& expression) override {
    return Read<std::optional<ExpressionTally>>(std::nullopt, [&] {
      SQLite::Transaction snapshot(*db_);
      std::optional<ExpressionTally> tally = ReadTotals(*db_, expression);
      snapshot.commit();
      return tally;
    });
  }

  bool ResetTotals(const std::string& expression, std::int64_t sinceMs) override {
    return Changed([&] { history_rows::ResetTotals(*db_, expression, sinceMs); });
  }

  std::optional<std::vector<SavedRoll>> SavedRolls() override {
    return Read<std::optional<std::vector<SavedRoll>>>(std::nullopt, [&] {
      return std::optional<std::vector<SavedRoll>>(ReadSavedRolls(*db_));
    });
  }

  std::optional<std::int64_t> SaveRoll(const std::string& name,
                                       const std::string& expression) override {
    std::int64_t id = 0;
    const bool kept = Changed([&] {
      SQLite::Statement insert(*db_, kSaveRoll);
      insert.bind(1, name);
      insert.bind(2, expression);
      insert.exec();
      id = db_->getLastInsertRowid();
    });
    return kept ? std::optional<std::int64_t>(id) : std::nullopt;
  }

  bool RenameSavedRoll(std::int64_t id, const std::string& name) override {
    return Changed([&] {
      SQLite::Statement rename(*db_, kRenameSavedRoll);
      rename.bind(1, name);
      rename.bind(2, static_cast<std::int64_t>(id));
      rename.exec();
    });
  }

  bool DeleteSavedRoll(std::int64_t id) override {
    return Changed([&] {
      SQLite::Statement forget(*db_, kDeleteSavedRoll);
      forget.bind(1, static_cast<std::int64_t>(id));
      forget.exec();
    });
  }

  std::int64_t ChangeMark() override {
    // data_version moves only for other connections' commits; a file
    // opened anew counts as changed.
    mark_.second = Read<std::int64_t>(mark_.second, [&] {
      return db_->execAndGet("PRAGMA data_version").getInt64();
    });
    return (mark_.first << 40) + mark_.second;
  }

  std::string Problem() const override { return problem_.why; }
  bool ProblemLasts() const override { return problem_.lasts; }

 private:
  // Every change runs here. A failure says why and, when it lasts, ends
  // the writing; a passing one leaves the next change to try again, on a
  // file opened anew if it never opened. Nothing is thrown to the caller.
  template <typename Result, typename Body>
  Result Written(Result failed, Body&& body) {
    if (problem_.lasts) return failed;
    if (!db_) Open(nullptr);
    if (!db_) return failed;
    try {
      Result done = body();
      problem_ = {};
      return done;
    } catch (const SQLite::Exception& error) {
      Fail(error.getErrorCode());
    } catch (...) {
      problem_ = WhyNotKept(SQLITE_NOMEM, 0, path_);
    }
    return failed;
  }

  // Every read runs here: a failed read returns `failed` and leaves the
  // writing as it was.
  template <typename Result, typename Body>
  Result Read(Result failed, Body&& body) {
    if (!db_) return failed;
    try {
      return body();
    } catch (...) {
      return failed;
    }
  }

  // A change in one transaction of its own.
  template <typename Body>
  bool Changed(Body&& body) {
    return Written<bool>(false, [&] {
      SQLite::Transaction transaction(*db_, SQLite::TransactionBehavior::IMMEDIATE);
      body();
      transaction.commit();
      return true;
    });
  }

  // A row added, then the oldest forgotten, in one transaction.
  template <typename Body>
  std::optional<std::int64_t> Kept(const HistoryLimits& limits, Body&& body) {
    return Written<std::optional<std::int64_t>>(std::nullopt, [&]() -> std::optional<std::int64_t> {
      SQLite::Transaction transaction(*db_, SQLite::TransactionBehavior::IMMEDIATE);
      const std::int64_t id = body();
      Trim(*db_, limits);
      transaction.commit();
      return id;
    });
  }

  void Fail(int code) {
    const int systemErrno = db_ ? sqlite3_system_errno(db_->getHandle()) : 0;
    problem_ = WhyNotKept(code, systemErrno, path_);
  }

  void Open(std::string* setAsideTo) {
    try {
      const KeepProblem problem = OpenOrSetAside(path_, setAsideTo, [this] {
        return TryOpenHistoryFile(path_, db_, problem_);
      });
      if (!problem.why.empty()) problem_ = problem;
    } catch (...) {
      db_.reset();
      problem_ = {"the file " + path_ + " cannot be opened", false};
    }
    if (db_) ++mark_.first;
  }

  std::string path_;
  std::unique_ptr<SQLite::Database> db_;  // null while the file is not open
  KeepProblem problem_;
  // How many times the file was opened, and its data_version.
  std::pair<std::int64_t, std::int64_t> mark_{0, 0};
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
