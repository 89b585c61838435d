// The lighting of the loaded track: sun, ambient, sky box, lens flares, fog
// and clipping planes, from the track's "lighting" file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum { FLARE_ELEMENTS = 8 };

struct FlareElement {
    float placement;        // position along the flare line
    float size;
    float colour[3];
    float extra;
    uint32_t texture;       // 0 when not uploaded
    std::string texture_name;
};

struct LensFlare {
    int element_count;
    FlareElement elements[FLARE_ELEMENTS];
    float position[3];      // a point, or a direction when `type` is 1
    int type;               // 0 point in the world, 1 direction
};

struct Lighting {
    float sun_vector[3];    // unit length after reading
    float sun_colour[3];
    float ambient[3];
    float global_ambient[3];
    float near_plane;
    float far_plane;
    int dynamic_lighting;
    std::string sky[5];     // north, east, south, west, up
    std::string sky_env;
    float fog_colour[3];
    float fog_density;      // 0 = no fog
    std::vector<LensFlare> flares;
};

// Lighting of the loaded track (per track: reset by read_lighting).
extern Lighting track_lighting;

void default_lighting(Lighting *lighting);
// Resets `lighting` to the defaults, then reads the file `path` over them;
// a missing file keeps the defaults.
void read_lighting(Lighting *lighting, const char *path);
