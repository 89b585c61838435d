// SHA-1 message digest (the published algorithm); used for data checks, not for security.
#pragma once
#include <cstddef>
#include <cstdint>

struct Sha1 {
    uint32_t state[5];
    uint64_t length;        // bytes hashed so far
    uint8_t block[64];
    uint32_t block_used;
};

void sha1_init(Sha1 *sha);
void sha1_update(Sha1 *sha, const void *data, size_t size);
void sha1_final(Sha1 *sha, uint8_t digest[20]);

// Lower-case hexadecimal text of a digest, 40 digits and a terminating zero.
void sha1_hex(const uint8_t digest[20], char text[41]);

// True when `text` is 40 hexadecimal digits (either case) spelling `digest`.
bool sha1_matches_hex(const uint8_t digest[20], const char *text);
