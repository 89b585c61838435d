// Fuzz target: texts with escape sequences (chat and server messages reach
// the screen) laid out, measured and drawn into plates with a tiny font.
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/image.h"
#include "render/font.h"
#include "render/text.h"

static void check_batch(TextBatch *batch, void *)
{
    if (batch->count < 1 || batch->count > TEXT_BATCH_QUADS)
        abort();
    for (int i = 0; i < batch->count * 6; i++)
        if (batch->indices[i] >= batch->count * 4)
            abort();
}

static const Font &fuzz_font()
{
    static Font font;
    static bool made = false;
    if (!made) {
        // Three bands of glyphs 2, 3 and 5 pixels wide, 4 rows each.
        const int w = 10, h = 12;
        uint8_t *pixels = alloc_image_pixels(w, h, 4);
        memset(pixels, 200, (size_t)w * h * 4);
        const int markers[][2] = {{0, 0}, {2, 0}, {5, 0}, {0, 4}, {3, 4}, {0, 8}, {5, 8}};
        for (const auto &m : markers)
            memset(pixels + (m[1] * w + m[0]) * 4, 7, 4);
        build_font(&font, pixels, w, h, "0123456789 -!AZaz[m;\x1b");
        made = true;
    }
    return font;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, size);
    const Font &font = fuzz_font();
    static TextBatch batch;
    for (int flags : {(int)TEXT_CALLER_COLOUR, TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS, (int)TEXT_NO_ESCAPES, 9}) {
        int quads = layout_text(&font, 0.5f, 0.5f, 0.5f, 1, text.c_str(), flags, &batch, check_batch, nullptr);
        if (quads < 0 || (size_t)quads > size)
            abort();
    }
    float width = text_width_in(&font, text.c_str());
    if (!(width >= 0))
        abort();

    numbers_font = font;
    uint8_t plate[16 * 8 * 4] = {};
    render_text_to_image(plate, 16, 8, 1, 1, 1, 1, text.c_str());
    numbers_font = Font{};
    return 0;
}
