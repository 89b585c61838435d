// Fuzzes the cameras reader on a small sloped terrain.
#include "track/furniture.h"
#include "track/terrain.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Terrain *terrain = fuzz_terrain();
    std::string path = fuzz_file("cameras", data, size);
    clear_furniture();
    read_cameras(terrain, path.c_str());
    clear_furniture();
    return 0;
}
