// The scrambled container: a fixed format, round trips, and rejection.
#include <gtest/gtest.h>

#include "data/scram.h"
#include "data_test_util.h"

static std::string as_string(const std::vector<uint8_t> &v)
{
    return std::string(v.begin(), v.end());
}

// Shipped files depend on these bytes: the keystream must never change.
TEST(Scram, FormatIsFixed)
{
    std::vector<uint8_t> zeros(12, 0);
    std::vector<uint8_t> c = scram_encode(zeros, 0x0123456789abcdefull);
    ASSERT_EQ(c.size(), 28u);
    EXPECT_EQ(as_string(c).substr(0, 16), std::string("ZVSCRAM1\xef\xcd\xab\x89\x67\x45\x23\x01", 16));
    char hex[3 * 12 + 1] = {};
    for (int i = 0; i < 12; i++)
        snprintf(hex + 3 * i, 4, "%02x ", c[16 + i]);
    EXPECT_STREQ(hex, "d9 07 05 b7 ae 12 70 ba e1 3b 6a 96 ");
}

TEST(Scram, RoundTripThroughStreams)
{
    DataDirs dirs;
    std::string content = noise(100000, 9);
    std::vector<uint8_t> bytes(content.begin(), content.end());
    // Scrambled gzip, as a member between others.
    std::string gz = gzip_member(content);
    std::string gz_scram = as_string(scram_encode(std::vector<uint8_t>(gz.begin(), gz.end()), 42));
    dirs.write_data("pack.saf", archive_bytes({{"first", "1"}, {"data.bin.gz.scram", gz_scram}, {"last", "ZVSCRAM1"}}));
    for (uint64_t key : {0ull, 1ull, 0xffffffffffffffffull}) {
        std::vector<uint8_t> c = scram_encode(bytes, key);
        EXPECT_NE(as_string(c).substr(16, 64), content.substr(0, 64));
        dirs.temp.write("s.bin.scram", as_string(c));
        DataStream *s = stream_open(dirs.temp.file("s.bin").c_str(), "rb");
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->scrambled);
        EXPECT_FALSE(stream_seek(s, 0));
        std::string got = key == 1 ? slurp_read(s, 3000) : slurp_getc(s);
        EXPECT_TRUE(got == content) << key;
        stream_close(s);
    }
    DataStream *s = stream_open("@data.bin", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->compressed && s->scrambled);
    EXPECT_TRUE(slurp_getc(s) == content);
    stream_close(s);
}

TEST(Scram, MemberEndsAtItsSize)
{
    DataDirs dirs;
    std::string first = as_string(scram_encode({'a', 'b', 'c'}, 7));
    dirs.write_data("pack.saf", archive_bytes({{"one.scram", first}, {"two", "following bytes"}}));
    EXPECT_EQ(read_all("@one"), "abc");
}

TEST(Scram, BadContainersFailTheOpen)
{
    DataDirs dirs;
    std::string good = as_string(scram_encode({'x'}, 3));
    std::string bad_magic = good;
    bad_magic[7] = '2';
    std::string bad_gzip = as_string(scram_encode({'n', 'o', 't', ' ', 'g', 'z', 'i', 'p', '.', '.', '.', '.'}, 3));
    struct Case {
        const char *file;
        std::string bytes;
    } cases[] = {
        {"c.scram", bad_magic},
        {"c.scram", good.substr(0, 15)},
        {"c.scram", ""},
        {"c.gz.scram", bad_gzip},
        {"c.gz.scram", good},
    };
    for (const Case &c : cases) {
        TempDir dir;
        dir.write(c.file, c.bytes);
        bool ok = true;
        read_all(dir.file("c"), &ok);
        EXPECT_FALSE(ok) << c.file << " " << testing::PrintToString(c.bytes);
    }
    // An archive member too short for the header.
    dirs.write_data("p.saf", archive_bytes({{"short.scram", good.substr(0, 10)}, {"pad", good}}));
    bool ok = true;
    read_all("@short", &ok);
    EXPECT_FALSE(ok);
    // A header that is fine but no content: an empty stream.
    dirs.temp.write("e.scram", good.substr(0, 16));
    EXPECT_EQ(read_all(dirs.temp.file("e"), &ok), "");
    EXPECT_TRUE(ok);
}
