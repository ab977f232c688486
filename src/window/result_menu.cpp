#include "window/result_menu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QWidget>

#include "window/announcer.h"
#include "window/shown_values.h"

namespace tambrel {

ResultMenu::ResultMenu(QWidget& window, const LabelArray& labels, Announcer& announcer)
    : QObject(&window),
      window_(window),
      labels_(labels),
      announcer_(announcer),
      copyValues_(new QAction(QStringLiteral("Copy Values"), &window)),
      showDistribution_(new QAction(QStringLiteral("Show Distribution"), &window)),
      showHistory_(new QAction(QStringLiteral("Show History"), &window)),
      showDice_(new QAction(QStringLiteral("Show Dice"), &window)) {
  copyValues_->setObjectName(QStringLiteral("actCopyValues"));
  copyValues_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  copyValues_->setShortcutContext(Qt::WindowShortcut);
  copyValues_->setEnabled(false);
  connect(copyValues_, &QAction::triggered, this, &ResultMenu::CopyValues);
  window.addAction(copyValues_);

  showDistribution_->setObjectName(QStringLiteral("actShowDistribution"));
  showDistribution_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
  showDistribution_->setShortcutContext(Qt::WindowShortcut);
  connect(showDistribution_, &QAction::triggered, this, &ResultMenu::distributionRequested);
  window.addAction(showDistribution_);

  showHistory_->setObjectName(QStringLiteral("actShowHistory"));
  showHistory_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
  showHistory_->setShortcutContext(Qt::WindowShortcut);
  connect(showHistory_, &QAction::triggered, this, &ResultMenu::historyRequested);
  window.addAction(showHistory_);

  showDice_->setObjectName(QStringLiteral("actShowDice"));
  showDice_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  showDice_->setShortcutContext(Qt::WindowShortcut);
  connect(showDice_, &QAction::triggered, this, &ResultMenu::diceRequested);
  window.addAction(showDice_);
}

void ResultMenu::GridChanged(bool hasValues) { copyValues_->setEnabled(hasValues); }

void ResultMenu::Popup(const QPoint& globalPos) {
  QMenu menu(&window_);
  menu.addAction(copyValues_);
  menu.addAction(showDistribution_);
  menu.addAction(showHistory_);
  menu.addAction(showDice_);
  menu.exec(globalPos);
}

void ResultMenu::CopyValues() {
  const ShownRows rows = RowsOfShownValues(labels_);
  if (rows.empty()) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(ValuesAsText(labels_, rows)));
  announcer_.Copied(CountOf(rows));
}

}  // namespace tambrel
