// The millisecond clock, vark_sleep's lower bounds and mutexes.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

static long long vark_ms()
{
    long seconds = -1, microseconds = -1;
    EXPECT_TRUE(vark_time(&seconds, &microseconds));
    EXPECT_GE(microseconds, 0);
    EXPECT_LT(microseconds, 1000000);
    EXPECT_EQ(microseconds % 1000, 0);
    return (long long)seconds * 1000 + microseconds / 1000;
}

TEST(Clock, WholeMillisecondsThatNeverGoBack)
{
    long long previous = vark_ms();
    for (int i = 0; i < 1000; i++) {
        long long now = vark_ms();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(Sleep, OperatingSystemPartLeavesTheLastMillisecondToSpin)
{
    struct Case {
        long seconds, microseconds, sleep_ms;
    };
    const Case cases[] = {
        {0, 0, 0},     {0, 500, 0},    {0, 1000, 1},    {0, 1999, 1},   {0, 2000, 1},
        {0, 20000, 19}, {0, 20999, 19}, {1, 0, 999},     {2, 500000, 2499}, {0, -5, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(vark_sleep_first_ms(c.seconds, c.microseconds), c.sleep_ms) << c.seconds << " " << c.microseconds;
}

TEST(Sleep, ReturnsOnlyAfterTheTimeHasPassed)
{
    struct Case {
        long seconds, microseconds;
    };
    const Case cases[] = {{0, 0}, {0, 500}, {0, 1000}, {0, 20000}, {0, 99999}, {0, 1050000}};
    for (const Case &c : cases) {
        long long duration_us = (long long)c.seconds * 1000000 + c.microseconds;
        long long before = vark_ms();
        auto start = std::chrono::steady_clock::now();
        vark_sleep(c.seconds, c.microseconds);
        auto elapsed = std::chrono::steady_clock::now() - start;
        long long after = vark_ms();
        // The deadline is measured on the millisecond clock, so it is met in
        // whole milliseconds; real time may fall short of it by under one.
        EXPECT_GE(after - before, (duration_us + 999) / 1000) << duration_us;
        EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count(), duration_us - 1000)
            << duration_us;
    }
}

TEST(Mutex, LocksExcludeEachOther)
{
    VarkMutex *mutex = vark_mutex_create();
    ASSERT_NE(mutex, nullptr);
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 100000; i++) {
            ASSERT_TRUE(vark_mutex_lock(mutex));
            counter = counter + 1;
            vark_mutex_unlock(mutex);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 200000);
    vark_mutex_destroy(mutex);
}

TEST(Mutex, MissingMutexIsNotObtained)
{
    EXPECT_FALSE(vark_mutex_lock(nullptr));
    vark_mutex_unlock(nullptr);
    vark_mutex_destroy(nullptr);
}
