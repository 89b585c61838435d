// Track furniture: billboards, statues, the starting gate, lap board and
// flaggers, track cameras and the statue grid, with their files and writers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Terrain;
struct Model;   // a loaded model file, owned by the model cache
struct Shape;   // a collision shape, owned by the shape cache

struct Billboard {
    float x, y, z;
    float height;            // vertical size of the sprite
    float offset;            // height above the ground
    float width_factor;      // the sprite is height * width_factor wide
    float sort_key;
    uint32_t texture;        // 0 when none or not uploaded
    std::string texture_name;  // without the colour prefix; empty = none
    uint8_t colour[4];
};

struct Statue {
    const Model *model;      // null when none or not loaded (headless)
    const Shape *shape;      // null until the collision shape reader exists
    float shape_radius;      // bounding radius of the shape, for the statue grid
    uint32_t texture, normal_texture, specular_texture;  // 0 when absent
    std::string model_name, texture_name, shape_name;    // empty = "null"
    float x, y, z;
    float offset;
    float angle;
    float orientation[9];    // row-major; column k is the statue's axis k in the world
    float scale_power;       // 2^angle when angle >= 3.25, else 0
    int touched_tick;        // last tick a bike touched it, -1 never
};

struct StartingGate {
    int billboard;           // -1 when unset
    float start[3], end[3];
    float width, height, duration;
    uint32_t textures[5];
    std::string texture_names[5];
};

struct LapBoard {
    int billboard;           // -1 when unset
    uint32_t textures[4];
    std::string texture_names[4];
};

struct Flagger {
    int billboard;
    uint32_t textures[2];
    std::string texture_names[2];
    int gates[4];            // timing-gate indices, -1 none
};

struct TrackCamera {
    float x, y, z, yaw, pitch, yaw_rate, pitch_rate, fov, framing;
};

enum { STATUE_GRID = 8, PARTICLE_BILLBOARDS = 2000 };

// Per track: emptied by clear_furniture (load_track and free_track).
struct Furniture {
    std::vector<Billboard> billboards;
    std::vector<Statue> statues;
    std::vector<Flagger> flaggers;
    StartingGate starting_gate;
    LapBoard lap_board;
    std::vector<TrackCamera> cameras;
    int camera_by_gate[256];                               // -1 = none
    std::vector<int> statue_cells[STATUE_GRID * STATUE_GRID]; // (row z, column x) at row*8 + column
};

extern Furniture track_furniture;

void clear_furniture();

// Placement. Objects sit at terrain_height_at(x, z) + offset on `terrain`
// (offset alone when terrain is null). The texture name of a billboard may
// carry a "#rrggbb#" colour prefix. Names "null" or empty mean none.
int add_billboard(const Terrain *terrain, float x, float offset, float z, float height, float width_factor,
                  const char *texture);
int add_statue(const Terrain *terrain, float x, float offset, float z, float angle, const char *model,
               const char *texture, const char *shape);
// Recomputes y (and a statue's orientation) after the terrain changed.
void replace_billboard(const Terrain *terrain, int index);
void replace_statue(const Terrain *terrain, int index);
// Orientation of a statue at (x, z) for `angle` (see the statues file).
void statue_orientation(const Terrain *terrain, float x, float z, float angle, float orientation[9]);

// Normal-map or specular candidates of a statue texture, in trying order:
// `suffix` is "_norm" or "_spec".
std::vector<std::string> statue_map_names(const std::string &texture, const std::string &model, const char *suffix);

// Readers, called with the full data name of the file; missing files are not errors.
void read_billboards(const Terrain *terrain, const char *name);
void read_statues(const Terrain *terrain, const char *name);
void read_flaggers(const Terrain *terrain, const char *name, int gate_count);
void read_cameras(const Terrain *terrain, const char *name);

// Writers (track editor); false after posting "Can't open '...'".
bool write_billboards(const char *name);
bool write_statues(const char *name);

// Empties the statue grid and inserts every statue that has a collision shape.
void rebuild_statue_grid(float extent);
// Cell index (0..7) of world coordinate v on a terrain of side `extent`.
int statue_cell(float v, float extent);
