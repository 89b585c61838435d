// VARK_OPTIONS: "[name:value]" flags and integers, defaults and the
// "unrecognized setting" line.
#include "platform/log.h"

#include <gtest/gtest.h>

#include "log_test_util.h"
#include "test_util.h"

class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        log_to(dir.file("log.txt"));
        vark_options_reset_for_tests();
    }
    void TearDown() override
    {
        set_env("VARK_OPTIONS", nullptr);
        vark_options_reset_for_tests();
        fresh_log();
    }
    void options(const char *text)
    {
        set_env("VARK_OPTIONS", text);
        vark_options_reset_for_tests();
    }
    // Messages logged since the log was opened, without its two header lines.
    std::vector<std::string> logged()
    {
        std::vector<std::string> lines = log_messages(read_file_bytes(dir.file("log.txt")));
        return std::vector<std::string>(lines.begin() + 2, lines.end());
    }
    TempDir dir;
};

TEST_F(Options, ThreadedOnAndDirectInputOff)
{
    options("[threaded:yes][dinput:off]");
    EXPECT_TRUE(vark_option_flag("threaded", false));
    EXPECT_FALSE(vark_option_flag("dinput", true));
    EXPECT_TRUE(vark_option_flag("dsnd", true));
    EXPECT_TRUE(logged().empty());
}

TEST_F(Options, UnrecognizedFlagLogsAndKeepsTheDefault)
{
    options("[threaded:maybe]");
    EXPECT_FALSE(vark_option_flag("threaded", false));
    EXPECT_EQ(logged(), std::vector<std::string>{"unrecognized setting for threaded\n"});
}

TEST_F(Options, FlagValues)
{
    struct Case {
        const char *text;
        bool default_value;
        bool expected;
        bool complains;
    };
    const Case cases[] = {
        {"[x:yes]", false, true, false},
        {"[x:on]", false, true, false},
        {"[x:no]", true, false, false},
        {"[x:off]", true, false, false},
        {"[x:YES]", false, false, true},  // values are lower case
        {"[x:yes", false, false, true},   // the "]" belongs to the value
        {"[x: on]", true, true, true},
        {"[x:]", true, true, true},
        {"[x:on]trailing text", false, true, false},
        {"junk [x:off] junk", true, false, false},
        {"[x:on][x:off]", false, true, false},  // the first occurrence counts
        {"[xx:on][ x:on]x:on]", false, false, false},
        {"", true, true, false},
    };
    for (const Case &c : cases) {
        log_to(dir.file("log.txt"));
        options(c.text);
        EXPECT_EQ(vark_option_flag("x", c.default_value), c.expected) << c.text;
        EXPECT_EQ(logged().size(), c.complains ? 1u : 0u) << c.text;
    }
}

TEST_F(Options, IntegerValues)
{
    struct Case {
        const char *text;
        int expected;
        bool complains;
    };
    const Case cases[] = {
        {"[sound-rate:44100]", 44100, false},
        {"[sound-rate:-5]", -5, false},
        {"[sound-rate:+7]", 7, false},
        {"[sound-rate:12abc]", 12, false},  // what follows the number is ignored
        {"[sound-rate:2147483647]", 2147483647, false},
        {"[sound-rate:-2147483648]", -2147483647 - 1, false},
        {"[sound-rate:2147483648]", 22050, true},
        {"[sound-rate:99999999999999999999999]", 22050, true},
        {"[sound-rate:abc]", 22050, true},
        {"[sound-rate:-]", 22050, true},
        {"[sound-rate: 5]", 22050, true},
        {"[sound-rate:]", 22050, true},
        {"[sound-rate:", 22050, true},
        {"[sound-rate:8000] [sound-rate:11025]", 8000, false},
        {"[sound-channels:8]", 22050, false},
    };
    for (const Case &c : cases) {
        log_to(dir.file("log.txt"));
        options(c.text);
        EXPECT_EQ(vark_option_int("sound-rate", 22050), c.expected) << c.text;
        std::vector<std::string> lines = logged();
        if (c.complains)
            EXPECT_EQ(lines, std::vector<std::string>{"unrecognized setting for sound-rate\n"}) << c.text;
        else
            EXPECT_TRUE(lines.empty()) << c.text;
    }
}

TEST_F(Options, NamesAreCutToSixtyCharacters)
{
    std::string name(70, 'n');
    options(("[" + name.substr(0, 60) + ":on]").c_str());
    EXPECT_TRUE(vark_option_flag(name.c_str(), false));
    EXPECT_EQ(vark_option_int(name.c_str(), 3), 3);
    EXPECT_EQ(logged(), std::vector<std::string>{"unrecognized setting for " + name.substr(0, 60) + "\n"});
}

TEST_F(Options, VariableIsReadOnce)
{
    options("[threaded:on]");
    EXPECT_TRUE(vark_option_flag("threaded", false));
    set_env("VARK_OPTIONS", "[threaded:off]");
    EXPECT_TRUE(vark_option_flag("threaded", false));
}

TEST_F(Options, UnsetVariableGivesDefaults)
{
    options(nullptr);
    EXPECT_FALSE(vark_option_flag("threaded", false));
    EXPECT_TRUE(vark_option_flag("waveout", true));
    EXPECT_EQ(vark_option_int("sound-channels", 16), 16);
    EXPECT_EQ(vark_option_int("sound-mixahead", 125), 125);
}
