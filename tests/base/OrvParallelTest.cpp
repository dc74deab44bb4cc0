#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/OrvParallel.h"

namespace {

TEST(OrvParallel, EveryItemRunsOnceWhateverTheThreadCount) {
    for (unsigned threads : {0u, 1u, 2u, 3u, 8u})
        for (size_t count : {size_t(0), size_t(1), size_t(2), size_t(5), size_t(200)}) {
            std::vector<std::atomic<int>> runs(count);
            std::vector<size_t> reported;
            ForEachItem(
                count, threads, [&](size_t i) { ++runs[i]; }, [&](size_t done) { reported.push_back(done); });
            for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i], 1) << threads << " threads, item " << i;
            ASSERT_FALSE(reported.empty());
            EXPECT_EQ(reported.front(), 0u);
            EXPECT_EQ(reported.back(), count);
            for (size_t k = 1; k < reported.size(); ++k) EXPECT_LE(reported[k - 1], reported[k]);
        }
}

TEST(OrvParallel, InOrderTakesEachFinishedItemOnceInOrderOnTheCallingThread) {
    const std::thread::id caller = std::this_thread::get_id();
    for (unsigned threads : {0u, 1u, 2u, 4u})
        for (size_t count : {size_t(0), size_t(1), size_t(3), size_t(300)}) {
            std::vector<std::atomic<int>> runs(count);
            std::vector<int> results(count, -1);
            std::vector<size_t> taken;
            ForEachInOrder(
                count, threads,
                [&](size_t i) {
                    ++runs[i];
                    // Uneven work, so later items often finish first.
                    volatile unsigned spin = 0;
                    for (unsigned k = 0; k < (i % 7) * 2000; ++k) spin = spin + k;
                    results[i] = int(i) * 3;
                },
                [&](size_t i) {
                    EXPECT_EQ(std::this_thread::get_id(), caller);
                    EXPECT_EQ(results[i], int(i) * 3) << "taken before its work was done";
                    taken.push_back(i);
                });
            ASSERT_EQ(taken.size(), count) << threads << " threads";
            for (size_t i = 0; i < count; ++i) {
                EXPECT_EQ(taken[i], i);
                EXPECT_EQ(runs[i], 1);
            }
        }
}

TEST(OrvParallel, InOrderStopsStartingWorkWhenTakeThrowsAndJoinsItsThreads) {
    for (unsigned threads : {1u, 2u, 4u}) {
        constexpr size_t kCount = 1000;
        std::atomic<size_t> started{0};
        size_t taken = 0;
        EXPECT_THROW(ForEachInOrder(
                         kCount, threads, [&](size_t) { ++started; },
                         [&](size_t i) {
                             ++taken;
                             if (i == 10) throw std::runtime_error("stop");
                         }),
                     std::runtime_error);
        EXPECT_EQ(taken, 11u);
        // Helpers may have run ahead, but the call returned only after they
        // stopped: nothing runs any more.
        const size_t after = started.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(started.load(), after);
        EXPECT_LE(after, kCount);
    }
}

}  // namespace
