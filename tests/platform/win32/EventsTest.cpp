// Events, waits, handles and the last error.
#include <gtest/gtest.h>

#include <thread>

#include "Support.h"

using namespace w32test;

namespace {

class Events : public ::testing::Test {
 protected:
  HANDLE Make(bool manual, bool initial) {
    HANDLE h = CreateEventA(nullptr, manual, initial, nullptr);
    made_.push_back(h);
    return h;
  }
  void TearDown() override {
    for (HANDLE h : made_) CloseHandle(h);
  }
  std::vector<HANDLE> made_;
};

TEST_F(Events, ManualResetStaysSignalledAutoResetIsConsumedByOneWait) {
  HANDLE manual = Make(true, true);
  HANDLE automatic = Make(false, true);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(SetEvent(automatic));
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
}

TEST_F(Events, WaitForAnyReturnsTheLowestSignalledIndexAndConsumesOnlyThat) {
  HANDLE handles[3] = {Make(false, false), Make(false, true), Make(false, true)};
  EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_TIMEOUT);
  SetEvent(handles[0]);
  SetEvent(handles[2]);
  EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(handles[2], 0), WAIT_OBJECT_0) << "index 2 was not consumed";
}

TEST_F(Events, WaitForAllNeedsEveryEvent) {
  HANDLE handles[2] = {Make(false, true), Make(true, false)};
  EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(handles[0], 0), WAIT_OBJECT_0) << "a failed wait-all consumes nothing";
  SetEvent(handles[0]);
  SetEvent(handles[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(handles[0], 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(handles[1], 0), WAIT_OBJECT_0);
}

TEST_F(Events, SignalFromAnotherThreadWakesABlockedWait) {
  HANDLE stop = Make(true, false);
  HANDLE work = Make(false, false);
  for (int round = 0; round < 200; ++round) {
    std::thread signaller([&] { SetEvent(work); });
    HANDLE both[2] = {stop, work};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    signaller.join();
  }
}

TEST_F(Events, TimedWaitEndsWithTimeoutNoSooner) {
  HANDLE h = Make(true, false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(h, 30), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST_F(Events, BadArgumentsFailTheWait) {
  HANDLE h = Make(true, true);
  SetLastError(kSentinel);
  EXPECT_EQ(WaitForMultipleObjects(0, &h, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HANDLE many[65];
  for (HANDLE& m : many) m = h;
  SetLastError(kSentinel);
  EXPECT_EQ(WaitForMultipleObjects(65, many, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HANDLE mixed[2] = {h, reinterpret_cast<HANDLE>(std::uintptr_t{0x7777})};
  SetLastError(kSentinel);
  EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(kSentinel);
  EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Events, ClosedHandlesAreInvalidEverywhere) {
  HANDLE h = CreateEventA(nullptr, TRUE, FALSE, "named events are accepted");
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(CloseHandle(h));
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(kSentinel);
  EXPECT_FALSE(SetEvent(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SetLastError(kSentinel);
  EXPECT_FALSE(ResetEvent(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE next = Make(true, false);
  EXPECT_NE(next, h) << "handle values are not reused";
}

TEST_F(Events, ClosingAnEventThatAThreadWaitsOnFailsThatWait) {
  HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD result = 0, error = 0;
  HANDLE started = Make(true, false);
  std::thread waiter([&] {
    SetEvent(started);
    result = WaitForSingleObject(h, INFINITE);
    error = GetLastError();
  });
  ASSERT_EQ(WaitForSingleObject(started, kLongWait), WAIT_OBJECT_0);
  CloseHandle(h);
  waiter.join();
  // The wait either started after the close or saw it; it fails either way.
  EXPECT_EQ(result, WAIT_FAILED);
  EXPECT_EQ(error, ERROR_INVALID_HANDLE);
}

TEST_F(Events, LastErrorBelongsToEachThread) {
  SetLastError(111);
  DWORD other = 0;
  std::thread t([&] {
    SetLastError(222);
    other = GetLastError();
  });
  t.join();
  EXPECT_EQ(GetLastError(), 111u);
  EXPECT_EQ(other, 222u);
}

}  // namespace
