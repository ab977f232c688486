#pragma once

#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <memory>
#include <utility>

namespace tambrel {

// Runs `work` on Qt's thread pool, so that the window answers meanwhile;
// `watcher`, on the window's thread, says when its result is there.
// Setting another piece of work on the same watcher leaves the one before
// to finish unheard, as does the watcher going with its window.
template <typename Result, typename Work>
void RunInPool(QFutureWatcher<Result>& watcher, Work work) {
  // The promise is shared with the task, which may outlive the window.
  auto promise = std::make_shared<QPromise<Result>>();
  watcher.setFuture(promise->future());
  QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
    promise->start();
    promise->addResult(work());
    promise->finish();
  });
}

// The result of the work last set on `watcher`, or a default one.
template <typename Result>
Result ResultOf(const QFutureWatcher<Result>& watcher) {
  const QFuture<Result> future = watcher.future();
  return future.resultCount() > 0 ? future.result() : Result();
}

}  // namespace tambrel
