// Shared by the image fuzz targets: a data stream over the input bytes and
// limits small enough that every input runs quickly.
#pragma once
#include <cstdint>
#include <cstdio>

#include "data/image.h"
#include "data/stream_local.h"

// Null for an empty input (fmemopen refuses size 0).
inline DataStream *image_fuzz_stream(const uint8_t *data, size_t size)
{
    static bool once = false;
    if (!once) {
        once = true;
        image_max_pixels = 1 << 20;
        // A ".seq" may name any file as its PNG; never wait on a terminal.
        if (!freopen("/dev/null", "r", stdin))
            return nullptr;
    }
    if (size == 0)
        return nullptr;
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    return file ? stream_new(file, 0, stream_unlimited) : nullptr;
}
