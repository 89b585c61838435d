// SHA-1 message digest.
#include "data/sha1.h"

#include <cstring>

static uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

static void sha1_block(Sha1 *sha, const uint8_t *p)
{
    uint32_t w[80];
    for (int i = 0; i < 16; i++)
        w[i] = (uint32_t)p[4 * i] << 24 | (uint32_t)p[4 * i + 1] << 16 | (uint32_t)p[4 * i + 2] << 8 | p[4 * i + 3];
    for (int i = 16; i < 80; i++)
        w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = sha->state[0], b = sha->state[1], c = sha->state[2], d = sha->state[3], e = sha->state[4];
    for (int i = 0; i < 80; i++) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t t = rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = t;
    }
    sha->state[0] += a;
    sha->state[1] += b;
    sha->state[2] += c;
    sha->state[3] += d;
    sha->state[4] += e;
}

void sha1_init(Sha1 *sha)
{
    static const uint32_t initial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    memcpy(sha->state, initial, sizeof initial);
    sha->length = 0;
    memset(sha->block, 0, sizeof sha->block);
    sha->block_used = 0;
}

void sha1_update(Sha1 *sha, const void *data, size_t size)
{
    const uint8_t *p = (const uint8_t *)data;
    sha->length += size;
    while (size > 0) {
        if (sha->block_used == 0 && size >= 64) {
            sha1_block(sha, p);
            p += 64;
            size -= 64;
            continue;
        }
        size_t n = 64 - sha->block_used;
        if (n > size)
            n = size;
        memcpy(sha->block + sha->block_used, p, n);
        sha->block_used += (uint32_t)n;
        p += n;
        size -= n;
        if (sha->block_used == 64) {
            sha1_block(sha, sha->block);
            sha->block_used = 0;
        }
    }
}

void sha1_final(Sha1 *sha, uint8_t digest[20])
{
    uint64_t bits = sha->length * 8;
    uint8_t pad = 0x80;
    uint64_t length = sha->length;
    sha1_update(sha, &pad, 1);
    uint8_t zero = 0;
    while (sha->block_used != 56)
        sha1_update(sha, &zero, 1);
    uint8_t tail[8];
    for (int i = 0; i < 8; i++)
        tail[i] = (uint8_t)(bits >> (56 - 8 * i));
    sha1_update(sha, tail, 8);
    sha->length = length;
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 4; j++)
            digest[4 * i + j] = (uint8_t)(sha->state[i] >> (24 - 8 * j));
}

void sha1_hex(const uint8_t digest[20], char text[41])
{
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 20; i++) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 15];
    }
    text[40] = 0;
}

static int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool sha1_matches_hex(const uint8_t digest[20], const char *text)
{
    if (!text || strlen(text) != 40)
        return false;
    for (int i = 0; i < 20; i++) {
        int hi = hex_value(text[2 * i]), lo = hex_value(text[2 * i + 1]);
        if (hi < 0 || lo < 0 || digest[i] != (uint8_t)(hi * 16 + lo))
            return false;
    }
    return true;
}
