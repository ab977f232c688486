#pragma once

#include <QWidget>

#include "roll/history.h"
#include "runtime/services.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tambrel {

// The rolls the player keeps under a name ("Fireball: 8d6"), kept in the
// history file. Used from the keyboard alone: Enter or a double-click
// rolls one, Delete removes it after asking, F2 renames it. "Save…" asks
// the window for the expression to keep.
class SavedRollsList final : public QWidget {
  Q_OBJECT

 public:
  SavedRollsList(History& history, Services& services, QWidget* parent = nullptr);

  // Reads the list again from the history.
  void Reload();
  // Keeps `expression` under a name asked for, the expression itself unless
  // another is typed.
  void Save(const std::string& expression);

 Q_SIGNALS:
  void rollRequested(const QString& expression);
  void saveRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Rename(const QListWidgetItem& item);
  void Delete(const QListWidgetItem& item);

  History& history_;
  Services& services_;
  QListWidget* lstSaved_;
  QPushButton* cmdSave_;
};

}  // namespace tambrel
