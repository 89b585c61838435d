// Fuzz target: stream_scanf with a fixed set of formats over the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/stream.h"

static std::string temp_path()
{
    static std::string path;
    if (path.empty()) {
        char pattern[] = "/tmp/zvfuzz-scanf-XXXXXX";
        if (!mkdtemp(pattern))
            abort();
        path = std::string(pattern) + "/in.txt";
    }
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    std::string path = temp_path();
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);
    DataStream *s = stream_open(path.c_str(), "rb");
    if (!s)
        return 0;
    int choice = data[0] % 8;
    for (int round = 0; round < 64; round++) {
        int i1 = 0, i2 = 0, n = 0;
        short h = 0;
        long long ll = 0;
        float fl = 0;
        double d = 0;
        long double ld = 0;
        // Widths bound every text target; sizes leave room for the terminator.
        char w1[32], w2[64], set[128], chars[4];
        int r = 0;
        switch ((choice + round) % 8) {
        case 0: r = stream_scanf(s, "%d %i %n", &i1, &i2, &n); break;
        case 1: r = stream_scanf(s, "%31s %63[^\n]\n", w1, w2); break;
        case 2: r = stream_scanf(s, "%f,%lf;%Lf", &fl, &d, &ld); break;
        case 3: r = stream_scanf(s, "key=%x %o %X%%", &i1, &i2, &i1); break;
        case 4: r = stream_scanf(s, "%127[a-zA-Z0-9_-] %3c", set, chars); break;
        case 5: r = stream_scanf(s, "%hd %lld %*d %u", &h, &ll, &i1); break;
        case 6: r = stream_scanf(s, " %127[^]x-z] %5d", set, &i1); break;
        case 7: r = stream_scanf(s, "%2i%3f%n", &i1, &fl, &n); break;
        }
        if (r < -1 || r > 4)
            abort();
        if (stream_getc(s) < 0)
            break;
    }
    stream_close(s);
    return 0;
}
