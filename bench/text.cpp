// Text benchmark: glyph layout into batches, measuring, and number plates
// blended into pixel buffers (CPU only; the GL draw is one call per batch).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/image.h"
#include "render/font.h"
#include "render/text.h"

static double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

static int flushed_quads;
static void count_batch(TextBatch *batch, void *)
{
    flushed_quads += batch->count;
}

// A font of the 94 printable characters in 2 bands of 47 glyphs, 8 x 16 pixels.
static void make_font(Font *font, const char *characters, int glyphs_per_band)
{
    const int w = 8 * glyphs_per_band, h = 32;
    uint8_t *pixels = alloc_image_pixels(w, h, 4);
    memset(pixels, 255, (size_t)w * h * 4);
    for (int band = 0; band < 2; band++)
        for (int g = 0; g < glyphs_per_band; g++)
            memset(pixels + ((size_t)band * 16 * w + g * 8) * 4, 0, 4);
    pixels[3] = 0;
    build_font(font, pixels, w, h, characters);
}

int main()
{
    std::string printable;
    for (int c = 33; c < 127; c++)
        printable += (char)c;
    Font font;
    make_font(&font, printable.c_str(), 47);

    std::string text;
    for (int i = 0; i < 40; i++)
        text += "\x1b[1;32mLap 3\x1b[0m  P12  Best - 1:23.4\t+0.8\n";
    static TextBatch batch;
    const int rounds = 2000;
    auto start = std::chrono::steady_clock::now();
    long long quads = 0;
    for (int i = 0; i < rounds; i++)
        quads += layout_text(&font, 1, 1, 1, 1, text.c_str(), TEXT_CALLER_COLOUR, &batch, count_batch, nullptr);
    double layout_s = seconds_since(start);

    start = std::chrono::steady_clock::now();
    volatile double sink = 0;
    for (int i = 0; i < rounds; i++)
        sink = sink + text_width_in(&font, text.c_str());
    double width_s = seconds_since(start);

    Font numbers;
    make_font(&numbers, "0123456789", 5);
    numbers_font = numbers;
    const int plates = 20000;
    uint8_t *plate = new uint8_t[64 * 32 * 4];
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < plates; i++) {
        memset(plate, 0, 64 * 32 * 4);
        char number[8];
        snprintf(number, sizeof number, "%d", i % 1000);
        render_text_to_image(plate, 64, 32, 1, 1, 1, 1, number);
    }
    double plate_s = seconds_since(start);
    delete[] plate;

    printf("text_layout_glyphs_per_s=%.0f\n", quads / layout_s);
    printf("text_width_chars_per_s=%.0f\n", (double)text.size() * rounds / width_s);
    printf("plate_64x32_renders_per_s=%.0f\n", plates / plate_s);
    numbers_font = Font{};
    free_font(&numbers);
    free_font(&font);
    return 0;
}
