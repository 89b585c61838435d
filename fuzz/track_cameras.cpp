// Fuzzes the cameras reader on a small sloped terrain.
#include "track/furniture.h"
#include "track/terrain.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Terrain *terrain = nullptr;
    if (!terrain) {
        terrain = new Terrain();
        terrain_allocate(terrain, 2, 1.0f, 0, 1);
        for (size_t k = 0; k < terrain->heights.size(); k++)
            terrain->heights[k] = (float)(k % 5);
    }
    std::string path = fuzz_file("cameras", data, size);
    clear_furniture();
    read_cameras(terrain, path.c_str());
    clear_furniture();
    return 0;
}
