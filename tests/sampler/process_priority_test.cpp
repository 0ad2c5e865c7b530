#include "sampler/process_priority.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using namespace mixora;

TEST(ProcessPriority, ClassesMapOntoNiceValuesAndBack) {
  const int nice[] = {-10, -5, 0, 5, 19};
  for (int c = 0; c < kProcessPriorityClassCount; ++c) {
    EXPECT_EQ(NiceOfPriorityClass(c), nice[c]);
    EXPECT_EQ(PriorityClassOfNice(nice[c]), c);
  }
  // Values between classes fall in the nearest class at or above them.
  EXPECT_EQ(PriorityClassOfNice(-20), kPriorityHigh);
  EXPECT_EQ(PriorityClassOfNice(2), kPriorityBelowNormal);
  EXPECT_EQ(PriorityClassOfNice(10), kPriorityIdle);
}

// Raising the priority needs privileges: with them the class is taken, without
// them it is refused with the system's reason and nothing changes.
TEST(ProcessPriority, ARefusedClassChangesNothing) {
  const int before = CurrentPriorityClass();
  if (SetProcessPriorityClass(nullptr, kPriorityHigh) == 1) {
    EXPECT_EQ(CurrentPriorityClass(), kPriorityHigh);
    EXPECT_EQ(SetProcessPriorityClass(nullptr, before), 1);
  } else {
    EXPECT_TRUE(errno == EACCES || errno == EPERM) << errno;
    EXPECT_EQ(CurrentPriorityClass(), before);
  }
}

}  // namespace
