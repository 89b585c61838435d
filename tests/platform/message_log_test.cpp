// post_message: the log file copy and the on-screen ring of lines.
#include "platform/message_log.h"

#include <gtest/gtest.h>

#include <string>

#include "log_test_util.h"
#include "platform/clock.h"
#include "test_util.h"

class MessageLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log_to(dir.file("log.txt"));
        clear_message_log();
        message_lines = 5;
    }
    void TearDown() override
    {
        fresh_log();
        clear_message_log();
        message_lines = 5;
    }
    std::vector<std::string> logged()
    {
        std::vector<std::string> lines = log_messages(read_file_bytes(dir.file("log.txt")));
        return std::vector<std::string>(lines.begin() + 2, lines.end());
    }
    TempDir dir;
};

TEST_F(MessageLogTest, LogCopyEndsInOneNewlineAndResetsColours)
{
    post_message("plain");
    post_message("with newline\n");
    post_message("\x1b[31mred");
    post_message("");
    EXPECT_EQ(logged(), (std::vector<std::string>{"plain\n", "with newline\n", "\x1b[31mred\x1b[0m\n", "\n"}));
}

TEST_F(MessageLogTest, RingKeepsTheNewestThousandLines)
{
    EXPECT_EQ(message_log_line(0), nullptr);
    post_message("only");
    EXPECT_STREQ(message_log_line(0), "only");
    EXPECT_EQ(message_log_line(1), nullptr);
    EXPECT_EQ(message_log_line(-1), nullptr);

    clear_message_log();
    vark_log("\x13NOFLUSH");
    for (int i = 0; i < 1005; i++)
        post_message(("line " + std::to_string(i)).c_str());
    EXPECT_STREQ(message_log_line(0), "line 1004");
    EXPECT_STREQ(message_log_line(1), "line 1003");
    EXPECT_STREQ(message_log_line(999), "line 5");
    EXPECT_EQ(message_log_line(1000), nullptr);
}

TEST_F(MessageLogTest, LinesAreCutTo127Characters)
{
    std::string text(300, 'a');
    text[126] = 'b';
    text[127] = 'c';
    post_message(text.c_str());
    EXPECT_EQ(std::string(message_log_line(0)), text.substr(0, 127));
    EXPECT_EQ(logged(), std::vector<std::string>{text + "\n"});  // the log keeps it whole
}

TEST_F(MessageLogTest, ShownCountGrowsUpToMessageLines)
{
    for (int i = 1; i <= 7; i++) {
        post_message("x");
        EXPECT_EQ(message_log.shown, std::min(i, 5));
    }
    clear_message_log();
    message_lines = 2;
    for (int i = 0; i < 4; i++)
        post_message("x");
    EXPECT_EQ(message_log.shown, 2);
}

TEST_F(MessageLogTest, VisibleForTwoSecondsFromNow)
{
    long s = 0, us = 0;
    vark_time(&s, &us);
    double before = s + us / 1e6;
    post_message("hello");
    vark_time(&s, &us);
    double after = s + us / 1e6;
    EXPECT_GE(message_log.visible_until, before + 2.0);
    EXPECT_LE(message_log.visible_until, after + 2.0);
}
