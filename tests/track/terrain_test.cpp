// The heightfield terrain: queries, deformation, relighting, loading and writing.
#include "track/terrain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "data/image.h"
#include "data/sha1.h"
#include "platform/log.h"
#include "platform/message_log.h"
#include "track/lighting.h"
#include "track_test_util.h"

namespace {

// A 3x3 terrain (exponent 0) of spacing 2 with uneven heights.
struct SmallTerrain {
    Terrain *t = new Terrain();
    SmallTerrain(int exponent = 0, float spacing = 2.0f)
    {
        EXPECT_TRUE(terrain_allocate(t, exponent, spacing, 0, 100));
        int n = t->grid_size;
        for (int j = 0; j < n; j++)
            for (int i = 0; i < n; i++)
                t->heights[(size_t)j * n + i] = (float)((i * 7 + j * 3 + i * j * 5) % 11);
    }
    ~SmallTerrain() { delete t; }
    float h(int i, int j) const { return terrain_grid_height(t, i, j); }
};

// Height at (x, z) from the plane through the triangle that the alternating
// diagonals put under the point, worked out independently.
double reference_height(const SmallTerrain &st, double x, double z)
{
    double s = st.t->spacing;
    double u = x / s, v = z / s;
    int gi = (int)floor(u), gj = (int)floor(v);
    double fu = u - gi, fv = v - gj;
    auto H = [&](int i, int j) { return (double)st.h(i, j); };
    bool same = ((gi ^ gj) & 1) == 0;
    if (same) {
        // diagonal (gi, gj)-(gi+1, gj+1): lower triangle when fv <= fu
        if (fv <= fu)
            return H(gi, gj) + fu * (H(gi + 1, gj) - H(gi, gj)) + fv * (H(gi + 1, gj + 1) - H(gi + 1, gj));
        return H(gi, gj) + fv * (H(gi, gj + 1) - H(gi, gj)) + fu * (H(gi + 1, gj + 1) - H(gi, gj + 1));
    }
    // diagonal (gi+1, gj)-(gi, gj+1)
    if (fu + fv <= 1)
        return H(gi, gj) + fu * (H(gi + 1, gj) - H(gi, gj)) + fv * (H(gi, gj + 1) - H(gi, gj));
    return H(gi + 1, gj + 1) + (1 - fu) * (H(gi, gj + 1) - H(gi + 1, gj + 1)) +
           (1 - fv) * (H(gi + 1, gj) - H(gi + 1, gj + 1));
}

TEST(TerrainQuery, HeightFollowsAlternatingDiagonals)
{
    SmallTerrain st;
    EXPECT_EQ(st.t->grid_size, 3);
    for (int j = 0; j <= 40; j++) {
        for (int i = 0; i <= 40; i++) {
            float x = i * 0.1f, z = j * 0.1f;
            EXPECT_NEAR(terrain_height_at(st.t, x, z), reference_height(st, x, z), 1e-4) << x << "," << z;
        }
    }
    // Grid points give their own heights exactly.
    for (int j = 0; j < 3; j++)
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(terrain_height_at(st.t, 2.0f * i, 2.0f * j), st.h(i, j));
}

TEST(TerrainQuery, ExactDiagonalAgreesWithBothTriangles)
{
    SmallTerrain st;
    // Cell (0, 0) (even parity): diagonal from (0,0) to (1,1); cell (1, 0)
    // (odd parity): diagonal from (2,0) to (1,1).
    for (int k = 0; k <= 8; k++) {
        float f = k / 8.0f;
        float along_even = st.h(0, 0) + f * (st.h(1, 1) - st.h(0, 0));
        EXPECT_NEAR(terrain_height_at(st.t, 2 * f, 2 * f), along_even, 1e-5) << f;
        float along_odd = st.h(2, 0) + f * (st.h(1, 1) - st.h(2, 0));
        EXPECT_NEAR(terrain_height_at(st.t, 4 - 2 * f, 2 * f), along_odd, 1e-5) << f;
    }
    // A point on the diagonal takes the first triangle: its normal is the
    // one of the triangle (0,0),(1,0),(1,1) below the diagonal.
    float on[3], below[3];
    terrain_normal_at(st.t, 1.0f, 1.0f, on);
    terrain_normal_at(st.t, 1.2f, 0.8f, below);
    EXPECT_FLOAT_EQ(on[0], below[0]);
    EXPECT_FLOAT_EQ(on[1], below[1]);
    EXPECT_FLOAT_EQ(on[2], below[2]);
}

TEST(TerrainQuery, OutsideTheGridContinuesTheEdges)
{
    SmallTerrain st;
    struct { float x, z, inside_x, inside_z; } cases[] = {
        {-5, 1, 0, 1}, {-1e6f, 3.5f, 0, 3.5f}, {9, 1.5f, 4, 1.5f}, {1, -7, 1, 0}, {2.5f, 40, 2.5f, 4},
        {-3, -3, 0, 0}, {100, 100, 4, 4}, {1e30f, -1e30f, 4, 0},
    };
    for (auto c : cases)
        EXPECT_NEAR(terrain_height_at(st.t, c.x, c.z), terrain_height_at(st.t, c.inside_x, c.inside_z), 1e-5)
            << c.x << "," << c.z;
    // Not a number gives a height of the grid, not a crash.
    EXPECT_TRUE(std::isfinite(terrain_height_at(st.t, NAN, 1)));
}

TEST(TerrainQuery, NormalIsUpwardTriangleNormal)
{
    SmallTerrain flat;
    std::fill(flat.t->heights.begin(), flat.t->heights.end(), 5.0f);
    float n[3];
    terrain_normal_at(flat.t, 1.3f, 2.7f, n);
    EXPECT_EQ(n[0], 0);
    EXPECT_EQ(n[1], 4.0f);  // s * s
    EXPECT_EQ(n[2], 0);

    SmallTerrain st;
    for (float z = 0.05f; z < 4; z += 0.3f) {
        for (float x = 0.05f; x < 4; x += 0.3f) {
            terrain_normal_at(st.t, x, z, n);
            EXPECT_GT(n[1], 0);
            // Perpendicular to the surface: moving a little within the
            // triangle changes the height by the plane's slope.
            float d = 0.01f;
            float h0 = terrain_height_at(st.t, x, z);
            float hx = terrain_height_at(st.t, x + d, z), hz = terrain_height_at(st.t, x, z + d);
            float along_x[3], along_z[3];
            terrain_normal_at(st.t, x + d, z, along_x);
            terrain_normal_at(st.t, x, z + d, along_z);
            // (Steps that cross into another triangle are not compared.)
            if (along_x[0] == n[0] && along_x[2] == n[2]) {
                EXPECT_NEAR((hx - h0) / d, -n[0] / n[1], 2e-2) << x << "," << z;
            }
            if (along_z[0] == n[0] && along_z[2] == n[2]) {
                EXPECT_NEAR((hz - h0) / d, -n[2] / n[1], 2e-2) << x << "," << z;
            }
        }
    }
}

TEST(TerrainQuery, VertexNormal)
{
    SmallTerrain st(1, 1.0f);
    int n = st.t->grid_size;
    // A plane h = 0.5 x: every point's normal is (-0.5, 1, 0) normalised.
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++)
            st.t->heights[(size_t)j * n + i] = 0.5f * i;
    float v[3];
    terrain_vertex_normal(st.t, 2, 2, v);
    float k = 1 / sqrtf(1.25f);
    EXPECT_NEAR(v[0], -0.5f * k, 1e-5);
    EXPECT_NEAR(v[1], k, 1e-5);
    EXPECT_NEAR(v[2], 0, 1e-5);
    // At a corner the clamped neighbours still give a unit upward normal.
    terrain_vertex_normal(st.t, 0, 0, v);
    EXPECT_NEAR(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 1, 1e-5);
    EXPECT_GT(v[1], 0);
}

TEST(TerrainStamp, BumpShapeAndBookkeeping)
{
    SmallTerrain st(3, 1.0f);  // 17 x 17
    std::fill(st.t->heights.begin(), st.t->heights.end(), 10.0f);
    default_lighting(&track_lighting);
    int counter = st.t->change_counter;
    terrain_stamp(st.t, 8, 8, 3, 2);
    EXPECT_EQ(st.h(8, 8), 12.0f);        // weight 1 at the centre
    EXPECT_EQ(st.h(11, 8), 10.0f);       // 0 at the rim
    float d1 = 1.0f / 3;
    EXPECT_FLOAT_EQ(st.h(9, 8), 10 + 2 * (2 * d1 * d1 * d1 - 3 * d1 * d1 + 1));
    EXPECT_EQ(st.t->modified, 3);
    EXPECT_EQ(st.t->high_height, 100.0f);
    EXPECT_EQ(st.t->change_counter, counter + 1);
    terrain_stamp(st.t, 8, 8, 3, 200);
    EXPECT_EQ(st.t->high_height, 212.0f);
    terrain_stamp(st.t, 2, 2, 2, -50);
    EXPECT_EQ(st.t->low_height, -40.0f);
}

TEST(TerrainStamp, NothingChangesWithoutAmountOrUnderTheLock)
{
    SmallTerrain st(3, 1.0f);
    std::vector<float> before = st.t->heights;
    int counter = st.t->change_counter;
    terrain_stamp(st.t, 8, 8, 3, 0);
    EXPECT_EQ(st.t->heights, before);
    EXPECT_EQ(st.t->change_counter, counter);
    EXPECT_EQ(st.t->modified, 0);

    st.t->deformation_lock = 1;
    terrain_stamp(st.t, 8, 8, 3, 5);
    EXPECT_EQ(st.t->heights, before);
    EXPECT_EQ(st.t->modified, 0);
    EXPECT_EQ(st.t->change_counter, counter + 1);

    st.t->deformation_lock = 0;
    terrain_stamp(st.t, -100, 500, 3, 5);  // entirely outside
    EXPECT_EQ(st.t->heights, before);
    EXPECT_EQ(st.t->modified, 0);
    EXPECT_EQ(st.t->change_counter, counter + 2);

    // Degenerate radii and positions neither crash nor write garbage.
    terrain_stamp(st.t, 8, 8, 0, 5);
    terrain_stamp(st.t, 8, 8, -1, 5);
    terrain_stamp(st.t, 8, 8, NAN, 5);
    terrain_stamp(st.t, NAN, 8, 3, 5);
    terrain_stamp(st.t, 1e30f, 8, 1e30f, 5);
    for (float h : st.t->heights)
        EXPECT_TRUE(std::isfinite(h));
}

TEST(TerrainRelight, ShadingAndNormalMapFromLighting)
{
    SmallTerrain st(1, 1.0f);
    std::fill(st.t->heights.begin(), st.t->heights.end(), 3.0f);
    default_lighting(&track_lighting);
    float up[3] = {0, 1, 0};
    memcpy(track_lighting.sun_vector, up, sizeof up);
    float white[3] = {1, 0.5f, 2}, none[3] = {0, 0, 0.25f};
    memcpy(track_lighting.sun_colour, white, sizeof white);
    memcpy(track_lighting.ambient, none, sizeof none);
    int n = st.t->grid_size;
    st.t->shadow[(size_t)1 * n + 1] = 255;
    st.t->normal_map.assign((size_t)n * n * 3, 0);
    terrain_relight(st.t, -5, -5, 99, 99);
    const uint8_t *lit = &st.t->shading[0];
    EXPECT_EQ(lit[0], 127);  // 1 * 0.5 * 255 = 127.5
    EXPECT_EQ(lit[1], 63);
    EXPECT_EQ(lit[2], 255);  // (2 + 0.25) * 127.5 capped
    const uint8_t *dark = &st.t->shading[((size_t)1 * n + 1) * 3];
    EXPECT_EQ(dark[0], 0);
    EXPECT_EQ(dark[2], 31);  // ambient only
    EXPECT_EQ(st.t->normal_map[0], 128);
    EXPECT_EQ(st.t->normal_map[1], 255);
    EXPECT_EQ(st.t->normal_map[2], 128);
    EXPECT_EQ(st.t->normal_map[((size_t)1 * n + 1) * 3 + 1], 0);
}

// --- loading ------------------------------------------------------------------

struct LoadedTerrain {
    Terrain *t = new Terrain();
    ~LoadedTerrain()
    {
        free_terrain(t);
        delete t;
    }
};

TEST(TerrainLoad, ExponentZeroReadsExactly18Bytes)
{
    TrackDirs dirs;
    std::vector<uint16_t> samples = {0, 65535, 1000, 2, 3, 4, 5, 6, 32768};
    // Bytes after the 18 sample bytes must not be taken as samples.
    dirs.write("t/terrain.hf", hf_raw(0, 4.0f, -10, 90, samples) + "garbage");
    dirs.write("t/shadingx2.ppm", ppm_bytes(3, 3, std::vector<uint8_t>(27, 7)));
    dirs.write("t/texturelist", "dirt.png\n");
    dirs.write("t/tilemap", std::string(1, '\5'));
    LoadedTerrain lt;
    ASSERT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 1);
    EXPECT_EQ(lt.t->grid_size, 3);
    EXPECT_EQ(lt.t->tiles, 1);
    EXPECT_EQ(lt.t->extent, 8.0f);
    ASSERT_EQ(lt.t->heights.size(), 9u);
    for (int k = 0; k < 9; k++) {
        float expected = (float)(-10.0f + (float)(samples[k] * 100.0f) * (1.0 / 65535));
        EXPECT_EQ(lt.t->heights[k], expected) << k;
    }
    EXPECT_EQ(lt.t->heights[1], 90.0f);
    EXPECT_EQ(lt.t->shading[0], 7);
    EXPECT_EQ(lt.t->tile_map[0], 0);  // clamped to the only type
    EXPECT_EQ(lt.t->change_counter, 1);
    EXPECT_EQ(lt.t->modified, 0);
}

TEST(TerrainLoad, ShortSampleSectionIsFilledWithZero)
{
    TrackDirs dirs;
    std::string hf = hf_raw(0, 1.0f, 5, 10, {65535, 65535, 65535});
    hf += '\x01';  // an odd byte without its high byte
    dirs.write("t/terrain.hf", hf);
    dirs.write("t/shading.ppm", ppm_bytes(3, 3, std::vector<uint8_t>(27, 255)));
    dirs.write("t/texturelist", "dirt.png\n");
    dirs.write("t/tilemap", "");
    LoadedTerrain lt;
    ASSERT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 1);
    EXPECT_EQ(lt.t->heights[2], 10.0f);
    for (int k = 3; k < 9; k++)
        EXPECT_EQ(lt.t->heights[k], 5.0f) << k;
    EXPECT_EQ(lt.t->shading[0], 127);  // shading.ppm bytes are halved
}

TEST(TerrainLoad, SampleDigestIsLoggedAtLevelTwo)
{
    TrackDirs dirs;
    std::string log = dirs.temp.file("log.txt");
    set_env("VARK_LOGFILE", log.c_str());
    vark_log_reset_for_tests();
    dirs.write("t/terrain.hf", hf_raw(0, 1.0f, 0, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    dirs.write("t/shadingx2.ppm", ppm_bytes(3, 3, std::vector<uint8_t>(27, 0)));
    dirs.write("t/texturelist", "dirt.png\n");
    dirs.write("t/tilemap", "x");
    int saved = debug_level;
    debug_level = 2;
    LoadedTerrain lt;
    EXPECT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 1);
    debug_level = saved;
    vark_log(nullptr);
    vark_log_reset_for_tests();
    set_env("VARK_LOGFILE", nullptr);
    // SHA-1 of the 18 sample bytes 01 00 02 00 ... 09 00.
    std::string bytes;
    for (int k = 1; k <= 9; k++)
        bytes += std::string{(char)k, '\0'};
    Sha1 sha;
    uint8_t digest[20];
    char hex[41];
    sha1_init(&sha);
    sha1_update(&sha, bytes.data(), bytes.size());
    sha1_final(&sha, digest);
    sha1_hex(digest, hex);
    EXPECT_NE(read_file_bytes(log).find(std::string(hex) + "\n"), std::string::npos);
}

TEST(TerrainLoad, SmallerPngRepeatsItsEdges)
{
    TrackDirs dirs;
    // A 2x2 image for a 5x5 grid; rows and columns 2..4 repeat the last one.
    std::vector<uint16_t> image = {0, 1000, 20000, 65535};
    dirs.write("t/.keep", "");
    ASSERT_TRUE(write_png_gray16((dirs.data + "t/terrain.png").c_str(), image.data(), 2, 2));
    dirs.write("t/terrain.hf", hf_header(1, 1.0f, 0, 65535));
    dirs.write("t/shadingx2.ppm", ppm_bytes(5, 5, std::vector<uint8_t>(75, 0)));
    dirs.write("t/texturelist", "dirt.png\n");
    dirs.write("t/tilemap", "abcd");
    LoadedTerrain lt;
    ASSERT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 1);
    auto h = [&](int i, int j) { return terrain_grid_height(lt.t, i, j); };
    EXPECT_EQ(h(0, 0), 0);
    EXPECT_EQ(h(1, 0), 1000);
    EXPECT_EQ(h(4, 0), 1000);
    EXPECT_EQ(h(0, 3), 20000);
    EXPECT_EQ(h(4, 4), 65535);
    EXPECT_EQ(h(1, 2), 65535);
}

TEST(TerrainLoad, LargerPngIsCroppedAndMissingPngGivesLowHeight)
{
    TrackDirs dirs;
    std::vector<uint16_t> image(7 * 6);
    for (int k = 0; k < 42; k++)
        image[k] = (uint16_t)(k * 100);
    dirs.write("t/.keep", "");
    ASSERT_TRUE(write_png_gray16((dirs.data + "t/terrain.png").c_str(), image.data(), 7, 6));
    for (const char *dir : {"t/", "u/"}) {
        dirs.write(std::string(dir) + "terrain.hf", hf_header(0, 1.0f, 10, 10 + 65535));
        dirs.write(std::string(dir) + "shadingx2.ppm", ppm_bytes(3, 3, std::vector<uint8_t>(27, 0)));
        dirs.write(std::string(dir) + "texturelist", "dirt.png\n");
        dirs.write(std::string(dir) + "tilemap", "a");
    }
    LoadedTerrain lt;
    ASSERT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 1);
    EXPECT_EQ(terrain_grid_height(lt.t, 2, 1), 10 + 900.0f);
    LoadedTerrain missing;
    ASSERT_EQ(load_terrain(missing.t, "@u/", TEXTURE_METHOD_DIRECT), 1);
    for (float h : missing.t->heights)
        EXPECT_EQ(h, 10.0f);
}

TEST(TerrainLoad, FailuresAndTheirMessages)
{
    struct Case {
        const char *name;
        std::string hf;
        std::string shading_name, shading;
        std::string shadows;
        const char *message;  // newest message, or null
    };
    std::vector<uint8_t> rgb9(27, 0);
    Case cases[] = {
        {"missing", "", "shadingx2.ppm", ppm_bytes(3, 3, rgb9), "", "Can't open '@t/terrain.hf'"},
        {"few fields", "0 1.0 5\n", "shadingx2.ppm", ppm_bytes(3, 3, rgb9), "", "Error reading heights"},
        {"huge exponent", "13 1.0 0 1 :", "shadingx2.ppm", ppm_bytes(3, 3, rgb9), "", "Error reading heights"},
        {"negative exponent", "-1 1.0 0 1 :", "shadingx2.ppm", ppm_bytes(3, 3, rgb9), "", "Error reading heights"},
        {"zero spacing", "0 0 0 1 :", "shadingx2.ppm", ppm_bytes(3, 3, rgb9), "", "Error reading heights"},
        {"no shading", hf_raw(0, 1, 0, 1, {}), "", "", "", "Can't open '@t/shading.ppm'"},
        {"bad shading", hf_raw(0, 1, 0, 1, {}), "shadingx2.ppm", "P9 nonsense", "", "Error reading shading"},
        {"shading size", hf_raw(0, 1, 0, 1, {}), "shading.ppm", ppm_bytes(3, 2, std::vector<uint8_t>(18, 0)), "",
         "Bad shading dimensions (3x2)"},
        {"bad shadows", hf_raw(0, 1, 0, 1, {}), "shadingx2.ppm", ppm_bytes(3, 3, rgb9), "P6 nonsense",
         "Error reading shadows"},
        {"shadow size", hf_raw(0, 1, 0, 1, {}), "shadingx2.ppm", ppm_bytes(3, 3, rgb9),
         pgm_bytes(2, 3, std::vector<uint8_t>(6, 0)), nullptr},
    };
    for (const Case &c : cases) {
        TrackDirs dirs;
        if (!c.hf.empty())
            dirs.write("t/terrain.hf", c.hf);
        if (!c.shading_name.empty())
            dirs.write("t/" + c.shading_name, c.shading);
        if (!c.shadows.empty())
            dirs.write("t/shadows.pgm", c.shadows);
        dirs.write("t/texturelist", "dirt.png\n");
        dirs.write("t/tilemap", "a");
        clear_message_log();
        post_message("start");
        LoadedTerrain lt;
        EXPECT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 0) << c.name;
        EXPECT_TRUE(lt.t->heights.empty()) << c.name;
        if (c.message)
            EXPECT_STREQ(message_log_line(0), c.message) << c.name;
        else
            EXPECT_STREQ(message_log_line(0), "start") << c.name;
    }
    // Both messages of a bad header, in order.
    TrackDirs dirs;
    dirs.write("t/terrain.hf", "x");
    clear_message_log();
    LoadedTerrain lt;
    EXPECT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 0);
    EXPECT_STREQ(message_log_line(1), "Bad height field parameters");
    EXPECT_STREQ(message_log_line(0), "Error reading heights");
}

TEST(TerrainLoad, ShadowsAreInvertedAndTilemapRequired)
{
    TrackDirs dirs;
    dirs.write("t/terrain.hf", hf_raw(0, 1, 0, 1, {}));
    dirs.write("t/shadingx2.ppm", ppm_bytes(3, 3, std::vector<uint8_t>(27, 0)));
    dirs.write("t/shadows.pgm", pgm_bytes(3, 3, {255, 0, 10, 20, 30, 40, 50, 60, 70}));
    dirs.write("t/texturelist", "dirt.png\n");
    clear_message_log();
    LoadedTerrain lt;
    EXPECT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 0);
    EXPECT_STREQ(message_log_line(0), "Can't open '@t/tilemap'");
    dirs.write("t/tilemap", "a");
    ASSERT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 1);
    EXPECT_EQ(lt.t->shadow[0], 0);
    EXPECT_EQ(lt.t->shadow[1], 255);
    EXPECT_EQ(lt.t->shadow[2], 245);
    // Neither tileinfo nor texturelist.
    TrackDirs other;
    other.write("t/terrain.hf", hf_raw(0, 1, 0, 1, {}));
    other.write("t/shadingx2.ppm", ppm_bytes(3, 3, std::vector<uint8_t>(27, 0)));
    other.write("t/tilemap", "a");
    clear_message_log();
    EXPECT_EQ(load_terrain(lt.t, "@t/", TEXTURE_METHOD_DIRECT), 0);
    EXPECT_STREQ(message_log_line(0), "Can't open '@t/texturelist'");
}

TEST(TerrainWrite, HeightsAndShadingRoundTrip)
{
    TrackDirs dirs;
    SmallTerrain st(1, 2.0f);
    int n = st.t->grid_size;
    for (size_t k = 0; k < st.t->heights.size(); k++)
        st.t->heights[k] = -3.0f + (float)(k % 7) * 1.5f;
    for (size_t k = 0; k < st.t->shading.size(); k++)
        st.t->shading[k] = (uint8_t)(k * 9);
    dirs.write("w/.keep", "");
    std::string dir = dirs.data + "w/";
    ASSERT_TRUE(write_terrain_heights(st.t, dir.c_str()));
    ASSERT_TRUE(write_terrain_shading(st.t, dir.c_str()));
    EXPECT_EQ(st.t->low_height, -3.0f);
    EXPECT_EQ(st.t->high_height, 6.0f);
    EXPECT_EQ(read_file_bytes(dir + "terrain.hf"), "1 2.000000 -3.000000 6.000000\n");
    std::string x2 = read_file_bytes(dir + "shadingx2.ppm");
    std::string header = "P6\n5 5\n255\n";
    ASSERT_EQ(x2.size(), header.size() + 75);
    EXPECT_EQ(x2.substr(0, header.size()), header);
    std::string doubled = read_file_bytes(dir + "shading.ppm");
    for (size_t k = 0; k < 75; k++) {
        uint8_t v = st.t->shading[k];
        EXPECT_EQ((uint8_t)x2[header.size() + k], v);
        EXPECT_EQ((uint8_t)doubled[header.size() + k], v >= 128 ? 255 : v * 2);
    }
    dirs.write("w/texturelist", "dirt.png\n");
    dirs.write("w/tilemap", "abcd");
    LoadedTerrain lt;
    ASSERT_EQ(load_terrain(lt.t, "@w/", TEXTURE_METHOD_DIRECT), 1);
    for (size_t k = 0; k < st.t->heights.size(); k++)
        EXPECT_NEAR(lt.t->heights[k], st.t->heights[k], 1e-3) << k;
    EXPECT_EQ(lt.t->shading, st.t->shading);
    (void)n;
}

} // namespace
