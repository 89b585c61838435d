// Fuzzes the lighting reader.
#include <cmath>
#include <cstdlib>

#include "track/lighting.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string path = fuzz_file("lighting", data, size);
    Lighting lighting;
    read_lighting(&lighting, path.c_str());
    if (!(lighting.near_plane >= 0.0009765625f && lighting.near_plane <= 0.875f) ||
        !(lighting.far_plane >= lighting.near_plane && lighting.far_plane <= 1048576.0f))
        abort();
    for (const LensFlare &flare : lighting.flares)
        if (flare.element_count > FLARE_ELEMENTS)
            abort();
    return 0;
}
