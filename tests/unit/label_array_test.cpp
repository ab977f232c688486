#include "runtime/label_array.h"

#include <gtest/gtest.h>

#include <vector>

namespace tambrel {
namespace {

Label Template() { return Label{60, 2640, 450, 300, true, "tpl"}; }

class RecordingObserver final : public LabelArray::Observer {
 public:
  void LabelAreaChanged(const Label& label) override { areas.push_back(label); }
  std::vector<Label> areas;
};

TEST(LabelArray, LoadedElementIsAHiddenCopyOfTheTemplate) {
  LabelArray labels(Template());
  ASSERT_TRUE(labels.Load(1));
  EXPECT_EQ(labels.Count(), 2);
  EXPECT_EQ(labels[1].left, 60);
  EXPECT_EQ(labels[1].height, 300);
  EXPECT_EQ(labels[1].width, 450);
  EXPECT_EQ(labels[1].caption, "tpl");
  EXPECT_FALSE(labels[1].visible);
}

TEST(LabelArray, RefusesOutOfOrderLoadsAndTheTemplate) {
  LabelArray labels(Template());
  EXPECT_FALSE(labels.Load(0));
  EXPECT_FALSE(labels.Load(2));
  EXPECT_FALSE(labels.Load(-1));
  EXPECT_FALSE(labels.Unload(0));
  EXPECT_FALSE(labels.Unload(1));
  EXPECT_TRUE(labels.Load(1));
  EXPECT_FALSE(labels.Load(1));
  EXPECT_EQ(labels.Count(), 2);
}

TEST(LabelArray, GeometryReadsBackExactlyAsWritten) {
  LabelArray labels(Template());
  ASSERT_TRUE(labels.Load(1));
  for (const float value : {0.0f, 500.0f, 2900.0f, 33000.0f, 4499.5f, -120.25f, 115200.0f}) {
    labels.SetLeft(1, value);
    labels.SetTop(1, value);
    EXPECT_EQ(labels[1].left, value);
    EXPECT_EQ(labels[1].top, value);
  }
}

TEST(LabelArray, AscendingUnloadLeavesOnlyTheTemplate) {
  LabelArray labels(Template());
  for (int i = 1; i <= 5; ++i) ASSERT_TRUE(labels.Load(i));
  const int count = labels.Count();
  for (int i = 1; i < count; ++i) {
    EXPECT_TRUE(labels.Unload(i));
    EXPECT_EQ(labels.Count(), count - i);
  }
  EXPECT_EQ(labels.Count(), 1);
  EXPECT_TRUE(labels.Load(1)) << "indices start again at 1 after a clear";
}

TEST(LabelArray, ObserverHearsOnlyOfVisibleLabels) {
  LabelArray labels(Template());
  RecordingObserver observer;
  labels.SetObserver(&observer);
  ASSERT_TRUE(labels.Load(1));
  labels.SetTop(1, 2900);
  labels.SetCaption(1, "6");
  EXPECT_TRUE(observer.areas.empty()) << "a hidden label changes nothing on screen";

  labels.SetVisible(1, true);
  ASSERT_EQ(observer.areas.size(), 1u);
  labels.SetLeft(1, 1000);  // old place and new place both need painting
  ASSERT_EQ(observer.areas.size(), 3u);
  EXPECT_EQ(observer.areas[1].left, 60);
  EXPECT_EQ(observer.areas[2].left, 1000);
  labels.Unload(1);
  ASSERT_EQ(observer.areas.size(), 4u);
  EXPECT_EQ(observer.areas[3].top, 2900);
}

}  // namespace
}  // namespace tambrel
