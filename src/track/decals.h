// Decals: pictures painted onto the ground textures of a terrain, from the
// track's "decals" file.
#pragma once
#include <cstdint>
#include <string>

struct Terrain;

struct Decal {
    // Picture: an image in memory ("Software" method, owned by the image
    // cache) or a GL texture.
    const uint8_t *image;
    int image_width, image_height, image_channels;
    uint32_t texture;
    uint32_t normal_texture;     // only with the terrain's normal-map flag
    uint32_t specular_texture;   // only with the terrain's normal-map flag
    float x, z;
    float angle;                 // radians about the vertical
    float width;                 // side along z before rotating
    float length_ratio;          // side along x is width * length_ratio
    float sin_angle, cos_angle;
    std::string texture_name;
};

// Reads "decals" from the track directory prefix ("@id/") into the terrain's
// list. A missing file is not an error. `mode` is a SurfaceTextureMode.
void read_decals(Terrain *terrain, const char *track_path, int mode);
// Writes the terrain's decals to `path` (track editor); false on failure.
bool write_decals(const Terrain *terrain, const char *path);
