// A randomized user: seeded sequences of typing, pasting, clicking and
// resizing played against the real window, with every visible effect
// checked after every event against a model of the grid written here from
// the layout rules alone.
//
//   TAMBREL_FUZZ_SEED       the first sequence's seed (printed; random if unset)
//   TAMBREL_FUZZ_SEQUENCES  how many sequences, seeds counting up from it
//   TAMBREL_FUZZ_TRACE=1    print every event as it is played
//
// A failing sequence is cut down to the fewest events that still fail the
// same way, and printed with the seed that replays it.

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/recording_services.h"
#include "window/frm_tambrel.h"

namespace tambrel {
namespace {

using testing::Message;
using testing::RecordingServices;

// ---------------------------------------------------------------------------
// The choices, from a seed, the same on every machine.

class Choices {
 public:
  explicit Choices(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0..n-1
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
  bool OneIn(int n) { return Below(n) == 0; }
  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
  }

 private:
  std::uint64_t state_;
};

// ---------------------------------------------------------------------------
// Events.

enum class Box { Number, Times };

enum class Kind {
  Type,         // one typed character, as a key press with text
  Compose,      // text committed by an input method
  EditKey,      // a key that edits or moves rather than types
  Paste,        // setText, or the clipboard and Ctrl+V
  DieButton,
  Spin,         // an arrow of the spin control, or Up/Down in the times box
  Generate,
  Clear,
  Sum,
  Avg,
  Resize,
  Minimise,
  Maximise,
  FullScreen,
  Restore,
};

struct Event {
  Kind kind = Kind::Generate;
  Box box = Box::Number;
  char32_t code = 0;           // Type
  bool keypad = false;         // Type
  int key = 0;                 // EditKey
  Qt::KeyboardModifiers modifiers;  // EditKey
  QString text;                // Paste, Compose
  bool viaClipboard = false;   // Paste
  int index = 0;               // DieButton; Spin: +1 or -1
  bool byKey = false;          // Spin
  QSize size;                  // Resize
};

const char* BoxName(Box box) { return box == Box::Number ? "txtNum" : "txtRolled"; }

std::string Quote(const QString& text) {
  std::ostringstream out;
  out << '"';
  const auto codes = text.toUcs4();
  int shown = 0;
  for (const char32_t code : codes) {
    if (++shown > 40) break;
    if (code >= 32 && code < 127 && code != '"' && code != '\\') {
      out << static_cast<char>(code);
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "\\u{%X}", static_cast<unsigned>(code));
      out << buffer;
    }
  }
  out << '"';
  if (codes.size() > 40) out << "... (" << codes.size() << " characters)";
  return out.str();
}

std::string Describe(const Event& e) {
  std::ostringstream out;
  switch (e.kind) {
    case Kind::Type: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(e.code));
      out << "type " << buffer << (e.keypad ? " on the keypad" : "")
          << " (into the focused box, else " << BoxName(e.box) << ")";
      break;
    }
    case Kind::Compose:
      out << "compose " << Quote(e.text) << " (into the focused box, else " << BoxName(e.box) << ")";
      break;
    case Kind::EditKey:
      out << "key " << QKeySequence(QKeyCombination(e.modifiers, static_cast<Qt::Key>(e.key))).toString().toStdString()
          << " (in the focused box, else " << BoxName(e.box) << ")";
      break;
    case Kind::Paste:
      out << "paste " << Quote(e.text) << " into " << BoxName(e.box)
          << (e.viaClipboard ? " with Ctrl+V" : " with setText");
      break;
    case Kind::DieButton: out << "click cmdNum_" << e.index; break;
    case Kind::Spin:
      out << (e.index > 0 ? "step up" : "step down") << (e.byKey ? " by key" : " by arrow");
      break;
    case Kind::Generate: out << "click cmdGenerate"; break;
    case Kind::Clear: out << "click cmdClear"; break;
    case Kind::Sum: out << "click cmdSum"; break;
    case Kind::Avg: out << "click cmdAvg"; break;
    case Kind::Resize: out << "resize to " << e.size.width() << "x" << e.size.height(); break;
    case Kind::Minimise: out << "minimise"; break;
    case Kind::Maximise: out << "maximise"; break;
    case Kind::FullScreen: out << "full screen"; break;
    case Kind::Restore: out << "restore"; break;
  }
  return out.str();
}

// ---------------------------------------------------------------------------
// Random events, weighted towards what reaches the interesting states: valid
// numbers often enough that values are drawn, counts large enough to fill
// big windows, and every kind of text a user might paste.

QString FromCode(char32_t code) {
  if (code <= 0xFFFF) return QString(QChar(static_cast<char16_t>(code)));
  return QString::fromUcs4(&code, 1);
}

QString Digits(Choices& c, int count) {
  QString text;
  for (int i = 0; i < count; ++i) text += QChar(static_cast<char16_t>('0' + c.Below(10)));
  return text;
}

char32_t RandomCode(Choices& c) {
  switch (c.Below(10)) {
    case 0: case 1: case 2: return static_cast<char32_t>('0' + c.Below(10));
    case 3: return static_cast<char32_t>(c.Below(31));  // control codes
    case 4: return c.OneIn(2) ? 31 : 127;
    case 5: case 6: {
      char32_t code = 0;
      do code = static_cast<char32_t>(c.Between(32, 126)); while (code >= '0' && code <= '9');
      return code;
    }
    case 7: return static_cast<char32_t>(c.Between(128, 255));
    case 8: return static_cast<char32_t>(c.Between(256, 0xFFFF));  // lone surrogates too
    default: return static_cast<char32_t>(c.Between(0x10000, 0x10FFFF));
  }
}

QString RandomCount(Choices& c) {
  switch (c.Below(10)) {
    case 0: return QString::number(c.Between(101, 5000));
    // Only the largest count can fill a maximised 8K window to the last label.
    case 1: return c.OneIn(2) ? QStringLiteral("32767") : QString::number(c.Between(5000, 32767));
    case 2: return QString::number(c.Between(-5, 0));
    default: return QString::number(c.Between(1, 100));
  }
}

QString RandomNumber(Choices& c) {
  static constexpr std::array<int, 7> kDice = {4, 6, 8, 10, 12, 20, 100};
  switch (c.Below(8)) {
    case 0: return QString::number(c.Between(-32768, 32767));
    case 1: return QString::number(-c.Between(1, 100));
    case 2: return QString::number(c.Pick(kDice));
    default: return QString::number(c.Between(1, 120));
  }
}

QString RandomPaste(Choices& c, Box box) {
  static const std::array<const char*, 14> kEdges = {
      "32767", "-32768", "32768", "-32769", "0", "-0", "+0", "00012", "+6", "1", "-1",
      "000000000000000000000000032767", "65536", "-65535"};
  static const std::array<const char*, 12> kSigns = {"+", "-", "+-3", "--5", "-+5", "++1", "+ 5",
                                                     "- ", "5-", "1+1", "-.", "+."};
  static const std::array<const char*, 14> kNotWhole = {
      "1.5", "1e3", "2.5", "-0.5", ".5", "1,000", "0x10", "1_000", "12abc", "1E2", "6.0", "5.",
      "1e-3", "Infinity"};
  static const std::array<const char*, 12> kNonAscii = {
      "é", "\u0663", "\uFF11\uFF12", "🎲", "六", "\u00A06", "1é", "\u2212" "5", "\u00B2", "Ⅻ",
      "𝟘", "\u0966"};
  static const std::array<const char*, 7> kBlanks = {"", " ", "   ", "\t", " 6", "6 ", " 6 "};
  switch (c.Below(20)) {
    case 0: case 1: case 2: case 3: case 4: case 5:
      return box == Box::Times ? RandomCount(c) : RandomNumber(c);
    case 6: return box == Box::Times ? RandomNumber(c) : RandomCount(c);
    case 7: return QString::fromUtf8(c.Pick(kEdges));
    case 8: {  // far outside 16 bits
      QString digits = QChar(static_cast<char16_t>('1' + c.Below(9))) + Digits(c, c.Between(5, 30));
      return c.OneIn(3) ? QLatin1Char('-') + digits : digits;
    }
    case 9: return QString::fromUtf8(c.Pick(kBlanks));
    case 10: return QString::fromUtf8(c.Pick(kSigns));
    case 11: return QString::fromUtf8(c.Pick(kNotWhole));
    case 12: return QString::fromUtf8(c.Pick(kNonAscii));
    case 13: {  // control characters among digits
      QString text = Digits(c, c.Between(0, 2));
      text += QChar(static_cast<char16_t>(c.OneIn(4) ? 127 : c.Below(32)));
      return text + Digits(c, c.Between(0, 2));
    }
    case 14: {  // a long zero-padded whole number
      const QString number = RandomNumber(c);
      const bool negative = number.startsWith(QLatin1Char('-'));
      const QString zeros(c.Between(50, 2000), QLatin1Char('0'));
      return (negative ? QStringLiteral("-") : QString()) + zeros + number.mid(negative ? 1 : 0);
    }
    case 15: return Digits(c, c.Between(100, 40000));  // very long: far outside any range
    case 16: {  // very long, anything at all
      QString text;
      const int length = c.Between(100, 40000);
      for (int i = 0; i < length; ++i) text += FromCode(RandomCode(c));
      return text;
    }
    default: {  // a short mixture
      QString text;
      const int length = c.Between(1, 8);
      for (int i = 0; i < length; ++i) text += FromCode(RandomCode(c));
      return text;
    }
  }
}

QSize RandomSize(Choices& c) {
  static constexpr std::array<std::array<int, 2>, 10> kSizes = {{{1, 1},
                                                                 {7680, 4320},
                                                                 {360, 267},
                                                                 {360, 266},
                                                                 {359, 267},
                                                                 {361, 300},
                                                                 {1, 4320},
                                                                 {7680, 1},
                                                                 {352, 240},
                                                                 {1920, 1080}}};
  if (c.OneIn(2)) {
    const auto& size = c.Pick(kSizes);
    return {size[0], size[1]};
  }
  // A width of whole hundreds of pixels puts a label's left exactly on the
  // right limit, where the row must close.
  const int width = c.OneIn(2) ? 100 * c.Between(1, 40) : c.Between(1, 7680);
  return {width, c.Between(1, 4320)};
}

Event RandomEvent(Choices& c) {
  static constexpr std::array<std::pair<int, Qt::KeyboardModifiers::Int>, 16> kEditKeys = {{
      {Qt::Key_Backspace, Qt::NoModifier},
      {Qt::Key_Delete, Qt::NoModifier},
      {Qt::Key_Home, Qt::NoModifier},
      {Qt::Key_End, Qt::NoModifier},
      {Qt::Key_Left, Qt::NoModifier},
      {Qt::Key_Right, Qt::ShiftModifier},
      {Qt::Key_A, Qt::ControlModifier},
      {Qt::Key_Z, Qt::ControlModifier},
      {Qt::Key_X, Qt::ControlModifier},
      {Qt::Key_C, Qt::ControlModifier},
      {Qt::Key_Y, Qt::ControlModifier},
      {Qt::Key_Return, Qt::NoModifier},
      {Qt::Key_Enter, Qt::KeypadModifier},
      {Qt::Key_Escape, Qt::NoModifier},
      {Qt::Key_Tab, Qt::NoModifier},
      {Qt::Key_Backtab, Qt::ShiftModifier},
  }};
  Event e;
  e.box = c.OneIn(2) ? Box::Number : Box::Times;
  const int roll = c.Below(100);
  if (roll < 24) {
    e.kind = Kind::Type;
    e.code = RandomCode(c);
    e.keypad = e.code >= '0' && e.code <= '9' && c.OneIn(8);
  } else if (roll < 27) {
    e.kind = Kind::Compose;
    const int length = c.Between(1, 4);
    for (int i = 0; i < length; ++i) {
      e.text += c.OneIn(3) ? FromCode(RandomCode(c)) : QChar(static_cast<char16_t>('0' + c.Below(10)));
    }
  } else if (roll < 32) {
    e.kind = Kind::EditKey;
    const auto& [key, modifiers] = c.Pick(kEditKeys);
    e.key = key;
    e.modifiers = Qt::KeyboardModifiers(modifiers);
  } else if (roll < 46) {
    e.kind = Kind::Paste;
    e.text = RandomPaste(c, e.box);
    e.viaClipboard = c.OneIn(2);
  } else if (roll < 53) {
    e.kind = Kind::DieButton;
    e.index = c.Below(7);
  } else if (roll < 60) {
    e.kind = Kind::Spin;
    e.index = c.OneIn(3) ? -1 : +1;
    e.byKey = c.OneIn(3);
  } else if (roll < 76) {
    e.kind = Kind::Generate;
  } else if (roll < 79) {
    e.kind = Kind::Clear;
  } else if (roll < 83) {
    e.kind = Kind::Sum;
  } else if (roll < 87) {
    e.kind = Kind::Avg;
  } else if (roll < 93) {
    e.kind = Kind::Resize;
    e.size = RandomSize(c);
  } else if (roll < 95) {
    e.kind = Kind::Minimise;
  } else if (roll < 97) {
    e.kind = Kind::Maximise;
  } else if (roll < 98) {
    e.kind = Kind::FullScreen;
  } else {
    e.kind = Kind::Restore;
  }
  return e;
}

std::vector<Event> RandomSequence(std::uint64_t seed) {
  Choices c(seed);
  std::vector<Event> events(static_cast<std::size_t>(c.Between(20, 160)));
  for (Event& e : events) e = RandomEvent(c);
  return events;
}

// ---------------------------------------------------------------------------
// The model: what the user should see, from the rules of the layout.

// An optional sign, then ASCII digits only, within -32768..32767.
std::optional<int> WholeNumber(const std::string& text) {
  std::size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == text.size()) return std::nullopt;
  long long value = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return std::nullopt;
    value = std::min<long long>(value * 10 + (text[at] - '0'), 1000000);
  }
  if (negative) value = -value;
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<int>(value);
}

// Half to even, in whole numbers only.
long long RoundedMean(long long total, long long count) {
  long long quotient = total / count;
  long long remainder = total % count;
  if (remainder < 0) {
    quotient -= 1;
    remainder += count;
  }
  if (2 * remainder > count || (2 * remainder == count && quotient % 2 != 0)) ++quotient;
  return quotient;
}

constexpr int kTwips = 15;
constexpr long long kMaxLabels = 32766;
const char* const kCaption = "Tambrel Generation";

enum class Said { InvalidNumber, InvalidTimes, GridFull, NothingForSum, NothingForAvg, Sum, Avg };

const char* SaidName(Said said) {
  switch (said) {
    case Said::InvalidNumber: return "Enter a valid number";
    case Said::InvalidTimes: return "Enter a valid amount of times";
    case Said::GridFull: return "grid full";
    case Said::NothingForSum: return "No numbers (Sum)";
    case Said::NothingForAvg: return "No numbers (Rounded Average)";
    case Said::Sum: return "The Sum is";
    case Said::Avg: return "The Average is";
  }
  return "?";
}

struct Shown {
  long long left;
  long long top;
  int value;
};

struct Model {
  std::vector<Shown> shown;  // result label i is shown[i - 1]
  long long column = 0;
  long long row = 1;
  bool hiddenLeftOver = false;  // the label a refused placement loaded
  int spin = 1;
  long long rows = 0;
};

struct Stats {
  long long sequences = 0;
  long long events = 0;
  std::map<Said, long long> said;
  long long largestGrid = 0;
  long long mostRows = 0;
  long long gridFullAtLimit = 0;
  QSize largestWindow;
};

// ---------------------------------------------------------------------------
// One sequence against a fresh window.

class Player {
 public:
  Player(std::uint64_t seed, bool trace) : services_(seed), trace_(trace) {
    window_ = std::make_unique<frmTambrel>(services_);
    window_->show();
    window_->activateWindow();
    if (!QTest::qWaitForWindowExposed(window_.get()) || !QTest::qWaitForWindowActive(window_.get())) failure_ = "setup: window not active";
    number_ = window_->findChild<QLineEdit*>(QStringLiteral("txtNum"));
    times_ = window_->findChild<QLineEdit*>(QStringLiteral("txtRolled"));
    for (auto* button : window_->findChildren<QToolButton*>()) {
      if (button->arrowType() == Qt::UpArrow) up_ = button;
      if (button->arrowType() == Qt::DownArrow) down_ = button;
    }
    if (number_ == nullptr || times_ == nullptr || up_ == nullptr || down_ == nullptr) {
      failure_ = "setup: a control is missing";
    }
  }

  // Plays the events in order and stops at the first that fails a check;
  // returns its index, or -1 when every check held.
  int Play(const std::vector<Event>& events, Stats* stats) {
    if (!failure_.empty()) return 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
      if (trace_) std::printf("  [%zu] %s\n", i, Describe(events[i]).c_str());
      Apply(events[i]);
      QApplication::processEvents();
      Check();
      if (stats != nullptr) Count(*stats);
      if (!failure_.empty()) return static_cast<int>(i);
    }
    return -1;
  }

  const std::string& Failure() const { return failure_; }
  const frmTambrel& Window() const { return *window_; }

 private:
  QLineEdit* BoxWidget(Box box) { return box == Box::Number ? number_ : times_; }

  // The box that has the window's focus, else the event's box, clicked into.
  QLineEdit* FocusedBox(Box box) {
    QWidget* focus = window_->focusWidget();
    if (focus == number_ || focus == times_) return static_cast<QLineEdit*>(focus);
    QLineEdit* target = BoxWidget(box);
    target->setFocus(Qt::MouseFocusReason);
    return target;
  }

  QPushButton* Button(const QString& name) { return window_->findChild<QPushButton*>(name); }

  void Fail(const std::string& what) {
    if (failure_.empty()) failure_ = what;
  }

  // What a line edit does with typed or pasted text: the selection goes,
  // then as much of the text as the length limit leaves room for.
  static QString Inserted(const QLineEdit& box, const QString& text) {
    QString result = box.text();
    int cursor = box.cursorPosition();
    if (box.hasSelectedText()) {
      cursor = box.selectionStart();
      result.remove(cursor, box.selectedText().size());
    }
    const qsizetype room = std::max<qsizetype>(0, box.maxLength() - result.size());
    result.insert(cursor, text.left(room));
    return result;
  }

  void Apply(const Event& e) {
    expectedMessages_.clear();
    expectedBeeps_ = services_.beeps;
    expectedText_.reset();
    expectedFocus_ = nullptr;
    messagesFrom_ = services_.messages.size();

    switch (e.kind) {
      case Kind::Type: {
        QLineEdit* box = FocusedBox(e.box);
        const QString text = FromCode(e.code);
        const bool digit = e.code >= '0' && e.code <= '9';
        if (digit) {
          expectedText_ = {box, Inserted(*box, text)};
        } else {
          expectedText_ = {box, box->text()};
          if (e.code >= 31) ++expectedBeeps_;
        }
        int key = Qt::Key_unknown;
        if (digit) key = Qt::Key_0 + static_cast<int>(e.code - '0');
        if (e.code >= 'a' && e.code <= 'z') key = Qt::Key_A + static_cast<int>(e.code - 'a');
        if (e.code >= 'A' && e.code <= 'Z') key = Qt::Key_A + static_cast<int>(e.code - 'A');
        if (e.code == ' ') key = Qt::Key_Space;
        const Qt::KeyboardModifiers modifiers = e.keypad ? Qt::KeypadModifier : Qt::NoModifier;
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(box, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(box, &release);
        break;
      }
      case Kind::Compose: {
        QLineEdit* box = FocusedBox(e.box);
        const auto codes = e.text.toUcs4();
        const bool allPass = std::all_of(codes.begin(), codes.end(), [](char32_t code) {
          return code < 31 || (code >= '0' && code <= '9');
        });
        if (!allPass) {
          ++expectedBeeps_;  // one beep for the whole commit
          expectedText_ = {box, box->text()};
        }
        QInputMethodEvent compose(QString(), {});
        compose.setCommitString(e.text);
        QApplication::sendEvent(box, &compose);
        break;
      }
      case Kind::EditKey: {
        QLineEdit* box = FocusedBox(e.box);
        QTest::keyClick(box, static_cast<Qt::Key>(e.key), e.modifiers);
        break;
      }
      case Kind::Paste: {
        QLineEdit* box = BoxWidget(e.box);
        if (e.viaClipboard) {
          box->setFocus(Qt::MouseFocusReason);
          QApplication::clipboard()->setText(e.text);
          expectedText_ = {box, Inserted(*box, e.text)};
          QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
          expectedText_ = {box, e.text.left(box->maxLength())};
          box->setText(e.text);
        }
        break;
      }
      case Kind::DieButton: {
        static constexpr std::array<const char*, 7> kWritten = {"4", "6", "8", "10", "12", "20", "100"};
        expectedText_ = {number_, QString::fromLatin1(kWritten[static_cast<std::size_t>(e.index)])};
        QTest::mouseClick(Button(QStringLiteral("cmdNum_%1").arg(e.index)), Qt::LeftButton);
        break;
      }
      case Kind::Spin: {
        if (const auto typed = WholeNumber(times_->text().toStdString())) {
          model_.spin = std::clamp(*typed, 1, 100);
        }
        model_.spin = std::clamp(model_.spin + e.index, 1, 100);
        expectedText_ = {times_, QString::number(model_.spin)};
        if (e.byKey) {
          QTest::keyClick(times_, e.index > 0 ? Qt::Key_Up : Qt::Key_Down);
        } else {
          QTest::mouseClick(e.index > 0 ? up_ : down_, Qt::LeftButton);
        }
        break;
      }
      case Kind::Generate:
        ExpectGenerate();
        QTest::mouseClick(Button(QStringLiteral("cmdGenerate")), Qt::LeftButton);
        break;
      case Kind::Clear:
        model_.shown.clear();
        model_.column = 0;
        model_.row = 1;
        model_.hiddenLeftOver = false;
        QTest::mouseClick(Button(QStringLiteral("cmdClear")), Qt::LeftButton);
        break;
      case Kind::Sum:
      case Kind::Avg: {
        const bool sum = e.kind == Kind::Sum;
        if (model_.shown.empty()) {
          expectedMessages_.push_back({"No numbers have been generated", MsgStyle::Information,
                                       sum ? "Sum" : "Rounded Average"});
        } else {
          long long total = 0;
          for (const Shown& s : model_.shown) total += s.value;
          const long long count = static_cast<long long>(model_.shown.size());
          expectedMessages_.push_back(
              {sum ? "The Sum is: " + std::to_string(total)
                   : "The Average is: " + std::to_string(RoundedMean(total, count)),
               MsgStyle::Information, "Tambrel1"});
        }
        QTest::mouseClick(Button(sum ? QStringLiteral("cmdSum") : QStringLiteral("cmdAvg")),
                          Qt::LeftButton);
        break;
      }
      case Kind::Resize: window_->resize(e.size); break;
      case Kind::Minimise: window_->showMinimized(); break;
      case Kind::Maximise: window_->showMaximized(); break;
      case Kind::FullScreen: window_->showFullScreen(); break;
      case Kind::Restore: window_->showNormal(); break;
    }
  }

  // A run replaces the grid with up to `times` draws, each placed by the
  // rules: the label in column c of row r stands at c*500, r*300+2600; the
  // first label whose left is not less than the right limit closes its row;
  // a top not less than the bottom limit, or a 32767th label, ends the run.
  void ExpectGenerate() {
    const std::optional<int> times = WholeNumber(times_->text().toStdString());
    if (!times) {
      expectedMessages_.push_back({"Enter a valid amount of times", MsgStyle::Information, "Tambrel1"});
      expectedFocus_ = times_;
      return;
    }
    model_.shown.clear();
    model_.column = 0;
    model_.row = 1;
    model_.hiddenLeftOver = false;
    pendingValues_ = true;
    const std::optional<int> n = WholeNumber(number_->text().toStdString());
    const long long right = static_cast<long long>(window_->width()) * kTwips - 1000;
    const long long bottom = static_cast<long long>(window_->height()) * kTwips - 500;
    drawnFor_ = n.value_or(0);
    for (int pass = 1; pass <= *times; ++pass) {
      if (!n || *n == 0) {
        expectedMessages_.push_back({"Enter a valid number", MsgStyle::Information, "Tambrel1"});
        expectedText_ = {number_, QStringLiteral(" ")};
        expectedFocus_ = number_;
        return;
      }
      if (static_cast<long long>(model_.shown.size()) >= kMaxLabels) {
        expectedMessages_.push_back({"You have exceeded the size of this box\r\n"
                                     "You can increase the size of the form and try again",
                                     MsgStyle::Information, kCaption});
        return;
      }
      ++model_.column;
      const long long top = model_.row * 300 + 2600;
      if (!(top < bottom)) {
        model_.hiddenLeftOver = true;
        expectedMessages_.push_back({"You have exceeded the size of this box\r\n"
                                     "You can increase the size of the form and try again",
                                     MsgStyle::Information, kCaption});
        return;
      }
      const long long left = model_.column * 500;
      model_.shown.push_back({left, top, 0});
      model_.rows = model_.row;
      if (!(left < right)) {
        model_.column = 0;
        ++model_.row;
      }
    }
  }

  void Check() {
    // The program is still there and still itself.
    if (!window_->isVisible()) Fail("window: no longer shown");
    if (window_->windowTitle() != QString::fromLatin1(kCaption)) {
      Fail("window: caption is now " + window_->windowTitle().toStdString());
    }

    // Exactly the messages the event should give, in the program's words.
    const std::vector<Message> said(services_.messages.begin() + static_cast<std::ptrdiff_t>(messagesFrom_),
                                    services_.messages.end());
    if (said != expectedMessages_) {
      std::string text = "messages: expected";
      for (const Message& m : expectedMessages_) text += " [" + m.title + ": " + m.prompt + "]";
      text += ", told";
      for (const Message& m : said) {
        text += " [" + m.title + ": " + m.prompt + " style " +
                std::to_string(static_cast<int>(m.style)) + "]";
      }
      Fail(text);
    }
    lastSaid_ = said;
    if (services_.beeps != expectedBeeps_) {
      Fail("beeps: expected " + std::to_string(expectedBeeps_) + ", heard " +
           std::to_string(services_.beeps));
    }
    if (expectedText_ && expectedText_->first->text() != expectedText_->second) {
      Fail(std::string("text: ") + expectedText_->first->objectName().toStdString() + " holds " +
           Quote(expectedText_->first->text()) + ", expected " + Quote(expectedText_->second));
    }
    if (expectedFocus_ != nullptr && window_->focusWidget() != expectedFocus_) {
      Fail("focus: expected on " + expectedFocus_->objectName().toStdString());
    }

    CheckSize();
    CheckGrid();
  }

  // The display limits follow the client area; in the normal state the
  // window keeps its width and its minimum height.
  void CheckSize() {
    const GridFields& fields = window_->Fields();
    const double right = static_cast<double>(window_->width()) * kTwips - 1000;
    const double bottom = static_cast<double>(window_->height()) * kTwips - 500;
    if (fields.sngRightLimit != right || fields.sngBottomLimit != bottom) {
      Fail("size: limits " + std::to_string(fields.sngRightLimit) + ", " +
           std::to_string(fields.sngBottomLimit) + " for a client area of " +
           std::to_string(window_->width()) + "x" + std::to_string(window_->height()));
    }
    const bool normal = !window_->isMinimized() && !window_->isMaximized() && !window_->isFullScreen();
    const QSize outer = window_->frameGeometry().size();
    if (normal && (outer.width() != 5400 / kTwips || outer.height() < (4000 + kTwips - 1) / kTwips)) {
      Fail("size: normal window is " + std::to_string(outer.width()) + "x" +
           std::to_string(outer.height()) + " outside");
    }
  }

  void CheckGrid() {
    const LabelArray& labels = window_->lblNum();
    const GridFields& fields = window_->Fields();
    const long long shown = static_cast<long long>(model_.shown.size());
    if (fields.intNextLabel - 1 != shown) {
      Fail("labels: " + std::to_string(fields.intNextLabel - 1) + " shown by the counter, expected " +
           std::to_string(shown));
      return;
    }
    const long long loaded = labels.Count() - 1;
    if (loaded != shown + (model_.hiddenLeftOver ? 1 : 0)) {
      Fail("labels: " + std::to_string(loaded) + " loaded for " + std::to_string(shown) + " shown" +
           (model_.hiddenLeftOver ? " and one left hidden" : ""));
      return;
    }
    if (labels[0].visible) Fail("labels: the template label is visible");
    const int low = std::min(drawnFor_, 1);
    const int high = std::max(drawnFor_, 1);
    for (int i = 1; i <= loaded; ++i) {
      if (!labels.IsLoaded(i)) {
        Fail("labels: element " + std::to_string(i) + " is not loaded");
        return;
      }
      const Label& label = labels[i];
      if (i > shown) {
        if (label.visible) Fail("labels: the label left by a full grid is visible");
        continue;
      }
      Shown& expected = model_.shown[static_cast<std::size_t>(i - 1)];
      const std::string where = "labels: element " + std::to_string(i) + " ";
      if (!label.visible) Fail(where + "is hidden");
      if (label.left != static_cast<float>(expected.left) || label.top != static_cast<float>(expected.top)) {
        Fail(where + "stands at " + std::to_string(label.left) + ", " + std::to_string(label.top) +
             "; expected " + std::to_string(expected.left) + ", " + std::to_string(expected.top));
      }
      const std::optional<int> value = WholeNumber(label.caption);
      if (!value || std::to_string(*value) != label.caption) {
        Fail(where + "shows " + Quote(QString::fromStdString(label.caption)) + ", not a value");
        continue;
      }
      if (pendingValues_) {
        if (*value < low || *value > high) {
          Fail(where + "shows " + label.caption + ", outside " + std::to_string(low) + ".." +
               std::to_string(high));
        }
        expected.value = *value;
      } else if (*value != expected.value) {
        Fail(where + "changed from " + std::to_string(expected.value) + " to " + label.caption);
      }
      if (!failure_.empty()) return;
    }
    pendingValues_ = false;
  }

  void Count(Stats& stats) {
    ++stats.events;
    for (const Message& m : lastSaid_) {
      Said kind = Said::Avg;
      if (m.prompt == "Enter a valid number") kind = Said::InvalidNumber;
      else if (m.prompt == "Enter a valid amount of times") kind = Said::InvalidTimes;
      else if (m.prompt.starts_with("You have exceeded")) kind = Said::GridFull;
      else if (m.title == "Sum" ) kind = Said::NothingForSum;
      else if (m.title == "Rounded Average") kind = Said::NothingForAvg;
      else if (m.prompt.starts_with("The Sum")) kind = Said::Sum;
      ++stats.said[kind];
      if (kind == Said::GridFull && static_cast<long long>(model_.shown.size()) == kMaxLabels) {
        ++stats.gridFullAtLimit;
      }
    }
    stats.largestGrid = std::max(stats.largestGrid, static_cast<long long>(model_.shown.size()));
    stats.mostRows = std::max(stats.mostRows, model_.rows);
    const QSize size = window_->size();
    if (size.width() * size.height() >
        stats.largestWindow.width() * stats.largestWindow.height()) {
      stats.largestWindow = size;
    }
  }

  RecordingServices services_;
  bool trace_;
  std::unique_ptr<frmTambrel> window_;
  QLineEdit* number_ = nullptr;
  QLineEdit* times_ = nullptr;
  QToolButton* up_ = nullptr;
  QToolButton* down_ = nullptr;

  Model model_;
  int drawnFor_ = 1;
  bool pendingValues_ = false;
  std::size_t messagesFrom_ = 0;
  std::vector<Message> expectedMessages_;
  std::vector<Message> lastSaid_;
  int expectedBeeps_ = 0;
  std::optional<std::pair<QLineEdit*, QString>> expectedText_;
  QWidget* expectedFocus_ = nullptr;
  std::string failure_;
};

// The failure's kind: the words before its first colon.
std::string KindOf(const std::string& failure) { return failure.substr(0, failure.find(':')); }

// Replays with events left out, in halving chunks, keeping every removal
// after which the sequence still fails the same way.
std::vector<Event> Shrink(std::vector<Event> events, std::uint64_t seed, const std::string& kind) {
  int replays = 0;
  for (std::size_t chunk = std::max<std::size_t>(events.size() / 2, 1); chunk >= 1; chunk /= 2) {
    for (std::size_t at = 0; at < events.size() && replays < 3000;) {
      std::vector<Event> candidate(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(at));
      candidate.insert(candidate.end(),
                       events.begin() + static_cast<std::ptrdiff_t>(std::min(at + chunk, events.size())),
                       events.end());
      ++replays;
      Player player(seed, false);
      const int failedAt = player.Play(candidate, nullptr);
      if (failedAt >= 0 && KindOf(player.Failure()) == kind) {
        candidate.resize(static_cast<std::size_t>(failedAt) + 1);
        events = std::move(candidate);
      } else {
        at += chunk;
      }
    }
    if (chunk == 1) break;
  }
  return events;
}

std::uint64_t SeedFromEnvironment() {
  const QByteArray text = qgetenv("TAMBREL_FUZZ_SEED");
  if (!text.isEmpty()) {
    bool ok = false;
    const std::uint64_t seed = text.toULongLong(&ok, 0);
    if (ok) return seed;
    ADD_FAILURE() << "TAMBREL_FUZZ_SEED is not a number: " << text.toStdString();
  }
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) | device();
}

int SequencesFromEnvironment() {
  bool ok = false;
  const int count = qEnvironmentVariableIntValue("TAMBREL_FUZZ_SEQUENCES", &ok);
  return ok && count > 0 ? count : 150;
}

// Text in scripts the installed fonts cannot shape makes Qt warn once per
// font; the warnings say nothing about the program and bury the report.
QtMessageHandler previousHandler = nullptr;

void QuietAboutFonts(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.contains(QLatin1String("OpenType support missing"))) return;
  previousHandler(type, context, message);
}

TEST(RandomUser, EverySequenceKeepsTheWindowRunningTruthfulAndInItsOwnWords) {
  previousHandler = qInstallMessageHandler(QuietAboutFonts);
  const std::uint64_t first = SeedFromEnvironment();
  const int sequences = SequencesFromEnvironment();
  const bool trace = qEnvironmentVariableIntValue("TAMBREL_FUZZ_TRACE") != 0;
  std::printf("Random user: TAMBREL_FUZZ_SEED=%llu TAMBREL_FUZZ_SEQUENCES=%d\n",
              static_cast<unsigned long long>(first), sequences);
  std::fflush(stdout);

  Stats stats;
  for (int i = 0; i < sequences; ++i) {
    const std::uint64_t seed = first + static_cast<std::uint64_t>(i);
    const std::vector<Event> events = RandomSequence(seed);
    if (trace) std::printf("sequence %d, seed %llu, %zu events\n", i, static_cast<unsigned long long>(seed), events.size());
    std::string failure;
    int failedAt = -1;
    {
      Player player(seed, trace);
      failedAt = player.Play(events, &stats);
      failure = player.Failure();
    }
    ++stats.sequences;
    if (failedAt < 0) continue;

    const std::vector<Event> shortest = Shrink(
        std::vector<Event>(events.begin(), events.begin() + failedAt + 1), seed, KindOf(failure));
    std::string finalFailure = failure;
    {
      Player player(seed, false);
      if (player.Play(shortest, nullptr) >= 0) finalFailure = player.Failure();
    }
    std::ostringstream report;
    report << "sequence " << i << " failed at event " << failedAt << " of " << events.size()
           << ": " << failure << "\nReplay it with TAMBREL_FUZZ_SEED=" << seed
           << " TAMBREL_FUZZ_SEQUENCES=1. The shortest failing list (" << shortest.size()
           << " events): " << finalFailure << "\n";
    for (std::size_t k = 0; k < shortest.size(); ++k) report << "  " << k << ". " << Describe(shortest[k]) << "\n";
    ADD_FAILURE() << report.str();
    break;
  }

  std::printf("Random user: %lld sequences, %lld events; largest grid %lld values in %lld rows "
              "(%lld runs stopped at the 32766-label limit); largest window %dx%d px\n",
              stats.sequences, stats.events, stats.largestGrid, stats.mostRows,
              stats.gridFullAtLimit, stats.largestWindow.width(), stats.largestWindow.height());
  for (const auto& [said, count] : stats.said) std::printf("  told \"%s\": %lld\n", SaidName(said), count);
  EXPECT_GT(stats.events, 0);
  qInstallMessageHandler(previousHandler);
}

// Fixed sequences checked by the same model: the shortest forms of faults
// the random user found, and the corners it reaches only now and then.
Event Simple(Kind kind) {
  Event e;
  e.kind = kind;
  return e;
}

Event ResizeTo(int width, int height) {
  Event e = Simple(Kind::Resize);
  e.size = {width, height};
  return e;
}

Event PasteInto(Box box, const char* text) {
  Event e = Simple(Kind::Paste);
  e.box = box;
  e.text = QString::fromUtf8(text);
  return e;
}

Event DieButton(int index) {
  Event e = Simple(Kind::DieButton);
  e.index = index;
  return e;
}

struct Place {
  int index;
  float left;
  float top;
};

struct Scenario {
  const char* name;
  std::vector<Event> events;
  long long largestGrid;      // the most values shown at once on the way
  std::vector<Place> places;  // where some labels stand at the end
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class ScenarioTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(ScenarioTest, EveryCheckHoldsAndTheCornerIsReached) {
  Player player(20261207, false);
  Stats stats;
  const int failedAt = player.Play(GetParam().events, &stats);
  EXPECT_EQ(failedAt, -1) << player.Failure();
  EXPECT_EQ(stats.largestGrid, GetParam().largestGrid);
  const LabelArray& labels = player.Window().lblNum();
  for (const Place& place : GetParam().places) {
    ASSERT_TRUE(labels.IsLoaded(place.index)) << place.index;
    EXPECT_EQ(labels[place.index].left, place.left) << place.index;
    EXPECT_EQ(labels[place.index].top, place.top) << place.index;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixed, ScenarioTest,
    ::testing::Values(
        // Found: restoring gives no Resize when the size did not change,
        // yet the window was resized while minimised.
        Scenario{"RestoredAfterResizeWhileMinimised",
                 {Simple(Kind::Minimise), ResizeTo(360, 266), Simple(Kind::Restore)},
                 0,
                 {}},
        // Restored to the fixed width and the minimum height: two rows of nine.
        Scenario{"RestoredAfterResizeWhileMinimisedThenRolled",
                 {Simple(Kind::Minimise), ResizeTo(7680, 1), Simple(Kind::Restore), DieButton(6),
                  PasteInto(Box::Times, "100"), Simple(Kind::Generate), Simple(Kind::Sum)},
                 18,
                 {{9, 4500, 2900}, {10, 500, 3200}, {18, 4500, 3200}}},
        // The largest count on the largest window stops at the last label.
        Scenario{"FullScreenLargestCountStopsAtTheLastLabel",
                 {Simple(Kind::FullScreen), PasteInto(Box::Number, "-32768"),
                  PasteInto(Box::Times, "32767"), Simple(Kind::Generate), Simple(Kind::Sum),
                  Simple(Kind::Avg), Simple(Kind::Restore), Simple(Kind::Sum)},
                 32766,
                 {{229, 114500, 2900}, {230, 500, 3200}, {32766, 9500, 45800}}},
        // A client area 1000 pixels wide puts the 28th label's left exactly
        // on the right limit: it still closes its row. Only a minimised
        // window keeps such a width; any other resize ends in the normal
        // state, where the fixed width applies.
        Scenario{"LeftOnTheRightLimitClosesTheRow",
                 {Simple(Kind::Minimise), ResizeTo(1000, 600), DieButton(1),
                  PasteInto(Box::Times, "100"), Simple(Kind::Generate), Simple(Kind::Avg)},
                 100,
                 {{28, 14000, 2900}, {29, 500, 3200}}},
        // Too small to hold a single row: a run stops at once and shows
        // nothing, until the restored window holds one again.
        Scenario{"OnePixelWindowHoldsNothing",
                 {Simple(Kind::Minimise), ResizeTo(1, 1), DieButton(0), Simple(Kind::Generate),
                  Simple(Kind::Sum), Simple(Kind::Avg), Simple(Kind::Restore), Simple(Kind::Generate),
                  Simple(Kind::Sum)},
                 1,
                 {{1, 500, 2900}}}),
    [](const ::testing::TestParamInfo<Scenario>& scenario) {
      return std::string(scenario.param.name);
    });

}  // namespace
}  // namespace tambrel
