#include "runtime/history_file.h"

#include <pwd.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

namespace tambrel {
namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

std::int64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

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

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string MakeFolders(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode) ? std::string() : "the folder " + folder + " cannot be made";
  }
  const std::string parent = FolderOf(folder);
  if (parent != folder) {
    std::string problem = MakeFolders(parent);
    if (!problem.empty()) return problem;
  }
  // Another Tambrel may make it at the same moment: EEXIST is success.
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return "the folder " + folder + " cannot be made";
  }
  return {};
}

std::string SetAside(const std::string& path) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path + ".damaged-" + stamp;
  std::string aside = base;
  for (int suffix = 2; Exists(aside) || Exists(aside + "-wal") || Exists(aside + "-shm");
       ++suffix) {
    aside = base + "-" + std::to_string(suffix);
  }
  if (std::rename(path.c_str(), aside.c_str()) != 0) return {};
  // The journal belongs to the damaged file; left here it would be read
  // into the new one.
  for (const char* companion : {"-wal", "-shm"}) {
    const std::string from = path + companion;
    if (Exists(from) && std::rename(from.c_str(), (aside + companion).c_str()) != 0) {
      std::remove(from.c_str());
    }
  }
  return aside;
}

namespace {

// A file size limit (ulimit -f) shows as a short write, which SQLite
// reports as a full disk: the file, or its -wal, is then within 64 KiB of
// the limit.
bool NearFileSizeLimit(const std::string& path) {
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  const auto largest = std::max(FileSize(path), FileSize(path + "-wal"));
  return static_cast<rlim_t>(largest) + 65536 >= limit.rlim_cur;
}

}  // namespace

KeepProblem OpenOrSetAside(const std::string& path, std::string* setAsideTo,
                           const std::function<OpenOutcome()>& tryOpen) {
  if (path.empty()) return {"no home folder was found to keep it in", true};
  std::string problem = MakeFolders(FolderOf(path));
  if (!problem.empty()) return {problem, true};
  // Another Tambrel opening the file at the same moment can hold a lock
  // that SQLite will not wait for (a change of journal mode): try again.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kHistoryBusyTimeoutMs);
  for (int setAside = 0;;) {
    const OpenOutcome outcome = tryOpen();
    if (outcome == OpenOutcome::kOpened || outcome == OpenOutcome::kFailed) return {};
    if (outcome == OpenOutcome::kBusy) {
      if (std::chrono::steady_clock::now() >= deadline) return WhyNotKept(SQLITE_BUSY, 0, path);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    // A second damaged file in a row means something else is wrong:
    // nothing more is renamed.
    if (setAside++ > 0) break;
    const std::string aside = SetAside(path);
    if (aside.empty()) break;
    if (setAsideTo != nullptr) *setAsideTo = aside;
  }
  return {"the file " + path + " is damaged and cannot be set aside", true};
}

bool CutShort(const std::string& path, std::int64_t pageSize) {
  if (pageSize <= 0 || FileSize(path + "-wal") > 0) return false;
  return FileSize(path) % pageSize != 0;
}

KeepProblem WhyNotKept(int sqliteCode, int systemErrno, const std::string& path) {
  switch (sqliteCode & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      static_assert(kHistoryBusyTimeoutMs == 1000, "say how long");
      return {"another program has held the file locked for 1 second", false};
    case SQLITE_NOMEM:
      return {"there is not enough memory", false};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return {"the file " + path + " is damaged", true};
    case SQLITE_FULL:
    case SQLITE_IOERR:
      if (systemErrno == EFBIG || NearFileSizeLimit(path)) {
        return {"the file has reached its size limit", false};
      }
      if (systemErrno == EDQUOT) return {"the disk quota is used up", false};
      if ((sqliteCode & 0xFF) == SQLITE_FULL || systemErrno == ENOSPC) {
        return {"the disk is full", false};
      }
      break;
    default:
      break;
  }
  const std::string folder = FolderOf(path);
  if (access(folder.c_str(), W_OK) != 0) return {"the folder " + folder + " cannot be written", true};
  // An I/O error may pass; a file that refuses writing does not.
  const bool refused = (sqliteCode & 0xFF) != SQLITE_IOERR || systemErrno == EACCES ||
                       systemErrno == EPERM || systemErrno == EROFS;
  return {"the file " + path + " cannot be written", refused};
}

std::string ValuesToBytes(const std::vector<std::int16_t>& values) {
  std::string bytes(values.size() * 2, '\0');
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto bits = static_cast<std::uint16_t>(values[i]);
    bytes[2 * i] = static_cast<char>(bits & 0xFFU);
    bytes[2 * i + 1] = static_cast<char>(bits >> 8U);
  }
  return bytes;
}

std::vector<std::int16_t> BytesToValues(const void* bytes, std::size_t size) {
  const auto* at = static_cast<const unsigned char*>(bytes);
  std::vector<std::int16_t> values(size / 2);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto bits = static_cast<unsigned>(at[2 * i] | (at[2 * i + 1] << 8U));
    values[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
  }
  return values;
}

}  // namespace tambrel
