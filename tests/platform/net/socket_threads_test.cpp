#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/system/system.h"
#include "platform/system/threads.h"

namespace {

TEST(SocketThreads, ATimedWaitReportsARunningThreadThenJoinsItOnceDone) {
  Event go;
  std::atomic<int> ran{0};
  Thread t;
  ASSERT_TRUE(t.start([&] {
    go.wait();
    ++ran;
  }));
  EXPECT_FALSE(t.start([] {}));  // one body at a time
  EXPECT_EQ(t.wait(20), WAIT_TIMEOUT);
  EXPECT_TRUE(t.running());
  go.set();
  EXPECT_EQ(t.wait(2000), WAIT_OBJECT_0);
  EXPECT_FALSE(t.running());
  EXPECT_EQ(ran.load(), 1);
  EXPECT_EQ(t.wait(0), WAIT_OBJECT_0);   // nothing left to wait for
  ASSERT_TRUE(t.start([&] { ++ran; }));  // reusable once joined
  t.join();
  EXPECT_EQ(ran.load(), 2);
}

TEST(SocketThreads, AutoResetEventsReleaseOneWaitManualOnesStaySet) {
  Event autoReset(false, true);
  EXPECT_EQ(autoReset.wait(0), WAIT_OBJECT_0);
  EXPECT_EQ(autoReset.wait(10), WAIT_TIMEOUT);
  Event manual(true, false);
  EXPECT_EQ(manual.wait(10), WAIT_TIMEOUT);
  manual.set();
  EXPECT_EQ(manual.wait(0), WAIT_OBJECT_0);
  EXPECT_EQ(manual.wait(0), WAIT_OBJECT_0);
  manual.reset();
  EXPECT_EQ(manual.wait(0), WAIT_TIMEOUT);
}

TEST(SocketThreads, CriticalSectionsAreRecursiveAndExclusive) {
  CriticalSection cs;
  cs.enter();
  cs.enter();  // the owner may enter again
  std::atomic<bool> got{true};
  Thread other;
  other.start([&] { got = cs.tryEnter(); });
  other.join();
  EXPECT_FALSE(got.load());
  cs.leave();
  cs.leave();
  other.start([&] {
    got = cs.tryEnter();
    if (got) cs.leave();
  });
  other.join();
  EXPECT_TRUE(got.load());
}

}  // namespace
