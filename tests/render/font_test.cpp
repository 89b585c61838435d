// The band-format font loader, text measuring and text blended into images.
#include "render/font.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "data/image.h"
#include "platform/message_log.h"
#include "test_util.h"
#include "text_test_util.h"

namespace {

const uint8_t WHITE[4] = {255, 255, 255, 255};

struct Rect {
    int left, top, right, bottom;
};

void expect_glyph(const Font &font, char c, Rect r, const char *what)
{
    PixelGlyph g = pixel_glyph(font, (unsigned char)c);
    EXPECT_EQ(g.left, r.left) << what << " '" << c << "'";
    EXPECT_EQ(g.top, r.top) << what << " '" << c << "'";
    EXPECT_EQ(g.right, r.right) << what << " '" << c << "'";
    EXPECT_EQ(g.bottom, r.bottom) << what << " '" << c << "'";
    EXPECT_FLOAT_EQ(font.advance[(unsigned char)c], (float)(r.right - r.left) / (float)(r.bottom - r.top))
        << what << " '" << c << "'";
}

const uint8_t *pixel_at(const Font &font, int x, int y)
{
    return font.pixels + ((size_t)y * font.width + x) * 4;
}

}  // namespace

TEST(FontLoader, BandsWithFewerGlyphsThanCharactersStartOverAtTheFirstBand)
{
    // Band 1 (rows 0-3): glyphs 0-3, 3-7, 7-10. Band 2 (rows 4-9): 0-5, 5-10.
    const int width = 10, height = 10;
    uint8_t *pixels = alloc_image_pixels(width, height, 4);
    for (int i = 0; i < width * height; i++)
        memcpy(pixels + 4 * i, WHITE, 4);
    const int markers[][2] = {{0, 0}, {3, 0}, {7, 0}, {0, 4}, {5, 4}};
    for (const auto &m : markers)
        memcpy(pixels + (m[1] * width + m[0]) * 4, FONT_SEPARATOR, 4);

    Font font;
    build_font(&font, pixels, width, height, "ABCDEFGH-");
    ASSERT_EQ(font.pixels, pixels);
    expect_glyph(font, 'A', {0, 0, 3, 4}, "band 1");
    expect_glyph(font, 'B', {3, 0, 7, 4}, "band 1");
    expect_glyph(font, 'C', {7, 0, 10, 4}, "band 1");
    expect_glyph(font, 'D', {0, 4, 5, 10}, "band 2");
    expect_glyph(font, 'E', {5, 4, 10, 10}, "band 2");
    expect_glyph(font, 'F', {0, 0, 3, 4}, "again band 1");
    expect_glyph(font, 'G', {3, 0, 7, 4}, "again band 1");
    expect_glyph(font, 'H', {7, 0, 10, 4}, "again band 1");
    expect_glyph(font, '-', {0, 4, 5, 10}, "again band 2");
    // The space has no glyph but the advance of "-"; characters not listed
    // keep the empty rectangle and the default advance.
    EXPECT_FLOAT_EQ(font.advance[(unsigned char)' '], 5.0f / 6);
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(font.glyphs[(unsigned char)' '][k], 0);
        EXPECT_EQ(font.glyphs[(unsigned char)'Z'][k], 0);
    }
    EXPECT_FLOAT_EQ(font.advance[(unsigned char)'Z'], FONT_DEFAULT_ADVANCE);
    EXPECT_FLOAT_EQ(font.advance[200], FONT_DEFAULT_ADVANCE);
    free_font(&font);
    EXPECT_EQ(font.pixels, nullptr);
}

TEST(FontLoader, MarkersBecomeTransparentWhiteAndTheChainIsRebuilt)
{
    const uint8_t ink[4] = {10, 20, 30, 255};
    uint8_t *pixels = make_font_image(8, 4, {{2, 6}, {4, 4}}, ink);
    // The separator colour inside a glyph, below a band's first row, is ink.
    memcpy(pixels + (2 * 8 + 5) * 4, FONT_SEPARATOR, 4);
    Font font;
    build_font(&font, pixels, 8, 8, "abcd");
    const uint8_t cleared[4] = {255, 255, 255, 0};
    const int markers[][2] = {{0, 0}, {2, 0}, {0, 4}, {4, 4}};
    for (const auto &m : markers)
        EXPECT_EQ(memcmp(pixel_at(font, m[0], m[1]), cleared, 4), 0) << m[0] << "," << m[1];
    EXPECT_EQ(memcmp(pixel_at(font, 1, 0), ink, 4), 0);
    EXPECT_EQ(memcmp(pixel_at(font, 5, 2), FONT_SEPARATOR, 4), 0);
    // Level 1's top-left pixel covers the cleared top-left marker: alpha is
    // the average of 0, 255, 255, 255.
    const uint8_t *level1 = font.pixels + mip_level_offset(8, 8, 4, 1);
    EXPECT_EQ(level1[3], 191);
    free_font(&font);
}

TEST(FontLoader, EveryRowABandStaysBoundedAndTerminates)
{
    // Column 0 of every row and the whole first row are separators: one band
    // of 64 one-pixel glyphs, then 63 one-row bands of one glyph each.
    const int side = 64;
    uint8_t *pixels = alloc_image_pixels(side, side, 4);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            memcpy(pixels + (y * side + x) * 4, x == 0 || y == 0 ? FONT_SEPARATOR : WHITE, 4);
    Font font;
    std::string characters;
    for (int c = 1; c < 256; c++)
        characters += (char)c;
    build_font(&font, pixels, side, side, characters.c_str());
    expect_glyph(font, 1, {0, 0, 1, 1}, "first band");
    expect_glyph(font, 64, {63, 0, 64, 1}, "first band end");
    expect_glyph(font, 65, {0, 1, 64, 2}, "second band");
    expect_glyph(font, 127, {0, 63, 64, 64}, "last band");
    expect_glyph(font, (char)128, {0, 0, 1, 1}, "first band again");
    expect_glyph(font, (char)192, {0, 1, 64, 2}, "second band again");
    expect_glyph(font, (char)255, {0, 0, 1, 1}, "first band a third time");
    free_font(&font);
}

TEST(FontLoader, ReadsAPngAndReportsAMissingImage)
{
    TempDir dir;
    // Two glyphs on a red separator: 0-2 and 2-5, band height 3.
    const int w = 5, h = 3;
    uint8_t rgb[w * h * 3];
    for (int i = 0; i < w * h; i++)
        rgb[3 * i] = 0, rgb[3 * i + 1] = 200, rgb[3 * i + 2] = 0;
    rgb[0] = 255, rgb[1] = 0, rgb[2] = 0;
    rgb[6] = 255, rgb[7] = 0, rgb[8] = 0;
    std::string path = dir.file("font.png");
    ASSERT_TRUE(write_png_rgb(path.c_str(), rgb, w, h));

    Font font;
    ASSERT_TRUE(load_font(&font, path.c_str(), "01"));
    EXPECT_EQ(font.width, w);
    EXPECT_EQ(font.height, h);
    expect_glyph(font, '0', {0, 0, 2, 3}, "png");
    expect_glyph(font, '1', {2, 0, 5, 3}, "png");
    EXPECT_EQ(pixel_at(font, 2, 0)[3], 0);
    EXPECT_EQ(pixel_at(font, 3, 0)[3], 255);
    free_font(&font);

    clear_message_log();
    std::string missing = dir.file("nothing.png");
    EXPECT_FALSE(load_font(&font, missing.c_str(), "01"));
    EXPECT_EQ(font.pixels, nullptr);
    EXPECT_EQ(font.texture, 0u);
    EXPECT_FLOAT_EQ(font.advance[(unsigned char)'0'], FONT_DEFAULT_ADVANCE);
    ASSERT_NE(message_log_line(0), nullptr);
    EXPECT_EQ(std::string(message_log_line(0)), "Can't open font '" + missing + "'");

    // A file that is no image at all fails the same way.
    std::string garbage = dir.write("garbage.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_FALSE(load_font(&font, garbage.c_str(), "01"));
    EXPECT_EQ(font.pixels, nullptr);
}

// --- measuring ------------------------------------------------------------------------

namespace {

// A font where only the advances matter: space 0.25, "a" 0.5, "b" 0.75, "c" 1, "d" 0.375.
Font measuring_font()
{
    Font font = {};
    for (float &a : font.advance)
        a = FONT_DEFAULT_ADVANCE;
    font.advance[(unsigned char)' '] = 0.25f;
    font.advance[(unsigned char)'a'] = 0.5f;
    font.advance[(unsigned char)'b'] = 0.75f;
    font.advance[(unsigned char)'c'] = 1.0f;
    font.advance[(unsigned char)'d'] = 0.375f;
    return font;
}

}  // namespace

TEST(TextWidth, LastLineTabsAndEscapes)
{
    const Font font = measuring_font();
    struct Case {
        const char *text;
        float width;
    } cases[] = {
        {"", 0},
        {"ab", 1.25f},
        {"ab\ncd", 1.375f},          // the last line only
        {"abc\rd", 0.375f},
        {"\ta", 2 + 0.5f},           // 8 spaces, then the letter
        {"   \t", 2},                 // three spaces and a tab: 8 spaces
        {"c\t", 2},
        {"cc\t", 4},                 // a tab at a stop goes on to the next one
        {"cc\tb", 4.75f},
        {" ", 0.25f},
        {"a\x1b[1;31mb", 1.25f},     // sequences take no room
        {"a\x1b[mb", 1.25f},
        {"a\x1bMb", 1.25f},          // without "[" the sequence is ESC and its final character
        {"a\x1b[12;3", 0.5f},        // a text ending inside a sequence ends there
        {"a\x1b", 0.5f},
        {"a\x1b[", 0.5f},
        {"\x1b[[b", 0.75f},          // "[" after the optional one is a final character
        {"Z", FONT_DEFAULT_ADVANCE}, // not in the font
    };
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(text_width_in(&font, c.text), c.width) << '"' << c.text << '"';
    // A length limit counts characters of the text itself.
    EXPECT_FLOAT_EQ(text_width_in(&font, "abc", 2), 1.25f);
    EXPECT_FLOAT_EQ(text_width_in(&font, "a\x1b[31mb", 3), 0.5f);

    Font saved = main_font;
    main_font = font;
    EXPECT_FLOAT_EQ(text_width("ab\ncd"), 1.375f);
    main_font = saved;
}

TEST(TextWidth, EscapeSequenceLength)
{
    EXPECT_EQ(escape_sequence_length("\x1b[31mX"), 5);
    EXPECT_EQ(escape_sequence_length("\x1b[mX"), 3);
    EXPECT_EQ(escape_sequence_length("\x1b@"), 2);
    EXPECT_EQ(escape_sequence_length("\x1b[1;2;3"), 0);
    EXPECT_EQ(escape_sequence_length("\x1b"), 0);
}

// --- text into images ---------------------------------------------------------------

namespace {

// Numbers fonts with digit glyphs of the given pixel width, 4 rows high;
// glyph pixels are (255, 255, 255, 200).
void make_numbers_font(Font *font, int glyph_width)
{
    const uint8_t ink[4] = {255, 255, 255, 200};
    std::vector<int> widths(10, glyph_width);
    uint8_t *pixels = make_font_image(10 * glyph_width, 4, {widths}, ink);
    build_font(font, pixels, 10 * glyph_width, 4, "0123456789");
}

struct NumbersFonts {
    Font saved_numbers = numbers_font, saved_condensed = condensed_numbers_font;
    NumbersFonts(int wide, int condensed)
    {
        make_numbers_font(&numbers_font, wide);
        if (condensed)
            make_numbers_font(&condensed_numbers_font, condensed);
        else
            condensed_numbers_font = Font{};
    }
    ~NumbersFonts()
    {
        free_font(&numbers_font);
        free_font(&condensed_numbers_font);
        numbers_font = saved_numbers;
        condensed_numbers_font = saved_condensed;
    }
};

// Columns of row y that hold ink (alpha above 0).
std::string inked_columns(const std::vector<uint8_t> &image, int width, int y)
{
    std::string s;
    for (int x = 0; x < width; x++)
        s += image[((size_t)y * width + x) * 4 + 3] ? '#' : '.';
    return s;
}

}  // namespace

TEST(TextToImage, CentredAndBlended)
{
    NumbersFonts fonts(3, 0);
    // "12": 6 pixels wide, 4 high, in a 10 x 6 buffer: x from 2, y from 1.
    std::vector<uint8_t> image(10 * 6 * 4, 0);
    for (int i = 0; i < 10 * 6; i++)
        image[4 * i] = 100, image[4 * i + 3] = 255;
    render_text_to_image(image.data(), 10, 6, 0.5f, 1, 1, 1, "12");
    const uint8_t *p = &image[(2 * 10 + 3) * 4];  // row 2, column 3: ink
    // A = 200/255; R = trunc(255 (0.5 A + 100/255 (1 - A))) = 121;
    // G = trunc(255 A) = 200 as well as B; alpha = trunc(255 (A^2 + 1 - A)) = 211.
    EXPECT_EQ(p[0], 121);
    EXPECT_EQ(p[1], 200);
    EXPECT_EQ(p[2], 200);
    EXPECT_EQ(p[3], 211);
    // Outside the text the buffer is unchanged.
    const uint8_t *outside = &image[(2 * 10 + 1) * 4];
    EXPECT_EQ(outside[0], 100);
    EXPECT_EQ(outside[1], 0);
    const uint8_t *below = &image[(5 * 10 + 4) * 4];
    EXPECT_EQ(below[1], 0);
    // The glyphs' marker pixels (row 1 = the band's first row, columns 2 and 5)
    // are transparent and leave the buffer as it was.
    EXPECT_EQ(image[(1 * 10 + 2) * 4 + 1], 0);
    EXPECT_EQ(image[(1 * 10 + 5) * 4 + 1], 0);
    EXPECT_EQ(image[(1 * 10 + 3) * 4 + 1], 200);
    EXPECT_EQ(image[(4 * 10 + 7) * 4 + 1], 200);
    EXPECT_EQ(image[(4 * 10 + 8) * 4 + 1], 0);
}

TEST(TextToImage, WideTextUsesTheCondensedFontAndIsClipped)
{
    struct Case {
        int wide, condensed;  // glyph widths; 0: no condensed font
        const char *text;
        int width;
        const char *row2;     // ink of row 2 of a 4-row buffer
    } cases[] = {
        // 3 digits x 3 = 9 pixels; 8 * 9/8 = 9: the normal font still fits.
        {3, 2, "123", 8, "########"},
        // 12 pixels > 9: condensed, 3 digits x 2 = 6 pixels from x = 1.
        {4, 2, "123", 8, ".######."},
        // Without a condensed font the normal one is clipped on both sides.
        {4, 0, "123", 8, "########"},
        // Much too wide even condensed: clipped, nothing outside.
        {5, 4, "12345678", 4, "####"},
        {3, 0, "", 4, "...."},
        {3, 0, "x", 4, "...."},  // no glyph: nothing drawn
    };
    for (const Case &c : cases) {
        NumbersFonts fonts(c.wide, c.condensed);
        std::vector<uint8_t> image((size_t)c.width * 4 * 4, 0);
        render_text_to_image(image.data(), c.width, 4, 1, 1, 1, 1, c.text);
        EXPECT_EQ(inked_columns(image, c.width, 2), c.row2) << c.text << " " << c.wide << "/" << c.condensed;
    }
}

TEST(TextToImage, NeverWritesOutsideTheBuffer)
{
    NumbersFonts fonts(7, 5);
    const int sizes[][2] = {{1, 1}, {3, 2}, {4, 9}, {16, 3}};
    for (const auto &s : sizes) {
        // Guards on both sides of a buffer in one allocation.
        const int guard = 64;
        std::vector<uint8_t> bytes(guard + s[0] * s[1] * 4 + guard, 0xAB);
        uint8_t *image = bytes.data() + guard;
        memset(image, 0, (size_t)s[0] * s[1] * 4);
        render_text_to_image(image, s[0], s[1], 1, 1, 1, 1, "0123456789012");
        for (int i = 0; i < guard; i++) {
            EXPECT_EQ(bytes[i], 0xAB);
            EXPECT_EQ(bytes[bytes.size() - 1 - i], 0xAB);
        }
    }
}

TEST(TextToImage, NothingWithoutANumbersFontAndEscapesAreNotDrawn)
{
    Font saved = numbers_font;
    numbers_font = Font{};
    std::vector<uint8_t> image(8 * 4 * 4, 0);
    render_text_to_image(image.data(), 8, 4, 1, 1, 1, 1, "12");
    EXPECT_EQ(inked_columns(image, 8, 2), "........");
    numbers_font = saved;

    NumbersFonts fonts(2, 0);
    std::vector<uint8_t> plain(8 * 4 * 4, 0), coloured(8 * 4 * 4, 0);
    render_text_to_image(plain.data(), 8, 4, 1, 1, 1, 1, "12");
    render_text_to_image(coloured.data(), 8, 4, 1, 1, 1, 1, "\x1b[31m12\x1b[0m");
    EXPECT_EQ(plain, coloured);
}
