// Track discovery, load_track and free_track, the track digest, and a full
// 1025 x 1025 track loaded headless.
#include "track/track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "data/sha1.h"
#include "race/gates.h"
#include "track/furniture.h"
#include "track/lighting.h"
#include "track/terrain.h"
#include "track_test_util.h"

namespace {

std::string digest_hex()
{
    std::string out;
    char two[3];
    for (uint8_t b : track_digest) {
        snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

TEST(TrackList, DiscoverySortsByDisplayName)
{
    TrackDirs dirs;
    dirs.write("zed/terrain.hf", "0");
    dirs.write("zed/desc", "Zeta Hills\r\nmore");
    dirs.write("alpha/terrain.hf.gz", "x");
    dirs.write("alpha/desc", "beta");
    dirs.write("up/terrain.hf", "0");
    dirs.write("up/desc", "Beta Upper");
    dirs.write("empty/terrain.hf", "0");
    dirs.write("empty/desc", "\nsecond line");
    dirs.write("nodesc/terrain.hf", "0");
    dirs.write("both/terrain.hf", "0");
    dirs.write("both/terrain.hf.gz", "0");
    dirs.write("both/desc", "Middle");
    dirs.write("nested/deep/terrain.hf.gz.scram", "0");
    dirs.write("nested/deep/desc", std::string("Deep\0junk", 9));
    dirs.write("other/terrain.hfx", "0");
    ASSERT_EQ(find_tracks(), 8);
    std::vector<std::string> names, ids;
    for (int k = 0; k < track_count(); k++) {
        names.push_back(track_display_name(k));
        ids.push_back(track_id(k));
    }
    EXPECT_EQ(names[0], "");  // an empty first line
    EXPECT_EQ(ids[0], "empty");
    EXPECT_EQ(names[1], "beta");
    EXPECT_EQ(names[2], "Beta Upper");
    EXPECT_EQ(names[3], "Deep");
    EXPECT_EQ(ids[3], "nested/deep");
    EXPECT_EQ(names[4], "Middle");
    EXPECT_EQ(names[5], "Middle");  // listed once per terrain file
    EXPECT_EQ(ids[6], "nodesc");
    EXPECT_EQ(names[6], "nodesc");
    EXPECT_EQ(names[7], "Zeta Hills");
    EXPECT_EQ(track_id(8), nullptr);
    EXPECT_EQ(track_display_name(-1), nullptr);
}

TEST(TrackList, NamesDifferingInCaseSortTogether)
{
    TrackDirs dirs;
    for (const char *id : {"a", "b", "c"})
        dirs.write(std::string(id) + "/terrain.hf", "0");
    dirs.write("a/desc", "river");
    dirs.write("b/desc", "Lake");
    dirs.write("c/desc", "LAKE");
    ASSERT_EQ(find_tracks(), 3);
    EXPECT_EQ(strcmp(track_display_name(0), "Lake") == 0 || strcmp(track_display_name(0), "LAKE") == 0, true);
    EXPECT_EQ(strcmp(track_display_name(1), "Lake") == 0 || strcmp(track_display_name(1), "LAKE") == 0, true);
    EXPECT_STREQ(track_display_name(2), "river");
}

// Files of a loadable track, one per digest case.
FixtureTrack digest_fixture()
{
    FixtureTrack t;
    t.timing_gates = "checkpoints:\n2 [1 0 1] [1 0 0]\nfirstlap: 0\nnormallap: 0\n";
    t.extra_name[0] = "statues";
    t.extra_bytes[0] = "[1 0 1] 0 @things/rock.qm @rock.png null\n[2 0 2] 0 @things/rock.qm @rock.png null\n";
    t.extra_name[1] = "billboards";
    t.extra_bytes[1] = "[1 0 1] 2 1 tree.png\n";
    t.extra_name[2] = "lighting";
    t.extra_bytes[2] = "ambient [0.3 0.3 0.3]\n";
    t.extra_name[3] = "cameras";
    t.extra_bytes[3] = "addcamera 1 1 1\n";
    return t;
}

std::string load_digest()
{
    free_track();
    requested_track_id = "fixture";
    EXPECT_EQ(load_track(), 1);
    return digest_hex();
}

TEST(TrackLoad, DigestCoversTheRacingSurfaceOnly)
{
    struct Case {
        const char *file;
        std::string bytes;
        bool changes;
    } cases[] = {
        {"tilemap", std::string("\1\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16), true},
        {"tileinfo", "texture @dirt.png\naddtile\n", true},
        {"timing_gates", "checkpoints:\n3 [1 0 1] [1 0 0]\nfirstlap: 0\nnormallap: 0\n", true},
        {"statues", "[1 0 1] 0 @things/stone.qm @rock.png null\n", true},
        {"things/rock.qm", "a different model", true},
        {"billboards", "[1 0 1] 3 1 bush.png\n", false},
        {"flaggers", "[1 2 3] [4 5 6] 1 1 1 a b c d e\n", false},
        {"lighting", "ambient [0.9 0.3 0.3]\n", false},
        {"cameras", "fov 20\n", false},
        {"decals", "[1 1] 0 1 1 @skid.png\n", false},
        {"desc", "Another name", false},
    };
    for (const Case &c : cases) {
        TrackDirs dirs;
        dirs.write("things/rock.qm", "model bytes");
        dirs.write("things/stone.qm", "other model bytes");
        write_fixture_track(dirs, digest_fixture());
        find_tracks();
        std::string before = load_digest();
        std::string path = c.file;
        dirs.write(path.find('/') == std::string::npos ? "fixture/" + path : path, c.bytes);
        std::string after = load_digest();
        EXPECT_EQ(before != after, c.changes) << c.file << " " << c.bytes;
        free_track();
    }
}

TEST(TrackLoad, DigestIsSha1OfTheListedFilesInOrder)
{
    TrackDirs dirs;
    dirs.write("things/rock.qm", "model bytes");
    FixtureTrack t = digest_fixture();
    write_fixture_track(dirs, t);
    free_track();
    requested_track_id = "fixture";
    ASSERT_EQ(load_track(), 1);
    std::string all;
    for (const char *name : {"terrain.hf", "tilemap", "tileinfo", "timing_gates", "statues"})
        all += read_file_bytes(dirs.data + "fixture/" + name);
    all += "model bytes";
    Sha1 sha;
    uint8_t digest[20];
    sha1_init(&sha);
    sha1_update(&sha, all.data(), all.size());
    sha1_final(&sha, digest);
    EXPECT_EQ(memcmp(digest, track_digest, 20), 0);
    free_track();
}

TEST(TrackLoad, OrderOfFurniture)
{
    TrackDirs dirs;
    FixtureTrack t = digest_fixture();
    t.timing_gates = "startinggate:\n[4 1 4] 0\n[5 1 4] 0 @g.qm @g.png null\n"
                     "checkpoints:\n2 [1 0 1] [1 0 0]\nfirstlap: 0\nnormallap: 0\n";
    write_fixture_track(dirs, t);
    requested_track_id = "fixture";
    ASSERT_EQ(load_track(), 1);
    const Furniture &f = track_furniture;
    // Starting-gate objects first, 3 units ahead of their positions.
    ASSERT_EQ(f.statues.size(), 4u);
    EXPECT_EQ(f.statues[0].model_name, "@startgate.qm");
    EXPECT_FLOAT_EQ(f.statues[0].x, 4);
    EXPECT_FLOAT_EQ(f.statues[0].z, 1);
    EXPECT_NEAR(f.statues[0].y, 1, 1e-4);
    EXPECT_EQ(gate_tables.starts[1].object, 1);
    EXPECT_EQ(f.statues[1].shape_name, "");
    EXPECT_EQ(f.statues[2].model_name, "@things/rock.qm");
    // 2000 particle placeholders, then the track's billboards.
    ASSERT_EQ(f.billboards.size(), 2001u);
    EXPECT_EQ(f.billboards[0].texture_name, "");
    EXPECT_EQ(f.billboards[0].height, 1);
    EXPECT_EQ(f.billboards[2000].texture_name, "tree.png");
    EXPECT_EQ(f.cameras.size(), 1u);
    EXPECT_EQ(track_lighting.ambient[0], 0.3f);
    EXPECT_EQ(current_track_id, "fixture");
    free_track();
    EXPECT_EQ(current_terrain, nullptr);
    EXPECT_TRUE(track_furniture.statues.empty());
    EXPECT_TRUE(gate_tables.starts.empty());
}

TEST(TrackLoad, RequestedIdOutsideTheListAndFailures)
{
    TrackDirs dirs;
    write_fixture_track(dirs, FixtureTrack());
    dirs.write("nolist/.keep", "");
    find_tracks();
    FixtureTrack hidden;
    hidden.id = "hidden";
    write_fixture_track(dirs, hidden);
    requested_track_id = "hidden";
    EXPECT_EQ(load_track(), 1);
    EXPECT_EQ(current_track_id, "hidden");
    free_track();
    requested_track_id = "nowhere";
    EXPECT_EQ(load_track(), 0);
    EXPECT_EQ(requested_track_id, "");
    EXPECT_EQ(current_track_id, "");
    free_track();
}

// A full-size track: 1025 x 1025 points, three surfaces in 64-tile squares,
// eight gates on a circle, loaded without any window.
TEST(TrackLoad, FullSizeTrackHeadless)
{
    TrackDirs dirs;
    FixtureTrack t;
    t.exponent = 9;
    t.spacing = 1.0f;
    t.low = -20;
    t.high = 80;
    t.tileinfo = "texture @dirt.png\nfriction 1.2 1\naddtile\n"
                 "texture @grass.png\nfriction 0.7 1\naddtile\n"
                 "texture @sand.png\nfriction 0.5 1\naddtile\n";
    t.tilemap.resize(512 * 512);
    for (int tj = 0; tj < 512; tj++)
        for (int ti = 0; ti < 512; ti++)
            t.tilemap[(size_t)tj * 512 + ti] = (char)((ti / 64 + tj / 64) % 3);
    std::string gates = "startinggate:\n";
    for (int k = 0; k < 4; k++)
        gates += "[" + std::to_string(500 + 4 * k) + " 0 200] 1.5708\n";
    gates += "checkpoints:\n";
    const double R = 300, PI = 3.14159265358979;
    for (int g = 0; g < 8; g++) {
        double a = 2 * PI * g / 8;
        char line[128];
        // Gates face along the direction of travel (counter-clockwise).
        snprintf(line, sizeof line, "20 [%f 0 %f] [%f 0 %f]\n", 512 + R * cos(a), 512 + R * sin(a), -sin(a), cos(a));
        gates += line;
    }
    gates += "firstlap: 0 1 2 3 4 5 6 7\nnormallap: 0 1 2 3 4 5 6 7\n";
    t.timing_gates = gates;
    std::vector<uint16_t> samples = write_fixture_track(dirs, t);
    requested_track_id = t.id;
    ASSERT_EQ(load_track(), 1);
    Terrain *terrain = current_terrain;
    ASSERT_NE(terrain, nullptr);
    EXPECT_EQ(terrain->grid_size, 1025);
    EXPECT_EQ(terrain->extent, 1024.0f);
    for (int j = 0; j < 1025; j += 97)
        for (int i = 0; i < 1025; i += 89) {
            float expected = (float)(-20 + (float)(samples[(size_t)j * 1025 + i] * 100.0f) * (1.0 / 65535));
            ASSERT_NEAR(terrain_height_at(terrain, (float)i, (float)j), expected, 1e-4);
        }
    // Surfaces.
    EXPECT_EQ(terrain->surface_count, 3);
    EXPECT_FLOAT_EQ(terrain->surfaces[1].friction[0], 0.7f);
    for (float z = 0.5f; z < 1024; z += 37.3f)
        for (float x = 0.5f; x < 1024; x += 41.1f)
            ASSERT_EQ(surface_at(terrain, x, z), ((int)(x / 2) / 64 + (int)(z / 2) / 64) % 3) << x << "," << z;
    // Gates: ride the circle twice, counter-clockwise from just before gate 0.
    ASSERT_EQ(gate_tables.checkpoints.size(), 8u);
    ASSERT_EQ(gate_tables.starts.size(), 4u);
    GateHistory h;
    reset_gate_history(&h);
    int laps_completed = 0;
    for (int tick = 0; tick < 2 * 2048 + 100; tick++) {
        double a = -0.02 + 2 * PI * tick / 2048;
        float x = (float)(512 + R * cos(a)), z = (float)(512 + R * sin(a));
        ASSERT_TRUE(std::isfinite(terrain_height_at(terrain, x, z)));
        // The gates' centres are at height 0: ride at that height.
        int result = check_gates(&h, x, 0, z, tick);
        if (result & LAP_COMPLETED)
            laps_completed++;
    }
    EXPECT_EQ(gates_passed(&h), 17);
    EXPECT_EQ(lap_of(&h, nullptr), 2);
    EXPECT_EQ(laps_completed, 2);
    for (int k = 0; k < 17; k++)
        EXPECT_NE(gate_tick(&h, k), -1) << k;
    EXPECT_NEAR(lap_time(&h, 2, 0), 2048 / 128.0, 0.1);
    free_track();
}

} // namespace
