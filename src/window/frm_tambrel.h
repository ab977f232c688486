#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "roll/form_fields.h"
#include "roll/grid_fields.h"
#include "roll/result_grid.h"
#include "roll/roll_run.h"
#include "roll/tally.h"
#include "runtime/label_array.h"
#include "runtime/services.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tambrel {

class Announcer;
struct ControlLayout;
class ResultGridView;
class ResultMenu;
class UpDown;

// The program's main window: the controls of the layout table, the result
// grid below the separator line, and the fields the roll engine keeps
// between events. Handlers are named for the control and event they serve.
// The windows beyond it are asked for through its signals; it neither
// builds nor knows them.
class frmTambrel final : public QWidget, public FormFields {
  Q_OBJECT

 public:
  // Every value a run places is counted in `tally`, and every run told to
  // `recorder`, when there are ones.
  explicit frmTambrel(Services& services, Tally* tally = nullptr, RunRecorder* recorder = nullptr,
                      QWidget* parent = nullptr);
  ~frmTambrel() override;

  [[nodiscard]] const GridFields& Fields() const { return fields_; }
  [[nodiscard]] const LabelArray& lblNum() const { return lblNum_; }

  // Takes a number of sides and a count into the two boxes and generates,
  // as a click on "Generate Number" does.
  void RollAgain(std::int16_t sides, std::int32_t times);
  // The outer size the size rules give a window in the normal state whose
  // outer size is `outer`; start-up centres the frame at that size.
  [[nodiscard]] static QSize SettledOuterSize(QSize outer);

  // FormFields
  [[nodiscard]] std::string NumberText() const override;
  void SetNumberText(std::string_view text) override;
  void FocusNumber() override;
  [[nodiscard]] std::string TimesText() const override;
  void FocusTimes() override;
  [[nodiscard]] std::string Caption() const override;

 Q_SIGNALS:
  void distributionRequested();
  void historyRequested();
  void diceRequested();
  // After every run, once its messages are closed.
  void runEnded();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void BuildControls();
  void WireButton(const ControlLayout& control, QPushButton* button);
  void Form_Load();
  void Form_Resize();
  // The whole window with its frame, in pixels.
  [[nodiscard]] QSize OuterSize() const;
  bool KeyPress(QEvent* event);

  void cmdNum_Click(int index);
  void cmdGenerate_Click();
  void cmdClear_Click();
  void cmdSum_Click();
  void cmdAvg_Click();
  void cmdExit_Click();

  Services& services_;
  GridFields fields_;
  LabelArray lblNum_;
  ResultGrid grid_;
  RollRun run_;

  QLabel* lblRanNum_ = nullptr;
  QLineEdit* txtNum_ = nullptr;
  QLabel* lblRolled_ = nullptr;
  QLineEdit* txtRolled_ = nullptr;
  UpDown* UpDown1_ = nullptr;
  ResultGridView* resultView_ = nullptr;
  ResultMenu* resultMenu_ = nullptr;
  std::unique_ptr<Announcer> announcer_;

  // The outer size last written by the size rules, until the platform
  // answers with a Resize; whatever it answers is then taken as settled.
  std::optional<QSize> requestedOuterSize_;
  QSize lastOuterSize_;
};

}  // namespace tambrel
