// Fuzz target: PNG decoding (colour with text chunks, and 16-bit grey).
#include <cstdlib>

#include "data/image_local.h"
#include "image_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DataStream *stream = image_fuzz_stream(data, size);
    if (!stream)
        return 0;
    DecodedImage image;
    if (read_png_stream(stream, &image)) {
        if (image.channels != 3 && image.channels != 4)
            abort();
        prepare_mip_chain(&image, "fuzz.png");
        resample_to_power_of_two(&image, "fuzz.png");
    }
    free_decoded_image(&image);
    stream_close(stream);

    stream = image_fuzz_stream(data, size);
    uint16_t *samples = nullptr;
    int w = 0, h = 0;
    if (read_png_gray16_stream(stream, &samples, &w, &h) && (w < 1 || h < 1))
        abort();
    free_gray16(samples);
    stream_close(stream);
    return 0;
}
