// Fuzzes the billboards reader on a small sloped terrain.
#include "track/furniture.h"
#include "track/terrain.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Terrain *terrain = fuzz_terrain();
    std::string path = fuzz_file("billboards", data, size);
    clear_furniture();
    read_billboards(terrain, path.c_str());
    write_billboards((fuzz_dir() + "written").c_str());
    read_flaggers(terrain, path.c_str(), 3);
    clear_furniture();
    return 0;
}
