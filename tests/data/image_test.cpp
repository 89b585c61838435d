// Image readers, mipmap chains, the image cache and the PNG writers.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/image.h"
#include "data/image_local.h"
#include "data/render_settings.h"
#include "data/stream.h"
#include "data_test_util.h"
#include "platform/log.h"
#include "platform/message_log.h"

namespace {

// --- a small PNG encoder, so fixtures can carry any colour type and chunk order ---

void put32(std::string &out, uint32_t v)
{
    for (int i = 3; i >= 0; i--)
        out += (char)(v >> (8 * i));
}

void chunk(std::string &out, const char *type, const std::string &data)
{
    put32(out, (uint32_t)data.size());
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, (uint32_t)crc32(0, (const Bytef *)body.data(), (uInt)body.size()));
}

std::string text_chunk(const std::string &key, const std::string &text)
{
    return key + std::string(1, '\0') + text;
}

struct PngSpec {
    int width, height, depth, colour;
    std::string rows;                   // unfiltered row bytes, without the filter byte
    std::vector<std::string> text_before, text_after;
    std::string palette, transparency;  // PLTE and tRNS payloads
};

std::string make_png(const PngSpec &spec)
{
    static const int channels_of[] = {1, 0, 3, 1, 2, 0, 4};
    size_t row_bytes = ((size_t)spec.width * channels_of[spec.colour] * spec.depth + 7) / 8;
    std::string raw;
    for (int y = 0; y < spec.height; y++)
        raw += std::string(1, '\0') + spec.rows.substr((size_t)y * row_bytes, row_bytes);
    uLongf packed_size = compressBound((uLong)raw.size());
    std::string packed(packed_size, '\0');
    compress((Bytef *)packed.data(), &packed_size, (const Bytef *)raw.data(), (uLong)raw.size());
    packed.resize(packed_size);

    std::string out = "\x89PNG\r\n\x1a\n";
    std::string header;
    put32(header, (uint32_t)spec.width);
    put32(header, (uint32_t)spec.height);
    header += (char)spec.depth;
    header += (char)spec.colour;
    header += std::string(3, '\0');
    chunk(out, "IHDR", header);
    if (!spec.palette.empty())
        chunk(out, "PLTE", spec.palette);
    if (!spec.transparency.empty())
        chunk(out, "tRNS", spec.transparency);
    for (const std::string &t : spec.text_before)
        chunk(out, "tEXt", t);
    chunk(out, "IDAT", packed);
    for (const std::string &t : spec.text_after)
        chunk(out, "tEXt", t);
    chunk(out, "IEND", "");
    return out;
}

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += (char)v;
    return out;
}

// A stream over bytes in memory (the readers that take an open stream).
struct MemoryStream {
    TempDir dir;
    DataStream *stream;
    explicit MemoryStream(const std::string &content)
    {
        stream = stream_open(dir.write("image", content).c_str(), "rb");
    }
    ~MemoryStream() { stream_close(stream); }
};

std::vector<uint8_t> level_bytes(const uint8_t *pixels, int width, int height, int channels, int level)
{
    int w = width, h = height;
    for (int i = 0; i < level; i++) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    const uint8_t *start = pixels + mip_level_offset(width, height, channels, level);
    return std::vector<uint8_t>(start, start + (size_t)w * h * channels);
}

struct ImageTest : ::testing::Test {
    DataDirs dirs;
    void SetUp() override
    {
        clear_message_log();
        free_image_cache();
        load_generation = 0;
        debug_level = 0;
        render_settings.model_texture_reduction = 0;
    }
    void TearDown() override
    {
        free_image_cache();
        load_generation = 0;
        debug_level = 0;
        render_settings.model_texture_reduction = 1;
    }
};

}  // namespace

// --- mipmap chains ---------------------------------------------------------------

TEST(MipChain, LevelsHalveAndOneStaysOne)
{
    struct Case {
        int w, h, channels, levels;
        size_t chain_bytes;  // whole chain plus one pixel
    };
    const Case cases[] = {
        {1, 1, 3, 1, 3 + 3},
        {4, 4, 4, 3, (16 + 4 + 1) * 4 + 4},
        {8, 2, 3, 4, (16 + 4 + 2 + 1) * 3 + 3},
        {1, 8, 1, 4, 8 + 4 + 2 + 1 + 1},
        {3, 5, 3, 3, (15 + 2 + 1) * 3 + 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        EXPECT_EQ(mip_level_count(c.w, c.h), c.levels);
        EXPECT_EQ(mip_chain_bytes(c.w, c.h, c.channels), c.chain_bytes);
    }
    EXPECT_EQ(mip_level_offset(8, 2, 3, 1), 48u);
    EXPECT_EQ(mip_level_offset(8, 2, 3, 2), 60u);
    EXPECT_EQ(mip_level_offset(8, 2, 3, 3), 66u);
}

TEST(MipChain, GreyAndRgbAverageRoundDown)
{
    // 2x2 grey: (1 + 2 + 3 + 5) / 4 = 2 (11 / 4 rounded down).
    std::vector<uint8_t> grey(mip_chain_bytes(2, 2, 1));
    uint8_t g0[] = {1, 2, 3, 5};
    memcpy(grey.data(), g0, 4);
    build_mip_chain(grey.data(), 2, 2, 1);
    EXPECT_EQ(grey[4], 2);

    // 4x1 RGB: a one-pixel-high level averages pairs.
    std::vector<uint8_t> rgb(mip_chain_bytes(4, 1, 3));
    uint8_t r0[] = {10, 0, 255, 11, 1, 254, 100, 50, 0, 201, 51, 3};
    memcpy(rgb.data(), r0, sizeof r0);
    build_mip_chain(rgb.data(), 4, 1, 3);
    EXPECT_EQ(level_bytes(rgb.data(), 4, 1, 3, 1), (std::vector<uint8_t>{10, 0, 254, 150, 50, 1}));
    EXPECT_EQ(level_bytes(rgb.data(), 4, 1, 3, 2), (std::vector<uint8_t>{80, 25, 127}));
}

TEST(MipChain, AlphaWeightedAverageAndMaxAlpha)
{
    struct Case {
        const char *what;
        uint8_t pixels[16];
        bool max_alpha;
        uint8_t expected[4];
    };
    const Case cases[] = {
        // Only the opaque red counts fully: colour (255*255 + 0*85) / 340 = 191.
        {"weighted", {255, 0, 0, 255, 0, 0, 255, 85, 0, 0, 0, 0, 0, 0, 0, 0}, false, {191, 0, 63, 85}},
        {"all transparent is a plain average", {200, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 8, 0}, false,
         {60, 25, 2, 0}},
        {"all opaque is a plain average", {200, 100, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 40, 0, 8, 255}, false,
         {60, 25, 2, 255}},
        {"max alpha", {255, 0, 0, 255, 0, 0, 255, 85, 0, 0, 0, 0, 0, 0, 0, 0}, true, {191, 0, 63, 255}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> px(mip_chain_bytes(2, 2, 4));
        memcpy(px.data(), c.pixels, 16);
        build_mip_chain_alpha(px.data(), 2, 2, 4, c.max_alpha);
        EXPECT_EQ(level_bytes(px.data(), 2, 2, 4, 1), std::vector<uint8_t>(c.expected, c.expected + 4));
    }
}

TEST_F(ImageTest, CustomMipLevelsAreCutOutOfTheImage)
{
    // An 8x12 grey image holds an 8x8 texture: level 1 (4x4) below level 0,
    // level 2 (2x2) to the right of level 1, level 3 (1x1) below level 2.
    DecodedImage image;
    image.width = 8;
    image.height = 12;
    image.channels = 1;
    image.pixels = alloc_image_pixels(8, 12, 1);
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 8; x++)
            image.pixels[y * 8 + x] = (uint8_t)(y * 16 + x);
    image.options = "[mip_custom]";
    prepare_mip_chain(&image, "custom.png");
    ASSERT_EQ(image.width, 8);
    ASSERT_EQ(image.height, 8);
    auto block = [](int x0, int y0, int w, int h) {
        std::vector<uint8_t> out;
        for (int y = y0; y < y0 + h; y++)
            for (int x = x0; x < x0 + w; x++)
                out.push_back((uint8_t)(y * 16 + x));
        return out;
    };
    EXPECT_EQ(level_bytes(image.pixels, 8, 8, 1, 0), block(0, 0, 8, 8));
    EXPECT_EQ(level_bytes(image.pixels, 8, 8, 1, 1), block(0, 8, 4, 4));
    EXPECT_EQ(level_bytes(image.pixels, 8, 8, 1, 2), block(4, 8, 2, 2));
    EXPECT_EQ(level_bytes(image.pixels, 8, 8, 1, 3), block(4, 10, 1, 1));
    EXPECT_FALSE(posted("Warning: Invalid height for custom MIP map in 'custom.png'"));
    free_decoded_image(&image);

    // A height that is not 1.5 times a texture height: warned and used as it is.
    image.width = 4;
    image.height = 4;
    image.channels = 1;
    image.pixels = alloc_image_pixels(4, 4, 1);
    memset(image.pixels, 8, 16);
    image.options = "x [mip_custom] y";
    prepare_mip_chain(&image, "odd.png");
    EXPECT_TRUE(posted("Warning: Invalid height for custom MIP map in 'odd.png'"));
    EXPECT_EQ(image.height, 4);
    EXPECT_EQ(level_bytes(image.pixels, 4, 4, 1, 1), std::vector<uint8_t>(4, 8));
    free_decoded_image(&image);
}

TEST_F(ImageTest, ResampleToPowerOfTwoIsNearestNeighbour)
{
    DecodedImage image;
    image.width = 3;
    image.height = 1;
    image.channels = 1;
    image.pixels = alloc_image_pixels(3, 1, 1);
    uint8_t row[] = {10, 20, 30};
    memcpy(image.pixels, row, 3);
    ASSERT_TRUE(resample_to_power_of_two(&image, "row.ppm"));
    EXPECT_TRUE(posted("Warning: Non power of 2 texture 'row.ppm'"));
    EXPECT_EQ(image.width, 4);
    // x * 3 / 4: 0, 0, 1, 2.
    EXPECT_EQ(level_bytes(image.pixels, 4, 1, 1, 0), (std::vector<uint8_t>{10, 10, 20, 30}));
    EXPECT_EQ(level_bytes(image.pixels, 4, 1, 1, 1), (std::vector<uint8_t>{10, 25}));
    free_decoded_image(&image);

    clear_message_log();
    image.width = image.height = 4;
    image.channels = 3;
    image.pixels = alloc_image_pixels(4, 4, 3);
    memset(image.pixels, 1, 48);
    EXPECT_TRUE(resample_to_power_of_two(&image, "square.png"));
    EXPECT_FALSE(posted("Warning: Non power of 2 texture 'square.png'"));
    free_decoded_image(&image);
}

TEST(MipChain, DetailDropStopsAt128)
{
    struct Case {
        int w, h, drop, out_w, out_h;
    };
    const Case cases[] = {
        {1024, 1024, 2, 256, 256},
        {256, 128, 2, 256, 128},
        {512, 256, 3, 256, 128},
        {1024, 1024, 0, 1024, 1024},
    };
    for (const Case &c : cases) {
        DecodedImage image;
        image.width = c.w;
        image.height = c.h;
        image.channels = 1;
        image.pixels = alloc_image_pixels(c.w, c.h, 1);
        for (int y = 0; y < c.h; y++)
            for (int x = 0; x < c.w; x++)
                image.pixels[(size_t)y * c.w + x] = (uint8_t)((x / 16 + y / 16) * 7);
        build_mip_chain(image.pixels, c.w, c.h, 1);
        std::vector<uint8_t> expected = level_bytes(image.pixels, c.w, c.h, 1, mip_level_count(c.w, c.h) -
                                                                                   mip_level_count(c.out_w, c.out_h));
        drop_mip_levels(&image, c.drop);
        EXPECT_EQ(image.width, c.out_w);
        EXPECT_EQ(image.height, c.out_h);
        EXPECT_EQ(level_bytes(image.pixels, c.out_w, c.out_h, 1, 0), expected);
        free_decoded_image(&image);
    }
}

// --- the text-headed formats ------------------------------------------------------

TEST(Predictive, Q7WithZeroResidualsIsAllZero)
{
    MemoryStream m("Q7\n3 2\n" + std::string(3 * 2 * 4, '\0'));
    char word[16];
    ASSERT_EQ(stream_scanf(m.stream, "%15s", word), 1);
    DecodedImage image;
    ASSERT_TRUE(read_predictive_image(m.stream, 4, 4, &image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(level_bytes(image.pixels, 3, 2, 4, 0), std::vector<uint8_t>(24, 0));
    free_decoded_image(&image);
}

TEST(Predictive, PredictorUsesLeftUpAndClampedGradient)
{
    // One channel shown (Q6 with equal channels): values 100 50 / 200 ?.
    // Residuals: 100; 50-100 = -50 (206); 200-100 = 100; last pixel's
    // prediction is clamp(200 + 50 - 100) = 150, residual 7 gives 157.
    std::string data;
    for (int r : {100, 206, 100, 7})
        data += std::string(3, (char)r);
    MemoryStream m("Q6 # a comment line\n  # another\n2\n# before the height\n2\n" + data);
    uint8_t *pixels = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(read_rgb_image(m.stream, &pixels, &w, &h));
    ASSERT_EQ(w, 2);
    ASSERT_EQ(h, 2);
    std::vector<uint8_t> expected;
    for (int v : {100, 50, 200, 157})
        expected.insert(expected.end(), 3, (uint8_t)v);
    EXPECT_EQ(level_bytes(pixels, 2, 2, 3, 0), expected);
    EXPECT_EQ(level_bytes(pixels, 2, 2, 3, 1), std::vector<uint8_t>(3, 126));  // 507 / 4
    free_image_pixels(pixels);

    // The gradient is limited to 0..255: 10 + 250 - 0 would be 260.
    MemoryStream clamp("Q6 2 2\n" + bytes({0, 0, 0, 250, 250, 250, 10, 10, 10, 1, 1, 1}));
    ASSERT_TRUE(read_rgb_image(clamp.stream, &pixels, &w, &h));
    EXPECT_EQ(pixels[9], 0);  // (255 + 1) mod 256
    free_image_pixels(pixels);
}

TEST(Predictive, ChannelCountsConvert)
{
    // Q6 decoded into four channels: the fourth has no residuals and stays 0.
    MemoryStream q6("Q6 1 2\n" + bytes({1, 2, 3, 4, 5, 6}));
    char word[16];
    ASSERT_EQ(stream_scanf(q6.stream, "%15s", word), 1);
    DecodedImage image;
    ASSERT_TRUE(read_predictive_image(q6.stream, 3, 4, &image));
    EXPECT_EQ(level_bytes(image.pixels, 1, 2, 4, 0), (std::vector<uint8_t>{1, 2, 3, 0, 5, 7, 9, 0}));
    free_decoded_image(&image);

    // Q7 read as RGB drops the fourth residual of each pixel.
    MemoryStream q7("Q7 2 1\n" + bytes({1, 2, 3, 99, 1, 1, 1, 99}));
    uint8_t *pixels = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(read_rgb_image(q7.stream, &pixels, &w, &h));
    EXPECT_EQ(level_bytes(pixels, 2, 1, 3, 0), (std::vector<uint8_t>{1, 2, 3, 2, 3, 4}));
    free_image_pixels(pixels);
}

TEST(Pnm, SamplesScaleByTheMaximum)
{
    struct Case {
        const char *what;
        std::string file;
        bool grey;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"P3 max 15", "P3\n# comment\n2 1\n15\n0 15 # mid-data comment\n 7\n15 5 1\n", false,
         {0, 255, 119, 255, 85, 17}},
        {"P6 max 255 unscaled", "P6 1 1 255\n" + bytes({1, 128, 254}), false, {1, 128, 254}},
        {"P6 max 100 clamps above", "P6 1 1 100\n" + bytes({50, 100, 200}), false, {127, 255, 255}},
        {"P6 two-byte samples", "P6 1 1 1000\n" + bytes({0, 0, 0x01, 0xF4, 0x03, 0xE8}), false, {0, 127, 255}},
        {"P2 max 3", "P2 #c\n3 1 #c\n3\n0 1 3\n", true, {0, 85, 255}},
        {"P5 max 127", "P5 2 1 127\n" + bytes({127, 64}), true, {255, 128}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MemoryStream m(c.file);
        uint8_t *pixels = nullptr;
        int w = 0, h = 0;
        bool ok = c.grey ? read_pgm(m.stream, &pixels, &w, &h) : read_rgb_image(m.stream, &pixels, &w, &h);
        ASSERT_TRUE(ok) << last_image_error();
        EXPECT_EQ(w * h * (c.grey ? 1 : 3), (int)c.expected.size());
        EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + c.expected.size()), c.expected);
        free_image_pixels(pixels);
    }
}

TEST(Pnm, BadFilesFailWithAMessage)
{
    struct Case {
        const char *what;
        std::string file;
        bool grey;
        const char *error;
    };
    const Case cases[] = {
        {"no dimensions", "P6 x", false, "Can't get PPM dimensions"},
        {"one dimension", "P6 4", false, "Can't get PPM dimensions"},
        {"no maximum", "P6 4 4 z", false, "Can't parse PPM header"},
        {"zero maximum", "P6 4 4 0 ", false, "Can't parse PPM header"},
        {"unknown magic", "P7 1 1 255 ", false, "Can't parse PPM header"},
        {"pgm magic", "P6 1 1 255 ", true, "Can't parse PGM header"},
        {"pgm dimensions", "P5 -1 1 255 ", true, "Bad PGM dimensions (-1x1)"},
        {"huge", "P6 16385 1 255 ", false, "Bad PPM dimensions (16385x1)"},
        {"huge area", "P5 16384 16384 255 ", true, "Bad PGM dimensions (16384x16384)"},
        {"truncated binary", "P6 100 100 255\n" + std::string(50, 'x'), false, "Truncated PPM data"},
        {"truncated text", "P2 2 2 255\n1 2 3", true, "Truncated PGM data"},
        {"empty", "", false, "Can't parse PPM header"},
        {"q7 truncated", "Q7 1000 1000\n" + std::string(10, 'x'), false, "Truncated Q7 data"},
        {"q6 no separator", "Q6 1 1", false, "Truncated Q6 data"},
        {"q6 dimensions", "Q6 # only a comment", false, "Can't get Q6 dimensions"},
        {"q6 zero", "Q6 0 5\n", false, "Bad Q6 dimensions (0x5)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MemoryStream m(c.file);
        uint8_t *pixels = (uint8_t *)1;
        int w = 0, h = 0;
        bool ok = c.grey ? read_pgm(m.stream, &pixels, &w, &h) : read_rgb_image(m.stream, &pixels, &w, &h);
        EXPECT_FALSE(ok);
        EXPECT_EQ(pixels, nullptr);
        EXPECT_STREQ(last_image_error(), c.error);
    }
}

// --- PNG --------------------------------------------------------------------------------

TEST_F(ImageTest, PngTransformsGiveThreeOrFourChannels)
{
    struct Case {
        const char *what;
        PngSpec spec;
        int channels;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"rgb", {2, 1, 8, 2, bytes({1, 2, 3, 4, 5, 6}), {}, {}, "", ""}, 3, {1, 2, 3, 4, 5, 6}},
        {"rgba", {1, 1, 8, 6, bytes({1, 2, 3, 4}), {}, {}, "", ""}, 4, {1, 2, 3, 4}},
        {"grey to rgb", {2, 1, 8, 0, bytes({7, 200}), {}, {}, "", ""}, 3, {7, 7, 7, 200, 200, 200}},
        {"grey 2-bit expanded", {2, 1, 2, 0, bytes({0xD0}), {}, {}, "", ""}, 3, {255, 255, 255, 85, 85, 85}},
        {"grey alpha", {1, 1, 8, 4, bytes({9, 128}), {}, {}, "", ""}, 4, {9, 9, 9, 128}},
        {"16-bit stripped", {1, 1, 16, 2, bytes({0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00}), {}, {}, "", ""}, 3,
         {0x12, 0xAB, 0xFF}},
        {"palette", {2, 1, 8, 3, bytes({1, 0}), {}, {}, bytes({10, 20, 30, 40, 50, 60}), ""}, 3,
         {40, 50, 60, 10, 20, 30}},
        {"palette with transparency", {2, 1, 8, 3, bytes({1, 0}), {}, {}, bytes({10, 20, 30, 40, 50, 60}),
                                       bytes({0})},
         4, {40, 50, 60, 255, 10, 20, 30, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = dirs.temp.write(std::string(c.what) + ".png", make_png(c.spec));
        DecodedImage image;
        ASSERT_TRUE(read_png_image(path.c_str(), &image)) << last_image_error();
        EXPECT_EQ(image.channels, c.channels);
        EXPECT_EQ(level_bytes(image.pixels, image.width, image.height, image.channels, 0), c.expected);
        free_decoded_image(&image);
    }
}

TEST_F(ImageTest, PngOptionTextJoinsChunksAndInfoFile)
{
    PngSpec spec = {1, 1, 8, 2, bytes({1, 2, 3}), {text_chunk("Comment", "[compress]")},
                    {text_chunk("Comment", "[numberbackground:1,0,0]")}, "", ""};
    std::string path = dirs.temp.write("opt.png", make_png(spec));
    DecodedImage image;
    ASSERT_TRUE(read_png_image(path.c_str(), &image));
    EXPECT_EQ(image.options, "[compress]\n[numberbackground:1,0,0]");
    free_decoded_image(&image);

    dirs.temp.write("opt.png.info", "[mip_max_alpha]\n");
    ASSERT_TRUE(read_png_image(path.c_str(), &image));
    EXPECT_EQ(image.options, "[compress]\n[numberbackground:1,0,0]\n[mip_max_alpha]\n");
    free_decoded_image(&image);

    // Without text chunks the ".info" file is the whole option text.
    spec.text_before.clear();
    spec.text_after.clear();
    path = dirs.temp.write("plain.png", make_png(spec));
    dirs.temp.write("plain.png.info", "[mip_custom]");
    ASSERT_TRUE(read_png_image(path.c_str(), &image));
    EXPECT_EQ(image.options, "[mip_custom]");
    free_decoded_image(&image);
}

TEST_F(ImageTest, ThreeByFivePngBecomesFourByEightWithWarning)
{
    std::string rows;
    for (int i = 0; i < 15; i++)
        rows += std::string(3, (char)(i * 10));
    dirs.write_data("odd.png", make_png({3, 5, 8, 2, rows, {}, {}, "", ""}));
    const uint8_t *pixels = nullptr;
    int w = 0, h = 0, ch = 0;
    ASSERT_TRUE(load_image("@odd.png", &pixels, &w, &h, &ch));
    EXPECT_TRUE(posted("Warning: Non power of 2 texture '@odd.png'"));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(ch, 3);
    // Pixel (x, y) comes from (x * 3 / 4, y * 5 / 8).
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(pixels[(y * 4 + x) * 3], (uint8_t)(((y * 5 / 8) * 3 + x * 3 / 4) * 10)) << x << "," << y;
}

TEST_F(ImageTest, PngFailuresAreReturnedNotThrown)
{
    std::string good = make_png({2, 2, 8, 2, std::string(12, 'a'), {}, {}, "", ""});
    std::string bad_crc = good;
    bad_crc[30] ^= 1;  // inside IHDR's CRC
    std::string huge = make_png({1, 1, 8, 2, "abc", {}, {}, "", ""});
    huge[16] = 0x01;  // width 16777217
    uint32_t crc = (uint32_t)crc32(0, (const Bytef *)huge.data() + 12, 17);
    for (int i = 0; i < 4; i++)
        huge[29 + i] = (char)(crc >> (8 * (3 - i)));
    // A text chunk whose length claims almost a gigabyte.
    std::string claim = good.substr(0, 33) + std::string("\x3b\0\0\x12tEXtComment", 15);
    const std::string cases[] = {
        "", "\x89PNG", "not a png at all", claim, good.substr(0, good.size() / 2), good.substr(0, 40), bad_crc, huge,
    };
    int k = 0;
    for (const std::string &bytes : cases) {
        SCOPED_TRACE(k);
        std::string path = dirs.temp.write("bad" + std::to_string(k++) + ".png", bytes);
        DecodedImage image;
        EXPECT_FALSE(read_png_image(path.c_str(), &image));
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_NE(std::string(last_image_error()), "");
        uint16_t *samples = (uint16_t *)1;
        int w = 0, h = 0;
        EXPECT_FALSE(load_png_gray16(path.c_str(), &samples, &w, &h));
        EXPECT_EQ(samples, nullptr);
    }
}

TEST_F(ImageTest, PngGray16ReadsSixteenBitSamples)
{
    struct Case {
        const char *what;
        PngSpec spec;
        std::vector<uint16_t> expected;
    };
    const Case cases[] = {
        {"grey 16", {2, 1, 16, 0, bytes({0x12, 0x34, 0xFF, 0xFE}), {}, {}, "", ""}, {0x1234, 0xFFFE}},
        {"grey 8 widened", {3, 1, 8, 0, bytes({0, 1, 255}), {}, {}, "", ""}, {0, 257, 65535}},
        {"grey 1-bit", {2, 1, 1, 0, bytes({0x80}), {}, {}, "", ""}, {65535, 0}},
        {"grey alpha stripped", {1, 1, 8, 4, bytes({10, 0}), {}, {}, "", ""}, {10 * 257}},
        {"rgb grey pixels", {2, 1, 8, 2, bytes({50, 50, 50, 255, 255, 255}), {}, {}, "", ""}, {50 * 257, 65535}},
        {"palette", {1, 1, 8, 3, bytes({0}), {}, {}, bytes({0, 0, 0}), ""}, {0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = dirs.temp.write(std::string(c.what) + ".png", make_png(c.spec));
        uint16_t *samples = nullptr;
        int w = 0, h = 0;
        ASSERT_TRUE(load_png_gray16(path.c_str(), &samples, &w, &h)) << last_image_error();
        EXPECT_EQ((size_t)w * h, c.expected.size());
        EXPECT_EQ(std::vector<uint16_t>(samples, samples + w * h), c.expected);
        free_gray16(samples);
    }
}

TEST_F(ImageTest, PngWritersRoundTrip)
{
    std::vector<uint8_t> rgb(5 * 3 * 3);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (uint8_t)(i * 37 + 5);
    std::string rgb_path = dirs.temp.file("shot.png");
    ASSERT_TRUE(write_png_rgb(rgb_path.c_str(), rgb.data(), 5, 3));
    DecodedImage image;
    ASSERT_TRUE(read_png_image(rgb_path.c_str(), &image));
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(level_bytes(image.pixels, 5, 3, 3, 0), rgb);
    free_decoded_image(&image);

    std::vector<uint16_t> grey = {0, 1, 255, 256, 0x1234, 0x8000, 0xFFFE, 0xFFFF};
    std::string grey_path = dirs.temp.file("terrain.png");
    ASSERT_TRUE(write_png_gray16(grey_path.c_str(), grey.data(), 4, 2));
    uint16_t *samples = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(load_png_gray16(grey_path.c_str(), &samples, &w, &h));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(std::vector<uint16_t>(samples, samples + 8), grey);
    free_gray16(samples);

    // The reader takes big-endian samples from files (the "grey 16" case
    // above), so this round trip also shows that the writer stores them so.

    dirs.temp.write("blocker", "a file, not a directory");
    EXPECT_FALSE(write_png_rgb(dirs.temp.file("blocker/x.png").c_str(), rgb.data(), 5, 3));
    EXPECT_FALSE(write_png_rgb(dirs.temp.file("zero.png").c_str(), rgb.data(), 0, 3));
}

TEST_F(ImageTest, RgbaImagesForFonts)
{
    std::string path = dirs.temp.write("font.png", make_png({1, 1, 8, 2, bytes({1, 2, 3}), {}, {}, "", ""}));
    uint8_t *pixels = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(load_rgba_image(path.c_str(), &pixels, &w, &h));
    EXPECT_EQ(level_bytes(pixels, 1, 1, 4, 0), (std::vector<uint8_t>{1, 2, 3, 255}));
    free_image_pixels(pixels);

    path = dirs.temp.write("font.q6", "Q6 2 1\n" + bytes({1, 2, 3, 1, 1, 1}));
    ASSERT_TRUE(load_rgba_image(path.c_str(), &pixels, &w, &h));
    EXPECT_EQ(level_bytes(pixels, 2, 1, 4, 0), (std::vector<uint8_t>{1, 2, 3, 0, 2, 3, 4, 0}));
    EXPECT_EQ(level_bytes(pixels, 2, 1, 4, 1), (std::vector<uint8_t>{1, 2, 3, 0}));
    free_image_pixels(pixels);

    path = dirs.temp.write("font.ppm", "P6 1 1 255 abc");
    EXPECT_FALSE(load_rgba_image(path.c_str(), &pixels, &w, &h));
    EXPECT_FALSE(load_rgba_image(dirs.temp.file("missing.png").c_str(), &pixels, &w, &h));
}

// --- ".seq" animations ---------------------------------------------------------------------

static std::string q7_pixel(int v)
{
    return "Q7 1 1\n" + bytes({v, v, v, 255});
}

TEST_F(ImageTest, SequenceWithoutLoopHoldsItsLastImage)
{
    dirs.write_data("frame.png", make_png({1, 1, 8, 6, bytes({7, 7, 7, 255}), {}, {}, "", ""}));
    MemoryStream m("ANIM1\n3 3 10 0\n2 0 1\n" + q7_pixel(10) + q7_pixel(20) + "PNG   @frame.png  \n");
    char word[16];
    ASSERT_EQ(stream_scanf(m.stream, "%15s", word), 1);
    ImageSequence seq;
    ASSERT_TRUE(read_image_sequence(m.stream, &seq));
    ASSERT_EQ(seq.images.size(), 3u);
    EXPECT_EQ(seq.images[2].pixels[0], 7);
    EXPECT_EQ(seq.ticks_per_frame, 10);
    EXPECT_FALSE(seq.loop);
    const int expected[][2] = {{-50, 2}, {0, 2}, {9, 2}, {10, 0}, {29, 1}, {30, 1}, {1000, 1}};
    for (const auto &e : expected)
        EXPECT_EQ(animation_image_index(&seq, 0, e[0]), e[1]) << e[0];
    seq.loop = true;
    EXPECT_EQ(animation_image_index(&seq, 100, 130), 2);
    EXPECT_EQ(animation_image_index(&seq, 100, 145), 0);
    free_image_sequence(&seq);
}

TEST_F(ImageTest, SequenceErrors)
{
    dirs.write_data("rgb.png", make_png({1, 1, 8, 2, bytes({7, 7, 7}), {}, {}, "", ""}));
    struct Case {
        std::string file;
        const char *message;
    };
    const Case cases[] = {
        {"1 1 10", "EOF while reading .seq"},
        {"2 1 10 0 0", "EOF while reading .seq"},
        {"2 1 10 0 0 x", "Error reading .seq frame 1"},
        {"2 1 10 0 0 1 " + q7_pixel(1), "Error reading .seq frame 1"},
        {"1 2 10 0 0 " + q7_pixel(1), "EOF while reading .seq"},
        {"1 1 10 0 0 PNG @missing.png\n", "Can't read @missing.png"},
        {"1 2 10 0 0 " + q7_pixel(1) + "Q7 2 1\n" + std::string(8, '\0'), "Width/height mismatch reading .seq"},
        {"1 2 10 0 0 " + q7_pixel(1) + "PNG @rgb.png", "Depth mismatch reading .seq"},
        {"1 1 0 0 0 " + q7_pixel(1), "Bad .seq header (1 frames, 1 images, 0 ticks per frame)"},
        {"-1 1 1 0", "Bad .seq header (-1 frames, 1 images, 1 ticks per frame)"},
        {"1 1 1 0 0 GIF", "Unknown image kind 'GIF' in .seq"},
        {"1 1 1 0 0 Q7 5000 5000\n", "Error reading .seq image 0: Truncated Q7 data"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        clear_message_log();
        MemoryStream m(c.file);
        ImageSequence seq;
        EXPECT_FALSE(read_image_sequence(m.stream, &seq));
        EXPECT_TRUE(posted(c.message)) << (message_log_line(0) ? message_log_line(0) : "(none)");
        EXPECT_TRUE(seq.images.empty());
    }
}

TEST_F(ImageTest, ImageFileKindsByFirstWord)
{
    dirs.write_data("a.ppm", "P6 1 1 255 abc");
    dirs.write_data("a.seq", "ANIM1 1 1 4 1 0 " + q7_pixel(3));
    dirs.write_data("a.link", "LINK   @a.ppm  \n");
    dirs.write_data("a.png", make_png({1, 1, 8, 2, bytes({1, 2, 3}), {}, {}, "", ""}));
    dirs.write_data("junk.png", "GIF89a");
    struct Case {
        const char *name;
        ImageFileKind kind;
    };
    const Case cases[] = {
        {"@a.ppm", IMAGE_FILE_IMAGE},  {"@a.seq", IMAGE_FILE_SEQUENCE}, {"@a.link", IMAGE_FILE_LINK},
        {"@a.png", IMAGE_FILE_IMAGE},  {"@junk.png", IMAGE_FILE_BAD},   {"@none.png", IMAGE_FILE_MISSING},
    };
    for (const Case &c : cases) {
        ImageFile file;
        EXPECT_EQ(read_image_file(c.name, &file), c.kind) << c.name;
        if (c.kind == IMAGE_FILE_LINK) {
            EXPECT_EQ(file.link_target, "@a.ppm");
        }
        if (c.kind == IMAGE_FILE_SEQUENCE) {
            EXPECT_EQ(file.sequence.images.size(), 1u);
        }
        free_image_file(&file);
    }
}

// --- links and the image cache ---------------------------------------------------------------

TEST_F(ImageTest, LinkToItselfEndsAtWhite)
{
    dirs.write_data("colors/white.png", make_png({1, 1, 8, 2, bytes({255, 255, 255}), {}, {}, "", ""}));
    dirs.write_data("self.png", "LINK @self.png");
    dirs.write_data("a.png", "LINK @b.png");
    dirs.write_data("b.png", "LINK\n@a.png\n");
    dirs.write_data("c.png", "LINK @b.png");
    for (const char *name : {"@self.png", "@a.png", "@c.png"}) {
        SCOPED_TRACE(name);
        const uint8_t *pixels = nullptr;
        int w = 0, h = 0, ch = 0;
        ASSERT_TRUE(load_image(name, &pixels, &w, &h, &ch));
        EXPECT_EQ(w, 1);
        EXPECT_EQ(ch, 3);
        EXPECT_EQ(level_bytes(pixels, 1, 1, 3, 0), std::vector<uint8_t>(3, 255));
    }
    // The link now names what it loaded.
    EXPECT_STREQ(find_link_target("@self.png"), "@colors/white.png");

    // A white image that links to itself has nothing to end at: it fails.
    free_image_cache();
    dirs.write_data("colors/white.png", "LINK @colors/white.png");
    const uint8_t *pixels = nullptr;
    int w = 0, h = 0;
    EXPECT_FALSE(load_image("@self.png", &pixels, &w, &h));
    EXPECT_TRUE(posted("Too many links following '@colors/white.png'"));
    EXPECT_EQ(find_link_target("@self.png"), nullptr);
}

TEST_F(ImageTest, LinkLoadsItsTarget)
{
    dirs.write_data("real.ppm", "P6 1 1 255 abc");
    dirs.write_data("alias.png", "LINK  @real.ppm ");
    const uint8_t *a = nullptr, *b = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(load_image("@alias.png", &a, &w, &h));
    EXPECT_EQ(a[0], 'a');
    EXPECT_STREQ(find_link_target("@alias.png"), "@real.ppm");
    ASSERT_TRUE(load_image("@real.ppm", &b, &w, &h));
    EXPECT_EQ(a, b);
    EXPECT_EQ(image_cache().size(), 1u);
}

TEST_F(ImageTest, CacheGenerationsAndPurge)
{
    dirs.write_data("start.ppm", "P6 1 1 255 abc");
    dirs.write_data("old.ppm", "P6 1 1 255 def");
    dirs.write_data("kept.ppm", "P6 1 1 255 ghi");
    dirs.write_data("new.ppm", "P6 1 1 255 jkl");
    const uint8_t *p = nullptr, *again = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(load_image("@start.ppm", &p, &w, &h));
    load_generation = 1;
    ASSERT_TRUE(load_image("@old.ppm", &p, &w, &h));
    ASSERT_TRUE(load_image("@kept.ppm", &p, &w, &h));
    load_generation = 2;
    ASSERT_TRUE(load_image("@new.ppm", &p, &w, &h));
    // A reused image of an old generation moves to the current one; the
    // case-insensitive match warns and gives the same pixels.
    ASSERT_TRUE(load_image("@KEPT.ppm", &again, &w, &h));
    EXPECT_TRUE(posted("Warning: case mismatch on '@KEPT.ppm'"));
    ASSERT_TRUE(load_image("@start.ppm", &p, &w, &h));
    EXPECT_EQ(image_cache()[0].generation, 0);
    EXPECT_EQ(image_cache()[2].generation, 2);
    EXPECT_EQ(image_cache().size(), 4u);

    debug_level = 1;
    purge_images();
    EXPECT_TRUE(posted("deleting image @old.ppm"));
    EXPECT_FALSE(posted("deleting image @kept.ppm"));
    ASSERT_EQ(image_cache().size(), 3u);
    EXPECT_EQ(image_cache()[0].name, "@start.ppm");
    EXPECT_EQ(image_cache()[1].name, "@kept.ppm");
    EXPECT_EQ(image_cache()[1].pixels, again);
    EXPECT_EQ(image_cache()[2].name, "@new.ppm");

    // The next track: everything but generation 0 goes.
    load_generation = 3;
    purge_images();
    ASSERT_EQ(image_cache().size(), 1u);
    EXPECT_EQ(image_cache()[0].name, "@start.ppm");

    // Missing images fail, and say so at debug level 1.
    EXPECT_FALSE(load_image("@nothing.ppm", &p, &w, &h));
    EXPECT_TRUE(posted("Can't open image \"@nothing.ppm\""));
}

TEST_F(ImageTest, ImageDetailReductionAndFullDetailPrefix)
{
    std::vector<uint8_t> big((size_t)1024 * 1024 * 3, 40);
    ASSERT_TRUE(write_png_rgb((dirs.data + "big.png").c_str(), big.data(), 1024, 1024));
    std::vector<uint8_t> wide((size_t)256 * 128 * 3, 40);
    ASSERT_TRUE(write_png_rgb((dirs.data + "wide.png").c_str(), wide.data(), 256, 128));
    ASSERT_TRUE(write_png_rgb((dirs.data + "full.png").c_str(), big.data(), 1024, 1024));
    render_settings.model_texture_reduction = 2;
    const uint8_t *p = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(load_image("@big.png", &p, &w, &h));
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);
    ASSERT_TRUE(load_image("@wide.png", &p, &w, &h));
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 128);
    ASSERT_TRUE(load_image("!@full.png", &p, &w, &h));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(image_cache().back().name, "@full.png");
}

// --- texture helpers ---------------------------------------------------------------------------

TEST(TextureHelpers, FlagsFromNameAndOptions)
{
    EXPECT_EQ(texture_repeat_flags("@sky-hrepeat.png"), TEXTURE_REPEAT_H);
    EXPECT_EQ(texture_repeat_flags("@fence-vrepeat.png"), TEXTURE_REPEAT_V);
    EXPECT_EQ(texture_repeat_flags("@dirt-repeat.png"), TEXTURE_REPEAT_H | TEXTURE_REPEAT_V);
    EXPECT_EQ(texture_repeat_flags("@repeat.png"), 0);
    EXPECT_EQ(texture_compress_flag("[compress]", 1), TEXTURE_COMPRESS);
    EXPECT_EQ(texture_compress_flag("", 1), 0);
    EXPECT_EQ(texture_compress_flag("[compress]", 0), 0);
    EXPECT_EQ(texture_compress_flag("", 2), TEXTURE_COMPRESS);
}

TEST(TextureHelpers, BorderColourIsTheCommonestEdgeColour)
{
    // Edge of a 3x3 image: three red (bin 7,0,0), three blue (bin 0,0,7), one
    // dark red (6,0,0), one green. Red and blue tie, and the lower bin index
    // (blue) wins; the red centre is not on the edge and does not count.
    const int colours[9][3] = {{255, 0, 0}, {250, 10, 0}, {0, 0, 255}, {0, 30, 255}, {255, 0, 0},
                               {0, 0, 255}, {255, 0, 0}, {0, 255, 0}, {255, 20, 20}};
    uint8_t rgb[27];
    for (int i = 0; i < 9; i++)
        for (int c = 0; c < 3; c++)
            rgb[i * 3 + c] = (uint8_t)colours[i][c];
    float colour[4];
    texture_border_colour(rgb, 3, 3, 3, colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), (std::vector<float>{0, 0, 1, 1}));

    rgb[7 * 3 + 1] = 0;
    rgb[7 * 3] = 255;  // the green pixel turns red: red now has four
    texture_border_colour(rgb, 3, 3, 3, colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), (std::vector<float>{1, 0, 0, 1}));

    // Dark grey quantises to 2/7.
    uint8_t grey[] = {80, 80, 80};
    texture_border_colour(grey, 1, 1, 3, colour);
    EXPECT_FLOAT_EQ(colour[0], 2.0f / 7);

    uint8_t rgba[] = {255, 255, 255, 255};
    texture_border_colour(rgba, 1, 1, 4, colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), (std::vector<float>{0, 0, 0, 0}));
}

TEST(TextureHelpers, PlateImageMapsColoursAndClearsTheRim)
{
    uint8_t *pixels = new_plate_canvas(4, 4);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(level_bytes(pixels, 4, 4, 4, 0)[3], 0);
    uint8_t *dark = pixels + (1 * 4 + 1) * 4;  // a dark glyph pixel
    dark[0] = dark[1] = dark[2] = 0;
    dark[3] = 255;
    uint8_t *light = pixels + (1 * 4 + 2) * 4;  // a white glyph pixel
    light[3] = 255;
    uint8_t *mid = pixels + (2 * 4 + 2) * 4;
    mid[0] = mid[1] = mid[2] = 51;
    mid[3] = 255;
    const uint8_t foreground[3] = {0, 0, 255};
    const uint8_t background[3] = {255, 255, 0};
    finish_plate_image(pixels, 4, 4, foreground, background);
    std::vector<uint8_t> level0 = level_bytes(pixels, 4, 4, 4, 0);
    EXPECT_EQ(std::vector<uint8_t>(level0.begin() + 20, level0.begin() + 28),
              (std::vector<uint8_t>{255, 255, 0, 255, 0, 0, 255, 255}));
    // 255 + (0 - 255) * 51 / 255 = 204 and 0 + 255 * 51 / 255 = 51.
    EXPECT_EQ(std::vector<uint8_t>(level0.begin() + 40, level0.begin() + 44),
              (std::vector<uint8_t>{204, 204, 51, 255}));
    for (int i : {0, 1, 2, 3, 4, 7, 8, 11, 12, 13, 14, 15})
        EXPECT_EQ(std::vector<uint8_t>(level0.begin() + i * 4, level0.begin() + i * 4 + 4),
                  (std::vector<uint8_t>{255, 255, 255, 0}))
            << i;
    EXPECT_EQ(level_bytes(pixels, 4, 4, 4, 1), std::vector<uint8_t>({255, 255, 255, 0, 255, 255, 255, 0, 255, 255,
                                                                     255, 0, 255, 255, 255, 0}));
    EXPECT_EQ(level_bytes(pixels, 4, 4, 4, 2), (std::vector<uint8_t>{255, 255, 255, 0}));
    free_image_pixels(pixels);
}
