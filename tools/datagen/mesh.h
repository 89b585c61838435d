// Triangle meshes built from simple solids, written as ".qm" text, and
// collision shapes written as ".shp" text.
#pragma once
#include <array>
#include <string>
#include <vector>

struct MeshVertex {
    double p[3];
    double n[3];
    double uv[2];   // v measured from the top of the texture
};

struct MeshPart {
    double shininess = 16;
    double colour[3] = {0.3, 0.3, 0.3};   // specular colour
    std::vector<MeshVertex> vertices;
    std::vector<int> triangles;
};

// Texture region a solid maps onto: u0..u1, v0..v1 in texture units.
struct UvRect {
    double u0 = 0, v0 = 0, u1 = 1, v1 = 1;
};

// An axis-aligned box from `lo` to `hi`; every face shows the whole region.
void add_box(MeshPart *part, const double lo[3], const double hi[3], UvRect uv = UvRect());
// A capped cylinder from `p0` to `p1`; the side wraps u around the region,
// the caps use its centre.
void add_cylinder(MeshPart *part, const double p0[3], const double p1[3], double radius, int segments,
                  UvRect uv = UvRect());
// A torus about the x axis through `centre`: ring radius `major`, tube radius
// `minor`; u runs round the ring (`repeat` times), v round the tube.
void add_torus(MeshPart *part, const double centre[3], double major, double minor, int ring_segments,
               int tube_segments, UvRect uv = UvRect(), int repeat = 1);

// A flat quad seen from its front: corners top-left, top-right,
// bottom-right, bottom-left, showing the region upright. `both` adds the
// back face as well.
void add_quad(MeshPart *part, const double corners[4][3], UvRect uv, bool both);

// QM1 text of the parts (one mesh each).
std::string qm_text(const std::vector<MeshPart> &parts);

struct ShapeBall {
    double x, y, z, radius;
    double friction = 0.6;
    double stiffness = 2000;
    double damping = 100;
};
std::string shp_text(const std::vector<ShapeBall> &balls);

// --- smooth solids -------------------------------------------------------------

using MeshPoint = std::array<double, 3>;

// One cross-section of a loft: a rounded rectangle around `centre` spanned
// by the half-extent vectors `side` and `up`. `round` is the corner radius
// as a fraction of the half extents (1: an ellipse); `arch` bends the
// section, moving a point at s across (s = -1 .. 1 from -side to +side) by
// arch * s^2 against `up`, for shells such as fenders.
struct LoftSection {
    double centre[3] = {0, 0, 0};
    double side[3] = {1, 0, 0};
    double up[3] = {0, 1, 0};
    double round = 1;
    double arch = 0;
};

// A closed solid through the sections in order, smoothly shaded. Each
// quarter of a section gets `corner_segments` steps. An end with a section
// of no size closes in a point, any other end with a flat cap. u runs round
// the sections starting under the centre, v along the solid by length.
void add_loft(MeshPart *part, const std::vector<LoftSection> &sections, int corner_segments, UvRect uv);
// `steps` sections per interval of `keys`, through the keys (Catmull-Rom).
std::vector<LoftSection> smooth_sections(const std::vector<LoftSection> &keys, int steps);
// `steps` points per interval of `points`, through the points (Catmull-Rom).
std::vector<MeshPoint> smooth_path(const std::vector<MeshPoint> &points, int steps);
// Sections along a path, square to it: `side` is `side_hint` made square to
// the path at each point, `up` completes the frame; half extents per point.
std::vector<LoftSection> path_sections(const std::vector<MeshPoint> &path, const double side_hint[3],
                                       const std::vector<double> &half_side, const std::vector<double> &half_up,
                                       double round);
// A round tube along a path with a radius per point (a tapered tube for
// two points); capped ends, pointed where a radius is 0.
void add_tube(MeshPart *part, const std::vector<MeshPoint> &path, const std::vector<double> &radii, int segments,
              UvRect uv);
// An ellipsoid with half axes `ax`, `ay`, `az` (vectors, right-handed);
// `segments` round its equator (a multiple of 4), poles along `az`.
void add_ellipsoid(MeshPart *part, const double centre[3], const double ax[3], const double ay[3],
                   const double az[3], int segments, UvRect uv);
// A capsule: a tube of `radius` from `p0` to `p1` with round ends.
void add_capsule(MeshPart *part, const double p0[3], const double p1[3], double radius, int segments, UvRect uv);

// A solid of revolution about the line through `base` along `axis`: the
// profile is (distance along the axis, radius) pairs whose outside lies to
// the left of travel (axis to the right, radius up); a repeated point makes
// a crease; `closed` joins the last point to the first. u runs round the
// axis (`repeat` times), v along the profile.
void add_lathe(MeshPart *part, const double base[3], const double axis[3],
               const std::vector<std::array<double, 2>> &profile, int segments, UvRect uv, bool closed = false,
               int repeat = 1);

// A six-sided solid with flat faces: corner k is the box corner with x high
// when bit 0 of k is set, y high for bit 1 and z high for bit 2 (as a box
// corner, the solid may be sheared and tapered). Faces whose bit is set in
// `skip` (+x, -x, +y, -y, +z, -z from bit 0) are left out.
void add_block(MeshPart *part, const double corners[8][3], UvRect uv, int skip = 0);

// Maps the texture coordinates of the vertices from `first` on by a planar
// projection: u goes from u0 to u1 as dot(p - origin, du) goes from 0 to 1,
// v likewise with dv.
void uv_project(MeshPart *part, int first, const double origin[3], const double du[3], const double dv[3],
                UvRect uv);

// QM1 text like qm_text, with numbers to three decimals and no trailing
// zeros (a thousandth of a foot, of a texture, of a unit normal is plenty):
// about a third smaller for large models.
std::string qm_text_compact(const std::vector<MeshPart> &parts);
