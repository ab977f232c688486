#include "runtime/history_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace tambrel {
namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

}  // namespace

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

}  // namespace tambrel
