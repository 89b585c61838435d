// Opening by name: search paths, the file index with its archives and
// variants, listings, renames and numbered backups.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "data/scram.h"
#include "data_test_util.h"

struct OpenTest : ::testing::Test {
    DataDirs dirs;
};

static std::vector<std::string> names()
{
    std::vector<std::string> out;
    for (const char *const *n = data_file_names(); *n; n++)
        out.push_back(*n);
    return out;
}

static bool listed(const char *name)
{
    std::vector<std::string> all = names();
    return std::find(all.begin(), all.end(), name) != all.end();
}

TEST_F(OpenTest, IndexFindsNamesWithoutRegardToCase)
{
    dirs.write_data("Config", "settings");
    EXPECT_EQ(read_all("@config"), "settings");
    EXPECT_EQ(read_all("@CONFIG"), "settings");
    int variant = -1;
    const FileIndexEntry *e = file_index_lookup("cOnFiG", &variant);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, "Config");
    EXPECT_EQ(variant, 0);
    EXPECT_EQ(e->rank, 1u);  // the data directory is search path 1
    bool ok = true;
    read_all("@missing", &ok);
    EXPECT_FALSE(ok);
}

TEST_F(OpenTest, ArchiveRanksAndRejection)
{
    dirs.write_data("good.saf", archive_bytes({{"g1.txt", "one"}, {"sub//g2.txt", "two"}}));
    dirs.write_data("nodash.saf", "3 n1.txt\n3 n2.txt\nabcdef");
    dirs.write_data("long.saf", "3 l1.txt\n1 " + std::string(1100, 'x') + "\n-\nabcd");
    dirs.write_data("word.saf", "3 w1.txt\nthree w2.txt\n-\nabcdef");
    dirs.write_data("Upper.SAF", archive_bytes({{"u.txt", "up"}}));
    dirs.write_data("x.saf.txt", archive_bytes({{"not-an-archive.txt", "no"}}));
    EXPECT_TRUE(listed("g1.txt"));
    EXPECT_TRUE(listed("sub/g2.txt"));
    EXPECT_TRUE(listed("u.txt"));
    for (const char *gone : {"n1.txt", "n2.txt", "l1.txt", "w1.txt", "not-an-archive.txt"})
        EXPECT_FALSE(listed(gone)) << gone;
    EXPECT_TRUE(listed("nodash.saf"));  // the archive file itself stays a loose file
    EXPECT_EQ(read_all("@sub/g2.txt"), "two");

    // Two search paths: archives are ranked from 2 in name order ("good" < "long" < ...).
    const FileIndexEntry *g = file_index_lookup("g1.txt", nullptr);
    const FileIndexEntry *u = file_index_lookup("u.txt", nullptr);
    ASSERT_TRUE(g && u);
    EXPECT_EQ(g->rank, 2u);
    EXPECT_EQ(u->rank, 5u);  // after good, long, nodash: rejected ones use up ordinals
    EXPECT_EQ(g->offset, 25u);
    EXPECT_EQ(g->size, 3u);
}

TEST_F(OpenTest, FirstArchiveByNameWinsAndLooseFilesWinOverAll)
{
    dirs.write_data("zzzz.saf", archive_bytes({{"x.png", "base"}, {"y.png", "base"}, {"z.png", "base"}}));
    dirs.write_data("aaa.saf", archive_bytes({{"x.png", "override"}, {"y.png", "override"}, {"z.png", "override"}}));
    dirs.write_data("y.png", "loose data");
    dirs.write_home("z.png", "loose home");
    EXPECT_EQ(read_all("@x.png"), "override");
    EXPECT_EQ(read_all("@y.png"), "loose data");
    EXPECT_EQ(read_all("@z.png"), "loose home");
    // Through the index alone (the direct search misses on letter case).
    EXPECT_EQ(read_all("@X.PNG"), "override");
    EXPECT_EQ(read_all("@Y.png"), "loose data");
    std::vector<std::string> all = names();
    EXPECT_EQ(std::count(all.begin(), all.end(), "x.png"), 1);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](const std::string &a, const std::string &b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }));
}

TEST_F(OpenTest, VariantOrder)
{
    std::string gz = gzip_member("from gz");
    std::string scram;
    {
        std::vector<uint8_t> c = scram_encode({'s', 'c'}, 5);
        scram.assign(c.begin(), c.end());
    }
    std::string gz_scram;
    {
        std::vector<uint8_t> c = scram_encode(std::vector<uint8_t>(gz.begin(), gz.end()), 77);
        gz_scram.assign(c.begin(), c.end());
    }
    // Equal rank: plain, then ".gz", then ".scram", then ".gz.scram".
    dirs.write_data("m.saf", archive_bytes({{"a.gz.scram", gz_scram}, {"a.scram", scram}, {"a.gz", gz},
                                            {"b.gz.scram", gz_scram}, {"b.scram", scram},
                                            {"c.gz.scram", gz_scram}}));
    // Lower rank wins over an earlier variant.
    dirs.write_data("n.saf", archive_bytes({{"d", "plain"}}));
    dirs.write_data("l.saf", archive_bytes({{"d.gz", gz}}));
    EXPECT_EQ(read_all("@a"), "from gz");
    EXPECT_EQ(read_all("@b"), "sc");
    EXPECT_EQ(read_all("@c"), "from gz");
    EXPECT_EQ(read_all("@d"), "from gz");
    int variant = -1;
    ASSERT_NE(file_index_lookup("c", &variant), nullptr);
    EXPECT_EQ(variant, 3);
}

TEST_F(OpenTest, SearchPathComesBeforeVariant)
{
    dirs.write_home("t.txt.gz", gzip_member("home, compressed"));
    dirs.write_data("t.txt", "data, plain");
    // A member whose only copy is compressed.
    dirs.write_data("p.saf", archive_bytes({{"only.txt.gz", gzip_member("inflated member")}}));
    EXPECT_EQ(read_all("@t.txt"), "home, compressed");
    EXPECT_EQ(read_all("@only.txt"), "inflated member");
}

TEST_F(OpenTest, WritingGoesToTheHomeDirectory)
{
    dirs.write_data("w.saf", archive_bytes({{"inside.txt", "x"}}));
    ASSERT_FALSE(file_exists(dirs.home));
    DataStream *s = stream_open("@results.txt", "w");
    ASSERT_NE(s, nullptr);
    stream_puts(s, "1st");
    stream_close(s);
    EXPECT_EQ(read_file_bytes(dirs.home + "results.txt"), "1st");
    s = stream_open("@demos/sub/new.zvdemo", "wb");
    ASSERT_NE(s, nullptr);
    stream_close(s);
    EXPECT_TRUE(file_exists(dirs.home + "demos/sub/new.zvdemo"));
    // The index is not rebuilt: a file created after it is found directly
    // but not listed.
    EXPECT_FALSE(listed("results.txt"));
    EXPECT_EQ(read_all("@results.txt"), "1st");
    // No archive fallback for writing.
    EXPECT_EQ(read_all("@inside.txt"), "x");
    EXPECT_EQ(stream_open("@inside.txt", "r+"), nullptr);  // "r+" is a writing mode
}

TEST_F(OpenTest, PlainPathVariants)
{
    std::vector<uint8_t> c = scram_encode({'h', 'i'}, 99);
    dirs.temp.write("v.scram", std::string(c.begin(), c.end()));
    EXPECT_EQ(read_all(dirs.temp.file("v")), "hi");
    // Writing modes never try variants: "a" makes a new, empty file.
    DataStream *s = stream_open(dirs.temp.file("v").c_str(), "a");
    ASSERT_NE(s, nullptr);
    stream_close(s);
    EXPECT_EQ(read_file_bytes(dirs.temp.file("v")), "");
    // A variant name of 1,024 bytes or more is not tried.
    std::string base(1020, 'q');
    std::string path = dirs.temp.path + "/" + base.substr(0, 200) + "/" + base.substr(0, 200) + "/" +
                       base.substr(0, 200) + "/" + base.substr(0, 200) + "/";
    path += std::string(1023 - 3 - path.size(), 'r');
    ASSERT_EQ(path.size() + 3, 1023u);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    { FILE *f = fopen((path + ".gz").c_str(), "wb"); std::string g = gzip_member("ok"); fwrite(g.data(), 1, g.size(), f); fclose(f); }
    EXPECT_EQ(read_all(path), "ok");
    path += "r";
    { FILE *f = fopen((path + ".gz").c_str(), "wb"); std::string g = gzip_member("ok"); fwrite(g.data(), 1, g.size(), f); fclose(f); }
    bool ok = true;
    read_all(path, &ok);
    EXPECT_FALSE(ok);
}

TEST_F(OpenTest, FileEntryLines)
{
    dirs.write_data("a.txt", "1");
    dirs.write_data("q.saf", archive_bytes({{"a.txt", "2"}}));
    char line[512];
    std::vector<std::string> lines;
    for (int i = 0; data_file_entry(i, line, sizeof line); i++)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);  // .keep, a.txt twice (duplicates included), q.saf
    EXPECT_EQ(lines[1], "a.txt -> " + dirs.data + "a.txt");
    EXPECT_EQ(lines[2], "a.txt -> " + dirs.data + "q.saf");
    char small[12];
    memset(small, '#', sizeof small);
    ASSERT_TRUE(data_file_entry(1, small, 10));
    EXPECT_STREQ(small, "a.txt -> ");
    EXPECT_EQ(small[10], '#');
    EXPECT_FALSE(data_file_entry(4, line, sizeof line));
    EXPECT_FALSE(data_file_entry(-1, line, sizeof line));
}

TEST_F(OpenTest, IndexWalkSurvivesBadDirectories)
{
    dirs.write_data("ok/inner.txt", "in");
    std::filesystem::create_directory_symlink(dirs.data + "ok", dirs.data + "ok/loop");
    std::filesystem::create_symlink(dirs.data + "nowhere", dirs.data + "dangling");
    dirs.write_data("locked/hidden.txt", "h");
    chmod((dirs.data + "locked").c_str(), 0);
    bool root = geteuid() == 0;
    EXPECT_TRUE(listed("ok/inner.txt"));
    EXPECT_FALSE(listed("dangling"));
    if (!root) {
        EXPECT_FALSE(listed("locked/hidden.txt"));
    }
    chmod((dirs.data + "locked").c_str(), 0755);
}

TEST_F(OpenTest, RenameInTheHomeDirectory)
{
    dirs.write_home("demos/a.zvdemo", "A");
    dirs.write_home("demos/b.zvdemo", "B");
    EXPECT_TRUE(stream_rename("@demos/a.zvdemo", "@demos/b.zvdemo"));
    EXPECT_EQ(read_file_bytes(dirs.home + "demos/b.zvdemo"), "A");
    EXPECT_FALSE(file_exists(dirs.home + "demos/a.zvdemo"));
    // A missing source fails and leaves the target alone.
    EXPECT_FALSE(stream_rename("@demos/a.zvdemo", "@demos/b.zvdemo"));
    EXPECT_EQ(read_file_bytes(dirs.home + "demos/b.zvdemo"), "A");
    std::string plain = dirs.temp.file("plain.txt");
    EXPECT_TRUE(stream_rename("@demos/b.zvdemo", plain.c_str()));
    EXPECT_EQ(read_file_bytes(plain), "A");
}

TEST_F(OpenTest, NumberedBackups)
{
    std::string path = dirs.temp.write("setup.txt", "version 1");
    auto rewrite = [&](const char *text) {
        DataStream *s = stream_open(path.c_str(), "~wb");
        if (!s)
            return false;
        stream_puts(s, text);
        stream_close(s);
        return true;
    };
    ASSERT_TRUE(rewrite("version 2"));
    ASSERT_TRUE(rewrite("version 3"));
    EXPECT_EQ(read_file_bytes(path), "version 3");
    EXPECT_EQ(read_file_bytes(path + ".~1~"), "version 1");
    EXPECT_EQ(read_file_bytes(path + ".~2~"), "version 2");
    // The first free number is taken.
    std::filesystem::remove(path + ".~1~");
    ASSERT_TRUE(rewrite("version 4"));
    EXPECT_EQ(read_file_bytes(path + ".~1~"), "version 3");
    EXPECT_FALSE(file_exists(path + ".~3~"));
    // A file bigger than one copy block comes out whole.
    std::string big = noise(200000);
    dirs.temp.write("setup.txt", big);
    ASSERT_TRUE(rewrite("small"));
    EXPECT_TRUE(read_file_bytes(path + ".~3~") == big);
    // No file yet: no backup, just the file.
    std::string fresh = dirs.temp.file("fresh/new.txt");
    DataStream *s = stream_open(fresh.c_str(), "~w");
    ASSERT_NE(s, nullptr);
    stream_close(s);
    EXPECT_FALSE(file_exists(fresh + ".~1~"));
}

TEST_F(OpenTest, FailedBackupLeavesTheFileAsItWas)
{
    std::string path = dirs.temp.write("keep.txt", "precious");
    // A dangling link looks free but cannot be created exclusively.
    std::filesystem::create_symlink(dirs.temp.file("nowhere/at/all"), path + ".~1~");
    EXPECT_EQ(stream_open(path.c_str(), "~w"), nullptr);
    EXPECT_EQ(read_file_bytes(path), "precious");
    // A path over 1,000 bytes gets no backup and no open.
    std::string long_path = dirs.temp.path + "/" + std::string(200, 'd') + "/" + std::string(200, 'd') + "/" +
                            std::string(200, 'd') + "/" + std::string(200, 'd') + "/" + std::string(200, 'f');
    ASSERT_GT(long_path.size(), 1000u);
    dirs.temp.write(long_path.substr(dirs.temp.path.size() + 1), "long");
    EXPECT_EQ(stream_open(long_path.c_str(), "~w"), nullptr);
    EXPECT_EQ(read_file_bytes(long_path), "long");
}

TEST_F(OpenTest, AllBackupNamesTaken)
{
    std::string path = dirs.temp.write("full.txt", "data");
    for (int n = 1; n <= 9999; n++) {
        FILE *f = fopen((path + ".~" + std::to_string(n) + "~").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fclose(f);
    }
    EXPECT_EQ(stream_open(path.c_str(), "~w"), nullptr);
    EXPECT_EQ(read_file_bytes(path), "data");
}
