// Bitmap fonts in the band format: glyphs separated by marker pixels of the
// top-left pixel's colour, bands of glyphs started by a marker in column 0.
#include "render/font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/image.h"
#include "platform/message_log.h"

Font main_font;
Font numbers_font;
Font condensed_numbers_font;

static void clear_font(Font *font)
{
    font->texture = 0;
    font->pixels = nullptr;
    font->width = 0;
    font->height = 0;
    for (int c = 0; c < 256; c++) {
        font->glyphs[c][0] = font->glyphs[c][1] = font->glyphs[c][2] = font->glyphs[c][3] = 0;
        font->advance[c] = FONT_DEFAULT_ADVANCE;
    }
}

void free_font(Font *font)
{
    free_image_pixels(font->pixels);
    clear_font(font);
}

namespace {

// Level 0 of an RGBA font image and its separator colour.
struct FontImage {
    uint8_t *pixels;
    int width, height;
    uint8_t separator[4];

    bool is_separator(int x, int y) const
    {
        return !memcmp(pixels + ((size_t)y * width + x) * 4, separator, 4);
    }
    // End (exclusive) of the band that starts at row `top`.
    int band_bottom(int top) const
    {
        for (int y = top + 1; y < height; y++)
            if (is_separator(0, y))
                return y;
        return height;
    }
    // End (exclusive) of the glyph that starts at `left` in row `top`.
    int glyph_right(int top, int left) const
    {
        for (int x = left + 1; x < width; x++)
            if (is_separator(x, top))
                return x;
        return width;
    }
    void clear_markers(int y)
    {
        static const uint8_t transparent_white[4] = {255, 255, 255, 0};
        // The top-left pixel goes last: it is the colour everything is compared with.
        for (int x = width - 1; x >= 0; x--)
            if (is_separator(x, y))
                memcpy(pixels + ((size_t)y * width + x) * 4, transparent_white, 4);
    }
};

}  // namespace

void build_font(Font *font, uint8_t *pixels, int width, int height, const char *characters)
{
    clear_font(font);
    if (!pixels || width <= 0 || height <= 0) {
        free_image_pixels(pixels);
        return;
    }
    FontImage image = {pixels, width, height, {}};
    memcpy(image.separator, pixels, 4);

    // Glyphs are handed out band by band, wrapping round to the first band
    // when the list is longer than the image; every band has at least one
    // glyph (the one at x = 0), so the walk always makes progress.
    int top = 0, bottom = image.band_bottom(0), left = 0;
    for (const unsigned char *p = (const unsigned char *)(characters ? characters : ""); *p; p++) {
        int right = image.glyph_right(top, left);
        float *glyph = font->glyphs[*p];
        glyph[0] = (float)left / (float)width;
        glyph[1] = (float)top / (float)height;
        glyph[2] = (float)right / (float)width;
        glyph[3] = (float)bottom / (float)height;
        font->advance[*p] = (float)(right - left) / (float)(bottom - top);
        if (right >= width) {
            top = bottom < height ? bottom : 0;
            bottom = image.band_bottom(top);
            left = 0;
        } else {
            left = right;
        }
    }
    font->advance[(unsigned char)' '] = font->advance[(unsigned char)'-'];

    // Markers become transparent. A row's column 0 is looked at before that
    // row is changed, so the bands are found as they were.
    for (int y = 1; y < height; y++)
        if (image.is_separator(0, y))
            image.clear_markers(y);
    image.clear_markers(0);

    build_mip_chain_alpha(pixels, width, height, 4, false);
    font->pixels = pixels;
    font->width = width;
    font->height = height;
}

bool load_font(Font *font, const char *name, const char *characters)
{
    clear_font(font);
    uint8_t *pixels = nullptr;
    int width = 0, height = 0;
    if (!load_rgba_image(name, &pixels, &width, &height)) {
        post_messagef("Can't open font '%.512s'", name);
        return false;
    }
    build_font(font, pixels, width, height, characters);
    return font->pixels != nullptr;
}

void load_fonts()
{
    static const char printable[] =
        "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
    if (load_font(&main_font, "@font.png", printable)) {
        main_font.texture = upload_texture(main_font.pixels, main_font.width, main_font.height, 4, 0);
        free_image_pixels(main_font.pixels);
        main_font.pixels = nullptr;
    }
    load_font(&numbers_font, "@numbers.png", "0123456789");
    load_font(&condensed_numbers_font, "@numbers-condensed.png", "0123456789");
}

// --- measuring ---------------------------------------------------------------

int escape_sequence_length(const char *text)
{
    int i = 1;
    if (text[i] == '[')
        i++;
    for (; text[i]; i++)
        if ((unsigned char)text[i] >= '@' && (unsigned char)text[i] <= '~')
            return i + 1;
    return 0;
}

float tab_stop(const Font *font, float x)
{
    float stop = 8 * font->advance[(unsigned char)' '];
    if (!(stop > 0))
        return x;
    return stop + stop * std::floor(x / stop);
}

float text_width_in(const Font *font, const char *text, int length)
{
    if (!text)
        return 0;
    size_t end = length < 0 ? strlen(text) : strnlen(text, (size_t)length);
    float x = 0;
    for (size_t i = 0; i < end;) {
        unsigned char c = (unsigned char)text[i];
        if (c == 27) {
            int n = escape_sequence_length(text + i);
            if (n == 0 || i + n > end)
                break;
            i += n;
            continue;
        }
        if (c == '\t')
            x = tab_stop(font, x);
        else if (c == '\r' || c == '\n')
            x = 0;
        else
            x += font->advance[c];
        i++;
    }
    return x;
}

float text_width(const char *text)
{
    return text_width_in(&main_font, text, -1);
}

// --- text into pixel buffers ------------------------------------------------------

// Pixel position of a normalised glyph coordinate. The coordinates are
// ratios of whole pixels, so they are rounded back to the pixel they came
// from; truncating could land one pixel short after the float division.
static int glyph_pixel(float coordinate, int size)
{
    return (int)std::floor((double)coordinate * size + 0.5);
}

static void glyph_pixel_rect(const Font *font, unsigned char c, int *x, int *y, int *w, int *h)
{
    const float *g = font->glyphs[c];
    *x = glyph_pixel(g[0], font->width);
    *y = glyph_pixel(g[1], font->height);
    *w = glyph_pixel(g[2], font->width) - *x;
    *h = glyph_pixel(g[3], font->height) - *y;
}

// The next character of the text at *p that is not part of an escape
// sequence, advancing past it; 0 at the end or at a malformed escape.
static int next_plain_char(const char **p)
{
    while (**p == 27) {
        int n = escape_sequence_length(*p);
        if (n == 0)
            return 0;
        *p += n;
    }
    if (**p == 0)
        return 0;
    return (unsigned char)*(*p)++;
}

void font_text_pixel_size(const Font *font, const char *text, int *width, int *height)
{
    long long total = 0;
    int tallest = 0;
    const char *p = text ? text : "";
    while (int c = next_plain_char(&p)) {
        int x, y, w, h;
        glyph_pixel_rect(font, c, &x, &y, &w, &h);
        total += w;
        if (h > tallest)
            tallest = h;
    }
    *width = total > 1 << 30 ? 1 << 30 : (int)total;
    *height = tallest;
}

static uint8_t blend_channel(double value)
{
    double v = std::trunc(255 * value);
    return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v);
}

static double unit(float v)
{
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

void render_text_to_image(uint8_t *pixels, int width, int height, float r, float g, float b, float a,
                          const char *text)
{
    if (!numbers_font.pixels || !pixels || width <= 0 || height <= 0 || !text)
        return;
    const Font *font = &numbers_font;
    int text_w, text_h;
    font_text_pixel_size(font, text, &text_w, &text_h);
    if ((long long)width * 9 / 8 < text_w && condensed_numbers_font.pixels) {
        font = &condensed_numbers_font;
        font_text_pixel_size(font, text, &text_w, &text_h);
    }
    const double colour[4] = {unit(r), unit(g), unit(b), unit(a)};
    int x = width / 2 - text_w / 2;
    int y = height / 2 - text_h / 2;
    // Escape sequences take no room when measured, so they are not drawn either.
    const char *p = text;
    while (int c = next_plain_char(&p)) {
        int sx, sy, w, h;
        glyph_pixel_rect(font, c, &sx, &sy, &w, &h);
        int dx = x, dy = y, cw = w, ch = h;
        if (dx >= width)
            break;  // everything after lies further right
        x += w;
        // Clip source and destination together on all four sides.
        int cut = std::max(std::max(-dx, -sx), 0);
        dx += cut, sx += cut, cw -= cut;
        cut = std::max(std::max(-dy, -sy), 0);
        dy += cut, sy += cut, ch -= cut;
        cw = std::min(cw, std::min(width - dx, font->width - sx));
        ch = std::min(ch, std::min(height - dy, font->height - sy));
        if (cw <= 0 || ch <= 0)
            continue;
        for (int j = 0; j < ch; j++) {
            const uint8_t *src = font->pixels + ((size_t)(sy + j) * font->width + sx) * 4;
            uint8_t *dst = pixels + ((size_t)(dy + j) * width + dx) * 4;
            for (int i = 0; i < cw; i++, src += 4, dst += 4) {
                double alpha = src[3] / 255.0 * colour[3];
                for (int k = 0; k < 3; k++)
                    dst[k] = blend_channel(src[k] / 255.0 * colour[k] * alpha + dst[k] / 255.0 * (1 - alpha));
                dst[3] = blend_channel(alpha * alpha + dst[3] / 255.0 * (1 - alpha));
            }
        }
    }
}
