// Work beside the calling thread: it runs exactly once, on a helper or inline in finish(), and
// what it throws comes out of finish().
#include <atomic>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "base/helper_thread.h"

namespace solvane {
namespace {

TEST(HelperThread, RunsOnceOnAHelperOrInFinish) {
  for (const bool worthAThread : {true, false}) {
    std::atomic<int> runs{0};
    std::thread::id ranOn;
    HelperThread helper;
    const bool started = helper.start(
        [&] {
          ranOn = std::this_thread::get_id();
          ++runs;
        },
        worthAThread);
    EXPECT_EQ(started, worthAThread);
    EXPECT_EQ(helper.onHelperThread(), started);
    helper.finish();
    helper.finish();  // a second call does nothing
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ranOn == std::this_thread::get_id(), !started);
    EXPECT_FALSE(helper.onHelperThread());
  }
}

TEST(HelperThread, WhatTheWorkThrowsComesOutOfFinish) {
  for (const bool worthAThread : {true, false}) {
    HelperThread helper;
    helper.start([] { throw std::runtime_error("boom"); }, worthAThread);
    EXPECT_THROW(helper.finish(), std::runtime_error);
    EXPECT_NO_THROW(helper.finish());
  }
}

TEST(HelperThread, UnfinishedInlineWorkIsDropped) {
  bool ran = false;
  {
    HelperThread helper;
    helper.start([&] { ran = true; }, false);
  }
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace solvane
