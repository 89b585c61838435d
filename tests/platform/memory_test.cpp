// The working-set range and its log lines.
#include "platform/log.h"

#include <gtest/gtest.h>

#include "log_test_util.h"
#include "test_util.h"

static const unsigned long long MIB = 1024ull * 1024;

TEST(WorkingSet, RangeFollowsPhysicalMemory)
{
    struct Case {
        unsigned long long physical;
        bool set;
        unsigned minimum, maximum;
    };
    const Case cases[] = {
        {4096 * MIB, true, 1024 * MIB, 2048 * MIB - 32 * MIB},
        {64 * 1024 * MIB, true, 1024 * MIB, 2048 * MIB - 32 * MIB},
        {2048 * MIB, true, 1024 * MIB, 2048 * MIB - 32 * MIB},
        {1536 * MIB, true, 1024 * MIB, 1504 * MIB},
        {512 * MIB, true, 480 * MIB, 480 * MIB},
        {64 * MIB, true, 32 * MIB, 32 * MIB},
        {64 * MIB - 1, false, 0, 0},
        {0, false, 0, 0},
    };
    for (const Case &c : cases) {
        unsigned minimum = 0, maximum = 0;
        EXPECT_EQ(working_set_range(c.physical, &minimum, &maximum), c.set) << c.physical;
        EXPECT_EQ(minimum, c.minimum) << c.physical;
        EXPECT_EQ(maximum, c.maximum) << c.physical;
    }
}

TEST(WorkingSet, LogsTheRangeAndThatNothingWasSet)
{
    TempDir dir;
    std::string path = dir.file("log.txt");
    log_to(path);
    set_working_set();
    std::vector<std::string> lines = log_messages(read_file_bytes(path));
    fresh_log();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2].rfind("Setting working set range to ", 0), 0u) << lines[2];
    unsigned minimum = 0, maximum = 0;
    ASSERT_EQ(sscanf(lines[2].c_str(), "Setting working set range to %u - %u\n", &minimum, &maximum), 2);
    EXPECT_LE(minimum, maximum);
    EXPECT_LE(maximum, 2048 * MIB - 32 * MIB);
    EXPECT_EQ(lines[3], "Working set update failed\n");
}
