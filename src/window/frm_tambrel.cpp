#include "window/frm_tambrel.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

#include "roll/statistics.h"
#include "window/announcer.h"
#include "window/command_button.h"
#include "window/die_sizes.h"
#include "window/key_filter.h"
#include "window/layout_table.h"
#include "window/result_menu.h"
#include "window/result_grid_view.h"
#include "window/shown_values.h"
#include "window/size_rules.h"
#include "window/typed_codes.h"
#include "window/twips.h"
#include "window/up_down.h"

namespace tambrel {
namespace {

constexpr int kTimesMinimum = 1;
constexpr int kTimesMaximum = 100;

QFont FontFor(ControlFont font, const QFont& windowFont) {
  if (font == ControlFont::Default) return windowFont;
  QFont times(QStringLiteral("Times New Roman"));
  times.setStyleHint(QFont::Serif);
  times.setPointSizeF(font == ControlFont::TimesBold12 ? 12.0 : 11.25);
  times.setBold(true);
  return times;
}

QString ObjectName(const ControlLayout& control) {
  QString name = QString::fromUtf8(control.name);
  if (control.element >= 0) name += QLatin1Char('_') + QString::number(control.element);
  return name;
}

Label TemplateLabel() {
  const auto entry = std::ranges::find(kLayout, ControlKind::ResultLabel, &ControlLayout::kind);
  Label label;
  label.left = static_cast<float>(entry->left);
  label.top = static_cast<float>(entry->top);
  label.width = static_cast<float>(entry->width);
  label.height = static_cast<float>(entry->height);
  label.caption = std::string(entry->caption);
  return label;
}

// Where a face's pixel metrics run a few pixels wider than the ones the
// layout was drawn with, close the letters up just enough that the caption
// fits its label; the font and its size stay as they are.
void FitCaption(QLabel& label) {
  const QFontMetricsF metrics(label.font());
  const QString text = label.text();
  const qreal excess = metrics.horizontalAdvance(text) - label.width();
  if (excess <= 0 || text.size() < 2) return;
  QFont tightened = label.font();
  tightened.setLetterSpacing(QFont::AbsoluteSpacing, -excess / static_cast<qreal>(text.size() - 1));
  label.setFont(tightened);
}

}  // namespace

frmTambrel::frmTambrel(Services& services, Tally* tally, RunRecorder* recorder, QWidget* parent)
    : QWidget(parent),
      services_(services),
      lblNum_(TemplateLabel()),
      grid_(fields_, lblNum_),
      run_(fields_, grid_, *this, services_, tally, recorder) {
  setObjectName(QStringLiteral("frmTambrel"));
  setWindowTitle(QStringLiteral("Template"));
  QFont windowFont(QStringLiteral("Arial"));
  windowFont.setStyleHint(QFont::SansSerif);
  windowFont.setPointSize(8);
  setFont(windowFont);
  resize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
  BuildControls();
  announcer_ = std::make_unique<Announcer>(this);
  resultMenu_ = new ResultMenu(*this, lblNum_, *announcer_);
  connect(resultMenu_, &ResultMenu::distributionRequested, this, &frmTambrel::distributionRequested);
  connect(resultMenu_, &ResultMenu::historyRequested, this, &frmTambrel::historyRequested);
  connect(resultMenu_, &ResultMenu::diceRequested, this, &frmTambrel::diceRequested);
  Form_Load();
}

frmTambrel::~frmTambrel() { lblNum_.SetObserver(nullptr); }

void frmTambrel::BuildControls() {
  // Created first, so it lies beneath every control.
  resultView_ = new ResultGridView(lblNum_, this);
  resultView_->setObjectName(QStringLiteral("lblNumView"));
  lblNum_.SetObserver(resultView_->AsObserver());

  std::vector<std::pair<int, QWidget*>> tabStops;
  for (const ControlLayout& control : kLayout) {
    const QString caption = QString::fromUtf8(control.caption);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::CommandButton: {
        auto* button = new CommandButton(caption, this);
        button->setAutoDefault(false);
        WireButton(control, button);
        widget = button;
        tabStops.emplace_back(control.tabIndex, widget);
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(caption, this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        (control.name == "lblRanNum" ? lblRanNum_ : lblRolled_) = label;
        widget = label;
        break;
      }
      case ControlKind::TextBox: {
        auto* box = new QLineEdit(caption, this);
        box->installEventFilter(this);
        (control.name == "txtNum" ? txtNum_ : txtRolled_) = box;
        widget = box;
        tabStops.emplace_back(control.tabIndex, widget);
        break;
      }
      case ControlKind::UpDown:
        UpDown1_ = new UpDown(kTimesMinimum, kTimesMaximum, this);
        widget = UpDown1_;
        break;
      case ControlKind::ResultLabel:
        // Element 0 of the label array is data, not a widget; the grid view
        // shows the result labels in its font.
        resultView_->setFont(FontFor(control.font, font()));
        continue;
    }
    widget->setObjectName(ObjectName(control));
    widget->setGeometry(TwipsToPixels(control.left, control.top, control.width, control.height));
    widget->setFont(FontFor(control.font, font()));
    if (auto* label = qobject_cast<QLabel*>(widget)) FitCaption(*label);
  }

  // The text boxes are named by the labels before them, the spin control
  // by the box it steps, so that a screen reader can tell them apart.
  lblRanNum_->setBuddy(txtNum_);
  lblRolled_->setBuddy(txtRolled_);
  UpDown1_->SetBuddy(txtRolled_);
  UpDown1_->setAccessibleName(lblRolled_->text());

  auto* line = new QFrame(this);
  line->setObjectName(QString::fromUtf8(kLine1.name));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Plain);
  line->setLineWidth(1);
  line->setGeometry(TwipsToPixels(kLine1.x1), TwipsToPixels(kLine1.y1),
                    TwipsToPixels(kLine1.x2 - kLine1.x1), 1);

  std::ranges::sort(tabStops, {}, &std::pair<int, QWidget*>::first);
  for (std::size_t i = 1; i < tabStops.size(); ++i) {
    setTabOrder(tabStops[i - 1].second, tabStops[i].second);
  }
  tabStops.front().second->setFocus();
}

// Each button to its Click handler, by name; the die-size buttons to one
// handler that is told the element index.
void frmTambrel::WireButton(const ControlLayout& control, QPushButton* button) {
  if (control.name == "cmdNum") {
    const int index = control.element;
    // A screen reader says which die the button sets: "d20".
    button->setAccessibleDescription(
        QLatin1Char('d') + QString::fromUtf8(kDieSizes.at(static_cast<std::size_t>(index))));
    connect(button, &QPushButton::clicked, this, [this, index] { cmdNum_Click(index); });
    return;
  }
  struct Wiring {
    std::string_view name;
    void (frmTambrel::*click)();
  };
  static constexpr Wiring kWiring[] = {
      {"cmdGenerate", &frmTambrel::cmdGenerate_Click}, {"cmdClear", &frmTambrel::cmdClear_Click},
      {"cmdSum", &frmTambrel::cmdSum_Click},           {"cmdAvg", &frmTambrel::cmdAvg_Click},
      {"cmdExit", &frmTambrel::cmdExit_Click},
  };
  for (const Wiring& wiring : kWiring) {
    if (wiring.name == control.name) connect(button, &QPushButton::clicked, this, wiring.click);
  }
}

void frmTambrel::Form_Load() {
  setWindowTitle(QStringLiteral("Tambrel Generation"));
  fields_.intColumn = 0;
  fields_.intRow = 1;
  fields_.intNextLabel = 1;
}

void frmTambrel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  resultView_->setGeometry(rect());
  Form_Resize();
}

void frmTambrel::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // The window manager adds its frame after the first Resize, and says so
  // with a move only: the outer size has changed all the same.
  if (OuterSize() != lastOuterSize_) Form_Resize();
}

void frmTambrel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Where the program draws its own frame (Wayland with client-side
  // decorations) the frame is added as the window is shown, with neither a
  // resize nor a move; once the show is done the outer size it makes is held.
  QTimer::singleShot(0, this, [this] {
    if (OuterSize() != lastOuterSize_) Form_Resize();
  });
}

bool frmTambrel::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // Where the window was placed by the program, the window manager frames
  // it without a move or a resize; by the time it activates the window the
  // frame is known, and the outer size it makes is held like any other.
  if (event->type() == QEvent::WindowActivate &&
      OuterSize() != lastOuterSize_) {
    Form_Resize();
  }
  return handled;
}

void frmTambrel::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  // A minimised window is restored at the size it had, so no Resize follows;
  // it may have been resized while minimised, and the normal-state rules
  // apply to it all the same.
  const auto* change = static_cast<QWindowStateChangeEvent*>(event);
  const Qt::WindowStates sized = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
  if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & sized)) Form_Resize();
}

QSize frmTambrel::OuterSize() const {
  // While the window manager reparents the window its frame can read as
  // smaller than the client area; the frame is never less than that.
  return frameGeometry().size().expandedTo(size());
}

void frmTambrel::Form_Resize() {
  WindowState state = WindowState::Normal;
  if (isMinimized()) {
    state = WindowState::Minimized;
  } else if (isMaximized() || isFullScreen()) {
    state = WindowState::Maximized;
  }
  const QSize outer = OuterSize();
  lastOuterSize_ = outer;
  const ResizeDecision decision =
      DecideResize({state, PixelsToTwips(outer.width()), PixelsToTwips(outer.height()),
                    PixelsToTwips(width()), PixelsToTwips(height())});
  fields_.sngRightLimit = decision.rightLimit;
  fields_.sngBottomLimit = decision.bottomLimit;

  if (!decision.newOuterWidth && !decision.newOuterHeight) {
    requestedOuterSize_.reset();
    return;
  }
  if (requestedOuterSize_) {
    // This Resize answers the size last written. If the frame or the window
    // manager's rounding kept it from being exact, writing again would only
    // get the same answer; take it as settled.
    requestedOuterSize_.reset();
    return;
  }
  QSize target = outer;
  if (decision.newOuterWidth) target.setWidth(TwipsToPixelsAtLeast(*decision.newOuterWidth));
  if (decision.newOuterHeight) target.setHeight(TwipsToPixelsAtLeast(*decision.newOuterHeight));
  requestedOuterSize_ = target;
  const QSize client = size() + (target - outer);
  resize(client);
  // A write taken at once, as before the window is first mapped, raises no
  // Resize of its own; run the rules for the new size here instead.
  if (requestedOuterSize_ && size() == client) {
    requestedOuterSize_.reset();
    Form_Resize();
  }
}

QSize frmTambrel::SettledOuterSize(QSize outer) {
  const ResizeDecision decision = DecideResize(
      {WindowState::Normal, PixelsToTwips(outer.width()), PixelsToTwips(outer.height()), 0, 0});
  if (decision.newOuterWidth) outer.setWidth(TwipsToPixelsAtLeast(*decision.newOuterWidth));
  if (decision.newOuterHeight) outer.setHeight(TwipsToPixelsAtLeast(*decision.newOuterHeight));
  return outer;
}

bool frmTambrel::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == txtNum_ || watched == txtRolled_) && KeyPress(event)) return true;
  return QWidget::eventFilter(watched, event);
}

// The key filter of both text boxes. Returns true when the typed text is
// discarded. Pasted text is not typed and is not filtered here.
bool frmTambrel::KeyPress(QEvent* event) {
  const std::vector<int> codes = TypedCodes(*event);
  if (std::ranges::all_of(codes, [](int code) { return !FilterKey(code).beep; })) return false;
  services_.Beep();
  return true;
}

void frmTambrel::cmdNum_Click(int index) {
  txtNum_->setText(QString::fromUtf8(kDieSizes.at(static_cast<std::size_t>(index))));
}

void frmTambrel::cmdGenerate_Click() {
  run_.Generate();
  // Said once the run is over, after any message it showed was closed; a
  // run that drew nothing has nothing new to say.
  const ShownRows rows = RowsOfShownValues(lblNum_);
  resultMenu_->GridChanged(!rows.empty());
  announcer_->RunEnded(lblNum_, rows);
  Q_EMIT runEnded();
}

void frmTambrel::RollAgain(std::int16_t sides, std::int32_t times) {
  txtNum_->setText(QString::number(sides));
  txtRolled_->setText(QString::number(times));
  cmdGenerate_Click();
}

void frmTambrel::cmdClear_Click() {
  grid_.ClearResults();
  resultMenu_->GridChanged(false);
  announcer_->Cleared();
}

void frmTambrel::contextMenuEvent(QContextMenuEvent* event) {
  // The result area is everything below the separator line.
  if (event->pos().y() < TwipsToPixels(kLine1.y1)) {
    QWidget::contextMenuEvent(event);
    return;
  }
  resultMenu_->Popup(event->globalPos());
}

void frmTambrel::cmdSum_Click() { ReportSum(fields_, lblNum_, services_); }

void frmTambrel::cmdAvg_Click() { ReportAverage(fields_, lblNum_, services_); }

void frmTambrel::cmdExit_Click() { close(); }

std::string frmTambrel::NumberText() const { return txtNum_->text().toStdString(); }

void frmTambrel::SetNumberText(std::string_view text) { txtNum_->setText(QString::fromUtf8(text)); }

void frmTambrel::FocusNumber() { txtNum_->setFocus(Qt::OtherFocusReason); }

std::string frmTambrel::TimesText() const { return txtRolled_->text().toStdString(); }

void frmTambrel::FocusTimes() { txtRolled_->setFocus(Qt::OtherFocusReason); }

std::string frmTambrel::Caption() const { return windowTitle().toStdString(); }

}  // namespace tambrel
