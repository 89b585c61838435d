// Turns a track design (course, ground, surfaces, lighting, decoration)
// into the files of a track directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "datagen/course.h"
#include "datagen/datagen.h"
#include "datagen/textures.h"

struct SurfaceDef {
    std::string name;                     // texture file stem, e.g. "dirt"
    GroundKind look;
    double friction[3][2];                // (coefficient, sliding-speed key) points
    double roll[3];                       // a, b, key
    std::string roost;                    // roost line arguments, empty for none
    double erode[8];                      // depth, lower, upper, displacement, radius, max slope, off and on speed
};

// Surface roles on every track.
enum { SURF_MAIN, SURF_LINE, SURF_EDGE, SURF_INFIELD, SURF_ROLES };

struct TrackDesign {
    std::string id;
    std::string title;          // first line of desc
    std::string blurb;          // further desc lines
    int exponent = 9;
    double spacing = 1.0;
    uint32_t seed = 1;
    double (*ground)(double x, double z) = nullptr;   // natural ground height
    CoursePiece lap;            // closed; s = 0 at the finish line
    CoursePiece lead;           // start straight from the gate to the lap
    double junction_s = 0;      // where the lead meets the lap (distance along the lap)
    double shoulder = 10;       // width over which the track blends into the ground
    double checkpoint_spacing = 45;
    SurfaceDef surfaces[SURF_ROLES];
    // Lighting
    double sun_vector[3] = {0.5, 0.8, 0.35};
    double sun_colour[3] = {0.62, 0.6, 0.55};
    double ambient[3] = {0.36, 0.38, 0.42};
    double global_ambient[3] = {0.2, 0.2, 0.2};
    double fog_colour[3] = {0.7, 0.75, 0.82};
    double fog_density = 0.0004;
    double far_plane = 4000;
    // Decoration
    double tree_rate = 0.5;     // chance of a tree per 32-ft cell away from the course
    bool pines = false;
    bool stadium = false;       // stands and lights instead of trees
    std::vector<std::string> banners;   // banner texture names (shared)
};

// What the test and the previews need to know of a built track.
struct TrackSummary {
    std::string id;
    double lap_length = 0;
    int checkpoints = 0;
    int first_lap = 0, normal_lap = 0;
};

// Builds every file of the track into `set`, under "<id>/".
TrackSummary build_track(DataSet *set, TrackDesign *design, const std::string &preview_dir);

// Files shared by all tracks: statue models, skins and shapes, billboard
// sprites, boards, decals, roost and flare sprites.
void build_track_objects(DataSet *set);
