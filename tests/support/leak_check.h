// The check shared by the leak tests: what a number of cycles left behind.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/win_test_util.h"

// Handles other threads of the process (Wine's own) may open or close while
// a test counts; a leak per cycle shows far above it.
inline constexpr DWORD kHandleDrift = 2;

// Expects the counts `before` to be real and `after` to hold no more than
// them: no GDI or user object more, at most kHandleDrift handles more.
// `cycles` ("50 pages") names what ran between the two counts.
inline void ExpectNoResourceGrowth(const ProcessResources& before, const ProcessResources& after,
                                   const std::string& cycles) {
  EXPECT_GT(before.handles, 0u) << "the process's handles are counted";
  EXPECT_GT(before.gdiObjects, 0u) << "the process's GDI objects are counted";
  EXPECT_GT(before.userObjects, 0u) << "the process's windows are counted";
  EXPECT_LE(after.handles, before.handles + kHandleDrift) << cycles;
  EXPECT_LE(after.gdiObjects, before.gdiObjects) << cycles;
  EXPECT_LE(after.userObjects, before.userObjects) << cycles;
}
