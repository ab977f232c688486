#include "window/dice/frm_dice.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>
#include <variant>

#include "roll/dice/breakdown.h"
#include "window/announcer.h"
#include "window/dice/expression_field.h"
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

}  // namespace

frmDice::frmDice(Services& services, QWidget* parent)
    : SideWindow(parent),
      services_(services),
      announcer_(std::make_unique<Announcer>(this)),
      work_(new OddsWork(this)),
      txtExpression_(new ExpressionField(this)),
      cmdRoll_(new QPushButton(QStringLiteral("Roll"), this)),
      caret_(new CaretLine(this)),
      lblError_(TextLine("lblError", this)),
      lblTotal_(TextLine("lblTotal", this)),
      lblBreakdown_(TextLine("lblBreakdown", this)),
      lblOddsHeading_(TextLine("lblOddsHeading", this)),
      chart_(new OddsChart(this)),
      lblOddsSummary_(TextLine("lblOddsSummary", this)),
      lblThisTotal_(TextLine("lblThisTotal", this)),
      table_(new OddsTable(this)),
      tblOdds_(new QTableView(this)),
      cmdCopyOdds_(new QPushButton(QStringLiteral("Copy Odds"), this)) {
  setObjectName(QStringLiteral("frmDice"));
  setWindowTitle(QStringLiteral("Tambrel Dice"));

  auto* lblExpression = new QLabel(QStringLiteral("&Expression:"), this);
  lblExpression->setBuddy(txtExpression_);
  txtExpression_->setObjectName(QStringLiteral("txtExpression"));
  txtExpression_->setAccessibleName(QStringLiteral("Expression"));
  txtExpression_->setPlaceholderText(QStringLiteral("4d6kh3"));
  cmdRoll_->setObjectName(QStringLiteral("cmdRoll"));
  connect(txtExpression_, &QLineEdit::returnPressed, this, &frmDice::cmdRoll_Click);
  connect(cmdRoll_, &QPushButton::clicked, this, &frmDice::cmdRoll_Click);
  // Once edited, the text no longer has its mistake where the caret points.
  connect(txtExpression_, &QLineEdit::textEdited, caret_, &CaretLine::Clear);
  caret_->setAccessibleName(QStringLiteral("Where the mistake is"));
  lblError_->hide();
  caret_->hide();

  QFont totalFont = lblTotal_->font();
  totalFont.setBold(true);
  totalFont.setPointSizeF(totalFont.pointSizeF() * 2.5);
  lblTotal_->setFont(totalFont);
  lblTotal_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblBreakdown_->setWordWrap(true);
  lblBreakdown_->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
  connect(cmdCopyOdds_, &QPushButton::clicked, this, &frmDice::cmdCopyOdds_Click);
  // Nothing to chart or list until the first roll.
  chart_->hide();
  tblOdds_->hide();
  connect(work_, &OddsWork::finished, this, &frmDice::OddsReady);

  auto* copyRoll = new QAction(QStringLiteral("Copy Roll"), this);
  copyRoll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  copyRoll->setShortcutContext(Qt::WindowShortcut);
  connect(copyRoll, &QAction::triggered, this, &frmDice::CopyRoll);
  addAction(copyRoll);

  auto* entry = new QHBoxLayout;
  entry->addWidget(lblExpression);
  entry->addWidget(txtExpression_, 1);
  entry->addWidget(cmdRoll_);
  auto* copyOdds = new QHBoxLayout;
  copyOdds->addWidget(cmdCopyOdds_);
  copyOdds->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(entry);
  layout->addWidget(caret_);
  layout->addWidget(lblError_);
  layout->addWidget(lblTotal_);
  layout->addWidget(lblBreakdown_);
  layout->addWidget(lblOddsHeading_);
  layout->addWidget(chart_, 3);
  layout->addWidget(lblOddsSummary_);
  layout->addWidget(lblThisTotal_);
  layout->addWidget(tblOdds_, 2);
  layout->addLayout(copyOdds);
  setTabOrder(txtExpression_, cmdRoll_);
  setTabOrder(cmdRoll_, tblOdds_);
  setTabOrder(tblOdds_, cmdCopyOdds_);
  resize(560, 640);
}

frmDice::~frmDice() = default;

void frmDice::showEvent(QShowEvent* event) {
  // Each time it opens, ready for the next expression.
  txtExpression_->setFocus();
  txtExpression_->selectAll();
  SideWindow::showEvent(event);
}

void frmDice::Roll(const QString& expression) {
  txtExpression_->setText(expression);
  cmdRoll_Click();
}

void frmDice::cmdRoll_Click() {
  const QString text = txtExpression_->text();
  std::variant<dice::Expression, dice::DiceError> parsed = dice::Parse(text.toStdString());
  if (const auto* error = std::get_if<dice::DiceError>(&parsed)) {
    ShowError(*error);
    return;
  }
  services_.Randomize();
  std::variant<dice::RollResult, dice::DiceError> rolled =
      dice::RollExpression(std::get<dice::Expression>(parsed), services_.Random());
  if (const auto* error = std::get_if<dice::DiceError>(&rolled)) {
    ShowError(*error);
    return;
  }
  txtExpression_->Remember(text);
  ShowRoll(std::get<dice::RollResult>(std::move(rolled)));
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

void frmDice::ShowRoll(dice::RollResult result) {
  lblError_->hide();
  caret_->hide();
  lblTotal_->setText(Totals(result));
  lblBreakdown_->setText(Breakdowns(result));
  announcer_->Say(QString::fromStdString(dice::SpokenText(result)));
  const std::string oddsOf = result.expression.RolledText();
  shown_ = std::move(result);
  if (oddsOf == oddsOf_) {
    ShowOdds();
    return;
  }
  odds_.reset();
  oddsOf_.clear();
  if (!dice::OddsWithinReach(shown_->expression)) {
    oddsOf_ = oddsOf;
    ShowOdds();
    return;
  }
  // Until the odds come, what was shown of another expression goes.
  lblOddsHeading_->setText(QStringLiteral("Working out the odds of %1\u2026")
                               .arg(QString::fromStdString(oddsOf)));
  chart_->SetOdds(nullptr, {});
  table_->SetOdds(nullptr);
  lblOddsSummary_->clear();
  lblThisTotal_->clear();
  cmdCopyOdds_->setEnabled(false);
  work_->Start(shown_->expression);
}

void frmDice::OddsReady(const OddsWork::Result& odds) {
  if (!shown_) return;
  odds_ = odds;
  oddsOf_ = shown_->expression.RolledText();
  table_->SetOdds(odds_);
  ShowOdds();
}

void frmDice::ShowOdds() {
  const QString of = QString::fromStdString(oddsOf_);
  std::vector<std::int64_t> rolled;
  for (const dice::Roll& roll : shown_->rolls) rolled.push_back(roll.total);
  cmdCopyOdds_->setEnabled(odds_ != nullptr);
  chart_->setVisible(odds_ != nullptr);
  tblOdds_->setVisible(odds_ != nullptr);
  if (!odds_) {
    lblOddsHeading_->setText(QString::fromUtf8(dice::kTooLargeToWorkOut.data(),
                                               static_cast<qsizetype>(dice::kTooLargeToWorkOut.size())));
    lblOddsSummary_->clear();
    lblThisTotal_->clear();
  } else {
    lblOddsHeading_->setText(QStringLiteral("Odds of %1").arg(of));
    lblOddsSummary_->setText(Summary(*odds_));
    lblThisTotal_->setText(ThisTotal(*odds_, rolled.back()));
    // Scrolled to, not selected: a selection would draw a screen reader
    // into the table, away from the field.
    const int row = table_->RowOf(rolled.back());
    if (row >= 0) tblOdds_->scrollTo(table_->index(row, 0), QAbstractItemView::PositionAtCenter);
  }
  chart_->SetOdds(odds_, std::move(rolled));
  Q_EMIT oddsShown();
}

void frmDice::CopyRoll() {
  if (!shown_) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(dice::CopyText(*shown_)));
  announcer_->Say(QStringLiteral("Roll copied"));
}

void frmDice::cmdCopyOdds_Click() {
  if (odds_) QGuiApplication::clipboard()->setText(QString::fromStdString(dice::OddsTableText(*odds_)));
}

}  // namespace tambrel
