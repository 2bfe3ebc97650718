// RunControl and the checks of the long loops: no control, progress mapped through nested spans,
// the stop request, and the scope's restoring of an outer control.
#include "core/run_control.h"

#include <gtest/gtest.h>

#include <vector>

namespace terravox {
namespace {

TEST(RunControlTest, WithoutAControlEveryCheckPasses) {
  EXPECT_TRUE(CheckRun().ok());
  EXPECT_TRUE(CheckRun(0.5).ok());
  EXPECT_TRUE(StartItem(3, 4).ok());
}

TEST(RunControlTest, ProgressIsMappedThroughNestedSpans) {
  struct Row {
    double outer_begin, outer_end, inner_begin, inner_end, reported, expected;
  };
  const Row rows[] = {
      {0.0, 1.0, 0.0, 1.0, 0.5, 0.5},  {0.0, 0.6, 0.0, 1.0, 0.5, 0.3},
      {0.7, 1.0, 0.0, 1.0, 0.5, 0.85}, {0.5, 1.0, 0.5, 1.0, 0.0, 0.75},
      {0.0, 0.5, 0.0, 1.0, 2.0, 0.5},  // clamped to the span
  };
  for (const Row& row : rows) {
    RunControl control;
    std::vector<double> seen;
    control.SetProgressSink([&](double f) { seen.push_back(f); });
    RunControlScope scope(&control);
    {
      ProgressSpan outer(row.outer_begin, row.outer_end);
      ProgressSpan inner(row.inner_begin, row.inner_end);
      ASSERT_TRUE(CheckRun(row.reported).ok());
    }
    ASSERT_TRUE(CheckRun(1.0).ok());  // the spans are gone: the whole file again
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_DOUBLE_EQ(seen[0], row.expected);
    EXPECT_DOUBLE_EQ(seen[1], 1.0);
  }
}

TEST(RunControlTest, AStopRequestFailsEveryLaterCheckAsCancelled) {
  RunControl control;
  RunControlScope scope(&control);
  ASSERT_TRUE(StartItem(0, 2).ok());
  control.RequestStop();
  for (const Status& s : {CheckRun(), CheckRun(0.1), StartItem(1, 2)}) {
    ASSERT_FALSE(s.ok());
    EXPECT_TRUE(IsCancelled(s));
    EXPECT_EQ(s.description(), "Interrupted");
  }
  EXPECT_FALSE(IsCancelled(Status(Error(ErrorKind::kOther, "Interrupted"))));
  control.Reset();
  EXPECT_TRUE(CheckRun().ok());
}

TEST(RunControlTest, StartItemTellsTheSinkWhichFile) {
  RunControl control;
  std::vector<std::pair<int, int>> items;
  control.SetProgressSink([&](double) { items.emplace_back(control.item(), control.items()); });
  RunControlScope scope(&control);
  ASSERT_TRUE(StartItem(2, 5).ok());
  ASSERT_TRUE(StartItem(0, 0).ok());
  EXPECT_EQ(items, (std::vector<std::pair<int, int>>{{2, 5}, {0, 0}}));
}

TEST(RunControlTest, AScopeRestoresTheOuterControl) {
  RunControl outer;
  RunControl inner;
  outer.RequestStop();
  RunControlScope outer_scope(&outer);
  {
    RunControlScope inner_scope(&inner);
    EXPECT_TRUE(CheckRun().ok());
  }
  EXPECT_TRUE(IsCancelled(CheckRun()));
}

}  // namespace
}  // namespace terravox
