// Internals shared by the image units (image.cpp, image_png.cpp) and their fuzzers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "data/image.h"

// Sets the text last_image_error returns.
void set_image_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

// malloc that ends the program with the out-of-memory box; sizes are already
// capped by the readers, so a failure here is a real shortage.
void *image_malloc(size_t size);
void *image_realloc(void *block, size_t size);

// True when a width x height image is within the readers' limits.
bool image_size_ok(int width, int height);

// PNG readers over an open stream (the callers open and close it).
bool read_png_stream(DataStream *stream, DecodedImage *image);
bool read_png_gray16_stream(DataStream *stream, uint16_t **samples, int *width, int *height);
