#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

#include "runtime/label_array.h"
#include "x11_harness.h"

namespace tambrel::testing {
namespace {

class ShownLabelsTest : public ManagedWindowTest, public ::testing::WithParamInterface<ExternalRequest> {
 protected:
  // Fills the times and sides boxes and clicks "Generate Number".
  void Roll(const QString& sides, const QString& times) {
    auto* number = window_->findChild<QLineEdit*>(QStringLiteral("txtNum"));
    auto* rolled = window_->findChild<QLineEdit*>(QStringLiteral("txtRolled"));
    auto* generate = window_->findChild<QPushButton*>(QStringLiteral("cmdGenerate"));
    ASSERT_NE(number, nullptr);
    ASSERT_NE(rolled, nullptr);
    ASSERT_NE(generate, nullptr);
    number->setText(sides);
    rolled->setText(times);
    QTest::mouseClick(generate, Qt::LeftButton);
  }

  [[nodiscard]] std::vector<Label> ShownLabels() const {
    std::vector<Label> labels;
    for (int i = 1; i < window_->Fields().intNextLabel; ++i) labels.push_back(window_->lblNum()[i]);
    return labels;
  }
};

TEST_P(ShownLabelsTest, ShrinkingTheWindowMovesNoLabel) {
  ASSERT_TRUE(WaitForFixedWidth());
  WaitForQuiet();
  // Tall enough first for several rows, so that shrinking leaves some of
  // them below the new bottom limit.
  const QSize tall(window_->width(), 560);
  RequestClientSize(tall, GetParam());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == tall && Server().client == tall; }, kWmTimeoutMs));
  WaitForQuiet();

  Roll(QStringLiteral("6"), QStringLiteral("30"));
  ASSERT_TRUE(services_.messages.empty()) << services_.messages.front().prompt;
  const std::vector<Label> before = ShownLabels();
  ASSERT_EQ(before.size(), 30U);

  recorder_->sizes.clear();
  const QSize shorter(window_->width(), 150);
  RequestClientSize(shorter, GetParam());
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->Saw(shorter); }, kWmTimeoutMs));
  WaitForQuiet();
  ASSERT_LT(Server().client.height(), tall.height());
  ExpectLimitsMatchServerClientArea();

  const std::vector<Label> after = ShownLabels();
  ASSERT_EQ(after.size(), before.size());
  int belowTheNewLimit = 0;
  for (std::size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "label " << i + 1);
    EXPECT_EQ(after[i].left, before[i].left);
    EXPECT_EQ(after[i].top, before[i].top);
    EXPECT_TRUE(after[i].visible);
    EXPECT_EQ(after[i].caption, before[i].caption);
    if (after[i].top >= window_->Fields().sngBottomLimit) ++belowTheNewLimit;
  }
  // Otherwise the shrink would not have put any label to the test.
  EXPECT_GT(belowTheNewLimit, 0);
}

INSTANTIATE_TEST_SUITE_P(, ShownLabelsTest,
                         ::testing::Values(ExternalRequest::ConfigureRequest, ExternalRequest::NetMoveResize),
                         [](const ::testing::TestParamInfo<ExternalRequest>& param_info) { return NameOf(param_info.param); });

}  // namespace
}  // namespace tambrel::testing
