// Fuzz target: gzip members read through stream_open of a temporary file,
// by bytes, blocks and lines; the stream must end, never hang.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "data/stream.h"

static std::string temp_base()
{
    static std::string base;
    if (base.empty()) {
        char pattern[] = "/tmp/zvfuzz-gz-XXXXXX";
        if (!mkdtemp(pattern))
            abort();
        base = std::string(pattern) + "/f";
    }
    return base;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string base = temp_base();
    std::string path = base + ".gz";
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    int how = size ? data[size - 1] % 3 : 0;
    DataStream *s = stream_open(base.c_str(), "rb");
    if (!s)
        return 0;
    // A deflate stream can expand about 1032 times; anything beyond is a stream that does not end.
    size_t cap = size * 1100 + 4096, total = 0;
    char buffer[300];
    for (;;) {
        size_t got;
        if (how == 0) {
            int c = stream_getc(s);
            got = c < 0 ? 0 : 1;
        } else if (how == 1) {
            got = stream_read(s, buffer, sizeof buffer);
        } else {
            char *line = stream_gets(s, buffer, sizeof buffer);
            got = line ? 1 : 0;
        }
        if (got == 0)
            break;
        total += got;
        if (total > cap)
            abort();
    }
    if (stream_getc(s) != -1)
        abort();
    stream_close(s);
    return 0;
}
