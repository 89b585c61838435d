// Fuzz target: glyph bands of a font image, then number plates drawn with it.
// Input: width and height (1..64 each), a length byte and that many
// characters, then the RGBA pixels (repeated to fill the image).
#include <cstdlib>
#include <cstring>

#include "data/image.h"
#include "render/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    int width = data[0] % 64 + 1, height = data[1] % 64 + 1;
    size_t count = data[2];
    data += 3, size -= 3;
    if (count > size)
        count = size;
    char characters[256];
    memcpy(characters, data, count);
    characters[count] = 0;
    data += count, size -= count;

    uint8_t *pixels = alloc_image_pixels(width, height, 4);
    size_t bytes = (size_t)width * height * 4;
    for (size_t i = 0; i < bytes; i++)
        pixels[i] = size ? data[i % size] : 0;
    Font font;
    build_font(&font, pixels, width, height, characters);
    for (int c = 0; c < 256; c++) {
        const float *g = font.glyphs[c];
        if (g[0] < 0 || g[2] > 1 || g[1] < 0 || g[3] > 1 || g[0] > g[2] || g[1] > g[3] || !(font.advance[c] > 0))
            abort();
    }

    // Plates in a few buffer sizes, the same font as both numbers fonts.
    numbers_font = font;
    condensed_numbers_font = font;
    static const int sizes[][2] = {{1, 1}, {5, 3}, {64, 32}};
    for (const auto &s : sizes) {
        uint8_t *plate = (uint8_t *)malloc((size_t)s[0] * s[1] * 4);
        memset(plate, 0, (size_t)s[0] * s[1] * 4);
        render_text_to_image(plate, s[0], s[1], 1, 1, 1, 1, characters);
        free(plate);
    }
    numbers_font = Font{};
    condensed_numbers_font = Font{};
    free_font(&font);
    return 0;
}
