#pragma once

// The history file's tables and the statements that read and write them.

#include <iterator>

namespace tambrel::history_sql {

// What a run weighs against the value limit (KeptValues): its values, two
// bytes each, and its "Results" text, two bytes a value.
#define TAMBREL_WEIGHT(row) \
  "(length(" row ".vals) / 2 + (length(CAST(" row ".results AS BLOB)) + 1) / 2)"

// The steps that bring a file up to date, each indexed by the
// `user_version` it starts from and run in the transaction that then sets
// the version it leads to. A step is never changed once released: a new
// schema is a new step.
inline constexpr const char* kMigrations[] = {
    // 0 -> 1: the runs and the counts per range. The values are 16-bit
    // little-endian, two bytes each. `kept` holds how many runs and values
    // there are, kept by triggers, so that the limits are checked without
    // counting 10,000 rows at every run.
    R"(
CREATE TABLE runs(
  id INTEGER PRIMARY KEY AUTOINCREMENT, ended_at_ms INTEGER NOT NULL, sides INTEGER NOT NULL,
  value_count INTEGER NOT NULL, sum INTEGER NOT NULL, vals BLOB NOT NULL);
CREATE TABLE kept(
  one INTEGER PRIMARY KEY CHECK (one = 1), runs INTEGER NOT NULL, vals INTEGER NOT NULL);
INSERT INTO kept VALUES(1, 0, 0);
CREATE TRIGGER run_kept AFTER INSERT ON runs BEGIN
  UPDATE kept SET runs = runs + 1, vals = vals + NEW.value_count; END;
CREATE TRIGGER run_forgotten AFTER DELETE ON runs BEGIN
  UPDATE kept SET runs = runs - 1, vals = vals - OLD.value_count; END;
CREATE TABLE counts(
  lowest INTEGER NOT NULL, highest INTEGER NOT NULL, value INTEGER NOT NULL,
  count INTEGER NOT NULL, PRIMARY KEY(lowest, highest, value)) WITHOUT ROWID;
CREATE TABLE ranges(
  lowest INTEGER NOT NULL, highest INTEGER NOT NULL, since_ms INTEGER NOT NULL,
  PRIMARY KEY(lowest, highest)) WITHOUT ROWID;
)",
    // 1 -> 2: the Dice window's rolls as runs (with an expression, rolled
    // `times` at once, and the "Results" text), their totals counted per
    // expression since a time, and the rolls saved under a name. Adding a
    // column with a default rewrites no row.
    R"(
ALTER TABLE runs ADD COLUMN expression TEXT NOT NULL DEFAULT '';
ALTER TABLE runs ADD COLUMN times INTEGER NOT NULL DEFAULT 1;
ALTER TABLE runs ADD COLUMN results TEXT NOT NULL DEFAULT '';
DROP TRIGGER run_kept;
DROP TRIGGER run_forgotten;
CREATE TRIGGER run_kept AFTER INSERT ON runs BEGIN
  UPDATE kept SET runs = runs + 1, vals = vals + )" TAMBREL_WEIGHT("NEW") R"(; END;
CREATE TRIGGER run_forgotten AFTER DELETE ON runs BEGIN
  UPDATE kept SET runs = runs - 1, vals = vals - )" TAMBREL_WEIGHT("OLD") R"(; END;
UPDATE kept SET runs = (SELECT count(*) FROM runs),
  vals = (SELECT coalesce(sum()" TAMBREL_WEIGHT("runs") R"(), 0) FROM runs);
CREATE TABLE totals(
  expression TEXT NOT NULL, total INTEGER NOT NULL, count INTEGER NOT NULL,
  PRIMARY KEY(expression, total)) WITHOUT ROWID;
CREATE TABLE expressions(
  expression TEXT NOT NULL PRIMARY KEY, since_ms INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE saved_rolls(
  id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, expression TEXT NOT NULL);
)",
};
inline constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

inline constexpr const char* kInsertRun =
    "INSERT INTO runs(ended_at_ms, sides, value_count, sum, vals, expression, times, results) "
    "VALUES(?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr const char* kAddCount =
    "INSERT INTO counts VALUES(?, ?, ?, ?) "
    "ON CONFLICT(lowest, highest, value) DO UPDATE SET count = count + excluded.count";
inline constexpr const char* kAddRange = "INSERT OR IGNORE INTO ranges VALUES(?, ?, ?)";
inline constexpr const char* kTotals = "SELECT runs, vals FROM kept";
inline constexpr const char* kOldest = "SELECT id, " TAMBREL_WEIGHT("runs") " FROM runs ORDER BY id";
inline constexpr const char* kForgetUpTo = "DELETE FROM runs WHERE id <= ?";
#undef TAMBREL_WEIGHT
#define TAMBREL_RUN_COLUMNS "SELECT id, ended_at_ms, sides, value_count, sum, expression, times, results, "
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

inline constexpr const char* kAddTotal =
    "INSERT INTO totals VALUES(?, ?, ?) "
    "ON CONFLICT(expression, total) DO UPDATE SET count = count + excluded.count";
inline constexpr const char* kAddExpression = "INSERT OR IGNORE INTO expressions VALUES(?, ?)";
inline constexpr const char* kExpressionSince = "SELECT since_ms FROM expressions WHERE expression = ?";
inline constexpr const char* kExpressionTotals =
    "SELECT total, count FROM totals WHERE expression = ? ORDER BY total";
inline constexpr const char* kForgetTotals = "DELETE FROM totals WHERE expression = ?";
inline constexpr const char* kSetExpression = "INSERT OR REPLACE INTO expressions VALUES(?, ?)";

inline constexpr const char* kSavedRolls = "SELECT id, name, expression FROM saved_rolls ORDER BY id";
inline constexpr const char* kSaveRoll = "INSERT INTO saved_rolls(name, expression) VALUES(?, ?)";
inline constexpr const char* kRenameSavedRoll = "UPDATE saved_rolls SET name = ? WHERE id = ?";
inline constexpr const char* kDeleteSavedRoll = "DELETE FROM saved_rolls WHERE id = ?";

// Each prepared at open: a table or column missing shows there.
inline constexpr const char* kEverySql[] = {
    kInsertRun,       kAddCount,        kAddRange,         kTotals,         kOldest,
    kForgetUpTo,      kRunsPage,        kRunById,          kAllRuns,        kRanges,
    kCounts,          kRangeSince,      kRangeCounts,      kForgetCounts,   kSetRange,
    kAddTotal,        kAddExpression,   kExpressionSince,  kExpressionTotals, kForgetTotals,
    kSetExpression,   kSavedRolls,      kSaveRoll,         kRenameSavedRoll, kDeleteSavedRoll};

}  // namespace tambrel::history_sql
