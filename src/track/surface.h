// Surface types of a track (tileinfo or texturelist), the tile map that paints
// them onto the terrain, and the lookup from a world position to its type.
#pragma once
#include <cstdint>
#include <string>

struct Terrain;
struct DataStream;

enum { MAX_SURFACE_TYPES = 256, CURVE_POINTS = 8, ROOST_KINDS = 4 };

// Smallest curve key; a key of 0 ends a curve.
constexpr float MIN_CURVE_KEY = 9.5367431640625e-07f;  // 2^-20

// One kind of dirt spray thrown by wheels on a surface.
struct RoostKind {
    int kind;                  // 0 disabled, 1 defined, 2 defined with splash
    uint32_t texture;          // GL texture, 0 when none or not uploaded
    std::string texture_name;
    float count;
    float dig;
    float slip_threshold;
    float slow_angle;
    float fast_angle;
    float slow_speed;
    float fast_speed;
    float size;
    float grow;
    float drag;
    float vscale;
    float randomize;
    uint8_t colour[4];         // r, g, b, a
    int8_t fade[4];            // change of r, g, b, a per simulation step
};

struct SurfaceType {
    // Ground texture: a GL texture, or for the "Software" method an image in
    // memory owned by the image cache.
    uint32_t texture;
    const uint8_t *image;
    int image_width, image_height, image_channels;
    std::string texture_name;   // as given in the file ("@" added for texturelist)
    int32_t texture_code;       // bits 16-23 first texture, 8-15 second, 0-3 corner mask
    float friction[CURVE_POINTS];
    float friction_key[CURVE_POINTS];
    float roll_a[CURVE_POINTS];
    float roll_b[CURVE_POINTS];
    float roll_key[CURVE_POINTS];
    RoostKind roost[ROOST_KINDS];
    float erode_depth;
    float erode_lower;
    float erode_upper;
    float erode_displacement;
    float erode_radius;
    float erode_max_slope;
    float erode_off_speed;
    float erode_on_speed;
};

// Defaults of a pending tileinfo type (no texture, no roost kind enabled).
void default_surface_type(SurfaceType *type);
// Defaults of a roost kind (disabled, "@roost.png").
void default_roost_kind(RoostKind *roost);

// How surface textures are loaded: none (headless), GL textures, or images in
// memory for the "Software" ground-texture method.
enum SurfaceTextureMode { SURFACE_TEXTURES_NONE = 0, SURFACE_TEXTURES_GL = 1, SURFACE_TEXTURES_IMAGE = 2 };

// Parse an open tileinfo or texturelist into the terrain's surface types
// (count and the first entries of the 256-entry table; the rest keep the
// defaults) and work out the texture codes. False only when nothing at all
// can be read from the stream.
bool read_tileinfo(Terrain *terrain, DataStream *stream, SurfaceTextureMode mode);
bool read_texturelist(Terrain *terrain, DataStream *stream, SurfaceTextureMode mode);

// Reads the R*R tile map from the open stream; missing bytes become 0 and
// bytes above the last type number become it.
bool read_tilemap(Terrain *terrain, DataStream *stream);
// Writes the tile map back as raw bytes (track editor); false on failure.
bool write_tilemap(const Terrain *terrain, const char *path);

// Texture code of every defined type, from the types' texture names.
void compute_texture_codes(Terrain *terrain);

// Surface type number under world (x, z); outside the terrain the nearest
// edge tile. Always below 256 and safe to index Terrain::surfaces with.
int surface_at(const Terrain *terrain, float x, float z);
