// Shared by the track fuzz targets: the input as a file in a private directory.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "track/terrain.h"

// Directory (ending in "/") created once per process.
inline const std::string &fuzz_dir()
{
    static std::string dir;
    if (dir.empty()) {
        char pattern[] = "/tmp/zv_fuzz_track_XXXXXX";
        const char *made = mkdtemp(pattern);
        dir = std::string(made ? made : "/tmp") + "/";
        // "@" names look only here, not in the directory of the fuzzer.
        setenv("ZV_HOME", dir.c_str(), 1);
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
    }
    return dir;
}

// Writes the input to fuzz_dir() + name and returns the path.
inline std::string fuzz_file(const char *name, const uint8_t *data, size_t size)
{
    std::string path = fuzz_dir() + name;
    FILE *f = fopen(path.c_str(), "wb");
    if (f) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
    return path;
}

// A small sloped terrain made once per process, for readers that place things on it.
inline Terrain *fuzz_terrain()
{
    static Terrain *terrain = nullptr;
    if (!terrain) {
        terrain = new Terrain();
        terrain_allocate(terrain, 2, 1.0f, 0, 1);
        for (size_t k = 0; k < terrain->heights.size(); k++)
            terrain->heights[k] = (float)(k % 5);
    }
    return terrain;
}
