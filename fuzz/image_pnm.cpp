// Fuzz target: PPM (P3/P6) and PGM (P2/P5) readers.
#include <cstdlib>

#include "image_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DataStream *stream = image_fuzz_stream(data, size);
    if (!stream)
        return 0;
    uint8_t *pixels = nullptr;
    int w = 0, h = 0;
    if (read_rgb_image(stream, &pixels, &w, &h) && (!pixels || w < 1 || h < 1))
        abort();
    free_image_pixels(pixels);
    stream_close(stream);

    stream = image_fuzz_stream(data, size);
    pixels = nullptr;
    if (read_pgm(stream, &pixels, &w, &h)) {
        // Every pixel must be readable.
        unsigned sum = 0;
        for (size_t i = 0; i < (size_t)w * h; i++)
            sum += pixels[i];
        if (sum == 0xFFFFFFFFu)
            abort();
    }
    free_image_pixels(pixels);
    stream_close(stream);
    return 0;
}
