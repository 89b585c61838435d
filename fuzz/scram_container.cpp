// Fuzz target: scrambled containers, alone and holding gzip data.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/scram.h"
#include "data/stream.h"

static std::string temp_base()
{
    static std::string base;
    if (base.empty()) {
        char pattern[] = "/tmp/zvfuzz-scram-XXXXXX";
        if (!mkdtemp(pattern))
            abort();
        base = std::string(pattern) + "/f";
    }
    return base;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The decoder straight over the bytes, with a bound that may cut them.
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (file) {
        uint32_t available = size ? data[0] * 97u : 0;
        if (ScramDecoder *d = scram_open(file, available)) {
            uint8_t buffer[777];
            size_t total = 0, got;
            while ((got = scram_read(d, buffer, 1 + total % sizeof buffer)) > 0)
                total += got;
            if (total > available || total + 16 > size)
                abort();
            scram_free(d);
        }
        fclose(file);
    }
    // Through a stream, as ".scram" or ".gz.scram".
    std::string base = temp_base();
    remove((base + ".scram").c_str());
    remove((base + ".gz.scram").c_str());
    std::string path = base + (size && (data[size - 1] & 1) ? ".gz.scram" : ".scram");
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    DataStream *s = stream_open(base.c_str(), "rb");
    if (!s)
        return 0;
    size_t total = 0;
    while (stream_getc(s) >= 0)
        if (++total > size * 1100 + 4096)
            abort();
    stream_close(s);
    return 0;
}
