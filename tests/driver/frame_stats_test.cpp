// Frame statistics: the one percentile formula, and per-scene summaries.
#include "driver/frame_stats.h"

#include <gtest/gtest.h>

#include <vector>

namespace quarvel::driver {
namespace {

TEST(FrameStats, PercentileIndexRoundsDownAndStaysInsideTheList) {
  struct Case {
    std::size_t count;
    unsigned percent;
    std::size_t index;
  };
  const std::vector<Case> cases = {
      {1, 0, 0},      {1, 50, 0},   {1, 95, 0},     {2, 50, 1},      {3, 50, 1},    {4, 50, 2},
      {10, 95, 9},    {19, 95, 18}, {20, 95, 19},   {21, 95, 19},    {100, 95, 95}, {100, 29, 29},
      {100, 100, 99}, {7, 0, 0},    {900, 95, 855}, {1501, 50, 750},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(percentileIndex(c.count, c.percent), c.index)
        << c.count << " values, percentile " << c.percent;
  }
}

TEST(FrameStats, PercentileOfUnsortedValues) {
  struct Case {
    std::vector<double> values;
    unsigned percent;
    double expected;
  };
  const std::vector<Case> cases = {
      {{}, 50, 0.0},
      {{4.5}, 95, 4.5},
      {{3.0, 1.0, 2.0}, 50, 2.0},
      {{9.0, 1.0, 7.0, 3.0}, 50, 7.0},  // the upper of the two middle values
      {{5, 1, 19, 2, 18, 3, 17, 4, 16, 6, 15, 7, 14, 8, 13, 9, 12, 10, 11, 20}, 95, 20.0},
      {{5, 1, 19, 2, 18, 3, 17, 4, 16, 6, 15, 7, 14, 8, 13, 9, 12, 10, 11, 20}, 90, 19.0},
      {{2.0, -1.0, 2.0, 0.5}, 0, -1.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(percentile(c.values, c.percent), c.expected)
        << c.values.size() << " values, percentile " << c.percent;
  }
}

TEST(FrameStats, SummaryListsScenesInTimelineOrderWithTheirOwnCosts) {
  FrameStats stats;
  EXPECT_EQ(stats.medianMs(Scene::Star), 0.0);
  stats.add(Scene::Blobs, 8.0);
  stats.add(Scene::Star, 3.0);
  stats.add(Scene::Star, 1.0);
  stats.add(Scene::Blobs, 6.0);
  stats.add(Scene::Star, 2.0);
  stats.add(Scene::Blobs, 7.0);
  stats.add(Scene::End, 0.25);

  const std::vector<SceneCosts> summary = stats.summary();
  ASSERT_EQ(summary.size(), 3u);
  const Scene scenes[] = {Scene::Star, Scene::Blobs, Scene::End};
  const std::size_t frames[] = {3, 3, 1};
  const double medians[] = {2.0, 7.0, 0.25};
  const double p95s[] = {3.0, 8.0, 0.25};
  for (std::size_t i = 0; i < summary.size(); ++i) {
    EXPECT_EQ(summary[i].scene, scenes[i]) << i;
    EXPECT_EQ(summary[i].frames, frames[i]) << i;
    EXPECT_EQ(summary[i].medianMs, medians[i]) << i;
    EXPECT_EQ(summary[i].p95Ms, p95s[i]) << i;
  }
  EXPECT_EQ(stats.medianMs(Scene::Blobs), 7.0);
  EXPECT_EQ(stats.medianMs(Scene::Rays), 0.0);
  EXPECT_EQ(stats.totalMs(), 27.25);
}

TEST(FrameStats, ScenesAreNumberedAsTheViewerCountsThem) {
  EXPECT_EQ(sceneNumber(Scene::Star), 1);
  EXPECT_EQ(sceneNumber(Scene::Rays), 2);
  EXPECT_EQ(sceneNumber(Scene::Blobs), 3);
  EXPECT_EQ(sceneNumber(Scene::Greetings), 4);
  EXPECT_EQ(sceneNumber(Scene::End), 0);
}

}  // namespace
}  // namespace quarvel::driver
