#pragma once

#include <memory>

#include "runtime/history_store.h"

namespace tambrel {

// The history kept in memory only, trimmed by the same rules as the file:
// what a session keeps when no file can be opened at all, and what the
// engine's tests record into. It never fails.
[[nodiscard]] std::unique_ptr<HistoryStore> MakeMemoryHistoryStore();

}  // namespace tambrel
