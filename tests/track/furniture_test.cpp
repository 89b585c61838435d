// Track furniture: billboards, statues, flaggers, cameras, lighting, decals.
#include "track/furniture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/message_log.h"
#include "track/lighting.h"
#include "track/terrain.h"
#include "track_test_util.h"

namespace {

// A sloped 9x9 terrain of spacing 1: height = 0.5 x + 2.
struct Slope {
    Terrain *t = new Terrain();
    Slope()
    {
        terrain_allocate(t, 2, 1.0f, 0, 10);
        int n = t->grid_size;
        for (int j = 0; j < n; j++)
            for (int i = 0; i < n; i++)
                t->heights[(size_t)j * n + i] = 0.5f * i + 2;
        clear_furniture();
    }
    ~Slope()
    {
        clear_furniture();
        delete t;
    }
};

TEST(Billboards, ReadColourPrefixAndWrite)
{
    Slope s;
    TempDir dir;
    std::string path = dir.write("billboards", "[ 1 0.5 2 ] 3 0.5 #ff0000#tree.png\n"
                                               "[2 0 2] 1 1 #ff0000\n"
                                               "[3 0 3] 1 1 #FfEe0G#x.png\n"
                                               "[4 1 4] 2 2\n");
    read_billboards(s.t, path.c_str());
    const std::vector<Billboard> &b = track_furniture.billboards;
    ASSERT_EQ(b.size(), 3u);  // the fourth record is incomplete
    EXPECT_EQ(b[0].texture_name, "tree.png");
    EXPECT_EQ(b[0].colour[0], 255);
    EXPECT_EQ(b[0].colour[1], 0);
    EXPECT_EQ(b[0].colour[2], 0);
    EXPECT_EQ(b[0].colour[3], 255);
    EXPECT_FLOAT_EQ(b[0].y, 0.5f * 1 + 2 + 0.5f);
    EXPECT_EQ(b[0].height, 3);
    EXPECT_EQ(b[0].width_factor, 0.5f);
    EXPECT_EQ(b[0].texture, 0u);  // headless: nothing uploaded
    EXPECT_EQ(b[1].texture_name, "#ff0000");  // seven characters: a plain name
    EXPECT_EQ(b[1].colour[1], 255);
    EXPECT_EQ(b[2].texture_name, "#FfEe0G#x.png");  // not hexadecimal

    add_billboard(s.t, 0, 0, 0, 1, 1, "");  // no texture: not written
    std::string out = dir.file("out");
    ASSERT_TRUE(write_billboards(out.c_str()));
    EXPECT_EQ(read_file_bytes(out), "[1.000000 0.500000 2.000000] 3.000000 0.500000 #ff0000#tree.png\n"
                                    "[2.000000 0.000000 2.000000] 1.000000 1.000000 #ff0000\n"
                                    "[3.000000 0.000000 3.000000] 1.000000 1.000000 #FfEe0G#x.png\n");
    dir.write("plain", "");
    clear_message_log();
    EXPECT_FALSE(write_billboards(dir.file("plain/billboards").c_str()));
    EXPECT_STREQ(message_log_line(0), "Can't open 'billboards'\n");
}

TEST(Statues, OrientationRules)
{
    Slope s;
    float m[9];
    // 3.25 or more: exactly as modelled.
    statue_orientation(s.t, 4, 4, 4.0f, m);
    float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 9; k++)
        EXPECT_EQ(m[k], identity[k]);
    // -2 pi or less: turned by the angle but upright.
    statue_orientation(s.t, 4, 4, -7.0f, m);
    EXPECT_NEAR(m[0], cosf(-7), 1e-6);
    EXPECT_NEAR(m[2], sinf(-7), 1e-6);
    EXPECT_EQ(m[4], 1);
    EXPECT_EQ(m[1], 0);
    EXPECT_EQ(m[7], 0);
    // Otherwise the up axis (second column) follows the slope's normal.
    statue_orientation(s.t, 4, 4, 1.0f, m);
    float k = 1 / sqrtf(1.25f);
    EXPECT_NEAR(m[1], -0.5f * k, 1e-5);
    EXPECT_NEAR(m[4], k, 1e-5);
    EXPECT_NEAR(m[7], 0, 1e-5);
    // Still a rotation: orthonormal columns.
    for (int a = 0; a < 3; a++)
        for (int b = 0; b < 3; b++) {
            float dot = m[a] * m[b] + m[3 + a] * m[3 + b] + m[6 + a] * m[6 + b];
            EXPECT_NEAR(dot, a == b ? 1 : 0, 1e-5);
        }
}

TEST(Statues, ReadPlaceAndWrite)
{
    Slope s;
    TrackDirs dirs;
    dirs.write("rock.shp", "shape");
    std::string path = dirs.write("t/statues", "[1 0 1] 4.0 @rock.qm @rock.png @rock.shp\n"
                                               "[ 2 1 3 ] -7 null null @missing.shp\n"
                                               "[2 1 3] 0.5 @a.qm\n");
    clear_message_log();
    read_statues(s.t, "@t/statues");
    const std::vector<Statue> &st = track_furniture.statues;
    ASSERT_EQ(st.size(), 2u);
    EXPECT_EQ(st[0].model_name, "@rock.qm");
    EXPECT_EQ(st[0].shape_name, "@rock.shp");
    EXPECT_FLOAT_EQ(st[0].y, 2.5f);
    EXPECT_EQ(st[0].scale_power, 16.0f);
    EXPECT_EQ(st[0].touched_tick, -1);
    EXPECT_EQ(st[1].model_name, "");
    EXPECT_FLOAT_EQ(st[1].y, 0.5f * 2 + 2 + 1);
    EXPECT_EQ(st[1].scale_power, 0);
    EXPECT_STREQ(message_log_line(0), "Warning: missing shape file @missing.shp");
    EXPECT_EQ(message_log_line(1), nullptr);

    // Re-placing after a terrain edit follows the new ground.
    std::fill(s.t->heights.begin(), s.t->heights.end(), 7.0f);
    replace_statue(s.t, 1);
    EXPECT_EQ(track_furniture.statues[1].y, 8.0f);

    std::string out = dirs.temp.file("out");
    ASSERT_TRUE(write_statues(out.c_str()));
    EXPECT_EQ(read_file_bytes(out), "[1.000000 0.000000 1.000000] 4.000000 @rock.qm @rock.png @rock.shp\n"
                                    "[2.000000 1.000000 3.000000] -7.000000 null null @missing.shp\n");
}

TEST(Statues, MapNames)
{
    std::vector<std::string> plain = statue_map_names("@wall.png", "@wall.qm", "_norm");
    std::vector<std::string> expected = {"@wall_norm.seq", "@wall_norm.png", "@wall_norm.ppm",
                                         "@wall_norm.seq", "@wall_norm.png", "@wall_norm.ppm"};
    EXPECT_EQ(plain, expected);
    std::vector<std::string> repeat = statue_map_names("@fence-repeat.png", "@f.qm", "_spec");
    expected = {"@fence_spec-repeat.seq", "@fence_spec-repeat.png", "@fence_spec-repeat.ppm",
                "@f_spec.seq", "@f_spec.png", "@f_spec.ppm"};
    EXPECT_EQ(repeat, expected);
}

TEST(StatueGrid, Cells)
{
    // The middle three quarters split into 8; the outer cells reach the edges.
    float w = 800;
    EXPECT_EQ(statue_cell(0, w), 0);
    EXPECT_EQ(statue_cell(100, w), 0);
    EXPECT_EQ(statue_cell(176, w), 1);
    EXPECT_EQ(statue_cell(699, w), 7);
    EXPECT_EQ(statue_cell(800, w), 7);
    EXPECT_EQ(statue_cell(-1e30f, w), 0);
    EXPECT_EQ(statue_cell(NAN, w), 0);
    // Statues without a collision shape take no part.
    Slope s;
    add_statue(s.t, 1, 0, 1, 0, "null", "null", "null");
    rebuild_statue_grid(s.t->extent);
    for (const std::vector<int> &cell : track_furniture.statue_cells)
        EXPECT_TRUE(cell.empty());
}

TEST(Flaggers, GateLapBoardAndFlaggers)
{
    Slope s;
    TempDir dir;
    std::string path = dir.write("flaggers", "[1 2 3] [4 5 6] 8 2 1.5\n"
                                             "g0.png g1.png g2.png g3.png g4.png\n"
                                             "[1 0 1] 2 1 lap0 lap1 lap2 lap3\n"
                                             "[2 0 2] 2 1 0 5 -7 1 fa fb\n"
                                             "[3 0 3] 2 1 1 1 1 1 fc\n");
    read_flaggers(s.t, path.c_str(), 3);
    const Furniture &f = track_furniture;
    EXPECT_EQ(f.starting_gate.billboard, 0);
    EXPECT_EQ(f.starting_gate.end[2], 6);
    EXPECT_EQ(f.starting_gate.duration, 1.5f);
    EXPECT_EQ(f.starting_gate.texture_names[4], "g4.png");
    EXPECT_EQ(f.billboards[0].texture_name, "g0.png");
    EXPECT_EQ(f.billboards[0].width_factor, 4);
    EXPECT_EQ(f.lap_board.billboard, 1);
    EXPECT_EQ(f.lap_board.texture_names[3], "lap3");
    ASSERT_EQ(f.flaggers.size(), 1u);  // the second lacks a texture
    int gates[4] = {0, 2, -1, 1};
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(f.flaggers[0].gates[k], gates[k]);
    EXPECT_EQ(f.flaggers[0].texture_names[1], "fb");
    EXPECT_EQ(f.billboards[f.flaggers[0].billboard].texture_name, "fa");

    // A file that ends inside the starting gate leaves both unset.
    clear_furniture();
    path = dir.write("short", "[1 2 3] [4 5 6] 8 2 1.5 a b c\n");
    read_flaggers(s.t, path.c_str(), 3);
    EXPECT_EQ(track_furniture.starting_gate.billboard, -1);
    EXPECT_EQ(track_furniture.lap_board.billboard, -1);
    EXPECT_TRUE(track_furniture.billboards.empty());
}

TEST(Cameras, PendingValuesApplyToTheNextCamera)
{
    Slope s;
    TempDir dir;
    std::string path = dir.write("cameras", "fov -60\n"
                                            "autofovsize 12\n"
                                            "gate 0 3 300 4\n"
                                            "addcamera 1 5 2\n"
                                            "fov 30\n"
                                            "gate 4 x 5\n"
                                            "addcamera 3 0 3\n"
                                            "something else\n"
                                            "addcamera 4 1\n");
    read_cameras(s.t, path.c_str());
    const Furniture &f = track_furniture;
    ASSERT_EQ(f.cameras.size(), 2u);
    EXPECT_EQ(f.cameras[0].fov, 60);
    EXPECT_EQ(f.cameras[0].framing, 12);
    EXPECT_FLOAT_EQ(f.cameras[0].y, 0.5f + 2 + 5);
    EXPECT_EQ(f.cameras[1].fov, 30);
    EXPECT_EQ(f.cameras[1].framing, 0);
    EXPECT_EQ(f.cameras[1].yaw, 0);
    EXPECT_EQ(f.camera_by_gate[0], 0);
    EXPECT_EQ(f.camera_by_gate[3], 0);
    EXPECT_EQ(f.camera_by_gate[4], 1);  // reassigned to the second camera
    EXPECT_EQ(f.camera_by_gate[5], -1);
    EXPECT_EQ(f.camera_by_gate[1], -1);
}

TEST(Lighting, DefaultsKeywordsAndClamps)
{
    TempDir dir;
    Lighting l;
    read_lighting(&l, dir.file("none").c_str());
    EXPECT_NEAR(l.sun_vector[0], 1 / sqrtf(3), 1e-6);
    EXPECT_EQ(l.ambient[0], 0.5f);
    EXPECT_EQ(l.near_plane, 0.25f);
    EXPECT_EQ(l.far_plane, 5000);
    EXPECT_EQ(l.sky[0], "@sky-n.ppm");
    EXPECT_EQ(l.sky[4], "@sky-u.ppm");
    EXPECT_EQ(l.sky_env, "@sky-env.ppm");
    EXPECT_EQ(l.fog_density, 0);

    std::string path = dir.write("lighting", "  sun_vector [ 0 2 0 ]\n"
                                             "\tsun_color [0.5 0.6 0.7]  \n"
                                             "ambient [0.1 0.2 0.3]\n"
                                             "global_ambient [1 1 1]\n"
                                             "sky_e @east.png\n"
                                             "sky_env  @env.png  \n"
                                             "\n"
                                             "fog [0.1 0.2 0.3] 0.01\n"
                                             "dynamic_lighting 2\n"
                                             "near_plane 0\n"
                                             "far_plane 1e9\n"
                                             "flare_element [0.5 2] [1 1 1] 0 @f.png\n"
                                             "flare_vector [1 2 3]\n");
    read_lighting(&l, path.c_str());
    EXPECT_EQ(l.sun_vector[1], 1);
    EXPECT_EQ(l.sun_colour[2], 0.7f);
    EXPECT_EQ(l.ambient[1], 0.2f);
    EXPECT_EQ(l.global_ambient[0], 1);
    EXPECT_EQ(l.sky[1], "@east.png");
    EXPECT_EQ(l.sky[0], "@sky-n.ppm");
    EXPECT_EQ(l.sky_env, "@env.png");
    EXPECT_EQ(l.fog_density, 0.01f);
    EXPECT_EQ(l.dynamic_lighting, 1);
    EXPECT_EQ(l.near_plane, 0.0009765625f);
    EXPECT_EQ(l.far_plane, 1048576.0f);
    ASSERT_EQ(l.flares.size(), 1u);
    EXPECT_EQ(l.flares[0].type, 1);
    EXPECT_EQ(l.flares[0].element_count, 1);
    EXPECT_EQ(l.flares[0].elements[0].texture_name, "@f.png");

    path = dir.write("lighting2", "near_plane 0.25\nfar_plane 0.1\n");
    read_lighting(&l, path.c_str());
    EXPECT_EQ(l.far_plane, 0.25f);
    EXPECT_EQ(l.flares.size(), 0u);
    path = dir.write("lighting3", "near_plane 5\nsun_vector [0 0 0]\n");
    read_lighting(&l, path.c_str());
    EXPECT_EQ(l.near_plane, 0.875f);
    EXPECT_NEAR(l.sun_vector[0], 1 / sqrtf(3), 1e-6);
}

TEST(Lighting, FlaresAndUnknownKeywords)
{
    TempDir dir;
    std::string text;
    for (int k = 0; k < 9; k++)
        text += "flare_element [" + std::to_string(k) + " 1] [1 0 0] 0 @e" + std::to_string(k) + ".png\n";
    text += "flare_point [5 6 7]\nflare_element [1 1] [1 1 1] 1 @x.png\nflare_vector [0 1 0]\n"
            "dynamic_lighting 1\nbogus stuff\nnear_plane 0.5\n";
    std::string path = dir.write("lighting", text);
    Lighting l;
    clear_message_log();
    read_lighting(&l, path.c_str());
    ASSERT_EQ(l.flares.size(), 2u);
    EXPECT_EQ(l.flares[0].element_count, 8);  // the ninth is ignored
    EXPECT_EQ(l.flares[0].elements[7].placement, 7);
    EXPECT_EQ(l.flares[0].type, 0);
    EXPECT_EQ(l.flares[0].position[2], 7);
    EXPECT_EQ(l.flares[1].element_count, 1);
    EXPECT_EQ(l.dynamic_lighting, 1);
    EXPECT_STREQ(message_log_line(0), "Error reading lighting: Unknown identifier 'bogus'\n");
    EXPECT_EQ(l.near_plane, 0.25f);  // the rest of the file is skipped
}

TEST(Decals, ReadKeepsHeadlessDecalsAndWrites)
{
    TrackDirs dirs;
    Terrain *t = new Terrain();
    terrain_allocate(t, 1, 1.0f, 0, 1);
    dirs.write("t/decals", "[1 2] 0.5 4 2 @skid.png\n[3 4] 0 1 1\n");
    read_decals(t, "@t/", SURFACE_TEXTURES_NONE);
    ASSERT_EQ(t->decals.size(), 1u);
    const Decal &d = t->decals[0];
    EXPECT_EQ(d.x, 1);
    EXPECT_EQ(d.z, 2);
    EXPECT_FLOAT_EQ(d.sin_angle, sinf(0.5f));
    EXPECT_FLOAT_EQ(d.cos_angle, cosf(0.5f));
    EXPECT_EQ(d.length_ratio, 2);
    EXPECT_EQ(d.texture_name, "@skid.png");
    std::string out = dirs.temp.file("out");
    ASSERT_TRUE(write_decals(t, out.c_str()));
    EXPECT_EQ(read_file_bytes(out), "[1.000000 2.000000] 0.500000 4.000000 2.000000 @skid.png\n");
    // With in-memory images a decal whose picture cannot be read is dropped.
    t->decals.clear();
    read_decals(t, "@t/", SURFACE_TEXTURES_IMAGE);
    EXPECT_TRUE(t->decals.empty());
    delete t;
}

} // namespace
