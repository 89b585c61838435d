// Internals of the data stream shared by the opening code and the readers.
#pragma once
#include <cstdint>
#include <cstdio>

#include "data/stream.h"

// The `limit` of a stream that is not an archive member.
constexpr uint32_t stream_unlimited = 0x7fffffffu;

// A new stream over `file` (which it owns from now on) with the given data
// slice; no decoder, not compressed. Never null: out of memory ends the program.
DataStream *stream_new(FILE *file, uint32_t base, uint32_t limit);

// Reads the gzip header from the first compressed chunk and starts the
// inflater; false when the data is not a usable gzip member. Sets `compressed`
// only on success.
bool stream_start_gzip(DataStream *stream);

// Frees the stream's record and whatever it owns (same as stream_close).
void stream_free(DataStream *stream);
