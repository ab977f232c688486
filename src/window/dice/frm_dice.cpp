#include "window/dice/frm_dice.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "roll/dice/breakdown.h"
#include "window/announcer.h"
#include "window/dice/background.h"
#include "window/dice/expression_field.h"
#include "window/dice/odds_view.h"
#include "window/dice/saved_rolls.h"

namespace tambrel {
namespace {

// Up to this many dice a batch is rolled at once, in a few milliseconds;
// beyond, on the thread pool, so that the window answers meanwhile.
constexpr std::int64_t kMostDiceRolledAtOnce = 2'000'000;

QLabel* TextLine(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}

QString Totals(const dice::RollResult& result) {
  QStringList totals;
  for (const dice::Roll& roll : result.rolls) totals.append(QString::number(roll.total));
  return totals.join(QStringLiteral(", "));
}

// A single roll's dice; a line per roll, with its total, for a repeat.
QString Breakdowns(const dice::RollResult& result) {
  if (result.rolls.size() == 1) {
    return QString::fromStdString(dice::BreakdownText(result.expression, result.rolls.front()));
  }
  QStringList lines;
  for (const dice::Roll& roll : result.rolls) {
    lines.append(QString::fromStdString(dice::BreakdownText(result.expression, roll)) +
                 QStringLiteral(" = ") + QString::number(roll.total));
  }
  return lines.join(QLatin1Char('\n'));
}

// What "Results" keeps of a batch: its first totals, then how many more.
std::string FirstTotals(const std::vector<std::int64_t>& totals) {
  QStringList shown;
  for (std::size_t i = 0; i < std::min(totals.size(), kResultsShown); ++i) {
    shown.append(QString::number(totals[i]));
  }
  QString text = shown.join(QStringLiteral(", "));
  if (totals.size() > kResultsShown) {
    text += QStringLiteral(", and %1 more").arg(static_cast<qulonglong>(totals.size() - kResultsShown));
  }
  return text.toStdString();
}

// The sum of a roll's totals; a sum past 64 bits, which only expressions
// near the limits of the notation can reach, stops at the limit.
std::int64_t SumOf(const std::vector<std::int64_t>& totals) {
  std::int64_t sum = 0;
  for (const std::int64_t total : totals) {
    if (__builtin_add_overflow(sum, total, &sum)) {
      return total > 0 ? std::numeric_limits<std::int64_t>::max()
                       : std::numeric_limits<std::int64_t>::min();
    }
  }
  return sum;
}

// How many dice one roll of the expression throws before explosions.
std::int64_t DicePerRoll(const dice::Expression& expression) {
  std::int64_t dice = 0;
  for (const dice::DiceTerm& term : expression.Dice()) dice += term.count * (term.rerollOnce ? 2 : 1);
  return dice * expression.Repeats();
}

// "1,000 rolls: mean 7.03"
QString BatchLine(const dice::Batch& batch) {
  double sum = 0;
  for (const std::int64_t total : batch.totals) sum += static_cast<double>(total);
  const auto count = static_cast<qlonglong>(batch.totals.size());
  return QStringLiteral("%1 rolls: mean %2")
      .arg(QLocale(QLocale::English).toString(count))
      .arg(sum / static_cast<double>(count), 0, 'f', 2);
}

}  // namespace

frmDice::frmDice(Services& services, History& history, QWidget* parent)
    : SideWindow(parent),
      services_(services),
      history_(history),
      announcer_(std::make_unique<Announcer>(this)),
      txtExpression_(new ExpressionField(this)),
      spnTimes_(new QSpinBox(this)),
      cmdRoll_(new QPushButton(QStringLiteral("Roll"), this)),
      caret_(new CaretLine(this)),
      lblError_(TextLine("lblError", this)),
      lblTotal_(TextLine("lblTotal", this)),
      txtBreakdown_(new QPlainTextEdit(this)),
      lblBatch_(TextLine("lblBatch", this)),
      odds_(new OddsView(this)),
      saved_(new SavedRollsList(history, services, this)) {
  setObjectName(QStringLiteral("frmDice"));
  setWindowTitle(QStringLiteral("Tambrel Dice"));

  auto* lblExpression = new QLabel(QStringLiteral("&Expression:"), this);
  lblExpression->setBuddy(txtExpression_);
  txtExpression_->setObjectName(QStringLiteral("txtExpression"));
  txtExpression_->setAccessibleName(QStringLiteral("Expression"));
  txtExpression_->setPlaceholderText(QStringLiteral("4d6kh3"));
  auto* lblTimes = new QLabel(QStringLiteral("&Times:"), this);
  lblTimes->setBuddy(spnTimes_);
  spnTimes_->setObjectName(QStringLiteral("spnTimes"));
  spnTimes_->setAccessibleName(QStringLiteral("Times"));
  spnTimes_->setRange(1, dice::kMostBatchRolls);
  spnTimes_->setGroupSeparatorShown(true);
  cmdRoll_->setObjectName(QStringLiteral("cmdRoll"));
  connect(txtExpression_, &QLineEdit::returnPressed, this, &frmDice::cmdRoll_Click);
  connect(cmdRoll_, &QPushButton::clicked, this, &frmDice::cmdRoll_Click);
  connect(&batch_, &QFutureWatcher<BatchOutcome>::finished, this, &frmDice::BatchRolled);
  connect(odds_, &OddsView::shown, this, &frmDice::oddsShown);
  connect(odds_, &OddsView::resetRequested, this, &frmDice::ResetCounts);
  connect(saved_, &SavedRollsList::rollRequested, this,
          [this](const QString& expression) { Roll(expression, spnTimes_->value()); });
  connect(saved_, &SavedRollsList::saveRequested, this, &frmDice::Save);
  saved_->setMaximumWidth(fontMetrics().averageCharWidth() * 28);
  // Once edited, the text no longer has its mistake where the caret points.
  connect(txtExpression_, &QLineEdit::textEdited, caret_, &CaretLine::Clear);
  lblError_->hide();
  caret_->hide();

  QFont totalFont = lblTotal_->font();
  totalFont.setBold(true);
  totalFont.setPointSizeF(totalFont.pointSizeF() * 2.5);
  lblTotal_->setFont(totalFont);
  lblTotal_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A thousand dice make a breakdown of thousands of characters: a text view
  // of a few lines lays out only what it shows, where a wrapping label
  // would measure it all, again and again, at each roll.
  txtBreakdown_->setObjectName(QStringLiteral("txtBreakdown"));
  txtBreakdown_->setAccessibleName(QStringLiteral("Dice"));
  txtBreakdown_->setReadOnly(true);
  txtBreakdown_->setFrameShape(QFrame::NoFrame);
  txtBreakdown_->setFocusPolicy(Qt::ClickFocus);
  txtBreakdown_->setBackgroundRole(QPalette::Window);
  txtBreakdown_->viewport()->setAutoFillBackground(false);
  txtBreakdown_->document()->setDocumentMargin(0);
  txtBreakdown_->setFixedHeight(txtBreakdown_->fontMetrics().lineSpacing() * 3 +
                                2 * txtBreakdown_->frameWidth());
  lblBatch_->hide();

  auto* copyRoll = new QAction(QStringLiteral("Copy Roll"), this);
  copyRoll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  copyRoll->setShortcutContext(Qt::WindowShortcut);
  connect(copyRoll, &QAction::triggered, this, &frmDice::CopyRoll);
  addAction(copyRoll);

  auto* entry = new QHBoxLayout;
  entry->addWidget(lblExpression);
  entry->addWidget(txtExpression_, 1);
  entry->addWidget(lblTimes);
  entry->addWidget(spnTimes_);
  entry->addWidget(cmdRoll_);
  auto* layout = new QVBoxLayout;
  layout->addLayout(entry);
  layout->addWidget(caret_);
  layout->addWidget(lblError_);
  layout->addWidget(lblTotal_);
  layout->addWidget(txtBreakdown_);
  layout->addWidget(lblBatch_);
  layout->addWidget(odds_, 1);
  auto* sides = new QHBoxLayout(this);
  sides->addWidget(saved_);
  sides->addLayout(layout, 1);
  setTabOrder(txtExpression_, spnTimes_);
  setTabOrder(spnTimes_, cmdRoll_);
  resize(820, 680);
}

frmDice::~frmDice() = default;

void frmDice::showEvent(QShowEvent* event) {
  // Each time it opens, ready for the next expression.
  txtExpression_->setFocus();
  txtExpression_->selectAll();
  SideWindow::showEvent(event);
}

void frmDice::keyPressEvent(QKeyEvent* event) {
  // Enter in Times rolls, as in the field: the box itself passes it on.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      spnTimes_->isAncestorOf(QApplication::focusWidget())) {
    cmdRoll_Click();
    return;
  }
  SideWindow::keyPressEvent(event);
}

void frmDice::Roll(const QString& expression, int times) {
  txtExpression_->setText(expression);
  spnTimes_->setValue(times);
  cmdRoll_Click();
}

void frmDice::cmdRoll_Click() {
  if (batch_.isRunning()) return;  // one batch at a time
  const QString text = txtExpression_->text();
  std::variant<dice::Expression, dice::DiceError> parsed = dice::Parse(text.toStdString());
  if (const auto* error = std::get_if<dice::DiceError>(&parsed)) {
    ShowError(*error);
    return;
  }
  const dice::Expression& expression = std::get<dice::Expression>(parsed);
  services_.Randomize();
  txtExpression_->Remember(text);
  const int times = spnTimes_->value();
  if (times == 1) {
    std::variant<dice::RollResult, dice::DiceError> rolled =
        dice::RollExpression(expression, services_.Random());
    if (const auto* error = std::get_if<dice::DiceError>(&rolled)) {
      ShowError(*error);
      return;
    }
    ShowRoll(std::get<dice::RollResult>(std::move(rolled)));
    std::vector<std::int64_t> totals;
    std::map<std::int64_t, std::uint64_t> counts;
    for (const dice::Roll& roll : shown_->rolls) {
      totals.push_back(roll.total);
      ++counts[roll.total];
    }
    Record(1, counts, totals);
    return;
  }
  // A batch rolls on a generator of its own, seeded from the program's,
  // so that it may leave the window's thread.
  auto roll = [expression, times, generator = RandomGenerator(services_.Random().Next())]() mutable {
    return std::make_shared<const std::variant<dice::Batch, dice::DiceError>>(
        dice::RollMany(expression, generator, times));
  };
  if (DicePerRoll(expression) * times <= kMostDiceRolledAtOnce) {
    const BatchOutcome outcome = roll();
    if (const auto* error = std::get_if<dice::DiceError>(outcome.get())) {
      ShowError(*error);
      return;
    }
    const auto& batch = std::get<dice::Batch>(*outcome);
    ShowRoll(*batch.last, BatchLine(batch));
    Record(times, batch.counts, batch.totals);
    return;
  }
  cmdRoll_->setEnabled(false);
  lblBatch_->setText(QStringLiteral("Rolling %1 times\u2026").arg(QLocale(QLocale::English).toString(times)));
  lblBatch_->show();
  RunInPool(batch_, std::move(roll));
}

void frmDice::BatchRolled() {
  cmdRoll_->setEnabled(true);
  const BatchOutcome outcome = ResultOf(batch_);
  if (!outcome) return;
  if (const auto* error = std::get_if<dice::DiceError>(outcome.get())) {
    lblBatch_->hide();
    ShowError(*error);
    return;
  }
  const auto& batch = std::get<dice::Batch>(*outcome);
  ShowRoll(*batch.last, BatchLine(batch));
  Record(spnTimes_->value(), batch.counts, batch.totals);
}

void frmDice::ShowError(const dice::DiceError& error) {
  const QString message = QString::fromStdString(error.message);
  lblError_->setText(message);
  lblError_->show();
  caret_->show();
  // The cursor goes to the mistake, and the caret under it.
  txtExpression_->setFocus();
  const QPoint under = txtExpression_->mapTo(this, txtExpression_->PointTo(error.column));
  caret_->PointAt(under.x());
  announcer_->Say(message);
}

void frmDice::ShowRoll(dice::RollResult result, const QString& batchLine) {
  lblError_->hide();
  caret_->hide();
  lblTotal_->setText(Totals(result));
  txtBreakdown_->setPlainText(Breakdowns(result));
  lblBatch_->setText(batchLine);
  lblBatch_->setVisible(!batchLine.isEmpty());
  QString spoken = QString::fromStdString(dice::SpokenText(result));
  if (!batchLine.isEmpty()) spoken = batchLine + QStringLiteral(". The last: ") + spoken;
  announcer_->Say(spoken);
  std::vector<std::int64_t> rolled;
  for (const dice::Roll& roll : result.rolls) rolled.push_back(roll.total);
  shown_ = std::move(result);
  odds_->Show(shown_->expression, std::move(rolled));
}

void frmDice::Record(std::int32_t times, const std::map<std::int64_t, std::uint64_t>& counts,
                     const std::vector<std::int64_t>& totals) {
  StoredRun roll;
  roll.expression = shown_->expression.Text();
  roll.times = times;
  roll.valueCount = static_cast<std::int32_t>(totals.size());
  roll.sum = SumOf(totals);
  roll.results = times == 1 ? Breakdowns(*shown_).replace(QLatin1Char('\n'), QStringLiteral("; ")).toStdString()
                            : FirstTotals(totals);
  history_.DiceRolled(roll, shown_->expression.RolledText(), counts);
  ShowObserved();
  Q_EMIT rolled();
}

void frmDice::ShowObserved() {
  if (shown_) odds_->SetObserved(history_.TallyOfExpression(shown_->expression.RolledText()));
}

void frmDice::Refresh() {
  saved_->Reload();
  ShowObserved();
}

void frmDice::Save() {
  std::variant<dice::Expression, dice::DiceError> parsed =
      dice::Parse(txtExpression_->text().toStdString());
  if (const auto* error = std::get_if<dice::DiceError>(&parsed)) {
    ShowError(*error);
    return;
  }
  saved_->Save(std::get<dice::Expression>(parsed).Text());
}

void frmDice::ResetCounts() {
  if (!shown_) return;
  const std::string counted = shown_->expression.RolledText();
  const ExpressionTally tally = history_.TallyOfExpression(counted);
  const std::string rolls = QLocale(QLocale::English).toString(static_cast<qulonglong>(tally.rolls)).toStdString();
  if (!services_.AskYesNo("Forget the " + rolls + (tally.rolls == 1 ? " roll" : " rolls") + " of " +
                              counted + " counted so far?",
                          "Tambrel Dice")) {
    return;
  }
  history_.ResetExpression(counted);
  ShowObserved();
}

void frmDice::CopyRoll() {
  if (!shown_) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(dice::CopyText(*shown_)));
  announcer_->Say(QStringLiteral("Roll copied"));
}

}  // namespace tambrel
