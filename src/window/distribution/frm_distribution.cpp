#include "window/distribution/frm_distribution.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>

#include "roll/history_text.h"
#include "window/distribution/distribution_chart.h"
#include "window/distribution/distribution_table.h"

namespace tambrel {
namespace {

QString Values(std::uint64_t count) {
  if (count == 1) return QStringLiteral("1 value");
  return QLocale(QLocale::English).toString(static_cast<qulonglong>(count)) + QStringLiteral(" values");
}

QString RangeText(ValueRange range) {
  return QStringLiteral("from %1 to %2").arg(range.lowest).arg(range.highest);
}

// The tally outlives a session, so the heading says since when it counts.
QString Heading(const Distribution& shown, std::int64_t sinceMs) {
  if (shown.total == 0) return QStringLiteral("No values %1 yet").arg(RangeText(shown.range));
  QString heading = Values(shown.total) + QLatin1Char(' ') + RangeText(shown.range);
  if (sinceMs != 0) heading += QStringLiteral(" since ") + QString::fromStdString(DayAndMinute(sinceMs));
  return heading;
}

// "4 (25 times)", "1, 6 (15 times each)", "7, 9, 12 and 30 more (never drawn)".
QString Common(const CommonValues& common) {
  QStringList names;
  for (const std::int32_t value : common.first) names.append(QString::number(value));
  QString text = names.join(QStringLiteral(", "));
  const auto unnamed = common.sharing - static_cast<std::int64_t>(common.first.size());
  if (unnamed > 0) text += QStringLiteral(" and %1 more").arg(unnamed);
  QString times;
  if (common.count == 0) {
    times = QStringLiteral("never drawn");
  } else {
    times = common.count == 1 ? QStringLiteral("1 time") : QStringLiteral("%1 times").arg(common.count);
    if (common.sharing > 1) times += QStringLiteral(" each");
  }
  return text + QStringLiteral(" (") + times + QLatin1Char(')');
}

QString Summary(const Distribution& shown) {
  if (!shown.mean) return {};
  return QStringLiteral("Mean %1, against %2 for a fair die\nMost common: %3; least common: %4")
      .arg(*shown.mean, 0, 'f', 2)
      .arg(shown.fairMean, 0, 'f', 2)
      .arg(Common(*shown.mostCommon), Common(*shown.leastCommon));
}

QString VerdictText(const Distribution& shown) {
  if (!shown.test) return QStringLiteral("Too few values to judge");
  if (shown.verdict == Verdict::TooFewToJudge) {
    return QStringLiteral("Too few values to judge\nA fair die would give fewer than %1 values a bar")
        .arg(kFewestExpectedPerBar);
  }
  const QString words = shown.verdict == Verdict::UnusualForFair
                            ? QStringLiteral("Unusual for a fair die")
                            : QStringLiteral("Consistent with a fair die");
  return words + QLatin1Char('\n') + QString::fromStdString(TestText(*shown.test));
}

QLabel* TextLine(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  // Plain and unwrapped, with lines broken where the text says: a wrapped
  // or selectable label lays its text out as a document, at several widths,
  // after every run.
  label->setWordWrap(false);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

frmDistribution::frmDistribution(History& history, QWidget* parent)
    : SideWindow(parent),
      history_(history),
      lblHeading_(TextLine("lblHeading", this)),
      chart_(new DistributionChart(this)),
      lblSummary_(TextLine("lblSummary", this)),
      lblVerdict_(TextLine("lblVerdict", this)),
      table_(new DistributionTable(this)),
      tblCounts_(new QTableView(this)),
      cmdReset_(new QPushButton(QStringLiteral("Reset"), this)),
      cmdCopyChart_(new QPushButton(QStringLiteral("Copy Chart"), this)) {
  setObjectName(QStringLiteral("frmDistribution"));
  setWindowTitle(QStringLiteral("Tambrel Distribution"));

  QFont headingFont = lblHeading_->font();
  headingFont.setBold(true);
  headingFont.setPointSizeF(headingFont.pointSizeF() * 1.25);
  lblHeading_->setFont(headingFont);
  chart_->setObjectName(QStringLiteral("picChart"));
  chart_->setAccessibleName(QStringLiteral("Bar chart of the counts"));

  tblCounts_->setObjectName(QStringLiteral("tblCounts"));
  tblCounts_->setAccessibleName(QStringLiteral("Counts"));
  tblCounts_->setModel(table_);
  tblCounts_->verticalHeader()->hide();
  tblCounts_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  tblCounts_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblCounts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblCounts_->setTabKeyNavigation(false);
  // Room for a d6's six rows whole at the window's first size.
  constexpr int kRowsShown = 6;
  tblCounts_->setMinimumHeight(tblCounts_->horizontalHeader()->sizeHint().height() +
                               kRowsShown * tblCounts_->verticalHeader()->defaultSectionSize() +
                               2 * tblCounts_->frameWidth());
  cmdReset_->setObjectName(QStringLiteral("cmdReset"));
  cmdCopyChart_->setObjectName(QStringLiteral("cmdCopyChart"));
  connect(cmdReset_, &QPushButton::clicked, this, &frmDistribution::cmdReset_Click);
  connect(cmdCopyChart_, &QPushButton::clicked, this, &frmDistribution::cmdCopyChart_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdReset_);
  buttons->addWidget(cmdCopyChart_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblHeading_);
  layout->addWidget(chart_, 3);
  layout->addWidget(lblSummary_);
  layout->addWidget(lblVerdict_);
  layout->addWidget(tblCounts_, 2);
  layout->addLayout(buttons);

  SetCopy(QStringLiteral("Copy Table"), [this] { CopyTable(); });

  tblCounts_->setFocus();
}

void frmDistribution::Refresh() {
  const Tally& tally = history_.Counted();
  const std::optional<ValueRange> range = tally.Latest();
  // Another Tambrel may have counted or reset it meanwhile.
  if (range) history_.Agree(*range);
  if (!range) {
    shown_.reset();
    lblHeading_->setText(QStringLiteral("No values drawn yet"));
    lblSummary_->hide();
    lblVerdict_->setText(QStringLiteral("Too few values to judge"));
    cmdReset_->setEnabled(false);
    return;
  }
  shown_ = Describe(tally, *range);
  lblHeading_->setText(Heading(*shown_, tally.SinceOf(*range)));
  lblSummary_->setText(Summary(*shown_));
  lblSummary_->setVisible(!lblSummary_->text().isEmpty());
  lblVerdict_->setText(VerdictText(*shown_));
  chart_->SetBars(shown_->bars);
  table_->SetBars(shown_->bars);
  cmdReset_->setEnabled(shown_->total > 0);
}

void frmDistribution::cmdReset_Click() {
  if (!shown_) return;
  history_.ResetRange(shown_->range);
  Refresh();
}

void frmDistribution::cmdCopyChart_Click() {
  // At the screen's pixel density, so that it stays sharp on a slide.
  QGuiApplication::clipboard()->setImage(chart_->grab().toImage());
}

void frmDistribution::CopyTable() { QGuiApplication::clipboard()->setText(table_->AsText()); }

}  // namespace tambrel
