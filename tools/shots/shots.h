// zorvex-shots: pictures of the data set's bikes, riders and title screen
// drawn with the game's renderer. Scenes of placed models, the cameras that
// frame them, the drawing and the checks on the models.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/rider_skeleton.h"

struct BikeLook;
struct BikeModel;
struct Model;
struct VarkWindow;

// Pictures are drawn this many times larger and averaged down, since the
// window layer asks for no multisampling.
constexpr int SUPERSAMPLE = 2;

// One model to draw at its world position (every body is at rest, so no
// rotations), with its skin.
struct Placed {
    Model *model;
    float position[3];
    unsigned texture, normal_map, specular_map;  // GL ids; 0 for none
    int pose;  // index into Scene::poses for skinned parts, else -1
};

// A text drawn with the game's font under a point of the scene.
struct Label {
    std::string text;
    float at[3];
};

struct Scene {
    std::vector<Placed> parts;
    std::vector<RiderBonePose> poses;
    std::vector<Label> labels;
    std::string caption;  // top-left of the picture; empty for none
};

// A camera: its axes are the rows of the view rotation and it looks along
// -back. tan_x and tan_y are the frustum half-extents at distance 1.
struct View {
    double eye[3], right[3], up[3], back[3];
    double tan_x, tan_y;
    double distance;  // from the eye to the middle of the subject
};

// --- scene.cpp ---------------------------------------------------------------------

// The parts of a bike at their bodies' rest positions with its skins and
// plate, the bike's origin at `origin`; with the rider in the pose `joints`
// (rider-body coordinates), or at rest when `joints` is null.
void add_bike(Scene *scene, const BikeModel *model, const BikeLook &look, const float origin[3], bool rider,
              const double (*joints)[3] = nullptr);
// The rider body, head and back plate with the rider body's origin at `origin`.
void add_rider(Scene *scene, const BikeLook &look, const float origin[3], const double joints[RIDER_JOINT_COUNT][3]);
// The joints with the left foot off its peg, reaching out to the side and forward.
void leg_out_joints(const BikeModel *model, double joints[RIDER_JOINT_COUNT][3]);

BoneData bones_of(const Scene &scene, const Placed &part);
// The lowest point of the scene as drawn: where its ground is.
double lowest_point(const Scene &scene);
// A camera `azimuth` degrees round from the bike's front toward its left and
// `elevation` degrees up that frames every vertex of the scene in a picture
// of the given aspect ratio.
View frame_view(const Scene &scene, double azimuth, double elevation, double aspect);
// Where a world point lands, as fractions of the picture from its lower left.
void project(const View &view, const float point[3], double *x, double *y);
// The height of the horizon as a fraction of the picture from its bottom.
double horizon_height(const View &view);

// --- draw.cpp ----------------------------------------------------------------------

struct Shots {
    VarkWindow *window = nullptr;
    int width = 0, height = 0;     // of the pictures written
    unsigned ground_texture = 0;   // made by shots_gl_setup
    unsigned white_texture = 0;    // stands in for a skin that did not load
    bool stencil = false;          // shadows darken each pixel once
    std::string out_dir;
    std::vector<std::string> written;
    bool failed = false;
};

// The textures and state the shots add to the game's renderer set-up.
void shots_gl_setup(Shots *shots);
// One scene from one direction, or two side by side, written to OUT_DIR/file_name.
void shoot(Shots *shots, const Scene &scene, double azimuth, double elevation, const char *file_name);
void shoot_pair(Shots *shots, const Scene &scene, const double views[2][2], const char *file_name);
// The title view: the title image over the whole window.
void shoot_title(Shots *shots);
// Averages factor x factor blocks of an RGB picture of width * factor x height * factor.
std::vector<uint8_t> downsample(const uint8_t *big, int width, int height, int factor);

// --- checks.cpp --------------------------------------------------------------------

// Prints a "check: ..." line for each mesh with triangles wound against
// their normals (culled where they should show, or lit from behind), with
// faces pointing inward, or with texture coordinates outside the image.
// Returns the number of lines printed.
int check_model(const Model *model);
