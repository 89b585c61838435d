// Fuzzes the statues reader on a small sloped terrain.
#include "track/furniture.h"
#include "track/terrain.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Terrain *terrain = fuzz_terrain();
    std::string path = fuzz_file("statues", data, size);
    clear_furniture();
    read_statues(terrain, path.c_str());
    write_statues((fuzz_dir() + "written").c_str());
    clear_furniture();
    return 0;
}
