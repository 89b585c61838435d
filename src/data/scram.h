// The scrambled container: "ZVSCRAM1", an 8-byte key, then the content XORed
// with an MT19937 keystream seeded by the key.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct ScramDecoder;

// Reads the header at the file's current position; null when it is not a container.
// `available` bounds how many bytes of the file belong to the container.
ScramDecoder *scram_open(FILE *file, uint32_t available);
// Up to `count` decoded bytes; fewer at the end.
size_t scram_read(ScramDecoder *decoder, void *buffer, size_t count);
void scram_free(ScramDecoder *decoder);

// The container bytes for `content` scrambled with `key`.
std::vector<uint8_t> scram_encode(const std::vector<uint8_t> &content, uint64_t key);
