#include "runtime/sqlite_history_rows.h"

#include <algorithm>

#include "runtime/history_file.h"
#include "runtime/history_schema.h"

namespace tambrel::history_rows {

using namespace history_sql;

StoredRun ReadRun(const SQLite::Statement& row) {
  StoredRun run;
  run.id = row.getColumn(0).getInt64();
  run.endedAtMs = row.getColumn(1).getInt64();
  run.sides = static_cast<std::int16_t>(row.getColumn(2).getInt());
  run.valueCount = row.getColumn(3).getInt();
  run.sum = row.getColumn(4).getInt64();
  run.expression = row.getColumn(5).getString();
  run.times = row.getColumn(6).getInt();
  run.results = row.getColumn(7).getString();
  const SQLite::Column vals = row.getColumn(8);
  run.values = BytesToValues(vals.getBlob(), static_cast<std::size_t>(vals.getBytes()));
  return run;
}

std::int64_t InsertRun(SQLite::Database& db, const StoredRun& run) {
  std::int64_t count = run.valueCount;
  std::int64_t sum = run.sum;
  if (run.expression.empty()) {
    count = static_cast<std::int64_t>(run.values.size());
    sum = 0;
    for (const std::int16_t value : run.values) sum += value;
  }
  const std::string vals = ValuesToBytes(run.values);
  SQLite::Statement insert(db, kInsertRun);
  insert.bind(1, static_cast<std::int64_t>(run.endedAtMs));
  insert.bind(2, static_cast<std::int32_t>(run.sides));
  insert.bind(3, count);
  insert.bind(4, sum);
  insert.bind(5, vals.data(), static_cast<int>(vals.size()));
  insert.bind(6, run.expression);
  insert.bind(7, run.times);
  insert.bind(8, run.results);
  insert.exec();
  return db.getLastInsertRowid();
}

void Trim(SQLite::Database& db, const HistoryLimits& limits) {
  SQLite::Statement kept(db, kTotals);
  if (!kept.executeStep()) return;
  std::int64_t runs = kept.getColumn(0).getInt64();
  std::int64_t values = kept.getColumn(1).getInt64();
  if (runs <= limits.runs && values <= limits.values) return;
  SQLite::Statement oldest(db, kOldest);
  std::int64_t lastGoing = -1;
  while (runs > 1 && (runs > limits.runs || values > limits.values) && oldest.executeStep()) {
    lastGoing = oldest.getColumn(0).getInt64();
    --runs;
    values -= oldest.getColumn(1).getInt64();
  }
  oldest.reset();
  if (lastGoing < 0) return;
  SQLite::Statement forget(db, kForgetUpTo);
  forget.bind(1, lastGoing);
  forget.exec();
}

// A run has up to 32767 values but far fewer distinct ones: one upsert per
// distinct value.
std::vector<StoredValueCount> CountsOf(std::vector<std::int16_t> values) {
  std::sort(values.begin(), values.end());
  std::vector<StoredValueCount> counts;
  for (auto first = values.begin(); first != values.end();) {
    const auto last = std::upper_bound(first, values.end(), *first);
    counts.emplace_back(*first, static_cast<std::uint64_t>(last - first));
    first = last;
  }
  return counts;
}

void AddCounts(SQLite::Database& db, const StoredRange& range,
               const std::vector<StoredValueCount>& counts) {
  SQLite::Statement add(db, kAddCount);
  add.bind(1, range.lowest);
  add.bind(2, range.highest);
  for (const auto& [value, count] : counts) {
    add.bind(3, value);
    add.bind(4, static_cast<std::int64_t>(count));
    add.exec();
    add.reset();
  }
  SQLite::Statement addRange(db, kAddRange);
  addRange.bind(1, range.lowest);
  addRange.bind(2, range.highest);
  addRange.bind(3, static_cast<std::int64_t>(range.sinceMs));
  addRange.exec();
}

void AddTotals(SQLite::Database& db, const StoredTotals& totals) {
  SQLite::Statement add(db, kAddTotal);
  add.bind(1, totals.expression);
  for (const auto& [total, count] : totals.counts) {
    add.bind(2, static_cast<std::int64_t>(total));
    add.bind(3, static_cast<std::int64_t>(count));
    add.exec();
    add.reset();
  }
  SQLite::Statement since(db, kAddExpression);
  since.bind(1, totals.expression);
  since.bind(2, static_cast<std::int64_t>(totals.sinceMs));
  since.exec();
}

ExpressionTally ReadTotals(SQLite::Database& db, const std::string& expression) {
  ExpressionTally tally;
  SQLite::Statement since(db, kExpressionSince);
  since.bind(1, expression);
  if (since.executeStep()) tally.sinceMs = since.getColumn(0).getInt64();
  SQLite::Statement counts(db, kExpressionTotals);
  counts.bind(1, expression);
  while (counts.executeStep()) {
    const auto count = static_cast<std::uint64_t>(counts.getColumn(1).getInt64());
    tally.counts.emplace(counts.getColumn(0).getInt64(), count);
    tally.rolls += count;
  }
  return tally;
}

void ResetTotals(SQLite::Database& db, const std::string& expression, std::int64_t sinceMs) {
  SQLite::Statement forget(db, kForgetTotals);
  forget.bind(1, expression);
  forget.exec();
  SQLite::Statement set(db, kSetExpression);
  set.bind(1, expression);
  set.bind(2, static_cast<std::int64_t>(sinceMs));
  set.exec();
}

std::vector<SavedRoll> ReadSavedRolls(SQLite::Database& db) {
  std::vector<SavedRoll> rolls;
  SQLite::Statement all(db, kSavedRolls);
  while (all.executeStep()) {
    rolls.push_back({all.getColumn(0).getInt64(), all.getColumn(1).getString(),
                     all.getColumn(2).getString()});
  }
  return rolls;
}

}  // namespace tambrel::history_rows
