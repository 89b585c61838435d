// The search path list, directory creation, the start-up data check and
// opening the home directory.
#include "data/search_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/data_test_util.h"
#include "data/sha1.h"
#include "platform/log.h"
#include "test_util.h"

namespace fs = std::filesystem;

static const char *const ENV_NAMES[] = {"XDG_DATA_HOME", "HOME", "ZV_HOME", "VARK_LOGFILE", "VARK_LOGFILE_FLAGS",
                                        "PATH", "ZV_TEST_OPENED"};
enum { ENV_COUNT = sizeof ENV_NAMES / sizeof ENV_NAMES[0] };

static bool is_directory(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Bytes that differ from position to position, so a cut in the wrong place shows.
static std::string pattern_bytes(size_t size, unsigned seed)
{
    std::string bytes(size, 0);
    unsigned x = seed;
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = (char)(x >> 16);
    }
    return bytes;
}

// Every test starts from its own environment and an unchosen log; both are put back afterwards.
class SearchPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < ENV_COUNT; i++) {
            const char *value = getenv(ENV_NAMES[i]);
            had[i] = value != nullptr;
            saved[i] = value ? value : "";
        }
        set_env("XDG_DATA_HOME", nullptr);
        set_env("HOME", nullptr);
        set_env("ZV_HOME", nullptr);
        set_env("VARK_LOGFILE", nullptr);
        set_env("VARK_LOGFILE_FLAGS", nullptr);
        vark_log_reset_for_tests();
        data_search_path_reset();
    }
    void TearDown() override
    {
        for (int i = 0; i < ENV_COUNT; i++)
            set_env(ENV_NAMES[i], had[i] ? saved[i].c_str() : nullptr);
        vark_log_reset_for_tests();
        data_search_path_reset();
    }
    // Home in dir/home, data directory in dir/data.
    void two_directories()
    {
        set_env("XDG_DATA_HOME", (dir.path + "/home").c_str());
        set_env("ZV_HOME", (dir.path + "/data").c_str());
        data_search_path_reset();
    }
    std::string home() const { return dir.path + "/home/Zorvex/"; }
    std::string data() const { return dir.path + "/data/"; }

    TempDir dir;
    std::string saved[ENV_COUNT];
    bool had[ENV_COUNT] = {};
};

static std::string executable_directory()
{
    return fs::canonical(ZV_BUILD_DIR).string() + "/";
}

TEST_F(SearchPath, EntriesFromTheEnvironment)
{
    struct Case {
        const char *xdg_data_home, *home, *zv_home;
        std::string first, second;  // "" for none; "exe" for the executable's directory
    };
    const Case cases[] = {
        {"/x/data", "/h", "D:\\games\\zv", "/x/data/Zorvex/", "D:/games/zv/"},
        {"/x//data/", "/h", "D:/games/zv//", "/x/data/Zorvex/", "D:/games/zv/"},
        {"relative/data", "/home/u", "/zv", "/home/u/.local/share/Zorvex/", "/zv/"},
        {nullptr, "/home//u/", "/zv", "/home/u/.local/share/Zorvex/", "/zv/"},
        {"", "relative", "/zv", "/zv/", ""},
        {nullptr, nullptr, "/zv\\\\data", "/zv/data/", ""},
        {"/x", nullptr, nullptr, "/x/Zorvex/", "exe"},
        {"/x", nullptr, "", "/x/Zorvex/", "exe"},
        {nullptr, nullptr, nullptr, "exe", ""},
    };
    for (const Case &c : cases) {
        set_env("XDG_DATA_HOME", c.xdg_data_home);
        set_env("HOME", c.home);
        set_env("ZV_HOME", c.zv_home);
        data_search_path_reset();
        std::string first = c.first == "exe" ? executable_directory() : c.first;
        std::string second = c.second == "exe" ? executable_directory() : c.second;
        const char *entry0 = data_search_path(0);
        const char *entry1 = data_search_path(1);
        SCOPED_TRACE(std::string(c.xdg_data_home ? c.xdg_data_home : "-") + " " + (c.home ? c.home : "-") + " " +
                     (c.zv_home ? c.zv_home : "-"));
        ASSERT_NE(entry0, nullptr);
        EXPECT_EQ(std::string(entry0), first);
        if (second.empty()) {
            EXPECT_EQ(entry1, nullptr);
        } else {
            ASSERT_NE(entry1, nullptr);
            EXPECT_EQ(std::string(entry1), second);
        }
        EXPECT_EQ(data_search_path(2), nullptr);
        EXPECT_EQ(data_search_path(-1), nullptr);
    }
}

TEST_F(SearchPath, ListIsBuiltOnce)
{
    set_env("ZV_HOME", "/first");
    EXPECT_STREQ(data_search_path(0), "/first/");
    set_env("ZV_HOME", "/second");
    set_env("HOME", "/home/u");
    EXPECT_STREQ(data_search_path(0), "/first/");
    EXPECT_EQ(data_search_path(1), nullptr);
}

TEST_F(SearchPath, MakeDirectoriesCreatesEveryPrefixBeforeASlash)
{
    make_directories((dir.path + "/a//b/c/").c_str());
    EXPECT_TRUE(is_directory(dir.path + "/a/b/c"));
    make_directories((dir.path + "/x/y/file").c_str());
    EXPECT_TRUE(is_directory(dir.path + "/x/y"));
    EXPECT_FALSE(file_exists(dir.path + "/x/y/file"));
    make_directories((dir.path + "/a/b/c/").c_str());  // already there: nothing to do
    EXPECT_TRUE(is_directory(dir.path + "/a/b/c"));
    make_directories(nullptr);
}

TEST_F(SearchPath, CheckCreatesHomeAndLogsToLastlog)
{
    two_directories();
    std::string archive = pattern_bytes(1000, 1);
    dir.write("data/zzzz.saf", archive);
    EXPECT_TRUE(check_game_data(sha1_text(archive).c_str()));
    EXPECT_TRUE(is_directory(home()));
    vark_log("after the check\n");
    std::string log = read_file_bytes(home() + "lastlog.txt");
    EXPECT_NE(log.find("Logfile \"" + home() + "lastlog.txt\" opened\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] after the check\n"), std::string::npos) << log;
}

TEST_F(SearchPath, LogVariableOverridesLastlog)
{
    two_directories();
    std::string chosen = dir.file("chosen.txt");
    set_env("VARK_LOGFILE", chosen.c_str());
    EXPECT_FALSE(check_game_data("0000000000000000000000000000000000000000"));
    EXPECT_TRUE(is_directory(home()));
    EXPECT_FALSE(file_exists(home() + "lastlog.txt"));
    EXPECT_NE(read_file_bytes(chosen).find("VARK 0.31\n"), std::string::npos);
}

TEST_F(SearchPath, CheckHashesTheFirstMebibyteOnly)
{
    two_directories();
    const size_t MIB = 1048576;
    struct Case {
        const char *name;
        std::string archive;
        std::string digest;
        bool matches;
    };
    std::string small = pattern_bytes(MIB - 1, 2);
    std::string exact = pattern_bytes(MIB, 3);
    std::string large = pattern_bytes(MIB + 5000, 4);
    std::string appended = large.substr(0, MIB) + "appended data after the checked part";
    std::string upper = sha1_text(small);
    for (char &c : upper)
        c = (char)toupper((unsigned char)c);
    const Case cases[] = {
        {"shorter, hashed whole", small, sha1_text(small), true},
        {"digest in upper case", small, upper, true},
        {"one byte short", small, sha1_text(small.substr(0, small.size() - 1)), false},
        {"exactly one MiB", exact, sha1_text(exact), true},
        {"longer, first MiB", large, sha1_text(large.substr(0, MIB)), true},
        {"longer, whole file", large, sha1_text(large), false},
        {"appended data ignored", appended, sha1_text(large.substr(0, MIB)), true},
        {"empty file", "", sha1_text(""), true},
        {"digest too short", small, sha1_text(small).substr(0, 39), false},
        {"digest not hex", small, std::string(40, 'g'), false},
    };
    for (const Case &c : cases) {
        dir.write("data/zzzz.saf", c.archive);
        EXPECT_EQ(check_game_data(c.digest.c_str()), c.matches) << c.name;
    }
    EXPECT_FALSE(check_game_data(nullptr));
}

TEST_F(SearchPath, AnyEntryMayHoldTheDataSet)
{
    two_directories();
    std::string good = pattern_bytes(4000, 5);
    std::string digest = sha1_text(good);
    EXPECT_FALSE(check_game_data(digest.c_str()));  // no archive anywhere

    dir.write("home/Zorvex/zzzz.saf", "an older data set");
    dir.write("data/zzzz.saf", good);
    EXPECT_TRUE(check_game_data(digest.c_str()));  // home mismatch, data directory match

    dir.write("home/Zorvex/zzzz.saf", good);
    dir.write("data/zzzz.saf", "damaged");
    EXPECT_TRUE(check_game_data(digest.c_str()));

    dir.write("home/Zorvex/zzzz.saf", "damaged");
    EXPECT_FALSE(check_game_data(digest.c_str()));
}

// XDG_DATA_HOME under the temporary directory such that the home entry has `length` characters.
static std::string long_data_home(const std::string &base, size_t length)
{
    size_t wanted = length - std::string("/Zorvex/").size();
    std::string path = base;
    while (path.size() < wanted) {
        size_t remaining = wanted - path.size();
        if (remaining == 1)
            path += 'd';  // lengthen the last component rather than leave an empty one
        else
            path += "/" + std::string(std::min<size_t>(200, remaining - 1), 'd');
    }
    return path;
}

TEST_F(SearchPath, LongHomePathsAndTheLogName)
{
    // 1000 characters: created; the log request is cut to 1023 characters,
    // which leaves "lastlog.tx".
    set_env("XDG_DATA_HOME", long_data_home(dir.path + "/a", 1000).c_str());
    data_search_path_reset();
    ASSERT_EQ(strlen(data_search_path(0)), 1000u);
    std::string home_1000 = data_search_path(0);
    check_game_data("0000000000000000000000000000000000000000");
    EXPECT_TRUE(is_directory(home_1000));
    EXPECT_TRUE(file_exists(home_1000 + "lastlog.tx"));
    EXPECT_FALSE(file_exists(home_1000 + "lastlog.txt"));

    // 1023 characters still fit with the terminating zero; 1024 do not.
    struct Case {
        size_t length;
        bool created;
    };
    const Case cases[] = {{1023, true}, {1024, false}, {1500, false}};
    for (const Case &c : cases) {
        vark_log_reset_for_tests();
        set_env("XDG_DATA_HOME", long_data_home(dir.path + "/b" + std::to_string(c.length), c.length).c_str());
        data_search_path_reset();
        ASSERT_EQ(strlen(data_search_path(0)), c.length);
        std::string home = data_search_path(0);
        check_game_data("0000000000000000000000000000000000000000");
        EXPECT_EQ(is_directory(home), c.created) << c.length;
    }
}

TEST_F(SearchPath, OpenHomeRunsXdgOpenWithThePlainDirectory)
{
    // A stand-in for xdg-open that records its arguments.
    std::string bin = dir.path + "/bin";
    std::string script = dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"$ZV_TEST_OPENED\"\n");
    chmod(script.c_str(), 0755);
    std::string record = dir.file("opened.txt");
    set_env("ZV_TEST_OPENED", record.c_str());
    set_env("PATH", bin.c_str());
    // Characters a shell would act on must reach the program untouched.
    std::string data_home = dir.path + "/my data $(:>pwned); 'x'";
    set_env("XDG_DATA_HOME", (data_home + "//").c_str());
    data_search_path_reset();

    open_home_directory();
    EXPECT_TRUE(is_directory(data_home + "/Zorvex"));
    EXPECT_EQ(read_file_bytes(record), "1|" + data_home + "/Zorvex|");
    EXPECT_FALSE(file_exists(dir.path + "/pwned"));
    EXPECT_FALSE(file_exists("pwned"));
}

TEST_F(SearchPath, OpenHomeWithoutXdgOpenOnlyLogs)
{
    std::string log = dir.file("log.txt");
    vark_log("VARK_LOGFILE=%s", log.c_str());
    set_env("PATH", (dir.path + "/empty").c_str());
    set_env("XDG_DATA_HOME", (dir.path + "/home").c_str());
    data_search_path_reset();
    open_home_directory();
    EXPECT_TRUE(is_directory(home()));
    EXPECT_NE(read_file_bytes(log).find("Can't run xdg-open: "), std::string::npos);
}

TEST_F(SearchPath, OpenHomeWithoutHomeOpensTheDataDirectory)
{
    std::string bin = dir.path + "/bin";
    std::string script = dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$ZV_TEST_OPENED\"\n");
    chmod(script.c_str(), 0755);
    set_env("ZV_TEST_OPENED", dir.file("opened").c_str());
    set_env("PATH", bin.c_str());
    set_env("ZV_HOME", (dir.path + "/data").c_str());
    data_search_path_reset();
    open_home_directory();  // entry 0 is then the data directory, which takes the writes
    EXPECT_EQ(read_file_bytes(dir.file("opened")), dir.path + "/data|");
}
