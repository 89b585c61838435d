// Bike parts are built in bike-local coordinates (x lateral, y up, z toward
// the rear) and stored relative to the centre of the body that carries them,
// since each part is drawn at its body's position and rotation.
#include "datagen/bikes.h"

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "data/model.h"
#include "datagen/image_out.h"
#include "datagen/preview.h"
#include "datagen/mesh.h"
#include "datagen/textures.h"
#include "sim/bike_models.h"

namespace {

// Skin atlas regions shared by all bike skins (256 x 256).
const UvRect PLASTIC = {0, 0, 0.5, 0.5};
const UvRect FRAME = {0.5, 0, 1, 0.25};
const UvRect METAL = {0.5, 0.25, 1, 0.5};
const UvRect SEAT = {0, 0.5, 0.5, 1};
const UvRect GRAPHIC = {0.5, 0.5, 1, 1};
const UvRect WHOLE = {0, 0, 1, 1};

// Wheel skin regions.
const UvRect TYRE = {0, 0, 1, 0.5};
const UvRect RIM = {0, 0.5, 0.5, 1};
const UvRect HUB = {0.5, 0.5, 1, 0.75};
const UvRect SPOKE = {0.5, 0.75, 1, 1};

// Small plastic parts use the plain part of the plastic region, above its
// pin stripe.
const UvRect PLASTIC_PLAIN = {0, 0, 0.5, 0.2};

// Keeps a texel and a half away from a region's edges, so that filtering
// never reaches into the neighbouring region.
UvRect inset(UvRect r)
{
    const double e = 1.5 / 256;
    return {r.u0 + e, r.v0 + e, r.u1 - e, r.v1 - e};
}

using P3 = MeshPoint;

P3 operator+(const P3 &a, const P3 &b)
{
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
P3 operator-(const P3 &a, const P3 &b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
P3 operator*(const P3 &a, double s)
{
    return {a[0] * s, a[1] * s, a[2] * s};
}
double dot(const P3 &a, const P3 &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
P3 cross(const P3 &a, const P3 &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
P3 unit(const P3 &a)
{
    double length = std::sqrt(dot(a, a));
    return length > 0 ? a * (1 / length) : a;
}
P3 p3(const float f[3])
{
    return {f[0], f[1], f[2]};
}
const P3 X_AXIS = {1, 0, 0};

LoftSection section(const P3 &centre, const P3 &side, const P3 &up, double round, double arch = 0)
{
    LoftSection s;
    for (int k = 0; k < 3; k++)
        s.centre[k] = centre[k], s.side[k] = side[k], s.up[k] = up[k];
    s.round = round;
    s.arch = arch;
    return s;
}

// A section square to z (a loft running front to back).
LoftSection zsection(double x, double y, double z, double half_w, double half_h, double round, double arch = 0)
{
    return section({x, y, z}, {half_w, 0, 0}, {0, half_h, 0}, round, arch);
}

// Scalars through `keys` like smooth_path's points.
std::vector<double> smooth_values(const std::vector<double> &keys, int steps)
{
    std::vector<P3> points;
    for (double v : keys)
        points.push_back({v, 0, 0});
    std::vector<double> out;
    for (const P3 &p : smooth_path(points, steps))
        out.push_back(p[0]);
    return out;
}

// A rounded bar along a smoothed path: `half_side` across the path towards
// `hint`, `half_up` square to both, both given at the keys.
void add_bar(MeshPart *part, const std::vector<P3> &keys, const std::vector<double> &half_side,
             const std::vector<double> &half_up, double round, const P3 &hint, int steps, int corner_segments,
             UvRect uv)
{
    const double h[3] = {hint[0], hint[1], hint[2]};
    add_loft(part,
             path_sections(smooth_path(keys, steps), h, smooth_values(half_side, steps), smooth_values(half_up, steps),
                           round),
             corner_segments, uv);
}

void add_pipe(MeshPart *part, const std::vector<P3> &keys, const std::vector<double> &radii, int steps, int segments,
              UvRect uv)
{
    add_tube(part, smooth_path(keys, steps), smooth_values(radii, steps), segments, uv);
}

void add_straight(MeshPart *part, const P3 &a, const P3 &b, double radius, int segments, UvRect uv)
{
    add_tube(part, {a, b}, {radius, radius}, segments, uv);
}

// A plate-like shell between a top and a bottom edge (front to back),
// `half_thick` thick towards `outward`, its middle bulging out by `bulge`.
void add_panel(MeshPart *part, const std::vector<P3> &top, const std::vector<P3> &bottom, const P3 &outward,
               double half_thick, double bulge, int steps, UvRect uv)
{
    std::vector<P3> t = smooth_path(top, steps), b = smooth_path(bottom, steps);
    std::vector<LoftSection> sections;
    for (size_t k = 0; k < t.size(); k++)
        sections.push_back(section((t[k] + b[k]) * 0.5, (t[k] - b[k]) * 0.5, outward * half_thick, 0.3, bulge));
    add_loft(part, sections, 1, uv);
}

// A six-sided block from its eight corners (see add_block).
void add_corners(MeshPart *part, const P3 (&c)[8], UvRect uv, int skip = 0)
{
    double corners[8][3];
    for (int k = 0; k < 8; k++)
        for (int i = 0; i < 3; i++)
            corners[k][i] = c[k][i];
    add_block(part, corners, uv, skip);
}

// A block around `centre` with half extents along three directions (a
// right-handed set).
void add_oriented_box(MeshPart *part, const P3 &centre, const P3 &ax, const P3 &ay, const P3 &az, UvRect uv)
{
    P3 c[8];
    for (int k = 0; k < 8; k++)
        c[k] = centre + ax * (k & 1 ? 1 : -1) + ay * (k & 2 ? 1 : -1) + az * (k & 4 ? 1 : -1);
    add_corners(part, c, uv);
}

void add_box_at(MeshPart *part, const P3 &lo, const P3 &hi, UvRect uv)
{
    const double l[3] = {lo[0], lo[1], lo[2]}, h[3] = {hi[0], hi[1], hi[2]};
    add_box(part, l, h, uv);
}

// Appends `from`, or its mirror image across the centre plane (faces still
// facing out). Returns the index of the first vertex added.
int append(MeshPart *to, const MeshPart &from, bool mirror)
{
    int first = (int)to->vertices.size();
    for (MeshVertex v : from.vertices) {
        if (mirror)
            v.p[0] = -v.p[0], v.n[0] = -v.n[0];
        to->vertices.push_back(v);
    }
    for (size_t k = 0; k < from.triangles.size(); k += 3) {
        int a = from.triangles[k] + first, b = from.triangles[k + 1] + first, c = from.triangles[k + 2] + first;
        if (mirror)
            to->triangles.insert(to->triangles.end(), {a, c, b});
        else
            to->triangles.insert(to->triangles.end(), {a, b, c});
    }
    return first;
}

// Both sides from a right-hand (x > 0) part.
void append_pair(MeshPart *to, const MeshPart &right)
{
    append(to, right, false);
    append(to, right, true);
}

// Positions relative to the body that carries the part.
void shift(MeshPart *part, const P3 &body)
{
    for (MeshVertex &v : part->vertices)
        for (int k = 0; k < 3; k++)
            v.p[k] -= body[k];
}

// Side decals read from outside: on the right the front is to the
// viewer's right, on the left to the viewer's left.
void project_side(MeshPart *part, int first, bool right, double z0, double z1, double y0, double y1, UvRect uv)
{
    const double origin[3] = {0, y1, right ? z1 : z0};
    const double du[3] = {0, 0, (right ? -1 : 1) / (z1 - z0)};
    const double dv[3] = {0, -1 / (y1 - y0), 0};
    uv_project(part, first, origin, du, dv, uv);
}

MeshPart material(double shininess, double specular)
{
    MeshPart part;
    part.shininess = shininess;
    part.colour[0] = part.colour[1] = part.colour[2] = specular;
    return part;
}

void copy3(const float from[3], double to[3])
{
    for (int k = 0; k < 3; k++)
        to[k] = from[k];
}

// Where the fork sits: the legs run parallel to the steering axis (the
// lower fork slides along it) through the front axle; the clamps are
// square to that axis, the top one through the top of the axis.
struct ForkLayout {
    P3 axle, steer, axis, back;   // axis points up the fork, back is square to it toward the rear
    double half = 0;   // lateral distance of each leg
    double top = 0;   // leg parameter at the top clamp
    P3 leg(double t, int side) const
    {
        return axle + axis * t + back * 0.04 + P3{side * half, 0, 0};
    }
    // On the steering axis, `s` along it from its top.
    P3 stem(double s) const
    {
        return steer + axis * s;
    }
};

ForkLayout fork_layout(const BikeModel &m)
{
    ForkLayout f;
    f.axle = p3(m.front_wheel_pos);
    f.steer = p3(m.steer_pos);
    f.axis = unit(f.steer - p3(m.fork_lower_pos));
    f.back = unit(cross(X_AXIS, f.axis));
    f.half = m.fork_spacing / 2;
    f.top = dot(f.steer - f.axle, f.axis);
    return f;
}

const double LOWER_CLAMP = -0.45;   // along the steering axis from its top

// Lateral places shared by the wheels and the parts around them.
const double FRONT_DISC_X = -0.24, FRONT_DISC_RADIUS = 0.42;
const double REAR_DISC_X = 0.26, REAR_DISC_RADIUS = 0.37;
const double CHAIN_X = -0.325, REAR_SPROCKET_RADIUS = 0.4, FRONT_SPROCKET_RADIUS = 0.12;
// The countershaft, just ahead of and below the swingarm pivot.
P3 countershaft(const BikeModel &m)
{
    return {CHAIN_X, m.swingarm_pivot[1] - 0.05, m.swingarm_pivot[2] - 0.22};
}

// Frame, engine, tank, shrouds, radiators, seat, side panels, rear fender,
// exhaust, shock, pegs and levers.
std::vector<MeshPart> frame_parts(const BikeModel &m, bool two_stroke, bool tube_frame)
{
    MeshPart plastic = material(32, 0.35), metal = material(48, 0.6), matte = material(6, 0.08);
    ForkLayout f = fork_layout(m);
    const UvRect frame = inset(FRAME), steel = inset(METAL), seat = inset(SEAT);
    // Head tube on the steering axis between the clamps.
    add_straight(&metal, f.stem(-0.05), f.stem(LOWER_CLAMP + 0.07), 0.1, 12, frame);
    // Twin spars from the head tube round the tank to the pivot plates; a
    // steel frame has round tubes there and a brace under them.
    {
        MeshPart spar;
        std::vector<P3> path = {{0.09, 2.70, 2.10},  {0.22, 2.66, 2.42}, {0.32, 2.60, 2.86}, {0.36, 2.50, 3.36},
                                {0.365, 2.34, 3.80}, {0.36, 2.06, 4.10}, {0.35, 1.75, 4.22}, {0.34, 1.42, 4.20}};
        if (tube_frame) {
            add_bar(&spar, path, std::vector<double>(8, 0.06), {0.065, 0.065, 0.065, 0.065, 0.065, 0.07, 0.09, 0.1},
                    0.9, X_AXIS, 2, 2, frame);
            add_pipe(&spar, {{0.07, 2.48, 2.2}, {0.2, 2.4, 2.55}, {0.31, 2.38, 3.0}, {0.35, 2.45, 3.3}},
                     {0.045, 0.045, 0.045, 0.045}, 2, 8, frame);
        } else {
            add_bar(&spar, path, {0.05, 0.055, 0.055, 0.055, 0.055, 0.055, 0.055, 0.055},
                    {0.15, 0.16, 0.16, 0.15, 0.14, 0.15, 0.16, 0.14}, 0.35, X_AXIS, 2, 1, frame);
        }
        append_pair(&metal, spar);
    }
    // Down tube, splitting into cradle rails under the engine.
    add_bar(&metal, {{0, 2.58, 2.02}, {0, 2.22, 2.22}, {0, 1.78, 2.48}, {0, 1.42, 2.76}}, {0.07, 0.075, 0.075, 0.075},
            {0.09, 0.09, 0.085, 0.08}, 0.6, X_AXIS, 2, 1, frame);
    {
        MeshPart rail;
        add_bar(&rail,
                {{0.03, 1.50, 2.72},
                 {0.14, 1.22, 2.94},
                 {0.2, 1.04, 3.3},
                 {0.21, 1.0, 3.8},
                 {0.27, 1.16, 4.1},
                 {0.33, 1.42, 4.2}},
                {0.045, 0.045, 0.045, 0.045, 0.045, 0.045}, {0.05, 0.05, 0.05, 0.05, 0.05, 0.05}, 0.7, X_AXIS, 2, 1,
                frame);
        // Subframe: upper rails under the seat and struts from the pivot plates.
        add_pipe(&rail, {{0.33, 2.52, 3.9}, {0.28, 2.86, 4.6}, {0.24, 2.98, 5.3}, {0.22, 3.0, 5.95}},
                 {0.045, 0.045, 0.042, 0.04}, 2, 8, frame);
        add_pipe(&rail, {{0.34, 1.95, 4.22}, {0.3, 2.4, 4.7}, {0.25, 2.92, 5.3}}, {0.038, 0.036, 0.034}, 2, 8, frame);
        append_pair(&metal, rail);
    }
    // Engine: crankcases, covers, cylinder and head, intake.
    {
        std::vector<LoftSection> cases = {
            zsection(0, 1.62, 2.95, 0.18, 0.26, 0.7), zsection(0, 1.56, 3.08, 0.24, 0.4, 0.5),
            zsection(0, 1.52, 3.4, 0.25, 0.45, 0.5),  zsection(0, 1.52, 3.72, 0.25, 0.42, 0.5),
            zsection(0, 1.57, 3.95, 0.23, 0.34, 0.5), zsection(0, 1.62, 4.06, 0.15, 0.2, 0.6)};
        add_loft(&metal, cases, 2, steel);
        const double clutch[3] = {0.22, 1.5, 3.55}, ignition[3] = {-0.22, 1.45, 3.28}, right[3] = {1, 0, 0},
                     left[3] = {-1, 0, 0};
        add_lathe(&metal, clutch, right, {{0, 0}, {0, 0.31}, {0.06, 0.3}, {0.11, 0.24}, {0.13, 0.12}, {0.13, 0}}, 16,
                  steel);
        add_lathe(&metal, ignition, left, {{0, 0}, {0, 0.22}, {0.06, 0.21}, {0.1, 0.15}, {0.11, 0}}, 12, steel);
        P3 lean = unit(P3{0, 1, two_stroke ? -0.32 : -0.26});
        P3 across = X_AXIS, ahead = cross(lean, across) * -1;   // ahead points forward
        P3 base = {0, 1.8, 3.38};
        auto block = [&](double from, double to, double half_w, double half_d, double round, UvRect uv,
                         MeshPart *part) {
            add_loft(part,
                     {section(base + lean * from, across * half_w, ahead * half_d * -1, round),
                      section(base + lean * to, across * half_w, ahead * half_d * -1, round)},
                     2, uv);
        };
        if (two_stroke) {
            block(0, 0.42, 0.17, 0.17, 0.35, steel, &metal);
            for (int k = 0; k < 3; k++)
                block(0.44 + 0.06 * k, 0.47 + 0.06 * k, 0.2, 0.19, 0.4, steel, &metal);
            block(0.42, 0.62, 0.13, 0.13, 0.6, steel, &metal);
            add_straight(&metal, base + lean * 0.62, base + lean * 0.7, 0.03, 8, steel);   // spark plug
        } else {
            block(0, 0.48, 0.19, 0.19, 0.3, steel, &metal);
            block(0.48, 0.7, 0.22, 0.22, 0.35, steel, &metal);
            block(0.7, 0.8, 0.18, 0.19, 0.45, seat, &matte);   // cam cover
        }
        // Throttle body or carburettor and the boot to the airbox.
        add_straight(&metal, P3{0, 2.16, 3.52}, P3{0, 2.3, 3.9}, 0.09, 12, steel);
        add_pipe(&matte, {{0, 2.3, 3.88}, {0, 2.42, 4.1}, {0, 2.52, 4.3}}, {0.1, 0.12, 0.14}, 2, 12, seat);
        // Countershaft sprocket.
        P3 cs = countershaft(m);
        const double sprocket[3] = {cs[0] - 0.01, cs[1], cs[2]};
        add_lathe(&metal, sprocket, right,
                  {{0, 0}, {0, FRONT_SPROCKET_RADIUS}, {0.02, FRONT_SPROCKET_RADIUS}, {0.02, 0}}, 12, steel);
    }
    // Radiators behind the shrouds, their cores square to the fork.
    {
        MeshPart radiator;
        P3 up = f.axis * 0.43, out = {0.14, 0, 0};
        P3 front = f.back * -1;
        P3 centre = {0.36, 2.42, 2.72};
        P3 thick = front * -0.16;
        add_oriented_box(&radiator, centre, out, up, thick, steel);
        // Louvres across the core's face.
        for (int k = 0; k < 4; k++) {
            P3 at = centre + up * (-0.72 + 0.48 * k) + front * 0.17;
            P3 c[8];
            for (int i = 0; i < 8; i++)
                c[i] = at + out * (i & 1 ? 0.95 : -0.95) + up * (i & 2 ? 0.035 : -0.035) +
                    front * (i & 4 ? 0.015 : -0.015);
            add_corners(&radiator, c, frame, 1 | 2 | 32);
        }
        append_pair(&metal, radiator);
    }
    // Tank: narrow under the seat nose, widest between the shrouds.
    {
        std::vector<LoftSection> tank = {
            zsection(0, 2.88, 2.26, 0.12, 0.08, 0.8), zsection(0, 2.92, 2.4, 0.27, 0.14, 0.7),
            zsection(0, 2.93, 2.7, 0.4, 0.17, 0.65),  zsection(0, 2.93, 3.05, 0.4, 0.17, 0.65),
            zsection(0, 2.9, 3.35, 0.33, 0.15, 0.65), zsection(0, 2.88, 3.62, 0.2, 0.1, 0.7)};
        int first = (int)plastic.vertices.size();
        add_loft(&plastic, smooth_sections(tank, 2), 2, inset(PLASTIC));
        project_side(&plastic, first, false, 2.0, 3.8, 2.6, 3.2, inset(PLASTIC));
        add_straight(&matte, P3{0, 3.02, 2.55}, P3{0, 3.1, 2.55}, 0.075, 12, seat);   // filler cap
    }
    // Radiator shrouds: wings from the tank sides down over the radiators,
    // graphics facing out.
    {
        MeshPart shroud;
        add_panel(&shroud,
                  {{0.42, 3.02, 2.28},
                   {0.47, 3.0, 2.45},
                   {0.49, 2.99, 2.7},
                   {0.48, 2.99, 2.98},
                   {0.43, 3.03, 3.25},
                   {0.37, 3.08, 3.48}},
                  {{0.62, 2.06, 2.56},
                   {0.66, 1.97, 2.72},
                   {0.63, 2.0, 2.9},
                   {0.56, 2.22, 3.06},
                   {0.47, 2.62, 3.24},
                   {0.41, 2.9, 3.42}},
                  X_AXIS, 0.018, 0.04, 2, inset(GRAPHIC));
        int right = append(&plastic, shroud, false);
        project_side(&plastic, right, true, 2.2, 3.5, 1.95, 3.1, inset(GRAPHIC));
        int left = append(&plastic, shroud, true);
        project_side(&plastic, left, false, 2.2, 3.5, 1.95, 3.1, inset(GRAPHIC));
    }
    // Seat: long and flat from the tank to over the rear fender.
    {
        std::vector<LoftSection> keys = {
            zsection(0, 3.0, 2.74, 0, 0, 1),          zsection(0, 3.07, 2.86, 0.13, 0.06, 0.8),
            zsection(0, 3.16, 3.15, 0.2, 0.1, 0.65),  zsection(0, 3.2, 3.7, 0.25, 0.13, 0.55),
            zsection(0, 3.23, 4.4, 0.29, 0.14, 0.55), zsection(0, 3.25, 5.05, 0.3, 0.14, 0.55),
            zsection(0, 3.25, 5.55, 0.27, 0.12, 0.6), zsection(0, 3.21, 5.85, 0.19, 0.08, 0.7),
            zsection(0, 3.16, 5.95, 0, 0, 1)};
        keys.front().centre[2] = 2.74, keys.back().centre[2] = 5.95;
        add_loft(&matte, smooth_sections(keys, 2), 2, seat);
    }
    // Rear fender: a shell rising from under the seat to a kicked-up tail.
    {
        std::vector<P3> path =
            smooth_path({{0, 3.08, 5.1}, {0, 3.1, 5.7}, {0, 3.15, 6.3}, {0, 3.24, 6.85}, {0, 3.38, 7.25}}, 3);
        std::vector<double> width = smooth_values({0.3, 0.32, 0.3, 0.24, 0.13}, 3);
        std::vector<double> arch = smooth_values({0.07, 0.08, 0.08, 0.06, 0.02}, 3);
        std::vector<LoftSection> sections =
            path_sections(path, X_AXIS.data(), width, std::vector<double>(path.size(), 0.022), 0.5);
        for (size_t k = 0; k < sections.size(); k++)
            sections[k].arch = arch[k];
        int first = (int)plastic.vertices.size();
        add_loft(&plastic, sections, 1, inset(PLASTIC));
        const double origin[3] = {-0.35, 0, 5.0}, du[3] = {0, 0, 1 / 2.4}, dv[3] = {1 / 0.7, 0, 0};
        uv_project(&plastic, first, origin, du, dv, inset(PLASTIC));
    }
    // Side panels over the number plate area (the plates sit just outside).
    {
        MeshPart panel;
        add_panel(&panel,
                  {{0.37, 3.08, 3.95}, {0.435, 3.1, 4.25}, {0.445, 3.12, 4.8}, {0.44, 3.13, 5.3}, {0.4, 3.12, 5.66}},
                  {{0.37, 2.78, 3.98}, {0.435, 2.46, 4.25}, {0.445, 2.5, 4.8}, {0.44, 2.64, 5.3}, {0.4, 2.97, 5.62}},
                  X_AXIS, 0.016, 0.02, 2, inset(PLASTIC));
        int right = append(&plastic, panel, false);
        project_side(&plastic, right, true, 3.9, 5.7, 2.4, 3.2, inset(PLASTIC));
        int left = append(&plastic, panel, true);
        project_side(&plastic, left, false, 3.9, 5.7, 2.4, 3.2, inset(PLASTIC));
        // The airbox between them.
        add_loft(&matte, {zsection(0, 2.76, 4.15, 0.3, 0.3, 0.3), zsection(0, 2.8, 5.3, 0.3, 0.26, 0.3)}, 1, seat);
    }
    // Exhaust on the right.
    {
        std::vector<P3> pipe;
        std::vector<double> radii;
        P3 can0, can1;
        double can_w, can_h;
        if (two_stroke) {
            // Expansion chamber: out of the front of the cylinder, down and
            // round to the right, a fat belly, then the stinger.
            pipe = {{0.0, 2.08, 3.02},  {0.02, 1.96, 2.82}, {0.1, 1.78, 2.68}, {0.26, 1.7, 2.72}, {0.42, 1.8, 2.96},
                    {0.48, 1.98, 3.32}, {0.47, 2.12, 3.78}, {0.45, 2.22, 4.2}, {0.43, 2.28, 4.6}, {0.42, 2.31, 4.9}};
            radii = {0.075, 0.085, 0.1, 0.13, 0.17, 0.2, 0.19, 0.13, 0.07, 0.05};
            can0 = {0.42, 2.3, 4.82}, can1 = {0.42, 2.66, 6.0}, can_w = 0.1, can_h = 0.12;
        } else {
            pipe = {{0.05, 2.46, 2.98}, {0.07, 2.32, 2.8},  {0.12, 2.02, 2.76}, {0.26, 1.88, 2.86}, {0.41, 1.92, 3.12},
                    {0.44, 2.0, 3.6},   {0.44, 2.16, 4.15}, {0.43, 2.26, 4.55}, {0.42, 2.29, 4.75}};
            radii = std::vector<double>(pipe.size(), 0.068);
            can0 = {0.42, 2.26, 4.68}, can1 = {0.42, 2.7, 6.25}, can_w = 0.13, can_h = 0.16;
        }
        add_pipe(&metal, pipe, radii, 2, two_stroke ? 12 : 8, steel);
        P3 along = unit(can1 - can0), side = X_AXIS, up = cross(along, side);
        double length = std::sqrt(dot(can1 - can0, can1 - can0));
        auto at = [&](double t, double w, double h) {
            return section(can0 + along * (t * length), side * w, up * h, 1);
        };
        std::vector<LoftSection> can = {
            at(0, 0.07, 0.07),     at(0.08, can_w * 0.85, can_h * 0.85), at(0.16, can_w, can_h),
            at(0.9, can_w, can_h), at(0.97, can_w * 0.9, can_h * 0.9),   at(1, can_w * 0.75, can_h * 0.75)};
        add_loft(&metal, can, 3, steel);
        add_straight(&matte, can1 - along * 0.02, can1 + along * 0.07, 0.045, 12, seat);   // outlet
        // Mount from the subframe.
        add_box_at(&metal, P3{0.24, 2.62, 5.5}, P3{0.4, 2.68, 5.6}, steel);
    }
    // Shock: spring, body, piggyback reservoir, behind the engine.
    {
        P3 bottom = {0, 1.35, 4.5}, top = {0, 2.72, 4.02};
        P3 along = unit(top - bottom), a = X_AXIS, b = cross(along, a);
        double length = std::sqrt(dot(top - bottom, top - bottom));
        add_straight(&metal, bottom, bottom + along * (length * 0.5), 0.028, 8, steel);
        add_straight(&metal, bottom + along * (length * 0.45), top, 0.075, 12, steel);
        add_straight(&metal, top + a * 0.13 - along * 0.45, top + a * 0.13 - along * 0.03, 0.065, 12, steel);
        add_straight(&metal, top - along * 0.05, top + a * 0.13 - along * 0.05, 0.04, 8, steel);
        std::vector<P3> coil;
        const int turns = 5, per_turn = 8;
        for (int k = 0; k <= turns * per_turn; k++) {
            double t = (double)k / (turns * per_turn), angle = 2 * DG_PI * k / per_turn;
            coil.push_back(bottom + along * (length * (0.12 + 0.62 * t)) + a * (0.115 * dg_cos(angle)) +
                           b * (0.115 * dg_sin(angle)));
        }
        add_tube(&metal, coil, std::vector<double>(coil.size(), 0.022), 4, inset(FRAME));
        add_straight(&metal, bottom + a * -0.05, bottom + a * 0.05, 0.05, 8, steel);
        add_straight(&metal, top + a * -0.05, top + a * 0.05, 0.05, 8, steel);
    }
    // Foot pegs with teeth, on brackets at the bottom of the pivot plates.
    {
        MeshPart peg;
        P3 at = {std::fabs(m.peg_right[0] + m.frame_pos[0]), m.peg_right[1] + m.frame_pos[1],
                 m.peg_right[2] + m.frame_pos[2]};
        add_box_at(&peg, P3{0.3, at[1] - 0.07, at[2] - 0.1}, P3{0.44, at[1] + 0.08, at[2] + 0.1}, steel);
        add_box_at(&peg, P3{0.42, at[1] - 0.045, at[2] - 0.08}, P3{at[0] + 0.2, at[1] + 0.02, at[2] + 0.08}, steel);
        for (int k = 0; k < 2; k++) {
            double z = at[2] - 0.055 + 0.11 * k;
            P3 c[8];
            for (int i = 0; i < 8; i++)
                c[i] = P3{i & 1 ? at[0] + 0.19 : 0.44, at[1] + (i & 2 ? 0.05 : 0.02), z + (i & 4 ? 0.012 : -0.012)};
            add_corners(&peg, c, steel, 1 << 3);
        }
        append_pair(&metal, peg);
        // Brake pedal on the right, shift lever on the left.
        add_bar(
            &metal,
            {{0.4, at[1] + 0.06, at[2] - 0.12}, {0.47, at[1] - 0.01, at[2] - 0.45}, {0.5, at[1] - 0.06, at[2] - 0.8}},
            {0.02, 0.02, 0.02}, {0.035, 0.035, 0.035}, 0.5, X_AXIS, 2, 1, steel);
        add_box_at(&metal, P3{0.46, at[1] - 0.09, at[2] - 0.9}, P3{0.6, at[1] - 0.04, at[2] - 0.78}, steel);
        add_bar(&metal, {{-0.34, 1.72, 3.62}, {-0.43, 1.64, 3.45}, {-0.48, 1.58, 3.3}}, {0.02, 0.02, 0.02},
                {0.03, 0.03, 0.03}, 0.5, X_AXIS, 2, 1, steel);
        add_straight(&metal, P3{-0.48, 1.58, 3.3}, P3{-0.64, 1.58, 3.3}, 0.035, 8, steel);
    }
    P3 body = p3(m.frame_pos);
    for (MeshPart *part : {&plastic, &metal, &matte})
        shift(part, body);
    return {plastic, metal, matte};
}

// Fork upper: outer tubes, clamps, bars with grips and levers, front
// fender and the plastic behind the front plate.
std::vector<MeshPart> fork_upper_parts(const BikeModel &m)
{
    MeshPart plastic = material(32, 0.35), metal = material(64, 0.7), matte = material(6, 0.08);
    ForkLayout f = fork_layout(m);
    const UvRect frame = inset(FRAME), steel = inset(METAL), seat = inset(SEAT);
    // Outer tubes from below the lower clamp to just over the top clamp.
    for (int side = -1; side <= 1; side += 2) {
        add_tube(&metal, {f.leg(1.2, side), f.leg(1.26, side), f.leg(f.top + 0.06, side)}, {0.1, 0.11, 0.11}, 16,
                 steel);
        add_straight(&metal, f.leg(f.top + 0.06, side), f.leg(f.top + 0.09, side), 0.08, 12, steel);
    }
    // Clamps: plates square to the steering axis from the stem to the tubes.
    for (int k = 0; k < 2; k++) {
        double s = k ? LOWER_CLAMP : 0, thick = k ? 0.065 : 0.045;
        P3 centre = f.stem(s) + f.back * -0.07;
        add_loft(&metal,
                 {section(centre - f.axis * thick, X_AXIS * (f.half + 0.12), f.back * 0.16, 0.6),
                  section(centre + f.axis * thick, X_AXIS * (f.half + 0.12), f.back * 0.16, 0.6)},
                 2, steel);
    }
    // Bar mounts, then the bars: a bend up and back to the grips.
    double grip_y = m.steer_pos[1] + m.grip_right[1], grip_z = m.steer_pos[2] + m.grip_right[2];
    double grip_x = m.grip_right[0];
    P3 mount = f.stem(0.32) + f.back * 0.02;
    for (int side = -1; side <= 1; side += 2) {
        add_straight(&metal, f.stem(0.03) + P3{side * 0.2, 0, 0}, mount + P3{side * 0.2, 0, 0}, 0.055, 8, steel);
        add_box_at(&metal, mount + P3{side * 0.2 - 0.06, -0.06, -0.06}, mount + P3{side * 0.2 + 0.06, 0.06, 0.06},
                   frame);
    }
    {
        MeshPart bar;
        P3 rise = {0, grip_y - mount[1], grip_z - mount[2]};
        add_pipe(&bar,
                 {{0, mount[1], mount[2]},
                  {0.22, mount[1] + 0.01, mount[2]},
                  P3{0.42, mount[1], mount[2]} + rise * 0.3,
                  P3{0.66, mount[1], mount[2]} + rise * 0.75,
                  P3{grip_x - 0.3, mount[1], mount[2]} + rise * 0.98,
                  {grip_x - 0.12, grip_y, grip_z},
                  {grip_x + 0.16, grip_y, grip_z}},
                 std::vector<double>(7, 0.047), 2, 8, steel);
        add_straight(&bar, P3{grip_x - 0.25, grip_y, grip_z}, P3{grip_x + 0.18, grip_y, grip_z}, 0.07, 12, seat);
        // Lever from its perch forward and out under the grip.
        add_box_at(&bar, P3{grip_x - 0.35, grip_y - 0.05, grip_z - 0.07},
                   P3{grip_x - 0.27, grip_y + 0.06, grip_z + 0.05}, steel);
        add_bar(&bar,
                {{grip_x - 0.3, grip_y, grip_z - 0.07},
                 {grip_x - 0.18, grip_y - 0.03, grip_z - 0.2},
                 {grip_x + 0.12, grip_y - 0.05, grip_z - 0.2}},
                {0.012, 0.012, 0.012}, {0.025, 0.025, 0.02}, 0.5, P3{0, 1, 0}, 2, 1, steel);
        append_pair(&metal, bar);
        // Crossbar pad between the bends.
        P3 pad = P3{0, mount[1], mount[2]} + rise * 0.36;
        add_capsule(&matte, (pad + P3{-0.44, 0, 0}).data(), (pad + P3{0.44, 0, 0}).data(), 0.06, 8, seat);
    }
    // Front fender under the lower clamp: long, gently arched, beak at the front.
    {
        P3 axle = f.axle;
        double r = m.front_tyre_major_radius + m.front_tyre_minor_radius;
        double y = axle[1] + r + 0.16;
        std::vector<P3> path = smooth_path({{0, y + 0.16, axle[2] - 1.1},
                                            {0, y + 0.05, axle[2] - 0.8},
                                            {0, y, axle[2] - 0.4},
                                            {0, y + 0.01, axle[2]},
                                            {0, y + 0.03, axle[2] + 0.4},
                                            {0, y + 0.02, axle[2] + 0.75},
                                            {0, y - 0.08, axle[2] + 1.03},
                                            {0, y - 0.26, axle[2] + 1.2}},
                                           2);
        std::vector<double> width = smooth_values({0.1, 0.19, 0.24, 0.26, 0.26, 0.25, 0.22, 0.17}, 2);
        std::vector<double> arch = smooth_values({0.02, 0.06, 0.11, 0.13, 0.13, 0.12, 0.1, 0.07}, 2);
        std::vector<LoftSection> sections =
            path_sections(path, X_AXIS.data(), width, std::vector<double>(path.size(), 0.022), 0.5);
        for (size_t k = 0; k < sections.size(); k++)
            sections[k].arch = arch[k];
        int first = (int)plastic.vertices.size();
        add_loft(&plastic, sections, 1, inset(PLASTIC));
        const double origin[3] = {-0.3, 0, axle[2] - 1.15}, du[3] = {0, 0, 1 / 2.45}, dv[3] = {1 / 0.6, 0, 0};
        uv_project(&plastic, first, origin, du, dv, inset(PLASTIC));
        // Mount up to the lower clamp.
        P3 clamp = f.stem(LOWER_CLAMP - 0.065) + f.back * -0.07;
        add_box_at(&plastic, P3{-0.1, y + 0.02, clamp[2] - 0.1}, P3{0.1, clamp[1], clamp[2] + 0.1},
                   inset(PLASTIC_PLAIN));
    }
    // Shaped plastic behind the front plate, wrapping back at its edges.
    {
        // The plate quad's frame (see the front plate below).
        double y0 = m.steer_pos[1] + 0.05, y1 = m.steer_pos[1] + 0.75;
        P3 old_axis = unit(p3(m.steer_pos) - p3(m.front_wheel_pos));
        double z = m.steer_pos[2] + (0.5 * (y0 + y1) - m.steer_pos[1]) * old_axis[2] / old_axis[1] - 0.3;
        P3 lo = {0, y0, z + 0.08}, hi = {0, y1, z - 0.08};
        P3 up = unit(hi - lo), facing = cross(up, X_AXIS);   // toward the front
        double length = std::sqrt(dot(hi - lo, hi - lo));
        std::vector<LoftSection> keys;
        const double t[5] = {-0.08, 0.15, 0.5, 0.85, 1.06}, w[5] = {0.3, 0.44, 0.47, 0.46, 0.36};
        for (int k = 0; k < 5; k++)
            keys.push_back(
                section(lo + up * (t[k] * length) - facing * 0.04, X_AXIS * w[k], facing * 0.016, 0.5, 0.06));
        add_loft(&plastic, smooth_sections(keys, 2), 1, inset(PLASTIC_PLAIN));
    }
    P3 body = p3(m.steer_pos);
    for (MeshPart *part : {&plastic, &metal, &matte})
        shift(part, body);
    return {plastic, metal, matte};
}

// Fork lower: inner tubes, axle feet, guards, the front caliper and axle.
std::vector<MeshPart> fork_lower_parts(const BikeModel &m)
{
    MeshPart metal = material(64, 0.6), plastic = material(32, 0.3);
    ForkLayout f = fork_layout(m);
    const UvRect steel = inset(METAL), frame = inset(FRAME);
    for (int side = -1; side <= 1; side += 2) {
        add_straight(&metal, f.leg(0.2, side), f.leg(1.75, side), 0.078, 12, steel);
        // Foot: wraps the axle, a little ahead of the tube.
        P3 ahead = f.back * -1;
        add_loft(&metal,
                 {section(f.leg(-0.17, side) + ahead * 0.03, X_AXIS * 0.075, ahead * 0.1, 0.8),
                  section(f.leg(0.05, side) + ahead * 0.03, X_AXIS * 0.085, ahead * 0.115, 0.7),
                  section(f.leg(0.3, side), X_AXIS * 0.085, ahead * 0.095, 0.9)},
                 3, frame);
        // Guard: a curved shell round the front and outside of the tube.
        P3 out = unit(ahead + P3{side * 0.55, 0, 0});
        P3 around = cross(f.axis, out) * (double)side;
        std::vector<LoftSection> guard;
        const double t[4] = {0.12, 0.3, 0.7, 0.95}, w[4] = {0.07, 0.11, 0.11, 0.09};
        for (int k = 0; k < 4; k++)
            guard.push_back(section(f.leg(t[k], side) + out * 0.1, around * w[k], out * 0.02, 0.5, 0.05));
        add_loft(&plastic, smooth_sections(guard, 2), 2, inset(PLASTIC_PLAIN));
    }
    // Front brake caliper on the left leg, behind the axle, over the disc.
    {
        P3 centre = f.axle + f.back * (FRONT_DISC_RADIUS - 0.06) + f.axis * 0.06 + P3{FRONT_DISC_X, 0, 0};
        add_oriented_box(&metal, centre, X_AXIS * 0.065, f.back * 0.07, cross(X_AXIS, f.back) * 0.12, frame);
        add_oriented_box(&metal, (centre + f.leg(0.12, -1)) * 0.5, X_AXIS * 0.06, f.back * 0.14, f.axis * 0.04, steel);
    }
    add_straight(&metal, f.axle + P3{-f.half - 0.1, 0, 0}, f.axle + P3{f.half + 0.1, 0, 0}, 0.05, 8, steel);
    P3 body = p3(m.fork_lower_pos);
    for (MeshPart *part : {&metal, &plastic})
        shift(part, body);
    return {metal, plastic};
}

// Swingarm: tapered box-section arms, brace, pivot, axle blocks, chain
// with its slider and guide, rear caliper.
std::vector<MeshPart> swingarm_parts(const BikeModel &m)
{
    MeshPart metal = material(48, 0.55), matte = material(8, 0.1);
    const UvRect steel = inset(METAL), frame = inset(FRAME), seat = inset(SEAT);
    P3 pivot = p3(m.swingarm_pivot), axle = p3(m.rear_wheel_pos);
    P3 along = axle - pivot;
    auto on = [&](double t, double x, double dy) {
        return P3{x, pivot[1] + along[1] * t + dy, pivot[2] + along[2] * t};
    };
    {
        MeshPart arm;
        add_bar(&arm,
                {on(0, 0.27, 0), on(0.13, 0.33, 0.01), on(0.3, 0.4, 0.02), on(0.6, 0.415, 0.02), on(0.9, 0.415, 0.01),
                 on(1.06, 0.415, 0)},
                {0.045, 0.045, 0.045, 0.045, 0.045, 0.045}, {0.15, 0.14, 0.125, 0.105, 0.088, 0.08}, 0.4, X_AXIS, 3, 2,
                frame);
        // Axle block with the chain adjuster.
        add_box_at(&arm, axle + P3{0.37, -0.08, -0.12}, axle + P3{0.47, 0.08, 0.12}, steel);
        append_pair(&metal, arm);
    }
    add_straight(&metal, pivot + P3{-0.32, 0, 0}, pivot + P3{0.32, 0, 0}, 0.09, 12, frame);
    add_loft(&metal,
             {section(on(0.25, -0.39, -0.02), {0, 0, 0.09}, {0, 0.09, 0}, 0.5),
              section(on(0.25, 0.39, -0.02), {0, 0, 0.09}, {0, 0.09, 0}, 0.5)},
             2, frame);
    add_straight(&metal, axle + P3{-0.5, 0, 0}, axle + P3{0.5, 0, 0}, 0.05, 8, steel);
    // Chain: top run to the rear sprocket, round it, bottom run back, and
    // round the countershaft sprocket.
    {
        P3 front = countershaft(m);
        std::vector<P3> loop;
        double rr = REAR_SPROCKET_RADIUS + 0.02, rf = FRONT_SPROCKET_RADIUS + 0.02;
        loop.push_back(front + P3{0, rf, 0.0});
        for (int k = 0; k <= 8; k++) {
            double angle = DG_PI / 2 - DG_PI * k / 8;
            loop.push_back(axle + P3{CHAIN_X, rr * dg_sin(angle), rr * dg_cos(angle)});
        }
        for (int k = 0; k <= 6; k++) {
            double angle = -DG_PI / 2 - DG_PI * k / 6;
            loop.push_back(front + P3{0, rf * dg_sin(angle), rf * dg_cos(angle)});
        }
        loop.back() = loop.back() + P3{0, -0.01, 0.02};
        std::vector<LoftSection> sections = path_sections(loop, X_AXIS.data(), std::vector<double>(loop.size(), 0.02),
                                                          std::vector<double>(loop.size(), 0.022), 0.4);
        add_loft(&metal, sections, 1, steel);
        // Slider on the arm's top near the pivot, guide round the bottom run.
        add_bar(&matte, {on(0.04, -0.33, 0.1), on(0.25, -0.36, 0.13), on(0.45, -0.39, 0.12)}, {0.025, 0.025, 0.025},
                {0.03, 0.03, 0.03}, 0.5, X_AXIS, 2, 1, seat);
        double t = 0.68;
        P3 guide = on(t, CHAIN_X, 0);
        double bottom_y = dg_lerp(front[1] - rf, axle[1] - rr, (guide[2] - front[2]) / (axle[2] - front[2]));
        add_box_at(&matte, P3{CHAIN_X - 0.05, bottom_y - 0.06, guide[2] - 0.22},
                   P3{CHAIN_X + 0.05, guide[1] - 0.06, guide[2] + 0.2}, seat);
    }
    // Rear brake caliper on the right, ahead of and below the axle.
    {
        P3 dir = unit(P3{0, -0.55, -0.8});
        P3 centre = axle + dir * (REAR_DISC_RADIUS - 0.05) + P3{REAR_DISC_X, 0, 0};
        add_oriented_box(&metal, centre, X_AXIS * 0.06, dir * 0.06, cross(X_AXIS, dir) * 0.1, frame);
        add_box_at(&metal, P3{REAR_DISC_X + 0.03, centre[1] - 0.02, centre[2] - 0.05},
                   P3{0.42, axle[1] + 0.02, axle[2] - 0.05}, steel);
    }
    P3 body = p3(m.swingarm_pos);
    for (MeshPart *part : {&metal, &matte})
        shift(part, body);
    return {metal, matte};
}

void write_parts(DataSet *set, const std::string &stem, const BikeModel &m, bool two_stroke)
{
    // The "sx" family rides on a steel tube frame.
    bool tube_frame = stem.find("sx") != std::string::npos;
    add_text(set, stem + "_frame.qm", qm_text_compact(frame_parts(m, two_stroke, tube_frame)));
    // Side plates: one each side of the rear, showing the number plate texture.
    {
        MeshPart plate = material(16, 0.2);
        double body[3];
        copy3(m.frame_pos, body);
        // Read from outside: on the right the front is to the viewer's right.
        const double right[4][3] = {{0.47, 3.0, 5.25}, {0.47, 3.0, 4.55}, {0.47, 2.6, 4.55}, {0.47, 2.6, 5.25}};
        const double left[4][3] = {{-0.47, 3.0, 4.55}, {-0.47, 3.0, 5.25}, {-0.47, 2.6, 5.25}, {-0.47, 2.6, 4.55}};
        double c[4][3];
        for (const auto *quad : {right, left}) {
            for (int k = 0; k < 4; k++)
                for (int a = 0; a < 3; a++)
                    c[k][a] = quad[k][a] - body[a];
            add_quad(&plate, c, WHOLE, false);
        }
        add_text(set, stem + "_side_plates.qm", qm_text({plate}));
    }
    add_text(set, stem + "_fork_upper.qm", qm_text_compact(fork_upper_parts(m)));
    // Front plate: in front of the bars, facing forward (-z).
    {
        MeshPart plate = material(16, 0.2);
        double top[3], axle[3], body[3];
        copy3(m.steer_pos, top);
        copy3(m.front_wheel_pos, axle);
        copy3(m.steer_pos, body);
        double axis[3] = {top[0] - axle[0], top[1] - axle[1], top[2] - axle[2]};
        double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        for (double &v : axis)
            v /= length;
        // Just ahead of the fork tubes between the clamps and the bars.
        double y0 = top[1] + 0.05, y1 = top[1] + 0.75;
        double z = top[2] + (0.5 * (y0 + y1) - top[1]) * axis[2] / axis[1] - 0.3;
        const double front[4][3] = {
            {0.42, y1, z - 0.08}, {-0.42, y1, z - 0.08}, {-0.42, y0, z + 0.08}, {0.42, y0, z + 0.08}};
        double c[4][3];
        for (int k = 0; k < 4; k++)
            for (int a = 0; a < 3; a++)
                c[k][a] = front[k][a] - body[a];
        add_quad(&plate, c, WHOLE, true);
        add_text(set, stem + "_front_plate.qm", qm_text({plate}));
    }
    add_text(set, stem + "_fork_lower.qm", qm_text_compact(fork_lower_parts(m)));
    add_text(set, stem + "_swingarm.qm", qm_text_compact(swingarm_parts(m)));
}

// A wheel at the body origin: knobby tyre, rim, spokes, hub, and the brake
// disc (front: left, rear: right) or the rear sprocket (left).
std::string wheel_model(double major, double minor, bool rear)
{
    MeshPart tyre = material(4, 0.05), rim = material(64, 0.7);
    const double origin[3] = {0, 0, 0}, axis[3] = {1, 0, 0};
    double outer = major + minor;
    const double knob = 0.045;
    double crown = outer - knob, bead = outer - (rear ? 0.31 : 0.3), w = rear ? 0.2 : 0.165;
    double h = crown - bead;
    const UvRect rubber = inset({TYRE.u0, TYRE.v0, 0.5, TYRE.v1}), block = inset({0.5, TYRE.v0, TYRE.u1, TYRE.v1});
    // Carcass: bead to bead over the crown (outside to the left of travel).
    std::vector<std::array<double, 2>> carcass = {{-0.55 * w, bead},
                                                  {-0.86 * w, bead + 0.22 * h},
                                                  {-w, bead + 0.5 * h},
                                                  {-0.95 * w, bead + 0.76 * h},
                                                  {-0.78 * w, bead + 0.93 * h},
                                                  {-0.4 * w, crown},
                                                  {0.4 * w, crown},
                                                  {0.78 * w, bead + 0.93 * h},
                                                  {0.95 * w, bead + 0.76 * h},
                                                  {w, bead + 0.5 * h},
                                                  {0.86 * w, bead + 0.22 * h},
                                                  {0.55 * w, bead}};
    add_lathe(&tyre, origin, axis, carcass, 48, rubber, true);
    // Knobs in alternating rows: centre and shoulders, then two between.
    int rows = rear ? 36 : 40;
    for (int row = 0; row < rows; row++) {
        double angle = 2 * DG_PI * row / rows;
        struct Knob {
            double x, r, lean;   // lateral place, base radius, tilt outward
        };
        std::vector<Knob> knobs;
        if (row % 2 == 0)
            knobs = {{0, crown, 0}, {-0.82 * w, bead + 0.9 * h, -0.7}, {0.82 * w, bead + 0.9 * h, 0.7}};
        else
            knobs = {{-0.45 * w, crown - 0.004, -0.25}, {0.45 * w, crown - 0.004, 0.25}};
        for (const Knob &k : knobs) {
            // Knob frame: lateral, outward (radial tilted by lean), along the tread.
            double c = dg_cos(angle), s = dg_sin(angle);
            P3 radial = {0, c, s}, tread = {0, -s, c};
            P3 out = unit(radial + X_AXIS * k.lean), lateral = unit(cross(out, tread));
            P3 base = X_AXIS * k.x + radial * k.r - out * 0.012;
            double half_w = 0.045, half_l = 0.045;
            P3 corners[8];
            for (int i = 0; i < 8; i++) {
                bool top = i & 2;
                double shrink = top ? 0.8 : 1;
                corners[i] = base + out * (top ? knob + 0.012 : 0) + lateral * ((i & 1 ? 1 : -1) * half_w * shrink) +
                    tread * ((i & 4 ? 1 : -1) * half_l * shrink);
            }
            add_corners(&tyre, corners, block, 1 << 3);
        }
    }
    // Rim: a channel with flanges either side of the bead.
    double rr = bead + 0.015;
    add_lathe(&rim, origin, axis,
              {{-0.11, rr - 0.07},
               {-0.125, rr + 0.03},
               {-0.1, rr + 0.045},
               {-0.09, rr},
               {0.09, rr},
               {0.1, rr + 0.045},
               {0.125, rr + 0.03},
               {0.11, rr - 0.07},
               {0.05, rr - 0.09},
               {-0.05, rr - 0.09}},
              48, inset(RIM), true);
    // Hub: end caps, flanges and the barrel.
    add_lathe(&rim, origin, axis,
              {{-0.25, 0},
               {-0.25, 0.07},
               {-0.21, 0.09},
               {-0.2, 0.19},
               {-0.16, 0.19},
               {-0.15, 0.11},
               {0.15, 0.11},
               {0.16, 0.19},
               {0.2, 0.19},
               {0.21, 0.09},
               {0.25, 0.07},
               {0.25, 0}},
              20, inset(HUB));
    // 36 spokes laced tangentially, alternating flanges.
    double reach = rr - 0.08;
    for (int k = 0; k < 36; k++) {
        double angle = 2 * DG_PI * k / 36, twist = (k % 4 < 2) ? 0.22 : -0.22;
        double side = k % 2 ? 0.18 : -0.18;
        P3 a = {side, 0.17 * dg_cos(angle), 0.17 * dg_sin(angle)};
        P3 b = {side * 0.2, reach * dg_cos(angle + twist), reach * dg_sin(angle + twist)};
        add_tube(&rim, {a, b}, {0.011, 0.011}, 4, inset(SPOKE));
    }
    // Brake disc on its carrier.
    {
        double x = rear ? REAR_DISC_X : FRONT_DISC_X, r = rear ? REAR_DISC_RADIUS : FRONT_DISC_RADIUS;
        double t = 0.01;
        const double base[3] = {x, 0, 0};
        add_lathe(&rim, base, axis, {{-t, 0.17}, {-t, 0.17}, {-t, r}, {-t, r}, {t, r}, {t, r}, {t, 0.17}, {t, 0.17}},
                  40, inset(HUB), true);
    }
    if (rear) {
        // Sprocket with its teeth on the chain side.
        const double base[3] = {CHAIN_X, 0, 0};
        double t = 0.012, r = REAR_SPROCKET_RADIUS;
        add_lathe(&rim, base, axis, {{-t, 0.15}, {-t, 0.15}, {-t, r}, {-t, r}, {t, r}, {t, r}, {t, 0.15}, {t, 0.15}},
                  40, inset(HUB), true);
        for (int k = 0; k < 40; k++) {
            double angle = 2 * DG_PI * k / 40;
            P3 radial = {0, dg_cos(angle), dg_sin(angle)}, tread = {0, -dg_sin(angle), dg_cos(angle)};
            P3 c[8];
            for (int i = 0; i < 8; i++) {
                bool top = i & 2;
                double half = top ? 0.012 : 0.025;
                c[i] = P3{CHAIN_X + (i & 1 ? t : -t), 0, 0} + radial * (top ? r + 0.035 : r - 0.005) +
                    tread * ((i & 4 ? 1 : -1) * half);
            }
            add_corners(&rim, c, inset(HUB), 1 << 3);
        }
    }
    return qm_text_compact({tyre, rim});
}

struct Scheme {
    uint8_t plastic[3];
    uint8_t graphic[3];
    uint8_t frame[3];
};

Scheme family_scheme(const std::string &stem)
{
    Scheme s = {{150, 150, 150}, {30, 30, 30}, {170, 170, 175}};
    auto set3 = [](uint8_t *to, int r, int g, int b) { to[0] = (uint8_t)r, to[1] = (uint8_t)g, to[2] = (uint8_t)b; };
    if (stem.rfind("cr", 0) == 0 || stem.rfind("rs50cr", 0) == 0)
        set3(s.plastic, 205, 25, 25), set3(s.graphic, 245, 245, 245), set3(s.frame, 200, 40, 40);
    else if (stem.rfind("kx", 0) == 0)
        set3(s.plastic, 70, 180, 40), set3(s.graphic, 20, 20, 20), set3(s.frame, 40, 40, 45);
    else if (stem.rfind("rm", 0) == 0)
        set3(s.plastic, 240, 205, 20), set3(s.graphic, 20, 40, 160), set3(s.frame, 170, 170, 175);
    else if (stem.rfind("yz", 0) == 0)
        set3(s.plastic, 25, 60, 190), set3(s.graphic, 245, 245, 245), set3(s.frame, 40, 50, 90);
    else if (stem.find("sx") != std::string::npos)
        set3(s.plastic, 245, 110, 10), set3(s.graphic, 20, 20, 20), set3(s.frame, 230, 100, 10);
    // Later model years: white plastics with the family colour as graphics.
    if (stem.find("v2013") != std::string::npos || stem.find("v2010") != std::string::npos) {
        uint8_t colour[3] = {s.plastic[0], s.plastic[1], s.plastic[2]};
        set3(s.plastic, 240, 240, 240);
        memcpy(s.graphic, colour, 3);
    }
    if (stem.find("_se") != std::string::npos)
        set3(s.plastic, 30, 30, 34), set3(s.graphic, 240, 200, 30);
    return s;
}

Picture bike_skin(const Scheme &s, const std::string &label, uint32_t seed)
{
    const int size = 256;
    Picture p = make_picture(size, size, 3);
    auto fill = [&](UvRect r, const uint8_t rgb[3], double grain) {
        for (int y = (int)(r.v0 * size); y < (int)(r.v1 * size); y++)
            for (int x = (int)(r.u0 * size); x < (int)(r.u1 * size); x++) {
                double n = 1 - grain + 2 * grain * dg_value_noise(seed, x, y, 3);
                uint8_t *out = pixel_at(&p, x, y);
                for (int c = 0; c < 3; c++)
                    out[c] = to_byte(rgb[c] * n);
            }
    };
    const uint8_t seat[3] = {28, 28, 30}, metal[3] = {120, 120, 126};
    fill(PLASTIC, s.plastic, 0.02);
    fill(FRAME, s.frame, 0.03);
    fill(METAL, metal, 0.08);
    fill(SEAT, seat, 0.12);
    fill(GRAPHIC, s.plastic, 0.02);
    // Graphics: two slanted stripes and the label.
    for (int y = size / 2; y < size; y++)
        for (int x = size / 2; x < size; x++) {
            int d = (x - size / 2) + (y - size / 2);
            if ((d > 60 && d < 84) || (d > 96 && d < 108)) {
                uint8_t *out = pixel_at(&p, x, y);
                memcpy(out, s.graphic, 3);
            }
        }
    const uint8_t text[4] = {s.graphic[0], s.graphic[1], s.graphic[2], 255};
    draw_text(&p, size / 2 + (size / 2 - text_width(label, 2)) / 2, size / 2 + 44, label, 2, text);
    // A pin stripe along the plastics.
    const uint8_t stripe[4] = {s.graphic[0], s.graphic[1], s.graphic[2], 255};
    fill_rect(&p, 0, size / 4 - 4, size / 2, size / 4 + 4, stripe);
    return p;
}

std::string plate_colours(const char *class_name)
{
    if (!strcmp(class_name, "250f"))
        return "[numberbackground:0,0,0][numberforeground:1,1,1]";
    if (!strcmp(class_name, "250"))
        return "[numberbackground:1,0.85,0][numberforeground:0,0,0]";
    if (!strcmp(class_name, "125") || !strcmp(class_name, "50"))
        return "[numberbackground:0.1,0.3,0.9][numberforeground:1,1,1]";
    return "[numberbackground:1,1,1][numberforeground:0,0,0]";
}

Picture wheel_skin(const uint8_t rim[3])
{
    const int size = 256;
    Picture p = make_picture(size, size, 3);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            uint8_t *out = pixel_at(&p, x, y);
            double n = dg_value_noise(61, x, y, 2);
            if (y < size / 2) {
                // Tyre: the carcass's rubber on the left, the knobs' lighter
                // scuffed rubber on the right.
                double v = x < size / 2 ? 24 : 38 + 10 * dg_value_noise(67, x, y, 1);
                out[0] = out[1] = out[2] = to_byte(v * (0.85 + 0.3 * n));
            } else if (x < size / 2) {
                for (int c = 0; c < 3; c++)
                    out[c] = to_byte(rim[c] * (0.9 + 0.2 * n));
            } else if (y < size * 3 / 4) {
                out[0] = out[1] = out[2] = to_byte(150 * (0.9 + 0.2 * n));
            } else {
                out[0] = out[1] = out[2] = to_byte(190 * (0.9 + 0.2 * n));
            }
        }
    return p;
}

// Body-frame spheres of the generic collision shapes (bike-local minus the
// body centre), with the bike-to-bike friction, stiffness and damping.
void write_shapes(DataSet *set, const BikeModel &m)
{
    auto rel = [](const float body[3], double x, double y, double z, double r, double mu, double k, double c) {
        ShapeBall b;
        b.x = x - body[0], b.y = y - body[1], b.z = z - body[2];
        b.radius = r, b.friction = mu, b.stiffness = k, b.damping = c;
        return b;
    };
    const float *f = m.frame_pos;
    add_text(set, "generic_frame.shp",
             shp_text({rel(f, 0, 1.75, 3.5, 0.55, 0.5, 10000, 1000), rel(f, 0, 2.8, 3.0, 0.5, 0.5, 10000, 1000),
                       rel(f, 0, 3.05, 4.2, 0.4, 0.5, 10000, 1000), rel(f, 0, 3.05, 5.1, 0.38, 0.5, 10000, 1000),
                       rel(f, 0, 3.0, 6.1, 0.3, 0.5, 10000, 1000), rel(f, 0, 2.7, 2.25, 0.35, 0.5, 10000, 1000)}));
    const float *s = m.steer_pos;
    double gy = s[1] + m.grip_right[1], gz = s[2] + m.grip_right[2];
    add_text(set, "generic_fork_upper.shp",
             shp_text({rel(s, 0, s[1], s[2], 0.35, 0.5, 10000, 1000),
                       rel(s, -m.grip_right[0] + 0.1, gy, gz, 0.2, 0.5, 10000, 1000),
                       rel(s, m.grip_right[0] - 0.1, gy, gz, 0.2, 0.5, 10000, 1000),
                       rel(s, 0, gy, gz, 0.22, 0.5, 10000, 1000)}));
    const float *l = m.fork_lower_pos;
    add_text(set, "generic_fork_lower.shp",
             shp_text({rel(l, -m.fork_spacing / 2, l[1], l[2], 0.2, 0.5, 10000, 1000),
                       rel(l, m.fork_spacing / 2, l[1], l[2], 0.2, 0.5, 10000, 1000)}));
    const float *w = m.swingarm_pos;
    add_text(set, "generic_swingarm.shp",
             shp_text({rel(w, -0.38, w[1], w[2], 0.22, 0.5, 10000, 1000),
                       rel(w, 0.38, w[1], w[2], 0.22, 0.5, 10000, 1000)}));
    add_text(set, "front_wheel.shp", shp_text({{0, 0, 0, 0.25, 0.6, 10000, 1000}}));
    add_text(set, "rear_wheel.shp", shp_text({{0, 0, 0, 0.25, 0.6, 10000, 1000}}));
    // The rider body: torso, shoulders, head and hips, relative to its centre.
    add_text(set, "generic_rider.shp",
             shp_text({{0, 0, 0, 0.6, 0.6, 5000, 500},
                       {0, 0.75, -0.2, 0.5, 0.6, 5000, 500},
                       {0, 1.5, -0.35, 0.45, 0.6, 5000, 500},
                       {0, -0.55, 0.6, 0.5, 0.6, 5000, 500}}));
}

}   // namespace

Picture bike_skin_picture(const std::string &skin)
{
    std::string label;
    for (char c : skin)
        if (c >= '0' && c <= '9' && label.size() < 3)
            label += c;
    return bike_skin(family_scheme(skin), "ZVX " + label, dg_hash(5, (int)skin.size()));
}

Picture wheels_skin_picture()
{
    const uint8_t black[3] = {34, 34, 38};
    return wheel_skin(black);
}

void build_bikes(DataSet *set)
{
    std::set<std::string> model_stems, texture_stems;
    for (const BikeModel &m : bike_models) {
        std::string frame = m.frame_model + 1;   // without "@"
        std::string stem = frame.substr(0, frame.size() - strlen("_frame.qm"));
        std::string texture = m.bike_texture + 1;
        std::string skin = texture.substr(0, texture.size() - strlen(".png"));
        bool two_stroke = !strcmp(m.class_name, "250") || !strcmp(m.class_name, "125") || !strcmp(m.class_name, "50");
        if (model_stems.insert(stem).second)
            write_parts(set, stem, m, two_stroke);
        if (texture_stems.insert(skin).second)
            add_file(set, skin + ".png", encode_png(bike_skin_picture(skin), plate_colours(m.class_name)));
    }
    // Alternative skins named by the robot roster.
    struct Alt {
        const char *name;
        const char *base;
        int variant;
        const char *class_name;
    };
    static const Alt alts[] = {
        {"kx125-alt1", "kx125", 1, "125"}, {"yz125-alt1", "yz125", 1, "125"},    {"cr125-alt1", "cr125", 1, "125"},
        {"rm125-alt1", "rm125", 1, "125"}, {"crf250-alt1", "crf250", 1, "250f"}, {"crf250-alt2", "crf250", 2, "250f"},
    };
    for (const Alt &a : alts) {
        Scheme s = family_scheme(a.base);
        if (a.variant == 1) {
            uint8_t colour[3] = {s.plastic[0], s.plastic[1], s.plastic[2]};
            s.plastic[0] = s.plastic[1] = s.plastic[2] = 240;
            memcpy(s.graphic, colour, 3);
        } else {
            memcpy(s.graphic, s.plastic, 3);
            s.plastic[0] = s.plastic[1] = s.plastic[2] = 32;
        }
        add_file(set, std::string(a.name) + ".png",
                 encode_png(bike_skin(s, a.variant == 1 ? "ZVX ALT" : "ZVX TEAM", 77), plate_colours(a.class_name)));
    }
    const BikeModel &first = bike_models[0];
    add_text(set, "front_wheel.qm", wheel_model(first.front_tyre_major_radius, first.front_tyre_minor_radius, false));
    add_text(set, "rear_wheel.qm", wheel_model(first.rear_tyre_major_radius, first.rear_tyre_minor_radius, true));
    const uint8_t gold[3] = {200, 160, 50}, blue[3] = {40, 80, 200};
    add_file(set, "wheels.png", encode_png(wheels_skin_picture()));
    add_file(set, "wheels-alt1.png", encode_png(wheel_skin(gold)));
    add_file(set, "wheels-alt2.png", encode_png(wheel_skin(blue)));
    write_shapes(set, first);
}

std::string appearance_stem(const BikeModel &m)
{
    std::string frame = m.frame_model + 1;  // without "@"
    return frame.substr(0, frame.size() - strlen("_frame.qm"));
}

void scene_add_bike(PreviewScene *scene, const DataSet *set, const BikeModel &m, const Picture *skin,
                    const Picture *wheels, const Picture *plate)
{
    std::string stem = appearance_stem(m);
    struct Part {
        std::string name;
        const float *at;
        const Picture *skin;
    };
    const Part parts[] = {
        {stem + "_frame.qm", m.frame_pos, skin},           {stem + "_side_plates.qm", m.frame_pos, plate},
        {stem + "_fork_upper.qm", m.steer_pos, skin},      {stem + "_front_plate.qm", m.steer_pos, plate},
        {stem + "_fork_lower.qm", m.fork_lower_pos, skin}, {stem + "_swingarm.qm", m.swingarm_pos, skin},
        {"front_wheel.qm", m.front_wheel_pos, wheels},     {"rear_wheel.qm", m.rear_wheel_pos, wheels},
    };
    for (const Part &part : parts)
        scene_add(scene, set, part.name, part.at, part.skin);
}

void preview_bikes(const DataSet *set, const std::string &dir)
{
    Picture wheels = wheels_skin_picture(), plate = preview_plate("123");
    std::vector<std::string> previewed;
    for (const BikeModel &m : bike_models) {
        std::string stem = appearance_stem(m);
        if (stem != "crf450v2013" && stem != "yz125" && stem != "450sxf" && stem != "kx250")
            continue;
        bool done = false;
        for (const std::string &seen : previewed)
            done = done || seen == stem;
        if (done)
            continue;
        previewed.push_back(stem);
        std::string texture = m.bike_texture + 1;
        Picture skin = bike_skin_picture(texture.substr(0, texture.size() - strlen(".png")));
        PreviewScene scene;
        scene_add_bike(&scene, set, m, &skin, &wheels, &plate);
        const std::vector<PlacedModel> &placed = scene.placed;
        write_picture_file(dir + "/bike-" + stem + "-side.png", render_preview(placed, 960, 630, -90, 0));
        write_picture_file(dir + "/bike-" + stem + "-34.png", render_preview(placed, 960, 720, -130, 15));
        write_picture_file(dir + "/bike-" + stem + "-right.png", render_preview(placed, 640, 420, 90, 0));
        write_picture_file(dir + "/bike-" + stem + "-rear34.png", render_preview(placed, 640, 480, 45, 20));
        write_picture_file(dir + "/bike-" + stem + "-front.png", render_preview(placed, 480, 480, 180, 5));
        write_picture_file(dir + "/bike-" + stem + "-top.png", render_preview(placed, 640, 360, -90, 89));
    }
}
