#pragma once

#include <memory>
#include <string>

#include "runtime/history_file.h"
#include "runtime/history_store.h"

namespace tambrel {

// The history kept in an SQLite file at `path`, made with its folders if
// need be. Never throws, and is null only when memory runs out. A store
// that cannot keep anything says why in Problem() and fails every call
// harmlessly. A file that is not a sound database is renamed aside and a
// new one begun; its new name goes to `setAsideTo` when given. A file of a
// newer schema is left alone.
[[nodiscard]] std::unique_ptr<HistoryStore> OpenSqliteHistoryStore(
    const std::string& path, std::string* setAsideTo = nullptr);

}  // namespace tambrel
