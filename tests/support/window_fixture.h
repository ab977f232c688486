#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/session.h"
#include "support/recording_services.h"
#include "window/frm_tambrel.h"

namespace tambrel::testing {

// A shown, active window driven through its real widgets, with services
// that answer every message box and record what the user was told.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  template <typename T>
  T* Find(const char* name) {
    T* widget = window_.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  QLineEdit* Number() { return Find<QLineEdit>("txtNum"); }
  QLineEdit* Times() { return Find<QLineEdit>("txtRolled"); }
  void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }

  // One of the spin control's two arrows.
  QToolButton* Arrow(Qt::ArrowType arrow) {
    for (auto* button : Find<QWidget>("UpDown1")->findChildren<QToolButton*>()) {
      if (button->arrowType() == arrow) return button;
    }
    ADD_FAILURE() << "no spin arrow of type " << arrow;
    return nullptr;
  }

  int Shown() const { return window_.Fields().intNextLabel - 1; }

  RecordingServices services_;
  // The whole program, with its history kept in memory.
  TambrelSession session_{services_, History::Opener{}};
  frmTambrel& window_ = *session_.Window();
};

}  // namespace tambrel::testing
