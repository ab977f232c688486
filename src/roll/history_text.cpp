#include "roll/history_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "roll/history.h"

namespace tambrel {
namespace {

// Month names are the program's own words, whatever the desktop's locale.
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::tm LocalTime(std::int64_t ms) {
  // Whole seconds, rounded down also before the epoch.
  const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  std::array<char, 64> buffer{};
  const int length = std::snprintf(buffer.data(), buffer.size(), format, args...);
  if (length < 0) return {};
  if (static_cast<std::size_t>(length) < buffer.size()) {
    return std::string(buffer.data(), static_cast<std::size_t>(length));
  }
  // Longer than the buffer: written again, whole, into a string its size.
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.pop_back();
  return text;
}

std::string Header(const char* separator, const char* end) {
  std::string text;
  for (const std::string_view column : kHistoryColumns) {
    if (!text.empty()) text += separator;
    text += column;
  }
  return text + end;
}

std::string Day(const std::tm& time) {
  return Format("%d %s %d", time.tm_mday, kMonths.at(static_cast<std::size_t>(time.tm_mon)),
                time.tm_year + 1900);
}

std::string Clock(const std::tm& time) {
  return Format("%02d:%02d:%02d", time.tm_hour, time.tm_min, time.tm_sec);
}

std::string Joined(const std::vector<std::int16_t>& values, std::size_t count, const char* separator) {
  std::string text;
  for (std::size_t i = 0; i < count && i < values.size(); ++i) {
    if (i > 0) text += separator;
    text += std::to_string(values[i]);
  }
  return text;
}

// A Dice roll's text on one line, and in a tab-separated one: no tab or
// line break.
std::string OneCell(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return text;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

// Every value of a run, or the text a Dice roll keeps.
std::string AllResults(const StoredRun& run, const char* separator) {
  if (!run.expression.empty()) return run.results;
  return Joined(run.values, run.values.size(), separator);
}

}  // namespace

std::string ExpressionCell(const StoredRun& run) {
  if (run.expression.empty()) return std::to_string(run.valueCount) + 'd' + std::to_string(run.sides);
  if (run.times == 1) return run.expression;
  return std::to_string(run.times) + "\u00d7" + run.expression;
}

std::string SidesCell(const StoredRun& run) {
  return run.expression.empty() ? std::to_string(run.sides) : std::string();
}

std::string TimeCell(std::int64_t ms, std::int64_t nowMs) {
  const std::tm then = LocalTime(ms);
  const std::tm now = LocalTime(nowMs);
  const bool today = then.tm_year == now.tm_year && then.tm_yday == now.tm_yday;
  return today ? Clock(then) : Day(then) + ' ' + Clock(then);
}

std::string DayAndMinute(std::int64_t ms) {
  const std::tm time = LocalTime(ms);
  return Day(time) + Format(" %02d:%02d", time.tm_hour, time.tm_min);
}

std::string IsoTime(std::int64_t ms) {
  const std::tm time = LocalTime(ms);
  const long offset = time.tm_gmtoff / 60;
  return Format("%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", time.tm_year + 1900, time.tm_mon + 1,
                time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec, offset < 0 ? '-' : '+',
                std::labs(offset) / 60, std::labs(offset) % 60);
}

std::string AverageCell(const StoredRun& run) {
  if (run.valueCount <= 0) return {};
  return Format("%.2f", static_cast<double>(run.sum) / run.valueCount);
}

std::string ResultsCell(const StoredRun& run) {
  if (!run.expression.empty()) return OneCell(run.results);
  std::string text = Joined(run.values, kResultsShown, ", ");
  const auto shown = std::min<std::size_t>(run.values.size(), kResultsShown);
  const auto more = static_cast<std::int64_t>(run.valueCount) - static_cast<std::int64_t>(shown);
  if (more > 0) text += Format(", and %lld more", static_cast<long long>(more));
  return text;
}

std::string CopyText(const std::vector<StoredRun>& runs) {
  std::string text = Header("\t", "\n");
  for (const StoredRun& run : runs) {
    const std::tm time = LocalTime(run.endedAtMs);
    text += Format("%04d-%02d-%02d ", time.tm_year + 1900, time.tm_mon + 1, time.tm_mday) +
            Clock(time) + '\t' + OneCell(ExpressionCell(run)) + '\t' + SidesCell(run) + '\t' +
            std::to_string(run.valueCount) + '\t' + std::to_string(run.sum) + '\t' +
            AverageCell(run) + '\t' + OneCell(AllResults(run, ", ")) + '\n';
  }
  return text;
}

std::string CsvHeader() { return Header(",", "\r\n"); }

std::string CsvRow(const StoredRun& run) {
  return IsoTime(run.endedAtMs) + ',' + CsvField(ExpressionCell(run)) + ',' + SidesCell(run) + ',' +
         std::to_string(run.valueCount) + ',' + std::to_string(run.sum) + ',' + AverageCell(run) +
         ',' + CsvField(AllResults(run, " ")) + "\r\n";
}

}  // namespace tambrel
