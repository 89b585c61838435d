// Fuzz target: ".seq" animations after their "ANIM1" word.
#include <cstdlib>

#include "image_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DataStream *stream = image_fuzz_stream(data, size);
    if (!stream)
        return 0;
    ImageSequence sequence;
    if (read_image_sequence(stream, &sequence)) {
        for (int t = 0; t < 100; t += 7) {
            size_t index = (size_t)animation_image_index(&sequence, 3, t);
            if (index >= sequence.images.size())
                abort();
        }
    }
    free_image_sequence(&sequence);
    stream_close(stream);
    return 0;
}
