#include "window/dice/odds_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "roll/dice/fit.h"
#include "roll/history_text.h"
#include "window/dice/background.h"
#include "window/dice/odds_chart.h"
#include "window/dice/odds_table.h"

namespace tambrel {
namespace {

QLabel* TextLine(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}

// "4.63 %"
QString Percent(double chance) {
  return QString::number(chance * 100, 'f', 2) + QStringLiteral(" %");
}

QString Summary(const dice::Odds& odds) {
  QString summary = QStringLiteral("Mean %1, standard deviation %2; lowest %3, highest %4")
                        .arg(odds.mean, 0, 'f', 2)
                        .arg(odds.standardDeviation, 0, 'f', 2)
                        .arg(odds.lowest)
                        .arg(odds.highest);
  if (odds.truncated) {
    summary += QStringLiteral("\nExploding dice are followed until less than 10\u207B\u00B9\u00B2 "
                              "of the chance is left; the rest is not shown");
  }
  return summary;
}

QString ThisTotal(const dice::Odds& odds, std::int64_t total) {
  const dice::Chance* row = odds.Find(total);
  if (row == nullptr) return QStringLiteral("This total is too unlikely to be in the table");
  return QStringLiteral("This total: %1; this or higher: %2; this or lower: %3")
      .arg(Percent(row->chance), Percent(row->atLeast), Percent(row->atMost));
}

// "Rolled 1,000 times since 8 Dec 2026 14:02"
QString Observed(const ExpressionTally& tally) {
  if (tally.rolls == 0) return QStringLiteral("Not rolled yet");
  QString text = tally.rolls == 1 ? QStringLiteral("Rolled once")
                                  : QStringLiteral("Rolled %1 times")
                                        .arg(QLocale(QLocale::English)
                                                 .toString(static_cast<qulonglong>(tally.rolls)));
  if (tally.sinceMs != 0) text += QStringLiteral(" since ") + QString::fromStdString(DayAndMinute(tally.sinceMs));
  return text;
}

// The verdict, then the test that gave it, as the Distribution window says it.
QString VerdictText(const dice::Fit& fit) {
  if (fit.verdict == Verdict::TooFewToJudge) return QStringLiteral("Too few rolls to judge");
  const QString words = fit.verdict == Verdict::UnusualForFair
                            ? QStringLiteral("Unusual for fair dice")
                            : QStringLiteral("Consistent with fair dice");
  return words + QLatin1Char('\n') + QString::fromStdString(TestText(fit.test));
}

}  // namespace

OddsView::OddsView(QWidget* parent)
    : QWidget(parent),
      lblOddsHeading_(TextLine("lblOddsHeading", this)),
      chart_(new OddsChart(this)),
      lblOddsSummary_(TextLine("lblOddsSummary", this)),
      lblThisTotal_(TextLine("lblThisTotal", this)),
      lblObserved_(TextLine("lblObserved", this)),
      lblVerdict_(TextLine("lblVerdict", this)),
      table_(new OddsTable(this)),
      tblOdds_(new QTableView(this)),
      cmdCopyOdds_(new QPushButton(QStringLiteral("Copy Odds"), this)),
      cmdReset_(new QPushButton(QStringLiteral("Reset"), this)) {
  QFont headingFont = lblOddsHeading_->font();
  headingFont.setBold(true);
  lblOddsHeading_->setFont(headingFont);
  chart_->setObjectName(QStringLiteral("picOdds"));
  chart_->setAccessibleName(QStringLiteral("Bar chart of the odds"));
  tblOdds_->setObjectName(QStringLiteral("tblOdds"));
  tblOdds_->setAccessibleName(QStringLiteral("Odds"));
  tblOdds_->setModel(table_);
  tblOdds_->verticalHeader()->hide();
  tblOdds_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  tblOdds_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblOdds_->setSelectionMode(QAbstractItemView::SingleSelection);
  tblOdds_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblOdds_->setTabKeyNavigation(false);
  cmdCopyOdds_->setObjectName(QStringLiteral("cmdCopyOdds"));
  cmdCopyOdds_->setEnabled(false);
  connect(cmdCopyOdds_, &QPushButton::clicked, this, &OddsView::cmdCopyOdds_Click);
  cmdReset_->setObjectName(QStringLiteral("cmdReset"));
  cmdReset_->setEnabled(false);
  connect(cmdReset_, &QPushButton::clicked, this, &OddsView::resetRequested);
  connect(&work_, &QFutureWatcher<Result>::finished, this, &OddsView::Ready);
  // Nothing to chart or list until the first roll.
  chart_->hide();
  tblOdds_->hide();

  auto* copyOdds = new QHBoxLayout;
  copyOdds->addWidget(cmdCopyOdds_);
  copyOdds->addWidget(cmdReset_);
  copyOdds->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(lblOddsHeading_);
  layout->addWidget(chart_, 3);
  layout->addWidget(lblOddsSummary_);
  layout->addWidget(lblThisTotal_);
  layout->addWidget(lblObserved_);
  layout->addWidget(lblVerdict_);
  layout->addWidget(tblOdds_, 2);
  layout->addLayout(copyOdds);
}

OddsView::~OddsView() { stop_.request_stop(); }

void OddsView::Show(const dice::Expression& expression, std::vector<std::int64_t> rolled) {
  rolled_ = std::move(rolled);
  wanted_ = expression.RolledText();
  if (wanted_ == of_) {
    Update();
    return;
  }
  stop_.request_stop();
  odds_.reset();
  of_.clear();
  if (!dice::OddsWithinReach(expression)) {
    of_ = wanted_;
    table_->SetOdds(nullptr);
    Update();
    return;
  }
  // Until the odds come, what was shown of another expression goes.
  lblOddsHeading_->setText(QStringLiteral("Working out the odds of %1\u2026")
                               .arg(QString::fromStdString(wanted_)));
  chart_->SetOdds(nullptr, {});
  table_->SetOdds(nullptr);
  lblOddsSummary_->clear();
  lblThisTotal_->clear();
  cmdCopyOdds_->setEnabled(false);
  stop_ = std::stop_source();
  RunInPool(work_, [expression, stop = stop_.get_token()]() -> Result {
    std::optional<dice::Odds> odds = dice::ExactOdds(expression, stop);
    return odds ? std::make_shared<const dice::Odds>(std::move(*odds)) : nullptr;
  });
}

void OddsView::Ready() {
  odds_ = ResultOf(work_);
  of_ = wanted_;
  table_->SetOdds(odds_);
  Update();
}

void OddsView::Update() {
  cmdCopyOdds_->setEnabled(odds_ != nullptr);
  chart_->setVisible(odds_ != nullptr);
  tblOdds_->setVisible(odds_ != nullptr);
  if (!odds_) {
    lblOddsHeading_->setText(QString::fromUtf8(dice::kTooLargeToWorkOut.data(),
                                               static_cast<qsizetype>(dice::kTooLargeToWorkOut.size())));
    lblOddsSummary_->clear();
    lblThisTotal_->clear();
  } else {
    lblOddsHeading_->setText(QStringLiteral("Odds of %1").arg(QString::fromStdString(of_)));
    lblOddsSummary_->setText(Summary(*odds_));
    lblThisTotal_->setText(ThisTotal(*odds_, rolled_.back()));
    // Scrolled to, not selected: a selection would draw a screen reader
    // into the table, away from the field.
    const int row = table_->RowOf(rolled_.back());
    if (row >= 0) tblOdds_->scrollTo(table_->index(row, 0), QAbstractItemView::PositionAtCenter);
  }
  chart_->SetOdds(odds_, rolled_);
  Judge();
  Q_EMIT shown();
}

void OddsView::SetObserved(const ExpressionTally& tally) {
  tally_ = tally;
  observed_ = tally_.rolls > 0
                  ? std::make_shared<const std::map<std::int64_t, std::uint64_t>>(tally_.counts)
                  : nullptr;
  chart_->SetObserved(observed_);
  table_->SetObserved(observed_);
  Judge();
}

void OddsView::Judge() {
  lblObserved_->setText(Observed(tally_));
  cmdReset_->setEnabled(tally_.rolls > 0);
  lblVerdict_->setVisible(odds_ != nullptr && tally_.rolls > 0);
  if (lblVerdict_->isVisibleTo(this)) {
    lblVerdict_->setText(VerdictText(dice::TestAgainstOdds(*odds_, tally_.counts)));
  }
}

void OddsView::cmdCopyOdds_Click() {
  if (!odds_) return;
  QGuiApplication::clipboard()->setText(
      QString::fromStdString(dice::OddsTableText(*odds_, observed_.get())));
}

}  // namespace tambrel
