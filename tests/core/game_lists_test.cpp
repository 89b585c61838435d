// Track and demo lists, and the rendering settings derived from the graphics items.
#include "core/game_lists.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/graphics_settings.h"
#include "data/render_settings.h"

namespace {

std::map<std::string, std::string> descs;

bool fake_desc(const char *directory, std::string *line)
{
    auto found = descs.find(directory);
    if (found == descs.end())
        return false;
    *line = found->second;
    return true;
}

TEST(TrackList, SortedByDisplayNameWithoutCase)
{
    descs = {{"mx1", "Zebra Hills"}, {"mx2", "alpine run"}, {"mx3", "Bog"}};
    const char *names[] = {"config", "mx1/desc", "mx1/terrain.hf", "mx2/terrain.hf.gz", "mx3/terrain.hf.scram",
                           "mx4/terrain.png", "terrain.hf", nullptr};
    TrackList list;
    build_track_list(names, fake_desc, &list);
    EXPECT_EQ(list.directories, (std::vector<std::string>{"mx2", "mx3", "mx1"}));
    EXPECT_EQ(list.names, (std::vector<std::string>{"alpine run", "Bog", "Zebra Hills"}));
    EXPECT_EQ(find_track(list, "mx1"), 2);
    EXPECT_EQ(find_track(list, "mx4"), -1);
}

TEST(TrackList, WithoutDescTheDirectoryNamesTheTrack)
{
    descs.clear();
    const char *names[] = {"woods/terrain.hf.gz.scram", "Canyon/terrain.hf", "beach/terrain.hf", nullptr};
    TrackList list;
    build_track_list(names, fake_desc, &list);
    EXPECT_EQ(list.names, (std::vector<std::string>{"beach", "Canyon", "woods"}));
    EXPECT_EQ(list.directories, list.names);
}

TEST(TrackList, ATerrainInSeveralVariantsIsOneTrack)
{
    descs.clear();
    const char *names[] = {"a/terrain.hf", "a/terrain.hf.gz", "a/terrain.hf.gz.scram", nullptr};
    TrackList list;
    build_track_list(names, fake_desc, &list);
    EXPECT_EQ(list.directories, std::vector<std::string>{"a"});
}

TEST(TrackList, NothingFound)
{
    const char *names[] = {"rabbithill/desc", "terrain.hf", nullptr};
    TrackList list;
    build_track_list(names, fake_desc, &list);
    EXPECT_TRUE(list.directories.empty());
    build_track_list(nullptr, fake_desc, &list);
    EXPECT_TRUE(list.names.empty());
}

TEST(DemoList, NamesWithoutDirectoryAndExtension)
{
    const char *names[] = {"demos/first.zvdemo", "demos/old/v1.2.zvdemo", "demos/notes.txt", "race.zvdemo",
                           "demos/.zvdemo", nullptr};
    DemoList list;
    list.page = 3;
    build_demo_list(names, &list);
    EXPECT_EQ(list.files,
              (std::vector<std::string>{"demos/first.zvdemo", "demos/old/v1.2.zvdemo", "demos/.zvdemo"}));
    EXPECT_EQ(list.names, (std::vector<std::string>{"first", "v1.2", ""}));
    EXPECT_EQ(list.page, 0);
}

TEST(GraphicsSettings, ItemDefaultsGiveTheSettingDefaults)
{
    RenderSettings computed;
    computed.terrain_detail = -1;
    computed.lod_scale = -1;
    computed.ground_texture_size = 0;
    compute_render_settings(GraphicsItems(), &computed);
    RenderSettings defaults;
    EXPECT_FLOAT_EQ(computed.terrain_detail, defaults.terrain_detail);
    EXPECT_EQ(computed.ground_texture_reduction, defaults.ground_texture_reduction);
    EXPECT_EQ(computed.ground_texture_size, defaults.ground_texture_size);
    EXPECT_FLOAT_EQ(computed.lod_scale, defaults.lod_scale);
    EXPECT_FLOAT_EQ(computed.lod_bias, defaults.lod_bias);
    EXPECT_EQ(computed.model_texture_reduction, defaults.model_texture_reduction);
    EXPECT_EQ(computed.roost_frequency, defaults.roost_frequency);
    EXPECT_EQ(computed.texture_compression, defaults.texture_compression);
    EXPECT_EQ(computed.reflections, defaults.reflections);
}

TEST(GraphicsSettings, CompatibilityPresetIsWhatAFreshStartUses)
{
    GraphicsItems items;
    apply_compatibility_preset(&items);
    RenderSettings settings;
    compute_render_settings(items, &settings);
    EXPECT_FLOAT_EQ(settings.terrain_detail, 0.125f / 70);
    EXPECT_EQ(settings.ground_texture_size, 64);
    EXPECT_EQ(settings.ground_texture_reduction, 1);
    EXPECT_EQ(settings.model_texture_reduction, 1);
    EXPECT_EQ(settings.roost_frequency, 1000);
    EXPECT_EQ(settings.texture_compression, 0);
    EXPECT_EQ(settings.reflections, 1);
}

TEST(GraphicsSettings, Formulas)
{
    struct {
        double ground_detail, levels;
        int resolution;
        double model_detail, texture_detail, roost;
        float terrain_detail;
        int ground_reduction, size;
        float lod_scale, lod_bias;
        int model_reduction, roost_frequency;
    } const cases[] = {
        {70, 9, 1, 25, 7, 0, 0.125f / 70, 1, 64, 1.5f * 1.5f * 1.5f, 12.5f, 3, 0},
        {100, 10, 5, 100, 10, 1000, 0.00125f, 0, 1024, 0, 0, 0, 1000},
        {0, 0, 0, 0, 0, 999.9, 0.125f, 10, 32, 8, 50, 10, 999},  // detail 0 stays finite
        {50, 2.5, 3, 30, 9.5, 250, 0.0025f, 7, 256, 1.4f * 1.4f * 1.4f, 0, 0, 250},
    };
    for (const auto &c : cases) {
        GraphicsItems items;
        items.ground_geometric_detail = c.ground_detail;
        items.ground_texture_levels = c.levels;
        items.ground_texture_resolution = c.resolution;
        items.model_geometric_detail = c.model_detail;
        items.model_texture_detail = c.texture_detail;
        items.roost_density = c.roost;
        items.compress_textures = 2;
        items.enable_reflections = 0;
        RenderSettings settings;
        compute_render_settings(items, &settings);
        SCOPED_TRACE(c.ground_detail);
        EXPECT_FLOAT_EQ(settings.terrain_detail, c.terrain_detail);
        EXPECT_EQ(settings.ground_texture_reduction, c.ground_reduction);
        EXPECT_EQ(settings.ground_texture_size, c.size);
        EXPECT_NEAR(settings.lod_scale, c.lod_scale, 1e-5);
        EXPECT_NEAR(settings.lod_bias, c.lod_bias, 1e-5);
        EXPECT_EQ(settings.model_texture_reduction, c.model_reduction);
        EXPECT_EQ(settings.roost_frequency, c.roost_frequency);
        EXPECT_EQ(settings.texture_compression, 2);
        EXPECT_EQ(settings.reflections, 0);
    }
}

} // namespace
