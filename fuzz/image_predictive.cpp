// Fuzz target: the predictive Q6/Q7 format in every channel combination.
#include <cstdlib>
#include <cstring>

#include "image_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the source and target channel counts.
    int source = data[0] & 1 ? 4 : 3;
    int channels = data[0] & 2 ? 4 : 3;
    DataStream *stream = image_fuzz_stream(data + 1, size - 1);
    if (!stream)
        return 0;
    DecodedImage image;
    if (read_predictive_image(stream, source, channels, &image)) {
        if (image.channels != channels)
            abort();
        image.options = data[0] & 4 ? "[mip_custom][mip_max_alpha]" : "";
        prepare_mip_chain(&image, "fuzz.q7");
        drop_mip_levels(&image, 2);
        resample_to_power_of_two(&image, "fuzz.q7");
        float border[4];
        texture_border_colour(image.pixels, image.width, image.height, image.channels, border);
    }
    free_decoded_image(&image);
    stream_close(stream);
    return 0;
}
