// Surface types: tileinfo, texturelist, texture codes, the tile map and surface_at.
#include "track/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/stream.h"
#include "platform/message_log.h"
#include "track/terrain.h"
#include "track_test_util.h"

namespace {

struct Parsed {
    Terrain *t = new Terrain();
    std::vector<std::string> messages;  // posted while parsing, oldest first
    ~Parsed() { delete t; }
};

// Parses `text` as tileinfo (or texturelist) on a 2x2-tile terrain.
void parse(Parsed *p, const std::string &text, bool texturelist = false)
{
    TempDir dir;
    std::string path = dir.write("tileinfo", text);
    EXPECT_TRUE(terrain_allocate(p->t, 1, 1.0f, 0, 1));
    clear_message_log();
    DataStream *s = stream_open(path.c_str(), "r");
    ASSERT_NE(s, nullptr);
    bool ok = texturelist ? read_texturelist(p->t, s, SURFACE_TEXTURES_NONE)
                          : read_tileinfo(p->t, s, SURFACE_TEXTURES_NONE);
    stream_close(s);
    EXPECT_TRUE(ok);
    for (int k = 0; message_log_line(k); k++)
        p->messages.insert(p->messages.begin(), message_log_line(k));
}

TEST(Tileinfo, DefaultsOfAType)
{
    Parsed p;
    parse(&p, "addtile\n");
    ASSERT_EQ(p.t->surface_count, 1);
    const SurfaceType &s = p.t->surfaces[0];
    EXPECT_EQ(s.texture_code, 0);
    for (int k = 0; k < CURVE_POINTS; k++) {
        EXPECT_EQ(s.friction[k], 1.0f);
        EXPECT_EQ(s.friction_key[k], k ? 0.0f : 1.0f);
        EXPECT_EQ(s.roll_a[k], 5.0f);
        EXPECT_EQ(s.roll_b[k], 15.0f);
    }
    for (const RoostKind &r : s.roost) {
        EXPECT_EQ(r.kind, 0);
        EXPECT_EQ(r.texture_name, "@roost.png");
    }
    float erosion[8] = {s.erode_depth, s.erode_lower, s.erode_upper, s.erode_displacement,
                        s.erode_radius, s.erode_max_slope, s.erode_off_speed, s.erode_on_speed};
    float expected[8] = {1, 50, 150, 2, 4, 0.25f, 10, 15};
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(erosion[k], expected[k]) << k;
    EXPECT_TRUE(p.messages.empty());
}

TEST(Tileinfo, EveryKeyword)
{
    Parsed p;
    parse(&p, "  \t\r\n"
              "texture @tex/dirt.png\r\n"
              "\tfriction 0.9 20\n"
              "friction -1 5\n"
              "friction 0.5 0\n"
              "roll_resist 1 2 3\n"
              "roll_resist -1 -2 1\n"
              "erode_depth 2\nerode_lower 3\nerode_upper 4\nerode_displacement 5\n"
              "erode_radius 6\nerode_max_slope 7\nerode_off_speed 8\nerode_on_speed 9\n"
              "addtile\n"
              "texture grass.png\n"
              "addtile\n"
              "erode_depth 77\n");
    ASSERT_EQ(p.t->surface_count, 2);
    const SurfaceType &s = p.t->surfaces[0];
    EXPECT_EQ(s.texture_name, "@tex/dirt.png");
    // Sorted by key; negative coefficient 0, small key raised to 2^-20.
    EXPECT_EQ(s.friction_key[0], MIN_CURVE_KEY);
    EXPECT_EQ(s.friction[0], 0.5f);
    EXPECT_EQ(s.friction_key[1], 5.0f);
    EXPECT_EQ(s.friction[1], 0.0f);
    EXPECT_EQ(s.friction_key[2], 20.0f);
    EXPECT_FLOAT_EQ(s.friction[2], 0.9f);
    EXPECT_EQ(s.friction_key[3], 0.0f);  // the end of the curve
    EXPECT_EQ(s.roll_key[0], 1.0f);
    EXPECT_EQ(s.roll_a[0], 0.0f);
    EXPECT_EQ(s.roll_b[0], 0.0f);
    EXPECT_EQ(s.roll_key[1], 3.0f);
    EXPECT_EQ(s.roll_a[1], 1.0f);
    EXPECT_EQ(s.roll_b[1], 2.0f);
    EXPECT_EQ(s.erode_depth, 2);
    EXPECT_EQ(s.erode_on_speed, 9);
    // addtile resets the pending type; lines after the last addtile are dropped.
    const SurfaceType &g = p.t->surfaces[1];
    EXPECT_EQ(g.friction_key[0], 1.0f);
    EXPECT_EQ(g.erode_depth, 1.0f);
    EXPECT_EQ(p.t->surfaces[2].erode_depth, 1.0f);
    EXPECT_TRUE(p.messages.empty()) << p.messages[0];
}

TEST(Tileinfo, Warnings)
{
    std::string nine;
    for (int k = 1; k <= 9; k++)
        nine += "friction " + std::to_string(k) + " " + std::to_string(10 - k) + "\n";
    struct Case {
        std::string text;
        const char *warning;
    } cases[] = {
        {nine, "tileinfo warning: too many friction points\n"},
        {"friction 1\n", "tileinfo warning: bad friction parameters\n"},
        {"roll_resist 1 2\n", "tileinfo warning: bad roll_resist parameters\n"},
        {"roost\nroost\nroost\nroost\nroost\n", "tileinfo warning: too many roost types\n"},
        {"erode_depth x\n", "tileinfo warning: bad erode_depth\n"},
        {"erode_lower\n", "tileinfo warning: bad erode_lower\n"},
        {"erode_upper -\n", "tileinfo warning: bad erode_upper\n"},
        {"erode_displacement .\n", "tileinfo warning: bad erode_displacement\n"},
        {"erode_radius e5\n", "tileinfo warning: bad erode_radius\n"},
        {"erode_max_slope inf\n", "tileinfo warning: bad erode_max_slope\n"},
        {"erode_off_speed nan\n", "tileinfo warning: bad erode_off_speed\n"},
        {"erode_on_speed 0x\n", nullptr},  // "0" reads; the rest is ignored
        {"Texture a.png\n", "tileinfo warning: Unknown identifier 'Texture'\n"},
        {"addtiles\n", "tileinfo warning: Unknown identifier 'addtiles'\n"},
        {"roost count=x\n", "tileinfo warning: bad count\n"},
        {"roost fade_a=\n", "tileinfo warning: bad fade_a\n"},
        {"roost colour=1\n", "tileinfo warning: unknown roost parameter 'colour=1'\n"},
    };
    for (const Case &c : cases) {
        Parsed p;
        parse(&p, c.text + "addtile\n");
        if (c.warning) {
            ASSERT_EQ(p.messages.size(), 1u) << c.text;
            EXPECT_EQ(p.messages[0], c.warning) << c.text;
        } else {
            EXPECT_TRUE(p.messages.empty()) << c.text;
        }
        EXPECT_EQ(p.t->surface_count, 1) << c.text;
    }
    // The ninth friction point is dropped, the eight given stay (sorted).
    Parsed p;
    parse(&p, nine + "addtile\n");
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(p.t->surfaces[0].friction_key[k], (float)(k + 2)) << k;
    // A bad erode value leaves the value as it was.
    Parsed q;
    parse(&q, "erode_depth 3\nerode_depth x\naddtile\n");
    EXPECT_EQ(q.t->surfaces[0].erode_depth, 3.0f);
}

TEST(Tileinfo, RoostLines)
{
    Parsed p;
    parse(&p, "roost texture=\"@dust puff.png\" count=20 dig=2 slip_threshold=3 slow_angle=1 fast_angle=0.5\t"
              "slow_speed=1 fast_speed=2 size=3 grow=4 drag=5 vscale=6 randomize=7 r=300 g=-1 b=12.9 a=0 "
              "fade_r=128 fade_g=-128 fade_b=1000 fade_a=-256\n"
              "roost splash=1 count=5x fade_a=-100\n"
              "roost splash=0\n"
              "addtile\n");
    ASSERT_EQ(p.t->surface_count, 1);
    const RoostKind *r = p.t->surfaces[0].roost;
    EXPECT_EQ(r[0].kind, 1);
    EXPECT_EQ(r[0].texture_name, "@dust puff.png");
    EXPECT_EQ(r[0].count, 20);
    EXPECT_EQ(r[0].dig, 2);
    EXPECT_EQ(r[0].slip_threshold, 3);
    EXPECT_EQ(r[0].slow_angle, 1);
    EXPECT_EQ(r[0].fast_angle, 0.5f);
    EXPECT_EQ(r[0].slow_speed, 1);
    EXPECT_EQ(r[0].fast_speed, 2);
    EXPECT_EQ(r[0].size, 3);
    EXPECT_EQ(r[0].grow, 4);
    EXPECT_EQ(r[0].drag, 5);
    EXPECT_EQ(r[0].vscale, 6);
    EXPECT_EQ(r[0].randomize, 7);
    EXPECT_EQ(r[0].colour[0], 300 & 255);
    EXPECT_EQ(r[0].colour[1], 255);
    EXPECT_EQ(r[0].colour[2], 12);
    EXPECT_EQ(r[0].colour[3], 0);
    EXPECT_EQ(r[0].fade[0], 1);
    EXPECT_EQ(r[0].fade[1], -1);
    EXPECT_EQ(r[0].fade[2], 7);
    EXPECT_EQ(r[0].fade[3], -2);  // -256 per second is -2 per step
    EXPECT_EQ(r[1].kind, 2);
    EXPECT_EQ(r[1].count, 5);     // the leading number of "5x"
    EXPECT_EQ(r[1].fade[3], 0);   // -100/128 truncates to 0
    EXPECT_EQ(r[1].texture_name, "@roost.png");
    EXPECT_EQ(r[2].kind, 1);
    EXPECT_EQ(r[3].kind, 0);
}

TEST(Tileinfo, NoAddtileDefinesNothingAndMapsTo255)
{
    Parsed p;
    parse(&p, "texture dirt.png\nfriction 1 1\n");
    EXPECT_EQ(p.t->surface_count, 0);
    TempDir dir;
    std::string path = dir.write("tilemap", std::string("\0\1\2\3", 4));
    DataStream *s = stream_open(path.c_str(), "r");
    EXPECT_TRUE(read_tilemap(p.t, s));
    stream_close(s);
    for (uint8_t b : p.t->tile_map)
        EXPECT_EQ(b, 255);
    // The table still holds a defaulted type 255 for such lookups.
    EXPECT_EQ(surface_at(p.t, 0, 0), 255);
    EXPECT_EQ(p.t->surfaces[surface_at(p.t, 0, 0)].erode_depth, 1.0f);
}

TEST(Tileinfo, StopsAt256Types)
{
    std::string text;
    for (int k = 0; k < 300; k++)
        text += "texture t" + std::to_string(k) + ".png\naddtile\n";
    Parsed p;
    parse(&p, text);
    EXPECT_EQ(p.t->surface_count, 256);
    EXPECT_EQ(p.t->surfaces[255].texture_name, "t255.png");
}

TEST(TextureCodes, CornerMasksAndVariants)
{
    Parsed p;
    parse(&p, "texture dirt.png\naddtile\n"
              "texture @grass.png\naddtile\n"
              "texture dirt-grass-0110.png\naddtile\n"
              "texture @tiles/dirt-alt2.png\naddtile\n"
              "texture dirt-mud-1111.png\naddtile\n"
              "texture grass-dirt-01x1.png\naddtile\n"
              "texture grass-dirt.png\naddtile\n"
              "texture sand.png\naddtile\n"
              "texture @tiles/sand-grass-1000.png\naddtile\n");
    const SurfaceType *s = p.t->surfaces;
    EXPECT_EQ(s[0].texture_code, 0);
    EXPECT_EQ(s[1].texture_code, 1 * 65536 + 1 * 256);
    EXPECT_EQ(s[2].texture_code, 0 * 65536 + 1 * 256 + 6);  // first 0, second 1, mask 0110
    EXPECT_EQ((s[2].texture_code >> 16) & 255, 0);
    EXPECT_EQ((s[2].texture_code >> 8) & 255, 1);
    EXPECT_EQ(s[2].texture_code & 15, 6);
    EXPECT_EQ(s[3].texture_code, 3 * 65536 + 3 * 256);  // "/dirt" matches no type up to its "."
    EXPECT_EQ(s[4].texture_code, (int32_t)0xFFFFFF00u);  // no type "mud"
    EXPECT_EQ(s[5].texture_code, 1 * 65536 + 0 * 256);    // mask not binary
    EXPECT_EQ(s[6].texture_code, (int32_t)0xFFFFFF00u);  // no second "-"
    EXPECT_EQ(s[8].texture_code, 8 * 65536 + 8 * 256);    // "/sand" is no type's name
}

TEST(TextureCodes, AltVariantAndDirectories)
{
    Parsed p;
    parse(&p, "texture @t/dirt.png\naddtile\n"
              "texture @t/grass.png\naddtile\n"
              "texture @t/dirt-alt1.png\naddtile\n"
              "texture @t/dirt-grass-1001.png\naddtile\n");
    const SurfaceType *s = p.t->surfaces;
    EXPECT_EQ(s[2].texture_code, 0);             // a variant of texture 0
    EXPECT_EQ(s[3].texture_code, 256 + 9);       // grass found despite its directory
}

TEST(Texturelist, Lines)
{
    Parsed p;
    parse(&p, "0.8 2 10 dirt.png\r\n"
              "\n"
              "   \t\n"
              "grass.png\n"
              "0.5 3 mud.png\n",
          true);
    ASSERT_EQ(p.t->surface_count, 3);
    const SurfaceType &a = p.t->surfaces[0];
    EXPECT_EQ(a.texture_name, "@dirt.png");
    for (int k = 0; k < CURVE_POINTS; k++) {
        EXPECT_FLOAT_EQ(a.friction[k], 0.8f);
        EXPECT_EQ(a.roll_a[k], 2.0f);
        EXPECT_EQ(a.roll_b[k], 10.0f);
        EXPECT_EQ(a.friction_key[k], k ? 0.0f : 1.0f);
    }
    EXPECT_EQ(a.roost[0].kind, 1);
    EXPECT_EQ(a.roost[0].texture_name, "@roost.png");
    EXPECT_EQ(a.roost[1].kind, 0);
    const SurfaceType &b = p.t->surfaces[1];
    EXPECT_EQ(b.texture_name, "@grass.png");
    EXPECT_EQ(b.friction[0], 1.0f);
    EXPECT_EQ(b.roll_a[0], 5.0f);
    EXPECT_EQ(b.roll_b[0], 15.0f);
    EXPECT_EQ(p.t->surfaces[2].texture_name, "@0.5 3 mud.png");
    EXPECT_EQ(b.texture_code, 1 * 65536 + 1 * 256);
}

TEST(Tilemap, ClampShortFileAndLookup)
{
    Parsed p;
    parse(&p, "addtile\naddtile\naddtile\n");
    // 2x2 tiles of 2x2 cells, spacing 1: tile (ti, tj) covers x 2ti..2ti+2.
    TempDir dir;
    std::string path = dir.write("tilemap", std::string("\x01\x09\xff", 3));
    DataStream *s = stream_open(path.c_str(), "r");
    EXPECT_FALSE(read_tilemap(p.t, s));  // short: the last byte is 0
    stream_close(s);
    std::vector<uint8_t> expected = {1, 2, 2, 0};
    EXPECT_EQ(p.t->tile_map, expected);
    struct { float x, z; int type; } cases[] = {
        {0.5f, 0.5f, 1}, {2.5f, 0.5f, 2}, {3.99f, 1.99f, 2}, {0.5f, 2.5f, 2}, {3, 3, 0},
        {-10, -10, 1}, {100, -1, 2}, {-1, 100, 2}, {100, 100, 0}, {4.0f, 4.0f, 0}, {NAN, 3, 2},
    };
    for (auto c : cases)
        EXPECT_EQ(surface_at(p.t, c.x, c.z), c.type) << c.x << "," << c.z;
    dir.write("out/.keep", "");
    ASSERT_TRUE(write_tilemap(p.t, dir.file("out/tilemap").c_str()));
    EXPECT_EQ(read_file_bytes(dir.file("out/tilemap")), std::string("\x01\x02\x02\x00", 4));
}

} // namespace
