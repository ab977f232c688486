#include "window/history/frm_history.h"

#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <vector>

#include "roll/history_text.h"
#include "window/history/history_table.h"

namespace tambrel {
namespace {

constexpr std::string_view kTitle = "Tambrel History";

QPushButton* Button(const QString& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QString Runs(std::int64_t count) {
  if (count == 1) return QStringLiteral("1 run");
  return QLocale(QLocale::English).toString(static_cast<qlonglong>(count)) + QStringLiteral(" runs");
}

}  // namespace

frmHistory::frmHistory(History& history, Services& services, QWidget* parent)
    : SideWindow(parent),
      history_(history),
      services_(services),
      lblProblem_(new QLabel(this)),
      table_(new HistoryTable(history, this)),
      tblRuns_(new QTableView(this)),
      cmdRollAgain_(Button(QStringLiteral("Roll Again"), "cmdRollAgain", this)),
      cmdSaveAs_(Button(QStringLiteral("Save As…"), "cmdSaveAs", this)),
      cmdClear_(Button(QStringLiteral("Clear History"), "cmdClearHistory", this)) {
  setObjectName(QStringLiteral("frmHistory"));
  setWindowTitle(QString::fromUtf8(kTitle));
  resize(800, 400);

  lblProblem_->setObjectName(QStringLiteral("lblProblem"));
  lblProblem_->setTextFormat(Qt::PlainText);
  lblProblem_->setWordWrap(true);
  lblProblem_->hide();

  tblRuns_->setObjectName(QStringLiteral("tblRuns"));
  tblRuns_->setAccessibleName(QStringLiteral("Runs"));
  tblRuns_->setModel(table_);
  tblRuns_->verticalHeader()->hide();
  // Every row one line high, so that the view needs no text measured to
  // lay out ten thousand rows.
  tblRuns_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // Widths from the font, never from the rows, which would all be read.
  const QFontMetrics metrics(tblRuns_->font());
  const int pad = 2 * metrics.horizontalAdvance(QLatin1Char('0'));
  const int number = metrics.horizontalAdvance(QStringLiteral("Average")) + pad;
  const int widths[] = {metrics.horizontalAdvance(QStringLiteral("30 Dec 2026 00:00:00")) + pad,
                        metrics.horizontalAdvance(QStringLiteral("1000×4d6kh3")) + pad,
                        number, number, metrics.horizontalAdvance(QStringLiteral("-1000000")) + pad,
                        number};
  for (int column = 0; column < static_cast<int>(std::size(widths)); ++column) {
    tblRuns_->horizontalHeader()->resizeSection(column, widths[column]);
  }
  tblRuns_->horizontalHeader()->setStretchLastSection(true);
  tblRuns_->setWordWrap(false);
  tblRuns_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblRuns_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tblRuns_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblRuns_->setTabKeyNavigation(false);
  // Enter and a double-click both activate a row.
  connect(tblRuns_, &QAbstractItemView::activated, this, &frmHistory::cmdRollAgain_Click);
  connect(cmdRollAgain_, &QPushButton::clicked, this, &frmHistory::cmdRollAgain_Click);
  connect(cmdSaveAs_, &QPushButton::clicked, this, &frmHistory::cmdSaveAs_Click);
  connect(cmdClear_, &QPushButton::clicked, this, &frmHistory::cmdClear_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdRollAgain_);
  buttons->addStretch();
  buttons->addWidget(cmdSaveAs_);
  buttons->addWidget(cmdClear_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblProblem_);
  layout->addWidget(tblRuns_, 1);
  layout->addLayout(buttons);

  SetCopy(QStringLiteral("Copy Runs"), [this] { CopySelected(); });

  tblRuns_->setFocus();
}

void frmHistory::Refresh() {
  table_->Refresh();
  QString line;
  if (!history_.Problem().empty()) {
    line = QStringLiteral("History is not being saved: ") + QString::fromStdString(history_.Problem());
  } else if (const std::optional<std::int64_t> written = history_.Resumed()) {
    line = QStringLiteral("History is being saved again; %1 written").arg(Runs(*written));
  } else if (!history_.Notice().empty()) {
    line = QString::fromStdString(history_.Notice());
  }
  lblProblem_->setText(line);
  lblProblem_->setVisible(!line.isEmpty());
  const bool any = table_->rowCount() > 0;
  cmdRollAgain_->setEnabled(any);
  cmdClear_->setEnabled(any);
  // The newest run is current, so that the arrow keys start from the top.
  if (any) {
    tblRuns_->selectionModel()->setCurrentIndex(
        table_->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
}

void frmHistory::cmdRollAgain_Click() {
  const std::optional<StoredRun> run = table_->RunAt(tblRuns_->currentIndex().row());
  if (!run) return;
  if (!run->expression.empty()) {
    Q_EMIT diceRollAgainRequested(QString::fromStdString(run->expression), run->times);
    return;
  }
  Q_EMIT rollAgainRequested(run->sides, run->valueCount);
}

void frmHistory::CopySelected() {
  std::vector<std::int64_t> ids;
  for (const QModelIndex& row : tblRuns_->selectionModel()->selectedRows()) {
    if (const std::optional<StoredRun> run = table_->RunAt(row.row())) ids.push_back(run->id);
  }
  if (ids.empty()) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(CopyText(history_.RunsById(ids))));
}

void frmHistory::cmdSaveAs_Click() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  const QString name = QStringLiteral("tambrel-history-%1.csv")
                           .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save History As"), QDir(folder).filePath(name),
      QStringLiteral("CSV files (*.csv);;All files (*)"));
  if (path.isEmpty()) return;
  const QString failure = SaveTo(path);
  if (failure.isEmpty()) return;
  services_.MsgBox(QStringLiteral("The history could not be saved to %1: %2").arg(path, failure).toStdString(),
                   MsgStyle::Information, kTitle);
}

QString frmHistory::SaveTo(const QString& path) {
  // Written beside the file and renamed over it only once whole.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  QString failure;
  const auto write = [&](const std::string& text) {
    if (!failure.isEmpty()) return;
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
      failure = file.errorString();
    }
  };
  write(CsvHeader());
  const bool read = history_.ForEachRun([&](const StoredRun& run) { write(CsvRow(run)); });
  if (failure.isEmpty() && !read) failure = QStringLiteral("the history could not be read");
  if (!failure.isEmpty()) {
    file.cancelWriting();
    return failure;
  }
  if (!file.commit()) return file.errorString();
  return {};
}

void frmHistory::cmdClear_Click() {
  if (!services_.AskYesNo("Forget every run in the history?\n"
                          "The Distribution window's counts are kept.",
                          kTitle)) {
    return;
  }
  history_.Clear();
  Refresh();
}

}  // namespace tambrel
