// Bitmap fonts: the band-format font loader, text measuring, and text
// blended into pixel buffers (number plates). No OpenGL here except the
// texture upload in load_fonts.
#pragma once
#include <cstdint>

// One font. Glyph rectangles are in normalised image coordinates, s across
// from the left edge, t down from the image's top row; the advance is the
// glyph's width in line heights (drawn width and pen advance at once).
struct Font {
    unsigned texture;       // GL texture name, 0 when the font has none
    uint8_t *pixels;        // RGBA with its mipmap chain, or null
    int width, height;      // of the full-size image
    float glyphs[256][4];   // s0, t0, s1, t1 per character code
    float advance[256];
};

// Advance of a character the font does not have.
constexpr float FONT_DEFAULT_ADVANCE = 0.6666667f;

// Per process: loaded once at start-up by load_fonts and kept for the run.
// The main font keeps only its texture; the numbers fonts keep only pixels.
extern Font main_font;
extern Font numbers_font;
extern Font condensed_numbers_font;

// Clears the record, then reads the image `name` and assigns its glyphs to
// the characters of `characters` in order. Posts "Can't open font '...'"
// and leaves the record empty when the image cannot be loaded; false then.
bool load_font(Font *font, const char *name, const char *characters);
// The glyph assignment of load_font on an RGBA image already in memory
// (`pixels` holds room for the mipmap chain, which is rebuilt here). The
// record takes ownership of `pixels`.
void build_font(Font *font, uint8_t *pixels, int width, int height, const char *characters);
// Releases the pixels and empties the record (the texture is not deleted).
void free_font(Font *font);

// The three fonts of the game: "@font.png" uploaded as a texture, the two
// numbers fonts kept as pixels. Missing images are reported, not fatal.
void load_fonts();

// Length of the escape sequence at `text` (which starts with ESC): ESC, an
// optional "[", then up to and including the first character in "@".."~".
// 0 when the text ends inside the sequence.
int escape_sequence_length(const char *text);

// Width of the text's last line in line heights, with the main font
// (`text_width_in` with any font; `length` limits the characters read).
float text_width(const char *text);
float text_width_in(const Font *font, const char *text, int length = -1);
// The pen x after a tab at `x`: the next multiple of eight spaces beyond it.
float tab_stop(const Font *font, float x);

// Blends the text, centred, into a width x height RGBA buffer (rows from the
// top) with the numbers font, or the condensed one when the text is too
// wide. Colour components 0..1. Nothing happens without a numbers font.
void render_text_to_image(uint8_t *pixels, int width, int height, float r, float g, float b, float a,
                          const char *text);
// Pixel size of the text in a font's image (escape sequences skipped).
void font_text_pixel_size(const Font *font, const char *text, int *width, int *height);
