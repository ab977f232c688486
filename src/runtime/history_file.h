#pragma once

#include <string>

// The file-system side of keeping the history: where the file lives, the
// folders it needs, and setting a damaged file aside. No SQL here.
namespace tambrel {

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

}  // namespace tambrel
