#include "app/session.h"

#include <QDateTime>

#include "runtime/sqlite_history_store.h"
#include "window/dice/frm_dice.h"
#include "window/distribution/frm_distribution.h"
#include "window/frm_tambrel.h"
#include "window/history/frm_history.h"

namespace tambrel {

TambrelSession::TambrelSession(Services& services, History::Opener opener)
    : services_(services),
      history_(tally_, std::move(opener), [] { return QDateTime::currentMSecsSinceEpoch(); }),
      window_(new frmTambrel(services, &tally_, &history_)) {
  connect(window_, &frmTambrel::runEnded, this, &TambrelSession::RunEnded);
  connect(window_, &frmTambrel::distributionRequested, this, &TambrelSession::ShowDistribution);
  connect(window_, &frmTambrel::historyRequested, this, &TambrelSession::ShowHistory);
  connect(window_, &frmTambrel::diceRequested, this, &TambrelSession::ShowDice);
  // Said once, over the main window, the first time a run cannot be kept.
  history_.OnProblem([this](const std::string& problem) {
    services_.MsgBox("History is not being saved: " + problem, MsgStyle::Information,
                     "Tambrel History");
  });
}

TambrelSession::~TambrelSession() {
  // The windows count on the record, which goes with the session.
  delete window_;
}

frmTambrel* TambrelSession::Window() const { return window_.data(); }
frmDistribution* TambrelSession::Distribution() const { return distribution_.data(); }
frmHistory* TambrelSession::HistoryWindow() const { return historyWindow_.data(); }
frmDice* TambrelSession::Dice() const { return dice_.data(); }

void TambrelSession::RunEnded() {
  if (distribution_) distribution_->Changed();
  if (historyWindow_) historyWindow_->Changed();
}

void TambrelSession::ShowDistribution() {
  if (!window_) return;
  // What the file kept is counted before the window first shows.
  history_.Open();
  if (!distribution_) distribution_ = new frmDistribution(history_, window_);
  distribution_->show();
  distribution_->raise();
  distribution_->activateWindow();
}

void TambrelSession::ShowHistory() {
  if (!window_) return;
  history_.Open();
  if (!historyWindow_) {
    historyWindow_ = new frmHistory(history_, services_, window_);
    connect(historyWindow_, &frmHistory::rollAgainRequested, this, &TambrelSession::RollAgain);
    connect(historyWindow_, &frmHistory::diceRollAgainRequested, this,
            &TambrelSession::RollDiceAgain);
  }
  historyWindow_->show();
  historyWindow_->raise();
  historyWindow_->activateWindow();
}

void TambrelSession::ShowDice() {
  if (!window_) return;
  history_.Open();
  if (!dice_) {
    dice_ = new frmDice(services_, history_, window_);
    connect(dice_, &frmDice::rolled, this, [this] {
      if (historyWindow_) historyWindow_->Changed();
    });
  }
  dice_->show();
  dice_->raise();
  dice_->activateWindow();
}

void TambrelSession::RollAgain(std::int16_t sides, std::int32_t times) {
  if (window_) window_->RollAgain(sides, times);
}

void TambrelSession::RollDiceAgain(const QString& expression, int times) {
  ShowDice();
  if (dice_) dice_->Roll(expression, times);
}

History::Opener HistoryFileOpener(std::string path) {
  return [path = std::move(path)](std::string& notice) {
    std::string setAside;
    std::unique_ptr<HistoryStore> store = OpenSqliteHistoryStore(path, &setAside);
    if (!setAside.empty()) {
      notice = "The history file could not be read. It was kept as " + setAside +
               ", and a new one was begun.";
    }
    return store;
  };
}

}  // namespace tambrel
