// A bike's appearance: part models, skin fallbacks, normal and specular maps,
// plate colours from the PNG text, missing files, and the headless case.
#include "sim/bike_look.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "data/image.h"
#include "data/model.h"
#include "platform/message_log.h"
#include "sim/bike.h"

namespace {

const char *const one_triangle =
    "QM1\n"
    "12 0.5 0.1 0.2 0.3 3 1\n"
    "0 0 0 0 0 1 0 0.25  1 0 0 0 0 1 1 0  0 1 0 0 0 1 0 1\n"
    "0 1 2\n";

const char *const bike_parts[] = {"crf450v2013_frame.qm",      "crf450v2013_side_plates.qm",
                                  "crf450v2013_fork_upper.qm", "crf450v2013_front_plate.qm",
                                  "crf450v2013_fork_lower.qm", "crf450v2013_swingarm.qm",
                                  "front_wheel.qm",            "rear_wheel.qm"};
const char *const rider_parts[] = {"rider_body.qm", "rider_body_fp.qm", "rider_plate.qm", "rider_head.qm"};

// A 2x2 PNG whose text chunk holds `text` (none when empty).
std::string png_with_text(const TempDir &temp, const std::string &text)
{
    const uint8_t pixels[12] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    std::string path = temp.file("plain.png");
    EXPECT_TRUE(write_png_rgb(path.c_str(), pixels, 2, 2));
    std::string png = read_file_bytes(path);
    if (text.empty())
        return png;
    std::string body = "tEXtComment";
    body += '\0';
    body += text;
    uint32_t length = (uint32_t)body.size() - 4;
    uint32_t crc = (uint32_t)crc32(0, (const Bytef *)body.data(), (uInt)body.size());
    std::string chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk += (char)(length >> shift);
    chunk += body;
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk += (char)(crc >> shift);
    // After the signature (8 bytes) and the header chunk (25 bytes).
    return png.substr(0, 33) + chunk + png.substr(33);
}

// A texture loader standing in for the renderer: files that can be opened
// get ids from 100 on; every name asked for is recorded.
struct FakeGraphics {
    std::vector<std::string> asked;
    std::vector<std::string> loaded;  // index + 100 is the id
    std::vector<std::string> plates;  // text of each plate made, id 1000 + index
    std::vector<std::vector<int>> plate_colours;
    std::vector<unsigned> released;
};
FakeGraphics *fake = nullptr;

unsigned fake_load_texture(const char *name)
{
    fake->asked.push_back(name);
    DataStream *s = stream_open(name, "rb");
    if (!s)
        return 0;
    stream_close(s);
    for (size_t i = 0; i < fake->loaded.size(); i++)
        if (fake->loaded[i] == name)
            return 100 + (unsigned)i;
    fake->loaded.push_back(name);
    return 100 + (unsigned)fake->loaded.size() - 1;
}

unsigned fake_make_plate(const char *text, int width, int height, const uint8_t foreground[3],
                         const uint8_t background[3])
{
    EXPECT_EQ(width, 128);
    EXPECT_EQ(height, 128);
    fake->plates.push_back(text);
    fake->plate_colours.push_back({foreground[0], foreground[1], foreground[2], background[0], background[1],
                                   background[2]});
    return 1000 + (unsigned)fake->plates.size() - 1;
}

void fake_release(unsigned id)
{
    fake->released.push_back(id);
}

// A data directory with the crf450(2013) parts and skins (riders only when
// asked for), the caches and the message log emptied.
struct LookFixture : DataDirs {
    FakeGraphics graphics;
    explicit LookFixture(bool riders = false)
    {
        free_model_cache();
        reset_bike_look_caches();
        clear_message_log();
        for (const char *name : bike_parts)
            write_data(name, one_triangle);
        write_data("crf450v2013.png", png_with_text(temp, "[numberbackground:0.1,0.3,0.9][numberforeground:1,1,1]"));
        write_data("wheels.png", png_with_text(temp, ""));
        if (riders) {
            for (const char *name : rider_parts)
                write_data(name, one_triangle);
            write_data("rider_body.png", png_with_text(temp, ""));
            write_data("rider_head.png", png_with_text(temp, ""));
        }
    }
    ~LookFixture()
    {
        uninstall();
        free_model_cache();
        reset_bike_look_caches();
    }
    void install()
    {
        fake = &graphics;
        bike_graphics = BikeGraphics{fake_load_texture, fake_make_plate, fake_release};
    }
    static void uninstall()
    {
        bike_graphics = BikeGraphics{nullptr, nullptr, nullptr};
        fake = nullptr;
    }
};

Bike *make_bike(const char *body = nullptr, const char *head = nullptr, const char *skin = nullptr,
                const char *wheels = nullptr, const char *plate = "7")
{
    return create_bike("crf450(2013)", 0, plate, body, head, skin, wheels);
}

TEST(BikeLook, FindsItsPartModelsAndReportsMissingRiderFilesOnce)
{
    LookFixture fixture;
    Bike *first = make_bike();
    Bike *second = make_bike();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    for (int i = 0; i < BIKE_PART_COUNT; i++) {
        const char *expected = i < PART_RIDER_BODY ? bike_parts[i] : rider_parts[i - PART_RIDER_BODY];
        if (i < PART_RIDER_BODY) {
            ASSERT_NE(first->look.parts[i], nullptr) << expected;
            EXPECT_EQ(model_name(first->look.parts[i]), std::string("@") + expected);
            EXPECT_EQ(second->look.parts[i], first->look.parts[i]);  // shared through the model cache
        } else {
            EXPECT_EQ(first->look.parts[i], nullptr) << expected;
            EXPECT_EQ(second->look.parts[i], nullptr);
        }
        if (i >= PART_RIDER_BODY) {
            EXPECT_EQ(messages_containing((std::string("Warning: Can't load @") + expected).c_str()), 1) << expected;
        }
    }
    // The missing rider textures are reported once too.
    EXPECT_EQ(messages_containing("Warning: Can't load @rider_body.png"), 1);
    EXPECT_EQ(messages_containing("Warning: Can't load @rider_head.png"), 1);
    // The bike itself is whole: it rides with its shapes and bodies.
    EXPECT_TRUE(bike_state_finite(first));
    destroy_bike(first);
    destroy_bike(second);
}

TEST(BikeLook, HeadlessLoadsNoTexture)
{
    LookFixture fixture(true);
    Bike *bike = make_bike("@rider_body.png", "@rider_head.png", "@crf450v2013.png", "@wheels.png", "12");
    ASSERT_NE(bike, nullptr);
    for (const SkinLook &skin : bike->look.skins) {
        EXPECT_EQ(skin.texture, 0u);
        EXPECT_EQ(skin.normal_map, 0u);
        EXPECT_EQ(skin.specular_map, 0u);
        EXPECT_FALSE(skin.fell_back) << skin.requested;
        EXPECT_EQ(skin.texture_name, skin.requested);
    }
    EXPECT_EQ(bike->look.plate_texture, 0u);
    for (Model *part : bike->look.parts)
        EXPECT_NE(part, nullptr);
    EXPECT_EQ(messages_containing("Can't load"), 0);
    // The plate colours do not need a renderer.
    EXPECT_EQ(bike->look.plate_background[0], 25);
    destroy_bike(bike);
}

// The four skins fall back to the model's own textures when none is given,
// when the skin's texture does not load, or when a model drawn with it is
// missing; with and without a renderer alike.
TEST(BikeLook, SkinsFallBackToTheModelsOwnTextures)
{
    struct Case {
        bool riders;
        const char *skins[BIKE_SKIN_COUNT];  // bike, wheels, rider body, rider head
        const char *expected[BIKE_SKIN_COUNT];
        bool fell_back[BIKE_SKIN_COUNT];
    };
    const Case cases[] = {
        {true,
         {nullptr, nullptr, nullptr, nullptr},
         {"@crf450v2013.png", "@wheels.png", "@rider_body.png", "@rider_head.png"},
         {false, false, false, false}},
        {true,
         {"@red.png", "@wheels-gold.png", "@body-blue.png", "@rider_head.png"},
         {"@red.png", "@wheels-gold.png", "@body-blue.png", "@rider_head.png"},
         {false, false, false, false}},
        // Skins that do not exist.
        {true,
         {"@nothing.png", "@no-wheels.png", nullptr, "@no-head.png"},
         {"@crf450v2013.png", "@wheels.png", "@rider_body.png", "@rider_head.png"},
         {true, true, false, true}},
        // Skins that exist for riders whose models are missing.
        {false,
         {"@red.png", nullptr, "@body-blue.png", "@head-blue.png"},
         {"@red.png", "@wheels.png", "@rider_body.png", "@rider_head.png"},
         {false, false, true, true}},
    };
    for (bool renderer : {false, true}) {
        for (size_t n = 0; n < sizeof cases / sizeof cases[0]; n++) {
            const Case &c = cases[n];
            SCOPED_TRACE(testing::Message() << "case " << n << (renderer ? " with renderer" : " headless"));
            LookFixture fixture(c.riders);
            for (const char *name : {"red.png", "wheels-gold.png", "body-blue.png", "head-blue.png"})
                fixture.write_data(name, png_with_text(fixture.temp, ""));
            if (renderer)
                fixture.install();
            Bike *bike = make_bike(c.skins[SKIN_RIDER_BODY], c.skins[SKIN_RIDER_HEAD], c.skins[SKIN_BIKE],
                                   c.skins[SKIN_WHEELS]);
            ASSERT_NE(bike, nullptr);
            for (int s = 0; s < BIKE_SKIN_COUNT; s++) {
                const SkinLook &skin = bike->look.skins[s];
                EXPECT_EQ(skin.requested, c.skins[s] ? c.skins[s] : "") << s;
                EXPECT_EQ(skin.texture_name, c.expected[s]) << s;
                EXPECT_EQ(skin.fell_back, c.fell_back[s]) << s;
                bool own_exists = c.riders || s < SKIN_RIDER_BODY;
                if (!renderer) {
                    EXPECT_EQ(skin.texture, 0u);
                } else {
                    EXPECT_EQ(skin.texture != 0, own_exists || !skin.fell_back) << s;
                    EXPECT_EQ(skin.texture, fake_load_texture(skin.texture_name.c_str())) << s;
                }
            }
            destroy_bike(bike);
        }
    }
}

TEST(BikeLook, ReportsASkinAndItsFallbackBothMissing)
{
    LookFixture fixture;  // no rider files at all
    fixture.install();
    Bike *bike = make_bike("@body-blue.png");
    Bike *again = make_bike("@body-blue.png");
    EXPECT_EQ(messages_containing("Warning: Can't load @body-blue.png or @rider_body.png"), 1);
    EXPECT_EQ(bike->look.skins[SKIN_RIDER_BODY].texture, 0u);
    EXPECT_EQ(bike->look.skins[SKIN_RIDER_BODY].texture_name, "@rider_body.png");
    destroy_bike(bike);
    destroy_bike(again);
}

TEST(BikeLook, SkinMapNames)
{
    struct Case {
        const char *texture;
        const char *suffix;
        const char *names[3];
    };
    const Case cases[] = {
        {"@crf450v2013.png", "_norm", {"@crf450v2013_norm.seq", "@crf450v2013_norm.png", "@crf450v2013_norm.ppm"}},
        {"@skins/red.v2.png", "_spec", {"@skins/red.v2_spec.seq", "@skins/red.v2_spec.png", "@skins/red.v2_spec.ppm"}},
        {"@dir.d/plain", "_norm", {"@dir.d/plain_norm.seq", "@dir.d/plain_norm.png", "@dir.d/plain_norm.ppm"}},
        {"!@full.ppm", "_norm", {"!@full_norm.seq", "!@full_norm.png", "!@full_norm.ppm"}},
    };
    for (const Case &c : cases) {
        std::string names[3];
        skin_map_names(c.texture, c.suffix, names);
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(names[i], c.names[i]) << c.texture;
    }
}

TEST(BikeLook, FindsNormalAndSpecularMapsInOrder)
{
    LookFixture fixture(true);
    fixture.write_data("crf450v2013_norm.png", png_with_text(fixture.temp, ""));
    fixture.write_data("crf450v2013_norm.ppm", "P3 1 1 255 0 0 0\n");  // later in the order: not used
    fixture.write_data("crf450v2013_spec.ppm", "P3 1 1 255 0 0 0\n");
    fixture.install();
    Bike *bike = make_bike();
    const SkinLook &skin = bike->look.skins[SKIN_BIKE];
    EXPECT_EQ(skin.normal_map, fake_load_texture("@crf450v2013_norm.png"));
    EXPECT_EQ(skin.specular_map, fake_load_texture("@crf450v2013_spec.ppm"));
    EXPECT_NE(skin.normal_map, 0u);
    EXPECT_NE(skin.specular_map, 0u);
    // .seq first, then .png, then .ppm; the search stops at the first found.
    std::vector<std::string> asked;
    for (const std::string &name : fixture.graphics.asked)
        if (name.find("crf450v2013_") != std::string::npos)
            asked.push_back(name);
    const std::vector<std::string> expected = {"@crf450v2013_norm.seq", "@crf450v2013_norm.png",
                                               "@crf450v2013_spec.seq", "@crf450v2013_spec.png",
                                               "@crf450v2013_spec.ppm"};
    ASSERT_GE(asked.size(), expected.size());
    asked.resize(expected.size());
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(bike->look.skins[SKIN_WHEELS].normal_map, 0u);
    destroy_bike(bike);
}

TEST(BikeLook, PlateColoursFromOptionText)
{
    struct Case {
        const char *options;
        int background[3];
        int foreground[3];
    };
    const Case cases[] = {
        {"", {255, 255, 255}, {0, 0, 0}},
        {"[numberbackground:2,0.5,-1]", {255, 127, 0}, {0, 0, 0}},
        {"[compress][numberforeground:1,1,0.5]", {255, 255, 255}, {255, 255, 127}},
        {"[numberbackground:0,0,0][numberforeground:1,1,1]", {0, 0, 0}, {255, 255, 255}},
        {"[numberbackground:0.5,0.5]", {255, 255, 255}, {0, 0, 0}},          // two values: unchanged
        {"[numberbackground: 1, 0, 0]", {255, 0, 0}, {0, 0, 0}},            // spaces before numbers
        {"[numberbackground:nan,inf,-inf]", {0, 255, 0}, {0, 0, 0}},        // never out of range
        {"numberbackground:0,0,0", {255, 255, 255}, {0, 0, 0}},             // no bracket: not the marker
    };
    for (const Case &c : cases) {
        uint8_t background[3] = {255, 255, 255}, foreground[3] = {0, 0, 0};
        parse_plate_colours(c.options, background, foreground);
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(background[i], c.background[i]) << c.options;
            EXPECT_EQ(foreground[i], c.foreground[i]) << c.options;
        }
    }
}

TEST(BikeLook, PlateFromTheBikeSkinsPngText)
{
    LookFixture fixture(true);
    fixture.write_data("blue.png", png_with_text(fixture.temp, "[numberbackground:2,0.5,-1]"));
    fixture.install();
    Bike *own = make_bike(nullptr, nullptr, nullptr, nullptr, "123456789");
    Bike *blue = make_bike(nullptr, nullptr, "@blue.png", nullptr, "5");
    Bike *missing = make_bike(nullptr, nullptr, "@gone.png", nullptr, "");  // falls back to the own texture
    ASSERT_TRUE(own && blue && missing);

    const uint8_t own_bg[3] = {25, 76, 229}, blue_bg[3] = {255, 127, 0};
    EXPECT_EQ(memcmp(own->look.plate_background, own_bg, 3), 0);
    EXPECT_EQ(memcmp(missing->look.plate_background, own_bg, 3), 0);
    EXPECT_EQ(memcmp(blue->look.plate_background, blue_bg, 3), 0);
    EXPECT_EQ(own->look.plate_foreground[0], 255);
    EXPECT_EQ(blue->look.plate_foreground[0], 0);

    // One plate each, from the stored (at most 7 characters) text and the colours.
    ASSERT_EQ(fixture.graphics.plates.size(), 3u);
    EXPECT_EQ(fixture.graphics.plates[0], "1234567");
    EXPECT_STREQ(own->plate_text, "1234567");
    EXPECT_EQ(fixture.graphics.plates[1], "5");
    EXPECT_EQ(fixture.graphics.plate_colours[0], (std::vector<int>{255, 255, 255, 25, 76, 229}));
    EXPECT_EQ(fixture.graphics.plate_colours[1], (std::vector<int>{0, 0, 0, 255, 127, 0}));
    EXPECT_EQ(own->look.plate_texture, 1000u);
    EXPECT_EQ(blue->look.plate_texture, 1001u);

    // Each bike owns its plate texture.
    destroy_bike(blue);
    EXPECT_EQ(fixture.graphics.released, (std::vector<unsigned>{1001}));
    destroy_bike(own);
    destroy_bike(missing);
    EXPECT_EQ(fixture.graphics.released.size(), 3u);
}

// The shipped data set has the part models and skins of every bike model;
// the riders may still be missing.
TEST(BikeLook, ShippedDataSetHasEveryBikesParts)
{
    std::string saf = std::string(ZV_BUILD_DIR) + "/zzzz.saf";
    if (!file_exists(saf))
        GTEST_SKIP() << "no data set built at " << saf;
    TempDir home;
    set_env("XDG_DATA_HOME", home.path.c_str());
    set_env("ZV_HOME", ZV_BUILD_DIR);
    data_search_path_reset();
    file_index_reset();
    free_model_cache();
    reset_bike_look_caches();
    for (const BikeModel &m : bike_models) {
        Bike *bike = create_bike(m.name, 0, "1", nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(bike, nullptr);
        for (int i = 0; i < PART_RIDER_BODY; i++)
            EXPECT_NE(bike->look.parts[i], nullptr) << m.name << " part " << i;
        for (const char *texture : {m.bike_texture, m.wheels_texture}) {
            DataStream *stream = stream_open(texture, "rb");
            EXPECT_NE(stream, nullptr) << texture;
            if (stream)
                stream_close(stream);
        }
        destroy_bike(bike);
    }
    free_model_cache();
    reset_bike_look_caches();
    file_index_reset();
    data_search_path_reset();
}

}  // namespace
