// The heightfield terrain of the loaded track: heights, shading, shadows,
// tile map and surface types; height and normal queries and deformation.
#pragma once
#include <cstdint>
#include <vector>

#include "track/decals.h"
#include "track/surface.h"

// Largest size exponent accepted from a file: 8193 x 8193 points.
enum { MAX_TERRAIN_EXPONENT = 12 };

// Ground texture composition kinds (the "Terrain Rendering Method").
enum { TEXTURE_METHOD_SOFTWARE = 1, TEXTURE_METHOD_COPY = 2, TEXTURE_METHOD_DIRECT = 3 };

struct TerrainRenderState;  // level of detail and ground textures, owned by the renderer

// One per loaded track, from load_terrain to free_terrain.
struct Terrain {
    int size_exponent;          // n
    int grid_size;              // N = 2 * 2^n + 1
    int tiles;                  // R = 2^n, tile map side
    float spacing;              // s
    float inverse_spacing;      // 1/s as float, the factor every query uses
    float double_spacing;       // 2s
    float extent;               // 2R * s
    float low_height;           // sample 0; lowered by deformation
    float high_height;          // sample 65535; raised by deformation
    std::vector<float> heights;        // N*N, point (i, j) at j*N + i
    std::vector<uint8_t> shading;      // N*N*3, half intensity
    std::vector<uint8_t> normal_map;   // N*N*3, only with normal_map_flag
    std::vector<uint8_t> shadow;       // N*N, 0 lit .. 255 shadowed
    std::vector<uint8_t> tile_map;     // R*R surface type numbers
    int modified;               // 0 after load, 3 after any deformation
    int deformation_lock;       // while non-zero, deformation writes nothing
    int change_counter;         // incremented after every deformation
    int normal_map_flag;

    // Surface types: the first surface_count are defined; the rest of the
    // table keeps the defaults so that any tile byte can be looked up.
    int surface_count;
    SurfaceType surfaces[MAX_SURFACE_TYPES];

    std::vector<Decal> decals;

    // Ground texture rendering state; the renderer fills it when a GL
    // context exists and leaves it empty in headless processes.
    int composition_kind;       // TEXTURE_METHOD_*, 0 when nothing is composed
    int ground_texture_size;    // M, texels per composed ground texture side
    uint32_t texture_slots[256];
    int cached_cell_x, cached_cell_z;  // -1000000 when invalid
    TerrainRenderState *render;
};

// The terrain of the loaded track (per track; null when none is loaded).
extern Terrain *current_terrain;
// Largest size exponent load_terrain accepts (MAX_TERRAIN_EXPONENT; fuzzing lowers it).
extern int terrain_max_exponent;

// Sets the grid of an empty terrain: sizes, heights all `low`, shading,
// shadow and tile map zero. False for an exponent outside
// 0..terrain_max_exponent or a spacing that is not a positive number.
bool terrain_allocate(Terrain *terrain, int exponent, float spacing, float low, float high);

// Loads "terrain.hf" and the files that go with it from `track_path` (a data
// path prefix such as "@rabbithill/"). `texture_method` is the requested
// ground-texture method (TEXTURE_METHOD_*). Textures are uploaded only when
// the renderer installed its loader (track_graphics). Returns 1, or 0 after
// reporting the reason and releasing everything.
int load_terrain(Terrain *terrain, const char *track_path, int texture_method);
void free_terrain(Terrain *terrain);

// Ground height at world (x, z): linear on the triangle under the point;
// outside the grid the edge heights continue outward.
float terrain_height_at(const Terrain *terrain, float x, float z);
// Unnormalised upward normal of the triangle under (x, z); (0, s^2, 0) on flat ground.
void terrain_normal_at(const Terrain *terrain, float x, float z, float normal[3]);
// Smooth unit normal at grid point (i, j) (heights clamped to the grid).
void terrain_vertex_normal(const Terrain *terrain, int i, int j, float normal[3]);
// Recomputes shading (and normal map) of grid points i0..i1, j0..j1 from the
// track's lighting.
void terrain_relight(Terrain *terrain, int i0, int j0, int i1, int j1);
// Recomputes only the normal map of the rectangle (used at load).
void terrain_relight_normals(Terrain *terrain, int i0, int j0, int i1, int j1);
// Adds a smooth round bump of `amount` height units at (x, z) (negative digs).
void terrain_stamp(Terrain *terrain, float x, float z, float radius, float amount);

// Height of grid point (i, j), both clamped into the grid.
inline float terrain_grid_height(const Terrain *terrain, int i, int j)
{
    int last = terrain->grid_size - 1;
    i = i < 0 ? 0 : (i > last ? last : i);
    j = j < 0 ? 0 : (j > last ? last : j);
    return terrain->heights[(size_t)j * terrain->grid_size + i];
}

// Track editor: writes "terrain.hf" (header only) and "terrain.png" under
// `track_path`, updating the low and high heights to the ones present.
bool write_terrain_heights(Terrain *terrain, const char *track_path);
// Track editor: writes "shadingx2.ppm" and "shading.ppm" under `track_path`.
bool write_terrain_shading(const Terrain *terrain, const char *track_path);
