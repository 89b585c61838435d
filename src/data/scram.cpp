// The scrambled container.
//
// Format, fixed for good because shipped files depend on it:
//   bytes 0..7   "ZVSCRAM1"
//   bytes 8..15  the key, a 64-bit little-endian integer
//   bytes 16..   the content, byte i XORed with keystream byte i
// Keystream: a std::mt19937 constructed from
//   std::seed_seq{uint32_t(key), uint32_t(key >> 32)}  (low half first);
// each 32-bit output gives four keystream bytes, least significant byte first.
// Both std::mt19937 and std::seed_seq are fully specified by the C++ standard,
// so every conforming library produces the same keystream.
#include "data/scram.h"

#include <cstdlib>
#include <cstring>
#include <random>

static const char scram_magic[8] = {'Z', 'V', 'S', 'C', 'R', 'A', 'M', '1'};
constexpr size_t scram_header_size = 16;

struct Keystream {
    std::mt19937 generator;
    uint32_t word;
    int bytes_left;  // unused bytes of `word`
};

static void keystream_init(Keystream *k, uint64_t key)
{
    std::seed_seq seed{(uint32_t)key, (uint32_t)(key >> 32)};
    k->generator.seed(seed);
    k->word = 0;
    k->bytes_left = 0;
}

static void keystream_apply(Keystream *k, uint8_t *data, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (k->bytes_left == 0) {
            k->word = (uint32_t)k->generator();
            k->bytes_left = 4;
        }
        data[i] ^= (uint8_t)k->word;
        k->word >>= 8;
        k->bytes_left--;
    }
}

struct ScramDecoder {
    FILE *file;
    uint64_t remaining;  // content bytes still to take from the file
    Keystream keystream;
    uint8_t buffer[4096];
    size_t buffered;
    size_t next;
};

ScramDecoder *scram_open(FILE *file, uint32_t available)
{
    if (!file || available < scram_header_size)
        return nullptr;
    uint8_t header[scram_header_size];
    if (fread(header, 1, sizeof header, file) != sizeof header || memcmp(header, scram_magic, 8) != 0)
        return nullptr;
    uint64_t key = 0;
    for (int i = 7; i >= 0; i--)
        key = key << 8 | header[8 + i];
    ScramDecoder *d = new ScramDecoder;
    d->file = file;
    d->remaining = available - scram_header_size;
    keystream_init(&d->keystream, key);
    d->buffered = 0;
    d->next = 0;
    return d;
}

size_t scram_read(ScramDecoder *d, void *buffer, size_t count)
{
    uint8_t *out = (uint8_t *)buffer;
    size_t delivered = 0;
    while (delivered < count) {
        if (d->next == d->buffered) {
            size_t want = sizeof d->buffer;
            if (want > d->remaining)
                want = (size_t)d->remaining;
            if (want == 0)
                break;
            size_t got = fread(d->buffer, 1, want, d->file);
            if (got == 0) {
                d->remaining = 0;
                break;
            }
            d->remaining -= got;
            keystream_apply(&d->keystream, d->buffer, got);
            d->buffered = got;
            d->next = 0;
        }
        size_t take = d->buffered - d->next;
        if (take > count - delivered)
            take = count - delivered;
        memcpy(out + delivered, d->buffer + d->next, take);
        d->next += take;
        delivered += take;
    }
    return delivered;
}

void scram_free(ScramDecoder *d)
{
    delete d;
}

std::vector<uint8_t> scram_encode(const std::vector<uint8_t> &content, uint64_t key)
{
    std::vector<uint8_t> out(scram_magic, scram_magic + 8);
    for (int i = 0; i < 8; i++)
        out.push_back((uint8_t)(key >> (8 * i)));
    out.insert(out.end(), content.begin(), content.end());
    Keystream k;
    keystream_init(&k, key);
    keystream_apply(&k, out.data() + scram_header_size, content.size());
    return out;
}
