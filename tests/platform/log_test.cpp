// The log file: choosing it once per run, open modes, time stamps, flush
// control and closing for good; the last-error text.
#include "platform/log.h"

#include <gtest/gtest.h>

#include <cctype>

#include "log_test_util.h"
#include "test_util.h"

// Length of the "[h:mm:ss.hh] " time stamp at the start of `line`, or 0.
static size_t stamp_length(const std::string &line)
{
    size_t i = 0;
    auto digits = [&](size_t least, size_t most) {
        size_t n = 0;
        while (i < line.size() && isdigit((unsigned char)line[i]) && n < most) {
            i++;
            n++;
        }
        return n >= least;
    };
    auto literal = [&](char c) { return i < line.size() && line[i++] == c; };
    if (literal('[') && digits(1, 20) && literal(':') && digits(2, 2) && literal(':') && digits(2, 2) &&
        literal('.') && digits(2, 2) && literal(']') && literal(' '))
        return i;
    return 0;
}

std::vector<std::string> log_messages(const std::string &text)
{
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, end - start);
        messages.push_back(line.substr(stamp_length(line)));
        start = end;
    }
    return messages;
}

static std::vector<std::string> header_then(const std::string &name, std::vector<std::string> rest)
{
    std::vector<std::string> lines = {"Logfile \"" + name + "\" opened\n", "VARK 0.31\n"};
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}

class Log : public ::testing::Test {
protected:
    void SetUp() override { fresh_log(); }
    void TearDown() override { fresh_log(); }
    TempDir dir;
};

TEST(LogTimeStamp, HoursMinutesSecondsHundredths)
{
    struct Case {
        unsigned long long ms;
        const char *text;
    };
    const Case cases[] = {
        {0, "[0:00:00.00] "},
        {(5 * 3600 + 3 * 60 + 7) * 1000ull + 250, "[5:03:07.25] "},
        {59 * 60000ull + 59999, "[0:59:59.99] "},
        {1009, "[0:00:01.00] "},               // hundredths are cut, not rounded
        {1000ull * 3600 * 1000 + 10, "[1000:00:00.01] "},  // hours have no limit
    };
    for (const Case &c : cases) {
        char text[64];
        format_log_time_stamp(c.ms, text, sizeof text);
        EXPECT_STREQ(text, c.text) << c.ms;
    }
}

TEST_F(Log, EveryLineCarriesATimeStamp)
{
    std::string path = dir.file("log.txt");
    log_to(path);
    vark_log("first %d\n", 1);
    vark_log("second\n");
    std::string text = read_file_bytes(path);
    size_t stamps = 0;
    for (size_t at = 0; at < text.size(); at++) {
        if (at == 0 || text[at - 1] == '\n') {
            EXPECT_GT(stamp_length(text.substr(at)), 0u) << text.substr(at);
            stamps++;
        }
    }
    EXPECT_EQ(stamps, 4u);
    EXPECT_EQ(log_messages(text), header_then(path, {"first 1\n", "second\n"}));
}

TEST_F(Log, RequestWithOneAngleOpensForWriting)
{
    std::string path = dir.write("log.txt", "old contents\n");
    vark_log("VARK_LOGFILE=>%s", path.c_str());
    vark_log("new\n");
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {"new\n"}));
}

TEST_F(Log, RequestWithTwoAnglesAppends)
{
    std::string path = dir.write("log.txt", "old contents\n");
    vark_log("VARK_LOGFILE=>>%s", path.c_str());
    vark_log("new\n");
    std::vector<std::string> expected = {"old contents\n"};
    for (const std::string &line : header_then(path, {"new\n"}))
        expected.push_back(line);
    EXPECT_EQ(log_messages(read_file_bytes(path)), expected);
}

TEST_F(Log, VariableWithTwoAnglesAppendsWhateverTheProgramAsks)
{
    std::string chosen = dir.write("chosen.txt", "kept\n");
    std::string asked = dir.file("asked.txt");
    set_env("VARK_LOGFILE", (">>" + chosen).c_str());
    vark_log("VARK_LOGFILE=%s", asked.c_str());
    vark_log("hello\n");
    std::vector<std::string> expected = {"kept\n"};
    for (const std::string &line : header_then(chosen, {"hello\n"}))
        expected.push_back(line);
    EXPECT_EQ(log_messages(read_file_bytes(chosen)), expected);
    EXPECT_FALSE(file_exists(asked));
}

TEST_F(Log, FlagsVariableReplacesTheOpenMode)
{
    std::string path = dir.write("log.txt", "kept\n");
    set_env("VARK_LOGFILE_FLAGS", "a");
    vark_log("VARK_LOGFILE=%s", path.c_str());
    vark_log("more\n");
    std::vector<std::string> expected = {"kept\n"};
    for (const std::string &line : header_then(path, {"more\n"}))
        expected.push_back(line);
    EXPECT_EQ(log_messages(read_file_bytes(path)), expected);
}

TEST_F(Log, OrdinaryFirstMessageUsesTheVariableAndIsWritten)
{
    std::string path = dir.file("log.txt");
    set_env("VARK_LOGFILE", path.c_str());
    vark_log("starting %s\n", "up");
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {"starting up\n"}));
}

TEST_F(Log, OrdinaryFirstMessageWithoutVariableMeansNoLogForTheRun)
{
    std::string path = dir.file("log.txt");
    vark_log("nobody reads this\n");
    vark_log("VARK_LOGFILE=%s", path.c_str());
    vark_log("nor this\n");
    EXPECT_FALSE(file_exists(path));
}

TEST_F(Log, LaterRequestsAreOrdinaryText)
{
    std::string path = dir.file("log.txt");
    std::string other = dir.file("other.txt");
    log_to(path);
    vark_log("VARK_LOGFILE=%s", other.c_str());
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {"VARK_LOGFILE=" + other}));
    EXPECT_FALSE(file_exists(other));
}

TEST_F(Log, FlushControlsAreNotWrittenAndGovernCommits)
{
    std::string path = dir.file("log.txt");
    log_to(path);
    vark_log("\x13NOFLUSH");
    vark_log("buffered\n");
    // Without flushing the message waits in the stream's buffer.
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {}));
    vark_log("\x13" "FLUSH");
    vark_log("committed\n");
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {"buffered\n", "committed\n"}));
}

TEST_F(Log, NullFormatClosesForGood)
{
    std::string path = dir.file("log.txt");
    std::string other = dir.file("other.txt");
    log_to(path);
    vark_log("\x13NOFLUSH");
    vark_log("last\n");
    vark_log(nullptr);
    vark_log("dropped\n");
    vark_log("VARK_LOGFILE=%s", other.c_str());
    vark_log("dropped too\n");
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {"last\n"}));
    EXPECT_FALSE(file_exists(other));
}

TEST_F(Log, UnopenableFileDropsMessagesQuietly)
{
    std::string path = dir.file("missing/dir/log.txt");
    vark_log("VARK_LOGFILE=%s", path.c_str());
    vark_log("dropped\n");
    vark_error("still remembered");
    EXPECT_FALSE(file_exists(path));
    EXPECT_STREQ(vark_last_error(), "still remembered");
}

TEST_F(Log, LongMessagesAreWrittenWhole)
{
    std::string path = dir.file("log.txt");
    log_to(path);
    std::string line(5000, 'x');
    vark_log("%s\n", line.c_str());
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {line + "\n"}));
}

TEST_F(Log, ErrorIsLoggedAndRemembered)
{
    EXPECT_STREQ(vark_last_error(), "Unknown");
    std::string path = dir.file("log.txt");
    log_to(path);
    static const char text[] = "Can't open the window";
    vark_error(text);
    EXPECT_EQ(vark_last_error(), text);
    EXPECT_EQ(log_messages(read_file_bytes(path)), header_then(path, {"Error: Can't open the window\n"}));
}
