// Data streams: archive slices, pushback, seeking, line reads, gzip members.
#include <gtest/gtest.h>

#include <cstring>

#include "data/stream_local.h"
#include "data_test_util.h"

struct StreamTest : ::testing::Test {
    DataDirs dirs;
};

// An archive in the data directory whose member "b.txt" sits between two others.
static void write_three_members(const DataDirs &dirs)
{
    dirs.write_data("pack.saf", archive_bytes({{"a.txt", "AAAA"}, {"b.txt", "0123456789"}, {"c.txt", "CCCCCC"}}));
}

TEST_F(StreamTest, GetcStopsAtTheMemberLimit)
{
    write_three_members(dirs);
    DataStream *s = stream_open("@b.txt", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->limit, 10u);
    EXPECT_EQ(slurp_getc(s), "0123456789");
    // The end stays the end.
    EXPECT_EQ(stream_getc(s), -1);
    EXPECT_EQ(stream_getc(s), -1);
    char line[8];
    EXPECT_EQ(stream_gets(s, line, sizeof line), nullptr);
    EXPECT_EQ(stream_read(s, line, sizeof line), 0u);
    stream_close(s);
}

TEST_F(StreamTest, SeekThenTheRestOfTheMember)
{
    write_three_members(dirs);
    for (uint32_t k = 0; k < 10; k++) {
        DataStream *s = stream_open("@b.txt", "rb");
        ASSERT_NE(s, nullptr);
        stream_getc(s);
        s->pushback = 'z';  // seeking drops a pending character
        ASSERT_TRUE(stream_seek(s, k));
        EXPECT_EQ(s->position, k);
        std::string rest = k % 2 ? slurp_getc(s) : slurp_read(s, 3);
        EXPECT_EQ(rest, std::string("0123456789").substr(k)) << k;
        stream_close(s);
    }
    DataStream *s = stream_open("@b.txt", "rb");
    EXPECT_EQ(stream_getc(s), '0');
    EXPECT_FALSE(stream_seek(s, 10));  // at the limit: refused, nothing changes
    EXPECT_EQ(s->position, 1u);
    EXPECT_EQ(stream_getc(s), '1');
    stream_close(s);
}

TEST_F(StreamTest, ReadDeliversPushbackFirstAndKeepsToTheLimit)
{
    write_three_members(dirs);
    DataStream *s = stream_open("@b.txt", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_getc(s), '0');
    s->pushback = '0';
    char buffer[64] = {};
    EXPECT_EQ(stream_read(s, buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(s->position, 4u);
    EXPECT_EQ(stream_read(s, buffer, sizeof buffer), 6u);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    stream_close(s);
}

TEST_F(StreamTest, GetsLines)
{
    std::string path = dirs.temp.write("lines.txt", "first line\nsecond\n\nlast");
    DataStream *s = stream_open(path.c_str(), "rb");
    ASSERT_NE(s, nullptr);
    char b[8];
    // Size 1: only the terminator, nothing taken.
    memset(b, 'x', sizeof b);
    EXPECT_EQ(stream_gets(s, b, 1), b);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], 'x');
    EXPECT_EQ(s->position, 0u);
    EXPECT_EQ(stream_gets(s, b, 0), nullptr);
    // Long lines come in pieces of size - 1.
    std::vector<std::string> got;
    while (stream_gets(s, b, sizeof b))
        got.push_back(b);
    std::vector<std::string> want = {"first l", "ine\n", "second\n", "\n", "last"};
    EXPECT_EQ(got, want);
    stream_close(s);
}

TEST_F(StreamTest, Writers)
{
    std::string path = dirs.temp.file("deep/er/out.txt");
    DataStream *s = stream_open(path.c_str(), "wb");
    ASSERT_NE(s, nullptr);  // directories created on the way
    EXPECT_TRUE(stream_putc(s, 'A'));
    EXPECT_GE(stream_puts(s, "bc"), 0);
    EXPECT_EQ(stream_write(s, "\0d", 2), 2u);
    EXPECT_EQ(stream_printf(s, "%03d|%s", 7, "x"), 5);
    EXPECT_EQ(stream_flush(s), 0);
    stream_close(s);
    EXPECT_EQ(read_file_bytes(path), std::string("Abc\0d007|x", 10));
}

TEST_F(StreamTest, PlainStreamsCannotSeekPastTheLimitOrWhenCompressed)
{
    std::string path = dirs.temp.write("z.txt.gz", gzip_member("hello"));
    DataStream *s = stream_open(dirs.temp.file("z.txt").c_str(), "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->compressed);
    EXPECT_FALSE(stream_seek(s, 0));
    EXPECT_EQ(slurp_getc(s), "hello");
    stream_close(s);
}

// Deflate data that ends inside the third 16 KiB input chunk, followed by
// bytes that are not part of it: everything up to the end, then the end.
TEST_F(StreamTest, GzipEndingInsideALaterChunk)
{
    std::string content = noise(40000);
    std::string member = gzip_member(content);
    ASSERT_GT(member.size(), 32768u);
    ASSERT_LT(member.size(), 49152u);
    std::string path = dirs.temp.write("big.bin.gz", member + noise(30000, 7));
    DataStream *s = stream_open(dirs.temp.file("big.bin").c_str(), "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->packed_size, 0x7fffffffu);
    EXPECT_EQ(s->limit, 0x7fffffffu);
    std::string got = slurp_getc(s);
    EXPECT_TRUE(got == content) << got.size();
    EXPECT_TRUE(s->at_end);
    EXPECT_EQ(stream_getc(s), -1);
    stream_close(s);
    s = stream_open(dirs.temp.file("big.bin").c_str(), "rb");
    got = slurp_read(s, 5000);
    EXPECT_TRUE(got == content) << got.size();
    stream_close(s);
}

TEST_F(StreamTest, CorruptOrTruncatedGzipEnds)
{
    std::string content;
    for (int i = 0; i < 5000; i++)
        content += "line " + std::to_string(i) + " of some repetitive text\n";
    std::string good = gzip_member(content);
    std::string corrupt = good;
    for (size_t i = 40; i < corrupt.size(); i += 97)
        corrupt[i] = (char)(corrupt[i] ^ 0x5a);
    std::string cases[] = {
        good.substr(0, good.size() / 2),  // the file ends before the deflate data
        good.substr(0, 12),               // nothing after the header
        corrupt,
        good.substr(0, 10) + std::string(20000, '\xff'),  // invalid block type
    };
    for (size_t i = 0; i < 4; i++) {
        const std::string &bytes = cases[i];
        std::string path = dirs.temp.write("bad.gz", bytes);
        DataStream *s = stream_open(dirs.temp.file("bad").c_str(), "rb");
        ASSERT_NE(s, nullptr);
        std::string got = slurp_getc(s, content.size() * 2);
        EXPECT_LT(got.size(), content.size() * 2);  // ended instead of running on
        if (i < 2) {  // a cut file still delivers what it holds
            EXPECT_EQ(content.compare(0, got.size(), got), 0) << i;
        }
        if (i == 0) {
            EXPECT_GT(got.size(), 1000u);
        }
        EXPECT_EQ(stream_getc(s), -1);
        char buffer[16];
        EXPECT_EQ(stream_read(s, buffer, sizeof buffer), 0u);
        stream_close(s);
    }
}

TEST_F(StreamTest, GzipHeaderFields)
{
    struct Case {
        std::string bytes;
        bool opens;
    } cases[] = {
        {gzip_member("payload", 8 | 4, "", "name.txt"), true},  // name flag, 0-length extra field
        {gzip_member("payload", 4, "xyzzy"), true},
        {gzip_member("payload", 16 | 8 | 2 | 1, "", "n", "a comment"), true},
        {gzip_member("payload", 32), false},  // a reserved flag
        {std::string("\x1f\x8b\x07\0\0\0\0\0\0\x03", 10) + raw_deflate("payload"), false},  // not deflate
        {std::string("\x1f\x8c\x08\0\0\0\0\0\0\x03", 10) + raw_deflate("payload"), false},
        {std::string("\x1f\x8b\x08\x08\0\0\0\0\0\x03no-terminator", 23), false},  // chunk ends in the name
        {std::string("\x1f\x8b\x08\x04\0\0\0\0\0\x03\x10\0abc", 15), false},  // extra field runs past the end
        {std::string("\x1f\x8b\x08\0\0\0\0", 7), false},
        {"", false},
    };
    for (const Case &c : cases) {
        dirs.temp.write("h.gz", c.bytes);
        bool opened = false;
        std::string got = read_all(dirs.temp.file("h"), &opened);
        EXPECT_EQ(opened, c.opens) << testing::PrintToString(c.bytes);
        if (c.opens) {
            EXPECT_EQ(got, "payload");
        }
    }
}

// A compressed member ends at its member size even when the deflate data does
// not: the bytes of the next member are never read as input.
TEST_F(StreamTest, CompressedMemberReadsOnlyItsOwnBytes)
{
    std::string content = noise(20000, 3);
    std::string member = gzip_member(content);
    std::string cut = member.substr(0, member.size() - 8 - 500);  // deflate data cut short
    std::string next = member;  // a complete copy that must not be taken as the rest
    dirs.write_data("z.saf", archive_bytes({{"m.bin.gz", cut}, {"n.bin.gz", next}}));
    DataStream *s = stream_open("@m.bin", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->compressed);
    EXPECT_EQ(s->packed_size, (uint32_t)cut.size());
    std::string got = slurp_getc(s);
    EXPECT_LT(got.size(), content.size());
    EXPECT_EQ(content.compare(0, got.size(), got), 0);
    EXPECT_EQ(s->packed_read, (uint32_t)cut.size());
    stream_close(s);
    EXPECT_TRUE(read_all("@n.bin") == content);
}
