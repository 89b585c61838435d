// Triangle meshes built from simple solids, written as ".qm" text, and
// collision shapes written as ".shp" text.
#pragma once
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
