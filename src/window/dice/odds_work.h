#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <memory>
#include <stop_token>

#include "roll/dice/expression.h"
#include "roll/dice/odds.h"

namespace tambrel {

// Works out the exact odds of one expression at a time on Qt's thread
// pool, so that the window answers throughout and a roll never waits for
// its odds. Asking for another expression stops the one in hand, as does
// going with the window: its result is then never delivered.
class OddsWork final : public QObject {
  Q_OBJECT

 public:
  using Result = std::shared_ptr<const dice::Odds>;

  explicit OddsWork(QObject* parent = nullptr);
  ~OddsWork() override;

  void Start(const dice::Expression& expression);
  [[nodiscard]] bool Busy() const { return watcher_.isRunning(); }

 Q_SIGNALS:
  // The odds of the expression last started; null if they were refused.
  void finished(OddsWork::Result odds);

 private:
  std::stop_source stop_;
  QFutureWatcher<Result> watcher_;
};

}  // namespace tambrel
