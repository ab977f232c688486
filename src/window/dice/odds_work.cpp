#include "window/dice/odds_work.h"

#include <QPromise>
#include <QThreadPool>

namespace tambrel {

OddsWork::OddsWork(QObject* parent) : QObject(parent) {
  connect(&watcher_, &QFutureWatcher<Result>::finished, this, [this] {
    const QFuture<Result> future = watcher_.future();
    Q_EMIT finished(future.resultCount() > 0 ? future.result() : nullptr);
  });
}

OddsWork::~OddsWork() { stop_.request_stop(); }

void OddsWork::Start(const dice::Expression& expression) {
  stop_.request_stop();
  stop_ = std::stop_source();
  // The promise is shared with the task, which may outlive the window.
  auto promise = std::make_shared<QPromise<Result>>();
  watcher_.setFuture(promise->future());
  QThreadPool::globalInstance()->start([promise, expression, stop = stop_.get_token()] {
    promise->start();
    std::optional<dice::Odds> odds = dice::ExactOdds(expression, stop);
    promise->addResult(odds ? std::make_shared<const dice::Odds>(std::move(*odds)) : nullptr);
    promise->finish();
  });
}

}  // namespace tambrel
