// Text layout, escape sequences and batches without GL; drawing and the
// overlays in a real context, checked in the read-back pixels.
#include "render/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "data/file_index.h"
#include "data/search_path.h"
#include "platform/message_log.h"
#include "render/font.h"
#include "test_util.h"
#include "text_test_util.h"

// The GL driver that SDL loads keeps one-time allocations and is unloaded
// again before exit, so its frames have no names: only SDL's show.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libSDL2\n";
}

namespace {

struct Quad {
    float x0, y0, x1, y1;  // lower-left and upper-right corners
    float s0, t0, s1, t1;  // at the upper-left and lower-right corners
    float colour[4];
};

struct Recorder {
    std::vector<Quad> quads;
    std::vector<int> batches;
    bool indices_ok = true;
};

void record(TextBatch *batch, void *context)
{
    Recorder *r = (Recorder *)context;
    r->batches.push_back(batch->count);
    static const int order[6] = {2, 1, 0, 2, 3, 1};
    for (int q = 0; q < batch->count; q++) {
        for (int k = 0; k < 6; k++)
            if (batch->indices[q * 6 + k] != q * 4 + order[k])
                r->indices_ok = false;
        const float *ul = batch->positions[q * 4], *lr = batch->positions[q * 4 + 3];
        const float *ur = batch->positions[q * 4 + 1], *ll = batch->positions[q * 4 + 2];
        EXPECT_EQ(ul[0], ll[0]);
        EXPECT_EQ(ur[0], lr[0]);
        EXPECT_EQ(ul[1], ur[1]);
        EXPECT_EQ(ll[1], lr[1]);
        EXPECT_EQ(batch->texcoords[q * 4][0], batch->texcoords[q * 4 + 2][0]);
        EXPECT_EQ(batch->texcoords[q * 4][1], batch->texcoords[q * 4 + 1][1]);
        EXPECT_EQ(batch->texcoords[q * 4 + 3][0], batch->texcoords[q * 4 + 1][0]);
        EXPECT_EQ(batch->texcoords[q * 4 + 3][1], batch->texcoords[q * 4 + 2][1]);
        for (int k = 1; k < 4; k++)
            for (int j = 0; j < 4; j++)
                EXPECT_EQ(batch->colours[q * 4 + k][j], batch->colours[q * 4][j]);
        Quad quad = {ll[0], ll[1], ur[0], ur[1], batch->texcoords[q * 4][0], batch->texcoords[q * 4][1],
                     batch->texcoords[q * 4 + 3][0], batch->texcoords[q * 4 + 3][1], {}};
        for (int j = 0; j < 4; j++)
            quad.colour[j] = batch->colours[q * 4][j];
        r->quads.push_back(quad);
    }
}

Recorder lay_out(const Font &font, const char *text, int flags, float r = 0.2f, float g = 0.4f, float b = 0.6f,
                 float a = 0.8f)
{
    static TextBatch batch;
    Recorder recorder;
    int made = layout_text(&font, r, g, b, a, text, flags, &batch, record, &recorder);
    EXPECT_EQ(made, (int)recorder.quads.size());
    EXPECT_TRUE(recorder.indices_ok);
    return recorder;
}

}  // namespace

TEST(TextLayout, QuadsPenAndTextureCoordinates)
{
    Font font = layout_font();
    // "A" 1 wide, "-" 0.5 wide and so the space too, "D" 3.5 wide.
    Recorder r = lay_out(font, "AB D\nC\rA\tD", TEXT_CALLER_COLOUR);
    ASSERT_EQ(r.quads.size(), 6u);
    ASSERT_EQ(r.batches, std::vector<int>({6}));
    struct Expected {
        float x0, y0, x1;
        float s0, t0, s1, t1;
    } expected[] = {
        {0, 0, 1, 0, 0, 0.25f, 0.5f},           // A
        {1, 0, 2, 0.25f, 0, 0.5f, 0.5f},        // B
        {2.5f, 0, 6, 0.125f, 0.5f, 1, 1},       // D after the space
        {0, -1, 2, 0.5f, 0, 1, 0.5f},           // C on the next line
        {0, -1, 1, 0, 0, 0.25f, 0.5f},          // A over it after the carriage return
        {4, -1, 7.5f, 0.125f, 0.5f, 1, 1},      // D at the tab stop 8 x 0.5 beyond x = 1
    };
    for (size_t i = 0; i < 6; i++) {
        const Quad &q = r.quads[i];
        const Expected &e = expected[i];
        EXPECT_FLOAT_EQ(q.x0, e.x0) << i;
        EXPECT_FLOAT_EQ(q.y0, e.y0) << i;
        EXPECT_FLOAT_EQ(q.x1, e.x1) << i;
        EXPECT_FLOAT_EQ(q.y1, e.y0 + 1) << i;
        EXPECT_FLOAT_EQ(q.s0, e.s0) << i;
        EXPECT_FLOAT_EQ(q.t0, e.t0) << i;
        EXPECT_FLOAT_EQ(q.s1, e.s1) << i;
        EXPECT_FLOAT_EQ(q.t1, e.t1) << i;
    }
    free_font(&font);
}

TEST(TextLayout, CharacterWithoutGlyphIsAnInvisibleQuad)
{
    Font font = layout_font();
    Recorder r = lay_out(font, "zA", TEXT_CALLER_COLOUR);
    ASSERT_EQ(r.quads.size(), 2u);
    EXPECT_EQ(r.quads[0].s0, 0);
    EXPECT_EQ(r.quads[0].t0, 0);
    EXPECT_EQ(r.quads[0].s1, 0);
    EXPECT_EQ(r.quads[0].t1, 0);
    EXPECT_FLOAT_EQ(r.quads[1].x0, FONT_DEFAULT_ADVANCE);
    free_font(&font);
}

TEST(TextLayout, EscapeSequencesSetTheColour)
{
    Font font = layout_font();
    struct Case {
        const char *text;
        int flags;
        float r, g, b;  // colour of the last glyph
    } cases[] = {
        {"A", TEXT_CALLER_COLOUR, 0.2f, 0.4f, 0.6f},
        {"\x1b[1;31mA", TEXT_CALLER_COLOUR, 1, 0, 0},
        {"\x1b[31mA", TEXT_CALLER_COLOUR, 0.75f, 0, 0},
        {"\x1b[31m\x1b[mA", TEXT_CALLER_COLOUR, 0.2f, 0.4f, 0.6f},
        {"\x1b[31m\x1b[0mA", TEXT_CALLER_COLOUR, 0.2f, 0.4f, 0.6f},
        {"\x1b[1mA", TEXT_CALLER_COLOUR, 0.45f, 0.65f, 0.85f},
        {"\x1b[1;1mA", TEXT_CALLER_COLOUR, 0.45f, 0.65f, 0.85f},
        {"\x1b[1m\x1b[22mA", TEXT_CALLER_COLOUR, 0.2f, 0.4f, 0.6f},
        {"\x1b[1;37mA", TEXT_CALLER_COLOUR, 1, 1, 1},
        {"\x1b[37;1mA", TEXT_CALLER_COLOUR, 1, 1, 1},
        {"\x1b[34mA", TEXT_CALLER_COLOUR, 0, 0, 0.75f},
        {"\x1b[36mA", TEXT_CALLER_COLOUR, 0, 0.75f, 0.75f},
        {"\x1b[30;1mA", TEXT_CALLER_COLOUR, 0, 0, 0},      // index 8: black
        {"\x1b[99;5mA", TEXT_CALLER_COLOUR, 0.2f, 0.4f, 0.6f},  // other codes are ignored
        {"\x1b[31HA", TEXT_CALLER_COLOUR, 0.2f, 0.4f, 0.6f},   // not "m": skipped only
        {"\x1b[41mA", TEXT_CALLER_COLOUR, 0.2f, 0.4f, 0.6f},   // background codes need the shadow pass
        {"A", 3, 0.75f, 0.75f, 0},                             // palette from the flags
        {"A", 9, 1, 0, 0},
        {"\x1b[31mA", TEXT_CALLER_COLOUR | TEXT_NO_ESCAPES, 0.2f, 0.4f, 0.6f},
        // The shadow pass.
        {"\x1b[31mA", TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS, 0.2f, 0.4f, 0.6f},
        {"\x1b[41mA", TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS, 0.75f, 0, 0},
        {"\x1b[1;41mA", TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS, 1, 0, 0},
        // The shadow stays one after a reset or a background code.
        {"\x1b[41m\x1b[32mA", TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS, 0.75f, 0, 0},
        {"\x1b[0m\x1b[32mA", TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS, 0.2f, 0.4f, 0.6f},
        {"\x1b[m\x1b[32mA", TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS, 0.2f, 0.4f, 0.6f},
    };
    for (const Case &c : cases) {
        Recorder r = lay_out(font, c.text, c.flags);
        ASSERT_FALSE(r.quads.empty()) << c.text + 1;
        const Quad &q = r.quads.back();
        EXPECT_FLOAT_EQ(q.colour[0], c.r) << c.text + 1;
        EXPECT_FLOAT_EQ(q.colour[1], c.g) << c.text + 1;
        EXPECT_FLOAT_EQ(q.colour[2], c.b) << c.text + 1;
        EXPECT_FLOAT_EQ(q.colour[3], 0.8f) << c.text + 1;
        EXPECT_FLOAT_EQ(q.x0, 0) << "sequences take no room: " << c.text + 1;
    }
    // With the caller's colour (0.5, 0.5, 0.5) bold gives (0.75, 0.75, 0.75);
    // near 1 it is capped.
    Recorder bold = lay_out(font, "\x1b[1mA", TEXT_CALLER_COLOUR, 0.5f, 0.9f, 0.5f, 1);
    EXPECT_FLOAT_EQ(bold.quads[0].colour[0], 0.75f);
    EXPECT_FLOAT_EQ(bold.quads[0].colour[1], 1);
    free_font(&font);
}

TEST(TextLayout, ColoursChangeMidTextAndOddSequencesAreSafe)
{
    Font font = layout_font();
    Recorder r = lay_out(font, "A\x1b[32mB\x1b[0mC", TEXT_CALLER_COLOUR);
    ASSERT_EQ(r.quads.size(), 3u);
    EXPECT_FLOAT_EQ(r.quads[0].colour[1], 0.4f);
    EXPECT_FLOAT_EQ(r.quads[1].colour[1], 0.75f);
    EXPECT_FLOAT_EQ(r.quads[2].colour[1], 0.4f);

    // More parameters than are read, and numbers too long for an int.
    std::string many = "\x1b[";
    for (int i = 0; i < 100; i++)
        many += "1;";
    many += "99999999999999999999;31mA";
    r = lay_out(font, many.c_str(), TEXT_CALLER_COLOUR);
    ASSERT_EQ(r.quads.size(), 1u);
    // The codes 1 made it bold; the 31 was beyond the 64 parameters read.
    EXPECT_FLOAT_EQ(r.quads[0].colour[0], 0.45f);

    // A text that ends inside a sequence ends there.
    r = lay_out(font, "AB\x1b[31", TEXT_CALLER_COLOUR);
    EXPECT_EQ(r.quads.size(), 2u);
    r = lay_out(font, "A\x1b", TEXT_CALLER_COLOUR);
    EXPECT_EQ(r.quads.size(), 1u);
    free_font(&font);
}

TEST(TextLayout, LongTextsGoInBatchesOf256)
{
    Font font = layout_font();
    std::string text(300, 'A');
    Recorder r = lay_out(font, text.c_str(), TEXT_CALLER_COLOUR);
    EXPECT_EQ(r.batches, std::vector<int>({256, 44}));
    EXPECT_FLOAT_EQ(r.quads[299].x0, 299);
    std::string exact(512, 'B');
    EXPECT_EQ(lay_out(font, exact.c_str(), TEXT_CALLER_COLOUR).batches, std::vector<int>({256, 256}));
    // Spaces, tabs and line ends make no quads.
    EXPECT_TRUE(lay_out(font, " \t\r\n ", TEXT_CALLER_COLOUR).batches.empty());
    free_font(&font);
}

TEST(TextLayout, BlankTexts)
{
    EXPECT_TRUE(text_is_blank(nullptr));
    EXPECT_TRUE(text_is_blank(""));
    EXPECT_TRUE(text_is_blank(" \t \n\r"));
    EXPECT_FALSE(text_is_blank(" x "));
    EXPECT_FALSE(text_is_blank("\x1b[31m"));
}

// --- drawing in a real context ---------------------------------------------------------

namespace {

// The layout font as the main font, in the test window; 7.5 lines make one
// line 32 pixels high. Glyph "A" covers x 0-32 of the top line.
class TextDrawing : public testing::Test {
protected:
    std::optional<MainFontForTest> font;
    void SetUp() override
    {
        ASSERT_NE(text_test_window(), nullptr) << vark_last_error();
        font.emplace();
    }
};

const float LINES = 7.5f;  // 32-pixel lines in the 240-pixel window

}  // namespace

TEST_F(TextDrawing, TextAtAKnownPlaceShowsInThePixels)
{
    begin_text_test_frame();
    begin_text_overlay(LINES);
    glPushMatrix();
    glTranslatef(2, -2, 0);  // third line of text from x = 2 lines
    draw_text_white("AB");
    glPopMatrix();
    end_overlay();
    // "A" spans 64..96, "B" 96..128 across, rows 64..96 down; the glyphs'
    // first texel rows hold the (cleared) markers at their left edges.
    Rgba inside = read_pixel(80, 80);
    EXPECT_EQ(inside.r, 255);
    EXPECT_EQ(inside.g, 255);
    EXPECT_EQ(inside.b, 255);
    Rgba b = read_pixel(112, 90);
    EXPECT_EQ(b.r, 255);
    for (const auto &p : std::vector<std::pair<int, int>>{{60, 80}, {132, 80}, {80, 60}, {80, 100}, {10, 10}}) {
        Rgba outside = read_pixel(p.first, p.second);
        EXPECT_EQ(outside.r, 0) << p.first << "," << p.second;
    }
}

TEST_F(TextDrawing, EscapeColoursAndShadows)
{
    begin_text_test_frame(0.5f);
    begin_text_overlay(LINES);
    draw_text_colour(1, 1, 1, 1, "\x1b[1;31mA\x1b[0mA\x1b[32mA");
    glTranslatef(0, -2, 0);
    draw_text_shadowed(1, 1, 1, 1, "C");
    end_overlay();
    const int top_row = 16;
    Rgba red = read_pixel(16, top_row), white = read_pixel(48, top_row), green = read_pixel(80, top_row);
    EXPECT_EQ(red.r, 255);
    EXPECT_EQ(red.g, 0);
    EXPECT_EQ(white.g, 255);
    EXPECT_EQ(green.r, 0);
    EXPECT_EQ(green.g, 191);
    // "C" spans 0..64 across and rows 64..96; its shadow 2 pixels right and
    // down shows below and right of it at half alpha: 0.5 x 0.5 grey.
    Rgba text = read_pixel(32, 80);
    EXPECT_EQ(text.r, 255);
    Rgba shadow_below = read_pixel(32, 97);
    EXPECT_NEAR(shadow_below.r, 64, 1);
    Rgba shadow_right = read_pixel(65, 80);
    EXPECT_NEAR(shadow_right.r, 64, 1);
    Rgba background = read_pixel(32, 100);
    EXPECT_NEAR(background.r, 128, 1);
}

TEST_F(TextDrawing, AlignedWrappers)
{
    struct Case {
        int wrapper;       // 0 centred, 1 centred shadowed, 2 right
        int first, last;   // inked columns of "AB" (64 pixels wide)
    } cases[] = {
        {0, 96, 159},      // centred between 1 and 7 lines: starts at 4 - 1 = 3 lines
        {1, 96, 159},
        {2, 128, 191},     // ends at 6 lines
    };
    for (const Case &c : cases) {
        begin_text_test_frame();
        begin_text_overlay(LINES);
        if (c.wrapper == 0)
            draw_text_centred(1, 1, 1, 1, 1, 7, "AB");
        else if (c.wrapper == 1)
            draw_text_centred_shadowed(1, 1, 1, 1, 1, 7, "AB");
        else
            draw_text_right(1, 1, 1, 1, 6, "AB");
        end_overlay();
        EXPECT_EQ(read_pixel(c.first - 1, 16).r, 0) << c.wrapper;
        EXPECT_EQ(read_pixel(c.first + 1, 16).r, 255) << c.wrapper;
        EXPECT_EQ(read_pixel(c.last - 1, 16).r, 255) << c.wrapper;
        // One pixel beyond the end: the shadow's first column for shadowed wrappers.
        EXPECT_EQ(read_pixel(c.last + 4, 16).r, 0) << c.wrapper;
    }
    // The modelview is as it was.
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 0);
    EXPECT_EQ(m[13], 0);
}

TEST_F(TextDrawing, BlankTextChangesNoState)
{
    begin_text_test_frame();
    glBindTexture(GL_TEXTURE_2D, 0);
    long long batches = text_counters.batches;
    for (const char *text : {"", " \t ", "\n", (const char *)nullptr}) {
        draw_text(1, 1, 1, 1, text, TEXT_CALLER_COLOUR);
        draw_text_shadowed(1, 1, 1, 1, text);
        draw_text_right(1, 1, 1, 1, 3, text);
    }
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(text_counters.batches, batches);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(TextDrawing, ThreeHundredGlyphsInTwoDraws)
{
    begin_text_test_frame();
    long long batches = text_counters.batches, quads = text_counters.quads;
    std::string text(300, 'A');
    begin_text_overlay(LINES);
    draw_text_white(text.c_str());
    end_overlay();
    EXPECT_EQ(text_counters.batches - batches, 2);
    EXPECT_EQ(text_counters.quads - quads, 300);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(TextDrawing, WithoutAFontTextureNothingIsDrawn)
{
    begin_text_test_frame();
    GLuint name = main_font.texture;
    main_font.texture = 0;
    long long batches = text_counters.batches;
    draw_text_white("AB");
    EXPECT_EQ(text_counters.batches, batches);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    main_font.texture = name;
}

// --- overlays --------------------------------------------------------------------------

TEST(Overlays, PageOriginAndScaleForWideAndTallWindows)
{
    ASSERT_NE(text_test_window(), nullptr) << vark_last_error();
    struct Case {
        OverlayView view;
        float origin[2], scale[2];
        float u, tx, ty;  // modelview scale and translation
    } cases[] = {
        // Wide: 2:1. The page is 4/3 x 2 hy wide = 1.333, u = 2 / 10.
        {{2, 1, 800, 400}, {0.5f + (2 - 4.0f / 3) / 0.2f, -1}, {40, -40}, 0.2f, -4.0f / 3 + 0.5f * 0.2f, 1 - 0.2f},
        // Tall: 1:1. The page is the full width, u = 1.5 / 10.
        {{1, 1, 500, 500}, {0.5f, -1 - (1 - 0.75f) / 0.15f}, {37.5f, -37.5f}, 0.15f, -1 + 0.5f * 0.15f,
         0.75f - 0.15f},
    };
    for (const Case &c : cases) {
        overlay_view = c.view;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        float origin[2], scale[2];
        begin_page_overlay(10, 0.5f, -1, origin, scale);
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_FLOAT_EQ(origin[0], c.origin[0]);
        EXPECT_FLOAT_EQ(origin[1], c.origin[1]);
        EXPECT_FLOAT_EQ(scale[0], c.scale[0]);
        EXPECT_FLOAT_EQ(scale[1], c.scale[1]);
        EXPECT_FLOAT_EQ(m[0], c.u);
        EXPECT_FLOAT_EQ(m[5], c.u);
        EXPECT_FLOAT_EQ(m[10], c.u);
        EXPECT_FLOAT_EQ(m[12], c.tx);
        EXPECT_FLOAT_EQ(m[13], c.ty);
        EXPECT_FLOAT_EQ(m[14], -1);

        float position[2] = {origin[0], origin[1]};
        overlay_translate(position, 2, -3);
        EXPECT_FLOAT_EQ(position[0], origin[0] + 2);
        EXPECT_FLOAT_EQ(position[1], origin[1] - 3);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_FLOAT_EQ(m[12], c.tx + 2 * c.u);
        EXPECT_FLOAT_EQ(m[13], c.ty - 3 * c.u);
        end_overlay();
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_EQ(m[0], 1);
        EXPECT_EQ(m[12], 0);
    }
}

TEST(Overlays, TextOverlayPutsTheTopLineAtTheTop)
{
    ASSERT_NE(text_test_window(), nullptr) << vark_last_error();
    overlay_view = {2, 1, 800, 400};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    begin_text_overlay(20);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 0.1f);
    EXPECT_FLOAT_EQ(m[12], -2);
    EXPECT_FLOAT_EQ(m[13], 0.9f);
    EXPECT_FLOAT_EQ(m[14], -1);
    end_overlay();
}

// --- the game's fonts from the data directory --------------------------------------------

TEST(LoadFonts, MainFontBecomesATextureNumbersKeepPixelsMissingOnesAreReported)
{
    ASSERT_NE(text_test_window(), nullptr) << vark_last_error();
    TempDir dir;
    const char *names[] = {"XDG_DATA_HOME", "ZV_HOME"};
    std::string saved[2];
    bool had[2];
    for (int i = 0; i < 2; i++) {
        const char *value = getenv(names[i]);
        had[i] = value != nullptr;
        saved[i] = value ? value : "";
    }
    set_env("XDG_DATA_HOME", (dir.path + "/home").c_str());
    set_env("ZV_HOME", (dir.path + "/data").c_str());
    data_search_path_reset();
    file_index_reset();

    // "font.png": one band of 8 rows, glyphs 8 pixels wide from x = 0, 8, 16:
    // "!", "\"", "#", then "$" again at x = 0. White on a magenta separator.
    auto write_font = [&](const char *name, int glyphs) {
        const int w = 8 * glyphs, h = 8;
        std::vector<uint8_t> rgb((size_t)w * h * 3, 255);
        for (int g = 0; g < glyphs; g++)
            rgb[g * 8 * 3 + 1] = 0;  // (255, 0, 255) at each glyph's top-left pixel
        ASSERT_TRUE(write_png_rgb((dir.path + "/data/" + name).c_str(), rgb.data(), w, h));
    };
    make_directories((dir.path + "/data/").c_str());
    write_font("font.png", 3);
    write_font("numbers.png", 10);
    clear_message_log();
    load_fonts();

    EXPECT_NE(main_font.texture, 0u);
    EXPECT_EQ(main_font.pixels, nullptr);
    EXPECT_EQ(pixel_glyph(main_font, '#').left, 16);
    EXPECT_EQ(pixel_glyph(main_font, '$').left, 0);
    EXPECT_FLOAT_EQ(main_font.advance[(unsigned char)'~'], 1);
    ASSERT_NE(numbers_font.pixels, nullptr);
    EXPECT_EQ(numbers_font.texture, 0u);
    EXPECT_EQ(pixel_glyph(numbers_font, '9').left, 72);
    EXPECT_EQ(condensed_numbers_font.pixels, nullptr);
    ASSERT_NE(message_log_line(0), nullptr);
    EXPECT_STREQ(message_log_line(0), "Can't open font '@numbers-condensed.png'");

    // The uploaded texture draws: "#" in the top line at 0..32 pixels.
    begin_text_test_frame();
    begin_text_overlay(LINES);
    draw_text_white("#");
    end_overlay();
    EXPECT_EQ(read_pixel(16, 16).g, 255);
    EXPECT_EQ(read_pixel(40, 16).g, 0);

    GLuint name = main_font.texture;
    glDeleteTextures(1, &name);
    main_font = Font{};
    free_font(&numbers_font);
    for (int i = 0; i < 2; i++)
        set_env(names[i], had[i] ? saved[i].c_str() : nullptr);
    data_search_path_reset();
    file_index_reset();
}
