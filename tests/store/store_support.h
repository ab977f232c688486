#pragma once

// What the store tests share: a private state folder, forked children that
// report on a pipe, and a way to compare runs.

#include <SQLiteCpp/Database.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/history_store.h"

namespace tambrel::testing {

// XDG_STATE_HOME points at a new folder for as long as this lives, so that
// no test reads or writes the user's own history; the folder goes with it.
class PrivateStateHome {
 public:
  PrivateStateHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tambrel-store-XXXXXX");
    const char* made = mkdtemp(pattern.data());
    folder_ = made != nullptr ? made : "";
    setenv("XDG_STATE_HOME", folder_.c_str(), 1);
  }
  ~PrivateStateHome() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  PrivateStateHome(const PrivateStateHome&) = delete;
  PrivateStateHome& operator=(const PrivateStateHome&) = delete;
  [[nodiscard]] const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

// A mount made by a test and undone when it ends; `error` is errno when
// mounting was refused (no privilege in a container, say).
class TestMount {
 public:
  TestMount(const std::string& target, const char* type, unsigned long flags, const char* options,
            const char* source = "none")
      : target_(target) {
    mounted_ = mount(source, target.c_str(), type, flags, options) == 0;
    error = mounted_ ? 0 : errno;
  }
  ~TestMount() {
    if (mounted_) umount2(target_.c_str(), MNT_DETACH);
  }
  TestMount(const TestMount&) = delete;
  TestMount& operator=(const TestMount&) = delete;
  bool Remount(unsigned long flags) {
    return mount(nullptr, target_.c_str(), nullptr, MS_REMOUNT | flags, nullptr) == 0;
  }
  int error = 0;

 private:
  std::string target_;
  bool mounted_ = false;
};

inline void WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote <= 0) return;
    done += static_cast<std::size_t>(wrote);
  }
}

struct Child {
  pid_t pid = -1;
  int output = -1;  // the read end of the child's pipe
};

// Forks; the child runs `body` with the write end of a pipe and exits.
inline Child Spawn(const std::function<void(int)>& body) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    body(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  return {pid, fds[0]};
}

// Everything the child wrote, once it has ended.
inline std::string Collect(const Child& child) {
  std::string text;
  char buffer[65536];
  for (ssize_t got; (got = read(child.output, buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  close(child.output);
  int status = 0;
  waitpid(child.pid, &status, 0);
  return text;
}

constexpr HistoryLimits kRoomy{10'000, 10'000'000};
constexpr StoredRange kD6{1, 6, 1000};

inline StoredRun MakeRun(std::int64_t endedAtMs, std::int16_t sides,
                         std::vector<std::int16_t> values) {
  StoredRun run;
  run.endedAtMs = endedAtMs;
  run.sides = sides;
  run.valueCount = static_cast<std::int32_t>(values.size());
  for (const std::int16_t value : values) run.sum += value;
  run.values = std::move(values);
  return run;
}

// A batch of the Dice window: 1000×2d6, its first totals kept as text.
inline StoredRun DiceRoll(std::int64_t endedAtMs, std::string results) {
  return {.id = 0, .endedAtMs = endedAtMs, .sides = 0, .valueCount = 1000, .sum = 7030, .values = {},
          .expression = "2d6", .times = 1000, .results = std::move(results)};
}

// A d6 run of `count` values, all `value`.
inline StoredRun RunOf(std::size_t count, std::int16_t value) {
  return MakeRun(0, 6, std::vector<std::int16_t>(count, value));
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::string IntegrityCheck(const std::string& path) {
  SQLite::Database db(path, SQLite::OPEN_READONLY);
  return db.execAndGet("PRAGMA integrity_check").getString();
}

// What a version 1 file holds, read with plain SQL, a row a line: every
// run, count and since, the runs and values the limits count, and the last
// run id given.
inline std::string Version1Contents(const std::string& path) {
  constexpr const char* kParts[] = {
      "SELECT id, ended_at_ms, sides, value_count, sum, hex(vals) FROM runs ORDER BY id",
      "SELECT * FROM counts ORDER BY lowest, highest, value", "SELECT * FROM ranges ORDER BY lowest, highest",
      "SELECT runs, vals FROM kept", "SELECT seq FROM sqlite_sequence WHERE name = 'runs'"};
  SQLite::Database db(path);
  std::string text;
  for (const char* part : kParts) {
    for (SQLite::Statement query(db, part); query.executeStep(); text += '\n') {
      for (int column = 0; column < query.getColumnCount(); ++column) text += (column > 0 ? "|" : "") + query.getColumn(column).getString();
    }
  }
  return text;
}

inline auto Fields(const StoredRun& run) {
  return std::tie(run.id, run.endedAtMs, run.sides, run.valueCount, run.sum, run.values,
                  run.expression, run.times, run.results);
}

}  // namespace tambrel::testing
