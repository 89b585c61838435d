// Texture upload and the texture cache in a real (offscreen) GL context.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "data/image.h"
#include "data/render_settings.h"
#include "platform/message_log.h"
#include "render/texture.h"
#include "render_test_util.h"

namespace {

int level_size(unsigned id, int level, GLenum which)
{
    glBindTexture(GL_TEXTURE_2D, id);
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, which, &value);
    return value;
}

std::vector<uint8_t> read_level(unsigned id, int level, int channels)
{
    int w = level_size(id, level, GL_TEXTURE_WIDTH), h = level_size(id, level, GL_TEXTURE_HEIGHT);
    std::vector<uint8_t> out((size_t)w * h * channels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.data());
    return out;
}

std::string q7_pixel(int v)
{
    std::string out = "Q7 1 1\n";
    out += std::string(3, (char)v);
    out += (char)255;
    return out;
}

struct TextureTest : ::testing::Test {
    DataDirs dirs;
    void SetUp() override
    {
        if (!gl_context())
            GTEST_SKIP() << "no GL context";
        clear_message_log();
        free_textures();
        load_generation = 0;
        debug_level = 0;
        render_settings.model_texture_reduction = 0;
        render_settings.texture_compression = 1;
    }
    void TearDown() override
    {
        free_textures();
        load_generation = 0;
        debug_level = 0;
        render_settings.model_texture_reduction = 1;
    }
    void write_rgb(const std::string &name, int w, int h, int seed = 0)
    {
        std::vector<uint8_t> pixels((size_t)w * h * 3);
        for (size_t i = 0; i < pixels.size(); i++)
            pixels[i] = (uint8_t)(i / 3 * 10 + seed);
        ASSERT_TRUE(write_png_rgb((dirs.data + name).c_str(), pixels.data(), w, h));
    }
};

}  // namespace

TEST_F(TextureTest, ThreeByFivePngBecomesFourByEight)
{
    write_rgb("odd.png", 3, 5);
    unsigned id = load_texture("@odd.png");
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(posted("Warning: Non power of 2 texture '@odd.png'"));
    EXPECT_EQ(level_size(id, 0, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(level_size(id, 0, GL_TEXTURE_HEIGHT), 8);
    EXPECT_EQ(level_size(id, 3, GL_TEXTURE_WIDTH), 1);  // the whole chain is there
    std::vector<uint8_t> level0 = read_level(id, 0, 3);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(level0[(size_t)(y * 4 + x) * 3], (uint8_t)(((y * 5 / 8) * 3 + x * 3 / 4) * 10));
    EXPECT_STREQ(texture_name(id), "@odd.png");
    EXPECT_EQ(texture_memory, (4 * 8 + 2 * 4 + 1 * 2 + 1) * 3);
}

TEST_F(TextureTest, DetailReductionAndFullDetail)
{
    write_rgb("big.png", 1024, 1024);
    write_rgb("full.png", 1024, 1024);
    write_rgb("wide.png", 256, 128);
    render_settings.model_texture_reduction = 2;
    EXPECT_EQ(level_size(load_texture("@big.png"), 0, GL_TEXTURE_WIDTH), 256);
    EXPECT_EQ(level_size(load_texture("@wide.png"), 0, GL_TEXTURE_WIDTH), 256);
    EXPECT_EQ(level_size(load_texture("!@full.png"), 0, GL_TEXTURE_WIDTH), 1024);
}

TEST_F(TextureTest, CacheNamesLinksAndMissingFiles)
{
    write_rgb("colors/white.png", 1, 1, 255);
    write_rgb("Stone.png", 2, 2);
    dirs.write_data("self.png", "LINK @self.png");
    dirs.write_data("alias.png", "LINK @Stone.png\n");
    unsigned stone = load_texture("@Stone.png");
    ASSERT_NE(stone, 0u);
    EXPECT_EQ(load_texture("@stone.png"), stone);
    EXPECT_TRUE(posted("Warning: case mismatch on '@stone.png'"));
    EXPECT_EQ(load_texture("@alias.png"), stone);

    unsigned self = load_texture("@self.png");
    ASSERT_NE(self, 0u);
    EXPECT_STREQ(texture_name(self), "@colors/white.png");
    EXPECT_EQ(read_level(self, 0, 3), std::vector<uint8_t>(3, 255));
    EXPECT_EQ(texture_cache().size(), 2u);

    debug_level = 1;
    EXPECT_EQ(load_texture("@missing.png"), 0u);
    EXPECT_TRUE(posted("Can't open texture \"@missing.png\""));
    EXPECT_EQ(texture_name(12345), nullptr);
}

TEST_F(TextureTest, WrapFlagsAndOptions)
{
    write_rgb("sky-hrepeat.png", 2, 2);
    write_rgb("plain.png", 2, 2);
    dirs.write_data("plain.png.info", "[compress]");
    unsigned sky = load_texture("@sky-hrepeat.png");
    GLint s = 0, t = 0;
    glBindTexture(GL_TEXTURE_2D, sky);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &t);
    EXPECT_EQ(s, GL_REPEAT);
    EXPECT_EQ(t, GL_CLAMP_TO_EDGE);
    unsigned plain = load_texture("@plain.png");
    EXPECT_STREQ(texture_options(plain), "[compress]");
    EXPECT_STREQ(texture_options(sky), "");
}

TEST_F(TextureTest, AnimationWithoutLoopHoldsItsLastImage)
{
    dirs.write_data("flag.seq", "ANIM1\n3 2 10 0\n0 1 0\n" + q7_pixel(10) + q7_pixel(20));
    unsigned id = load_texture("@flag.seq");
    ASSERT_NE(id, 0u);
    ASSERT_EQ(texture_animations().size(), 1u);
    EXPECT_EQ(read_level(id, 0, 4)[0], 10);
    const int steps[][2] = {{5, 10}, {10, 20}, {20, 10}, {500, 10}};
    for (const auto &step : steps) {
        update_animations(step[0]);
        EXPECT_EQ(read_level(id, 0, 4)[0], step[1]) << step[0];
    }
    restart_animation(id, 1000);
    update_animations(1015);
    EXPECT_EQ(read_level(id, 0, 4)[0], 20);
    pause_animation(id);
    update_animations(1025);
    EXPECT_EQ(read_level(id, 0, 4)[0], 20);
}

TEST_F(TextureTest, PurgeDeletesOldGenerations)
{
    write_rgb("start.png", 2, 2);
    write_rgb("old.png", 2, 2);
    write_rgb("kept.png", 2, 2);
    dirs.write_data("old.seq", "ANIM1 1 1 1 1 0 " + q7_pixel(1));
    unsigned start = load_texture("@start.png");
    load_generation = 1;
    unsigned old = load_texture("@old.png");
    unsigned anim = load_texture("@old.seq");
    unsigned kept = load_texture("@kept.png");
    load_generation = 2;
    texture_memory = 0;
    EXPECT_EQ(load_texture("@kept.png"), kept);
    EXPECT_EQ(texture_memory, (4 + 1) * 3);  // counted again in its new generation
    debug_level = 1;
    purge_textures();
    EXPECT_TRUE(posted("deleting tid " + std::to_string(old) + " (@old.png)"));
    EXPECT_TRUE(posted("deleting anim 0 for tid " + std::to_string(anim)));
    EXPECT_TRUE(texture_animations().empty());
    EXPECT_FALSE(glIsTexture(old));
    EXPECT_TRUE(glIsTexture(start));
    EXPECT_TRUE(glIsTexture(kept));
    EXPECT_EQ(texture_cache().size(), 2u);
}

TEST_F(TextureTest, PlateTextureHasATransparentRim)
{
    const uint8_t foreground[3] = {0, 0, 0};
    const uint8_t background[3] = {255, 255, 255};
    unsigned id = make_plate_texture("12", 128, 128, foreground, background);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(level_size(id, 0, GL_TEXTURE_WIDTH), 128);
    std::vector<uint8_t> level0 = read_level(id, 0, 4);
    EXPECT_EQ(std::vector<uint8_t>(level0.begin(), level0.begin() + 4), (std::vector<uint8_t>{255, 255, 255, 0}));
    EXPECT_EQ(level0[(127 * 128 + 127) * 4 + 3], 0);
}
