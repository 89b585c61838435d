// Textures: upload of decoded images to OpenGL, the texture cache with its
// generations, and animated textures. The public operations (load_texture,
// upload_texture, purge_textures, ...) are declared in data/image.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "data/image.h"

struct TextureCacheEntry {
    unsigned id;          // OpenGL texture name
    int generation;
    int64_t memory;       // bytes the upload used
    std::string options;  // PNG text chunks and ".info", or empty
    std::string name;     // the name it was loaded under
};

// An animated texture from a ".seq" file.
struct TextureAnimation {
    unsigned id;
    int shown;            // index of the image in the texture now
    int start;            // time of the last restart
    bool paused;
    ImageSequence sequence;
};

// Per process, in loading order; purged by purge_textures.
const std::vector<TextureCacheEntry> &texture_cache();
const std::vector<TextureAnimation> &texture_animations();

// Steps of the upload that load_texture runs: resample to powers of two,
// drop `drop` detail levels, then upload_texture. Adds the bytes used to
// `*memory`. 0 on failure.
unsigned upload_image(DecodedImage *image, const char *name, int drop, int flags, int64_t *memory);

// Deletes every texture and animation and forgets the image cache (shutdown, tests).
void free_textures();
