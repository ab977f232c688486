#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/history_store.h"

// The history file's rows, read and written inside a transaction the
// caller holds; each throws SQLite::Exception when the file refuses.
namespace tambrel::history_rows {

// A row of kRunsPage, kRunById or kAllRuns.
[[nodiscard]] StoredRun ReadRun(const SQLite::Statement& row);
// Adds a run, or a Dice roll, as a row; returns its id. A run's count and
// sum are those of its values.
std::int64_t InsertRun(SQLite::Database& db, const StoredRun& run);
// The oldest runs go until both limits hold; the newest always stays.
void Trim(SQLite::Database& db, const HistoryLimits& limits);

// A run's values as counts, one per distinct value.
[[nodiscard]] std::vector<StoredValueCount> CountsOf(std::vector<std::int16_t> values);
void AddCounts(SQLite::Database& db, const StoredRange& range,
               const std::vector<StoredValueCount>& counts);

void AddTotals(SQLite::Database& db, const StoredTotals& totals);
[[nodiscard]] ExpressionTally ReadTotals(SQLite::Database& db, const std::string& expression);
void ResetTotals(SQLite::Database& db, const std::string& expression, std::int64_t sinceMs);

[[nodiscard]] std::vector<SavedRoll> ReadSavedRolls(SQLite::Database& db);

}  // namespace tambrel::history_rows
