// ".saf" archive headers: member offsets, what counts as malformed, writing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "data/archive.h"
#include "data_test_util.h"

static bool read_header_of(const std::string &bytes, std::vector<ArchiveMember> *members)
{
    TempDir dir;
    std::string path = dir.write("a.saf", bytes);
    FILE *f = fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr);
    bool ok = archive_read_header(f, members);
    fclose(f);
    return ok;
}

TEST(Archive, MembersFollowTheHeader)
{
    std::vector<ArchiveMember> m;
    ASSERT_TRUE(read_header_of("5 a.txt\n3 b/c.txt\n-\nhelloxyz", &m));
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].name, "a.txt");
    EXPECT_EQ(m[0].offset, 20u);
    EXPECT_EQ(m[0].size, 5u);
    EXPECT_EQ(m[1].name, "b/c.txt");
    EXPECT_EQ(m[1].offset, 25u);
    EXPECT_EQ(m[1].size, 3u);
}

TEST(Archive, HeaderLineSyntax)
{
    struct Case {
        const char *header;
        const char *name;
        uint32_t size;
    } cases[] = {
        {"  +7\tx\n-\n", "x", 7},                 // strtol white space and sign, any separator
        {"4 tracks//a///terrain.hf\n-\n", "tracks/a/terrain.hf", 4},
        {"2 crlf\r\n-\n", "crlf\r", 2},          // no trimming
        {"3  lead\n-\n", " lead", 3},             // only one separator is skipped
        {"0 empty\n-\n", "empty", 0},
    };
    for (const Case &c : cases) {
        std::vector<ArchiveMember> m;
        ASSERT_TRUE(read_header_of(c.header, &m)) << c.header;
        ASSERT_EQ(m.size(), 1u) << c.header;
        EXPECT_EQ(m[0].name, c.name);
        EXPECT_EQ(m[0].size, c.size);
        EXPECT_EQ(m[0].offset, (uint32_t)strlen(c.header));
    }
}

TEST(Archive, LineLengthLimit)
{
    // 1,023 bytes with the line feed is the longest line.
    std::string longest = "1 " + std::string(1020, 'n') + "\n";
    ASSERT_EQ(longest.size(), 1023u);
    std::vector<ArchiveMember> m;
    EXPECT_TRUE(read_header_of(longest + "-\n", &m));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].name.size(), 1020u);
    EXPECT_FALSE(read_header_of("1 " + std::string(1021, 'n') + "\n-\n", &m));
    EXPECT_TRUE(m.empty());
}

TEST(Archive, MalformedHeadersAreRejectedWhole)
{
    const char *bad[] = {
        "5 a.txt\n3 b.txt\n",           // no terminating line
        "5 a.txt\n3 b.txt\n-",          // terminating line without its line feed
        "5 a.txt\nabc\n-\n",            // a line without a number
        "5 a.txt\n\n-\n",               // an empty line
        "5 a.txt\n- 3\n-\n",            // a sign without digits
        "-5 a.txt\n-\n",                // a negative size
        "99999999999 a.txt\n-\n",       // a size beyond 32 bits
        "4294967290 a\n4294967290 b\n-\n",  // offsets beyond 32 bits
        "",
    };
    for (const char *header : bad) {
        std::vector<ArchiveMember> m;
        EXPECT_FALSE(read_header_of(header, &m)) << header;
        EXPECT_TRUE(m.empty()) << header;
    }
}

TEST(Archive, WriteRoundTrip)
{
    TempDir dir;
    std::string path = dir.file("out.saf");
    std::vector<ArchiveInput> in = {{"one.txt", {'1', '2', '3'}}, {"dir/two.bin", {0, 10, 255}}, {"empty", {}}};
    ASSERT_TRUE(archive_write(path.c_str(), in));
    EXPECT_EQ(read_file_bytes(path), std::string("3 one.txt\n3 dir/two.bin\n0 empty\n-\n123\0\n\xff", 40));
    FILE *f = fopen(path.c_str(), "rb");
    std::vector<ArchiveMember> m;
    ASSERT_TRUE(archive_read_header(f, &m));
    fclose(f);
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[1].name, "dir/two.bin");
    EXPECT_EQ(m[1].offset, 37u);
}

TEST(Archive, FailedWriteKeepsTheOldFile)
{
    TempDir dir;
    std::string path = dir.write("keep.saf", "old");
    // Names that a header line cannot carry.
    EXPECT_FALSE(archive_write(path.c_str(), {{"bad\nname", {1}}}));
    EXPECT_FALSE(archive_write(path.c_str(), {{"", {1}}}));
    EXPECT_FALSE(archive_write(path.c_str(), {{"-", {1}}}));
    EXPECT_FALSE(archive_write(path.c_str(), {{std::string(1100, 'x'), {1}}}));
    EXPECT_EQ(read_file_bytes(path), "old");
    // A directory that does not exist.
    EXPECT_FALSE(archive_write(dir.file("missing/x.saf").c_str(), {{"a", {1}}}));
    // Nothing but the archive is left behind.
    int files = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir.path)) {
        (void)e;
        files++;
    }
    EXPECT_EQ(files, 1);
}
