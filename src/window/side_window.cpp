#include "window/side_window.h"

#include <QAction>
#include <QKeySequence>
#include <utility>

namespace tambrel {

SideWindow::SideWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  auto* closeAction = new QAction(QStringLiteral("Close"), this);
  closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
  closeAction->setShortcutContext(Qt::WindowShortcut);
  connect(closeAction, &QAction::triggered, this, &QWidget::close);
  addAction(closeAction);
}

void SideWindow::SetCopy(const QString& name, std::function<void()> copy) {
  // Window-wide, so that it works from the buttons as from the table.
  auto* action = new QAction(name, this);
  action->setShortcut(QKeySequence::Copy);
  action->setShortcutContext(Qt::WindowShortcut);
  connect(action, &QAction::triggered, this, std::move(copy));
  addAction(action);
}

void SideWindow::Changed() {
  stale_ = true;
  if (isVisible()) {
    stale_ = false;
    Refresh();
  }
}

void SideWindow::showEvent(QShowEvent* event) {
  if (stale_) {
    stale_ = false;
    Refresh();
  }
  QWidget::showEvent(event);
}

}  // namespace tambrel
