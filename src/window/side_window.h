#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace tambrel {

// A window beside the main one (Distribution, History): non-modal, closed
// by Escape or its close box, and brought up to date after a change at once
// while shown, else when next shown, so that a hidden one costs a run
// nothing.
class SideWindow : public QWidget {
  Q_OBJECT

 public:
  explicit SideWindow(QWidget* parent);

  // Something it shows has changed.
  void Changed();

 protected:
  // Ctrl+C anywhere in the window, its table included, copies through
  // `copy`: whole rows, never the table's current cell.
  void SetCopy(const QString& name, std::function<void()> copy);
  virtual void Refresh() = 0;
  void showEvent(QShowEvent* event) override;

 private:
  bool stale_ = true;
};

}  // namespace tambrel
