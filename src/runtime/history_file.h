#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What keeping the history in a file needs besides SQL: where the file
// lives, the folders it needs, setting a damaged file aside, the words for
// what went wrong, and how a run's values are laid out.
namespace tambrel {

// Another Tambrel's transactions last milliseconds; a lock held longer than
// this is stuck, and waiting on would freeze the window.
constexpr int kHistoryBusyTimeoutMs = 1000;

// Where the history lives: $XDG_STATE_HOME/tambrel/history.sqlite3, or
// ~/.local/state/tambrel/history.sqlite3 when that variable is unset, empty
// or not an absolute path. Empty when there is no home folder either.
[[nodiscard]] std::string DefaultHistoryPath();

// The folder part of a path ("/a/b" for "/a/b/c"; "." for "c").
[[nodiscard]] std::string FolderOf(const std::string& path);

// Makes the folder and any missing parent, each new one private (0700) as
// the base-directory rules ask. Empty on success, else what went wrong in
// plain words ("the folder /x/y cannot be made").
[[nodiscard]] std::string MakeFolders(const std::string& folder);

// Renames `path` (a file or whatever stands there) to
// "<path>.damaged-YYYYMMDD-hhmmss" in local time, with "-2", "-3"... when
// that name is taken, and moves its -wal and -shm files along. Returns the
// new name, or empty when it could not be renamed.
[[nodiscard]] std::string SetAside(const std::string& path);

// Why the file cannot be kept now, in a few plain words that follow
// "History is not being saved: " (empty while all is well), and whether that
// lasts. A damaged or newer file, or a folder that cannot be made or written,
// holds for the session and nothing more is tried; a full disk, a size
// limit, a lock held past the busy timeout or an I/O error may pass, and the
// next write tries again.
struct KeepProblem {
  std::string why;
  bool lasts = false;
};

enum class OpenOutcome { kOpened, kDamaged, kBusy, kFailed };

// Makes the file's folders, then calls `tryOpen` (which closes the file
// again unless it returns kOpened) until the file is opened or has failed.
// A damaged file is set aside once and a new one begun, its new name going
// to `setAsideTo`; a lock is waited out for kHistoryBusyTimeoutMs. Returns
// why nothing can be kept when that is decided here, else no problem.
[[nodiscard]] KeepProblem OpenOrSetAside(const std::string& path, std::string* setAsideTo,
                                         const std::function<OpenOutcome()>& tryOpen);

// Whether the file ends within a page with no journal beside it. SQLite
// writes only whole pages and keeps no checksums, so a file cut short in
// its last page can otherwise read as sound, its values changed.
[[nodiscard]] bool CutShort(const std::string& path, std::int64_t pageSize);

// Why the file at `path` cannot be kept, from SQLite's result code and the
// errno behind it (0 when unknown).
[[nodiscard]] KeepProblem WhyNotKept(int sqliteCode, int systemErrno, const std::string& path);

// A run's values as the file keeps them: 16-bit little-endian, two bytes
// each. An odd last byte is ignored.
[[nodiscard]] std::string ValuesToBytes(const std::vector<std::int16_t>& values);
[[nodiscard]] std::vector<std::int16_t> BytesToValues(const void* bytes, std::size_t size);

}  // namespace tambrel
