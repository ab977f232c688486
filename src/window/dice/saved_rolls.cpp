#include "window/dice/saved_rolls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace tambrel {
namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kExpressionRole = Qt::UserRole + 1;
constexpr int kNameRole = Qt::UserRole + 2;
constexpr std::string_view kTitle = "Tambrel Dice";

// "Fireball: 8d6"; a roll named by its expression is just that.
QString Shown(const SavedRoll& roll) {
  if (roll.name == roll.expression) return QString::fromStdString(roll.expression);
  return QString::fromStdString(roll.name + ": " + roll.expression);
}

std::string NameOf(const QListWidgetItem& item) { return item.data(kNameRole).toString().toStdString(); }

}  // namespace

SavedRollsList::SavedRollsList(History& history, Services& services, QWidget* parent)
    : QWidget(parent),
      history_(history),
      services_(services),
      lstSaved_(new QListWidget(this)),
      cmdSave_(new QPushButton(QStringLiteral("Save\u2026"), this)) {
  auto* lblSaved = new QLabel(QStringLiteral("Sa&ved rolls:"), this);
  lblSaved->setBuddy(lstSaved_);
  lstSaved_->setObjectName(QStringLiteral("lstSaved"));
  lstSaved_->setAccessibleName(QStringLiteral("Saved rolls"));
  lstSaved_->installEventFilter(this);
  cmdSave_->setObjectName(QStringLiteral("cmdSave"));
  connect(lstSaved_, &QListWidget::itemActivated, this, [this](const QListWidgetItem* item) {
    Q_EMIT rollRequested(item->data(kExpressionRole).toString());
  });
  connect(cmdSave_, &QPushButton::clicked, this, &SavedRollsList::saveRequested);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(lblSaved);
  layout->addWidget(lstSaved_, 1);
  layout->addWidget(cmdSave_);
}

void SavedRollsList::Reload() {
  const int row = lstSaved_->currentRow();
  lstSaved_->clear();
  for (const SavedRoll& roll : history_.SavedRolls()) {
    auto* item = new QListWidgetItem(Shown(roll), lstSaved_);
    item->setData(kIdRole, static_cast<qlonglong>(roll.id));
    item->setData(kExpressionRole, QString::fromStdString(roll.expression));
    item->setData(kNameRole, QString::fromStdString(roll.name));
  }
  if (lstSaved_->count() > 0) lstSaved_->setCurrentRow(std::clamp(row, 0, lstSaved_->count() - 1));
}

void SavedRollsList::Save(const std::string& expression) {
  const std::optional<std::string> name = services_.AskText("Name:", "Save Roll", expression);
  if (!name) return;
  const std::string kept = QString::fromStdString(*name).trimmed().toStdString();
  history_.SaveRoll(kept.empty() ? expression : kept, expression);
  Reload();
  lstSaved_->setCurrentRow(lstSaved_->count() - 1);
}

bool SavedRollsList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstSaved_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QListWidgetItem* item = lstSaved_->currentItem();
    if (item != nullptr && key->modifiers() == Qt::NoModifier) {
      if (key->key() == Qt::Key_F2) {
        Rename(*item);
        return true;
      }
      if (key->key() == Qt::Key_Delete) {
        Delete(*item);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void SavedRollsList::Rename(const QListWidgetItem& item) {
  const std::optional<std::string> name = services_.AskText("Name:", "Rename Saved Roll", NameOf(item));
  if (!name) return;
  const std::string kept = QString::fromStdString(*name).trimmed().toStdString();
  if (kept.empty()) return;
  history_.RenameSavedRoll(item.data(kIdRole).toLongLong(), kept);
  Reload();
}

void SavedRollsList::Delete(const QListWidgetItem& item) {
  const std::string shown = item.text().toStdString();
  if (!services_.AskYesNo("Delete the saved roll \"" + shown + "\"?", kTitle)) return;
  history_.DeleteSavedRoll(item.data(kIdRole).toLongLong());
  Reload();
}

}  // namespace tambrel
