// The game binary from the outside: exit codes and messages of start-up,
// and the fixed-file digest agreeing between the build tool and the game.
#include "core/startup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/data_digest.h"
#include "data/archive.h"
#include "data/file_index.h"
#include "data/search_path.h"
#include "data/sha1.h"
#include "test_util.h"

namespace {

struct ProgramRun {
    int status;
    std::string err;
};

// Runs `program` with the arguments and the data and home directories given.
ProgramRun run(const char *program, const std::vector<std::string> &args, const std::string &data_dir,
        const std::string &home)
{
    TempDir scratch;
    std::string err_path = scratch.file("stderr");
    pid_t child = fork();
    if (child == 0) {
        int fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        setenv("ZV_HOME", data_dir.c_str(), 1);
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        unsetenv("VARK_LOGFILE");
        std::vector<char *> argv;
        argv.push_back((char *)program);
        for (const std::string &arg : args)
            argv.push_back((char *)arg.c_str());
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file_bytes(err_path)};
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

TEST(GameBinary, NoTracks)
{
    ProgramRun result = run_game({}, ZV_BUILD_DIR);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "No tracks found\n")) << result.err;
}

TEST(GameBinary, FindsALooseTrackBesideTheDataSet)
{
    TempDir data;
    data.write("zzzz.saf", read_file_bytes(std::string(ZV_BUILD_DIR) + "/zzzz.saf"));
    data.write("rabbithill/terrain.hf", "not read at start-up");
    data.write("rabbithill/desc", "Rabbit Hill\r\nmore\n");
    ProgramRun result = run_game({"--nosound"}, data.path);
    EXPECT_FALSE(contains(result.err, "No tracks found")) << result.err;
    EXPECT_FALSE(contains(result.err, "Can't find game data")) << result.err;
}

std::string sha1_text(const std::string &bytes)
{
    Sha1 sha;
    sha1_init(&sha);
    sha1_update(&sha, bytes.data(), bytes.size());
    uint8_t digest[20];
    sha1_final(&sha, digest);
    char hex[41];
    sha1_hex(digest, hex);
    return hex;
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
