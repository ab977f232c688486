#pragma once

// The history file's tables and the statements that read and write them.

namespace tambrel::history_sql {

inline constexpr int kSchemaVersion = 1;

// The values are 16-bit little-endian, two bytes each. `kept` holds how
// many runs and values there are, kept by triggers, so that the limits are
// checked without counting 10,000 rows at every run.
inline constexpr const char* kSchema = R"(
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

inline constexpr const char* kInsertRun =
    "INSERT INTO runs(ended_at_ms, sides, value_count, sum, vals) VALUES(?, ?, ?, ?, ?)";
inline constexpr const char* kAddCount =
    "INSERT INTO counts VALUES(?, ?, ?, ?) "
    "ON CONFLICT(lowest, highest, value) DO UPDATE SET count = count + excluded.count";
inline constexpr const char* kAddRange = "INSERT OR IGNORE INTO ranges VALUES(?, ?, ?)";
inline constexpr const char* kTotals = "SELECT runs, vals FROM kept";
inline constexpr const char* kOldest = "SELECT id, value_count FROM runs ORDER BY id";
inline constexpr const char* kForgetUpTo = "DELETE FROM runs WHERE id <= ?";
#define TAMBREL_RUN_COLUMNS "SELECT id, ended_at_ms, sides, value_count, sum, "
inline constexpr const char* kRunsPage =
    TAMBREL_RUN_COLUMNS "substr(vals, 1, ?3) FROM runs ORDER BY id DESC LIMIT ?1 OFFSET ?2";
inline constexpr const char* kRunById = TAMBREL_RUN_COLUMNS "vals FROM runs WHERE id = ?";
inline constexpr const char* kAllRuns = TAMBREL_RUN_COLUMNS "vals FROM runs ORDER BY id";
#undef TAMBREL_RUN_COLUMNS
inline constexpr const char* kRanges =
    "SELECT lowest, highest, since_ms FROM ranges ORDER BY lowest, highest";
inline constexpr const char* kCounts =
    "SELECT lowest, highest, value, count FROM counts ORDER BY lowest, highest, value";
inline constexpr const char* kRangeSince =
    "SELECT since_ms FROM ranges WHERE lowest = ? AND highest = ?";
inline constexpr const char* kRangeCounts =
    "SELECT value, count FROM counts WHERE lowest = ? AND highest = ? ORDER BY value";
inline constexpr const char* kForgetCounts = "DELETE FROM counts WHERE lowest = ? AND highest = ?";
inline constexpr const char* kSetRange = "INSERT OR REPLACE INTO ranges VALUES(?, ?, ?)";
// Each prepared at open: a table or column missing shows there.
inline constexpr const char* kEverySql[] = {
    kInsertRun, kAddCount, kAddRange,   kTotals,      kOldest,        kForgetUpTo, kRunsPage,
    kRunById,   kAllRuns,  kRanges,     kCounts,      kRangeSince,    kRangeCounts,
    kForgetCounts, kSetRange};

}  // namespace tambrel::history_sql
