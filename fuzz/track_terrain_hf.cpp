// Fuzzes terrain.hf (header, ":" samples) through load_terrain; the input is
// also offered as the shading image and the tile map.
#include "platform/message_log.h"
#include "track/terrain.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Keeps each run small; the limit itself is tested by the unit tests.
    terrain_max_exponent = 6;
    fuzz_file("terrain.hf", data, size);
    fuzz_file("shading.ppm", data, size);
    fuzz_file("tilemap", data, size);
    fuzz_file("texturelist", data, size > 64 ? 64 : size);
    static Terrain *terrain = new Terrain();
    if (load_terrain(terrain, fuzz_dir().c_str(), TEXTURE_METHOD_DIRECT)) {
        float h = terrain_height_at(terrain, 1.5f, 2.5f);
        (void)h;
        terrain_stamp(terrain, 1, 1, 3, 0.5f);
    }
    free_terrain(terrain);
    return 0;
}
