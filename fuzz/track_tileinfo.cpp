// Fuzzes the tileinfo and texturelist readers and the tile map.
#include "data/stream.h"
#include "track/surface.h"
#include "track/terrain.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Terrain *terrain = new Terrain();
    terrain_allocate(terrain, 2, 1.0f, 0, 1);
    std::string path = fuzz_file("tileinfo", data, size);
    for (int list = 0; list < 2; list++) {
        DataStream *stream = stream_open(path.c_str(), "r");
        if (!stream)
            return 0;
        if (list)
            read_texturelist(terrain, stream, SURFACE_TEXTURES_NONE);
        else
            read_tileinfo(terrain, stream, SURFACE_TEXTURES_NONE);
        stream_close(stream);
        stream = stream_open(path.c_str(), "r");
        read_tilemap(terrain, stream);
        stream_close(stream);
        for (uint8_t b : terrain->tile_map)
            if (terrain->surface_count > 0 && b >= terrain->surface_count)
                abort();
        (void)surface_at(terrain, (float)size, -1.0f);
    }
    return 0;
}
