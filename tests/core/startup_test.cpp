// The game binary from the outside: exit codes and messages of start-up,
// and the fixed-file digest agreeing between the build tool and the game.
#include "core/startup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "core/data_digest.h"
#include "data/archive.h"
#include "data/file_index.h"
#include "data/search_path.h"
#include "data/data_test_util.h"
#include "data/sha1.h"
#include "game_run.h"
#include "test_util.h"

namespace {

struct ProgramRun {
    int status;
    std::string err;
};

// Runs `program` with the arguments and the data and home directories given.
// A game that gets as far as its window gets the close event instead of running on.
ProgramRun run(const char *program, const std::vector<std::string> &args, const std::string &data_dir,
        const std::string &home)
{
    GameRunOptions options;
    options.data_dir = data_dir;
    options.home = home;
    options.close_after_log = "GL_EXTENSIONS: ";
    GameRun result = run_game_binary(program, args, options);
    return {result.timed_out ? -1 : result.status, result.err};
}

ProgramRun run_game(const std::vector<std::string> &args, const std::string &data_dir)
{
    TempDir home;
    return run(ZV_GAME, args, data_dir, home.path);
}

bool contains(const std::string &text, const char *part)
{
    return text.find(part) != std::string::npos;
}

TEST(GameBinary, BadOption)
{
    ProgramRun result = run_game({"--bogus"}, ZV_BUILD_DIR);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "bad option '--bogus'\n")) << result.err;
}

TEST(GameBinary, BadNumber)
{
    ProgramRun result = run_game({"--texture-detail", "x"}, ZV_BUILD_DIR);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "Bad arg for --texture-detail\n")) << result.err;
}

TEST(GameBinary, MissingGameData)
{
    TempDir empty;
    ProgramRun result = run_game({}, empty.path);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(contains(result.err, "Can't find game data")) << result.err;
}

// The shipped data set always has tracks, so this start-up runs in a child
// process over a base archive of its own without any.
TEST(StartUp, NoTracks)
{
    TempDir data, home, scratch;
    std::vector<ArchiveInput> members = {{"readme.txt", {'h', 'i', '\n'}}, {"demos/a.zvdemo", {'x'}}};
    ASSERT_TRUE(archive_write(data.file("zzzz.saf").c_str(), members));
    std::string digest = sha1_text(read_file_bytes(data.file("zzzz.saf")));
    std::string err_path = scratch.file("stderr");

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("ZV_HOME", data.path.c_str(), 1);
        setenv("XDG_DATA_HOME", home.path.c_str(), 1);
        unsetenv("VARK_LOGFILE");
        data_search_path_reset();
        file_index_reset();
        game_data_digest = digest.c_str();
        FILE *err = fopen(err_path.c_str(), "w");
        char program[] = "zorvex";
        char *argv[] = {program, nullptr};
        int status = start_up(1, argv, err);
        fclose(err);
        _exit(status == STARTUP_CONTINUE ? 99 : status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(read_file_bytes(err_path), "No tracks found\n");
}

TEST(GameBinary, FindsALooseTrackBesideTheDataSet)
{
    TempDir data, home;
    data.write("zzzz.saf", read_file_bytes(std::string(ZV_BUILD_DIR) + "/zzzz.saf"));
    data.write("rabbithill/terrain.hf", "not read at start-up");
    data.write("rabbithill/desc", "Rabbit Hill\r\nmore\n");
    // With a track the game goes on to its window and main loop; the close event ends it.
    GameRunOptions options;
    options.data_dir = data.path;
    options.home = home.path;
    options.close_after_log = "GL_EXTENSIONS: ";
    GameRun result = run_game_binary(ZV_GAME, {"--nosound", "--debug"}, options);
    EXPECT_FALSE(contains(result.err, "No tracks found")) << result.err;
    EXPECT_FALSE(contains(result.err, "Can't find game data")) << result.err;
    EXPECT_TRUE(contains(result.log, "rabbithill -> Rabbit Hill\n")) << result.log;
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.status, 0) << result.err;
}

// The built game takes exactly the data set built with it: the archive as
// generated starts, a copy with one byte changed does not.
TEST(GameBinary, AcceptsItsDataSetAndRejectsAChangedByte)
{
    const std::string archive = read_file_bytes(std::string(ZV_BUILD_DIR) + "/zzzz.saf");
    ASSERT_GT(archive.size(), (size_t)(1 << 20));
    struct Case {
        const char *what;
        long offset;  // byte flipped, -1 for none
    };
    const Case cases[] = {{"as built", -1}, {"member index", 40}, {"member data", 700000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir data, home;
        std::string bytes = archive;
        if (c.offset >= 0)
            bytes[(size_t)c.offset] = (char)(bytes[(size_t)c.offset] ^ 0x01);
        data.write("zzzz.saf", bytes);
        GameRunOptions options;
        options.data_dir = data.path;
        options.home = home.path;
        options.close_after_log = "GL_EXTENSIONS: ";
        GameRun result = run_game_binary(ZV_GAME, {"--nosound"}, options);
        EXPECT_FALSE(result.timed_out);
        if (c.offset < 0) {
            EXPECT_FALSE(contains(result.err, "Can't find game data")) << result.err;
            EXPECT_EQ(result.status, 0) << result.err;
        } else {
            EXPECT_TRUE(contains(result.err, "Can't find game data")) << result.err;
            EXPECT_FALSE(contains(result.log, "GL_EXTENSIONS: ")) << result.log;
        }
    }
}

TEST(FixedFiles, ToolAndGameAgree)
{
    TempDir data, home;
    // Two shapes packed, one loose (which wins over a packed copy), the rest missing.
    std::vector<ArchiveInput> members = {
        {"front_wheel.shp", {'w', 'h', 'e', 'e', 'l'}},
        {"generic_frame.shp", {'f', 'r', 'a', 'm', 'e'}},
        {"generic_rider.shp", {'p', 'a', 'c', 'k', 'e', 'd'}},
    };
    ASSERT_TRUE(archive_write(data.file("zzzz.saf").c_str(), members));
    data.write("generic_rider.shp", "loose rider");
    std::string generated = data.file("digest.cpp");
    ProgramRun tool = run(ZV_DIGEST_TOOL, {data.path, generated}, data.path, home.path);
    ASSERT_EQ(tool.status, 0) << tool.err;

    std::string expected = sha1_text("frame" "wheel" "loose rider");
    std::string source = read_file_bytes(generated);
    EXPECT_TRUE(contains(source, ("fixed_file_digest[41] = \"" + expected + "\"").c_str())) << source;
    std::string archive = read_file_bytes(data.file("zzzz.saf"));
    EXPECT_TRUE(contains(source, ("data_set_digest[41] = \"" + sha1_text(archive) + "\"").c_str())) << source;

    set_env("ZV_HOME", data.path.c_str());
    set_env("XDG_DATA_HOME", home.path.c_str());
    data_search_path_reset();
    file_index_reset();
    char game_hex[41];
    compute_fixed_file_digest(game_hex);
    EXPECT_EQ(std::string(game_hex), expected);
    data_search_path_reset();
    file_index_reset();
}

TEST(DataSet, GeneratorIsRepeatable)
{
    TempDir first, second, home;
    ASSERT_EQ(run(ZV_DATA_TOOL, {first.path}, first.path, home.path).status, 0);
    ASSERT_EQ(run(ZV_DATA_TOOL, {second.path}, second.path, home.path).status, 0);
    std::string bytes = read_file_bytes(first.file("zzzz.saf"));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, read_file_bytes(second.file("zzzz.saf")));
    EXPECT_EQ(bytes, read_file_bytes(std::string(ZV_BUILD_DIR) + "/zzzz.saf"));
}

TEST(DataSet, BuiltDigestMatchesTheArchive)
{
    std::string archive = read_file_bytes(std::string(ZV_BUILD_DIR) + "/zzzz.saf");
    ASSERT_FALSE(archive.empty());
    EXPECT_EQ(sha1_text(archive.substr(0, 1 << 20)), data_set_digest);
}

} // namespace
