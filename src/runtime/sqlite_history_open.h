#pragma once

#include <SQLiteCpp/Database.h>

#include <memory>
#include <string>

#include "runtime/history_file.h"

namespace tambrel {

// Opens the history file at `path` into `db`, checks it before anything is
// written, and makes its tables if it has none yet. Unless it returns
// kOpened, `db` is closed again; on kFailed, `problem` says why.
[[nodiscard]] OpenOutcome TryOpenHistoryFile(const std::string& path,
                                             std::unique_ptr<SQLite::Database>& db,
                                             KeepProblem& problem);

}  // namespace tambrel
