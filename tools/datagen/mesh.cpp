// Mesh building and the ".qm" / ".shp" writers.
#include "datagen/mesh.h"

#include <cmath>

#include "datagen/datagen.h"

static int push_vertex(MeshPart *part, double x, double y, double z, double nx, double ny, double nz, double u,
                       double v)
{
    MeshVertex vertex = {{x, y, z}, {nx, ny, nz}, {u, v}};
    part->vertices.push_back(vertex);
    return (int)part->vertices.size() - 1;
}

static void quad(MeshPart *part, int a, int b, int c, int d)
{
    part->triangles.insert(part->triangles.end(), {a, b, c, a, c, d});
}

void add_box(MeshPart *part, const double lo[3], const double hi[3], UvRect uv)
{
    // Each face: normal axis, sign, and the two in-plane axes (right, up)
    // chosen so that right x up = normal (counter-clockwise from outside).
    static const int faces[6][4] = {
        {0, +1, 2, 1}, {0, -1, 1, 2}, {1, +1, 0, 2}, {1, -1, 2, 0}, {2, +1, 1, 0}, {2, -1, 0, 1},
    };
    for (const int *f : faces) {
        int axis = f[0], sign = f[1], r = f[2], u = f[3];
        double corner[4][3];
        for (int k = 0; k < 4; k++) {
            double point[3];
            point[axis] = sign > 0 ? hi[axis] : lo[axis];
            point[r] = (k == 1 || k == 2) ? hi[r] : lo[r];
            point[u] = (k >= 2) ? hi[u] : lo[u];
            for (int c = 0; c < 3; c++)
                corner[k][c] = point[c];
        }
        double n[3] = {0, 0, 0};
        n[axis] = sign;
        static const double us[4] = {0, 1, 1, 0}, vs[4] = {1, 1, 0, 0};
        int index[4];
        for (int k = 0; k < 4; k++)
            index[k] = push_vertex(part, corner[k][0], corner[k][1], corner[k][2], n[0], n[1], n[2],
                                   dg_lerp(uv.u0, uv.u1, us[k]), dg_lerp(uv.v0, uv.v1, vs[k]));
        // right x up must equal the normal; flip the winding where it does not.
        int rr = r, uu = u;
        bool ccw = ((rr + 1) % 3 == uu) == (sign > 0);
        if (ccw)
            quad(part, index[0], index[1], index[2], index[3]);
        else
            quad(part, index[0], index[3], index[2], index[1]);
    }
}

static void normalise(double v[3])
{
    double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0)
        v[0] /= length, v[1] /= length, v[2] /= length;
}

static void cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void add_cylinder(MeshPart *part, const double p0[3], const double p1[3], double radius, int segments, UvRect uv)
{
    double axis[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    normalise(axis);
    // (a, b, axis) right-handed.
    double helper[3] = {1, 0, 0};
    if (axis[0] > 0.9 || axis[0] < -0.9)
        helper[0] = 0, helper[1] = 1;
    double a[3], b[3];
    cross(helper, axis, a);
    normalise(a);
    cross(axis, a, b);
    int first = (int)part->vertices.size();
    for (int k = 0; k <= segments; k++) {
        double angle = 2 * DG_PI * k / segments;
        double ca = dg_cos(angle), sa = dg_sin(angle);
        double n[3] = {a[0] * ca + b[0] * sa, a[1] * ca + b[1] * sa, a[2] * ca + b[2] * sa};
        for (int end = 0; end < 2; end++) {
            const double *c = end ? p1 : p0;
            push_vertex(part, c[0] + radius * n[0], c[1] + radius * n[1], c[2] + radius * n[2], n[0], n[1], n[2],
                        dg_lerp(uv.u0, uv.u1, (double)k / segments), end ? uv.v0 : uv.v1);
        }
    }
    for (int k = 0; k < segments; k++) {
        int v0 = first + 2 * k;
        quad(part, v0, v0 + 2, v0 + 3, v0 + 1);
    }
    double um = (uv.u0 + uv.u1) / 2, vm = (uv.v0 + uv.v1) / 2;
    for (int end = 0; end < 2; end++) {
        const double *c = end ? p1 : p0;
        double sign = end ? 1 : -1;
        int hub = push_vertex(part, c[0], c[1], c[2], sign * axis[0], sign * axis[1], sign * axis[2], um, vm);
        int rim = (int)part->vertices.size();
        for (int k = 0; k < segments; k++) {
            double angle = 2 * DG_PI * k / segments;
            double ca = dg_cos(angle), sa = dg_sin(angle);
            push_vertex(part, c[0] + radius * (a[0] * ca + b[0] * sa), c[1] + radius * (a[1] * ca + b[1] * sa),
                        c[2] + radius * (a[2] * ca + b[2] * sa), sign * axis[0], sign * axis[1], sign * axis[2], um,
                        vm);
        }
        for (int k = 0; k < segments; k++) {
            int q0 = rim + k, q1 = rim + (k + 1) % segments;
            if (end)
                part->triangles.insert(part->triangles.end(), {hub, q0, q1});
            else
                part->triangles.insert(part->triangles.end(), {hub, q1, q0});
        }
    }
}

void add_torus(MeshPart *part, const double centre[3], double major, double minor, int ring_segments,
               int tube_segments, UvRect uv, int repeat)
{
    int first = (int)part->vertices.size();
    for (int i = 0; i <= ring_segments; i++) {
        double ring = 2 * DG_PI * i / ring_segments;
        double cr = dg_cos(ring), sr = dg_sin(ring);
        for (int j = 0; j <= tube_segments; j++) {
            double tube = 2 * DG_PI * j / tube_segments;
            double ct = dg_cos(tube), st = dg_sin(tube);
            // Ring in the y-z plane; the tube's outward direction mixes the
            // radial direction with x.
            double n[3] = {st, ct * cr, ct * sr};
            double r = major + minor * ct;
            push_vertex(part, centre[0] + minor * st, centre[1] + r * cr, centre[2] + r * sr, n[0], n[1], n[2],
                        dg_lerp(uv.u0, uv.u1, (double)i * repeat / ring_segments),
                        dg_lerp(uv.v0, uv.v1, (double)j / tube_segments));
        }
    }
    int row = tube_segments + 1;
    for (int i = 0; i < ring_segments; i++)
        for (int j = 0; j < tube_segments; j++) {
            int v0 = first + i * row + j;
            quad(part, v0, v0 + row, v0 + row + 1, v0 + 1);
        }
}

void add_quad(MeshPart *part, const double c[4][3], UvRect uv, bool both)
{
    double e1[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1], c[1][2] - c[0][2]};
    double e2[3] = {c[3][0] - c[0][0], c[3][1] - c[0][1], c[3][2] - c[0][2]};
    double n[3];
    cross(e2, e1, n);  // right x down would point away; down x right points to the viewer
    normalise(n);
    static const double us[4] = {0, 1, 1, 0}, vs[4] = {0, 0, 1, 1};
    for (int side = 0; side < (both ? 2 : 1); side++) {
        double sign = side ? -1 : 1;
        int index[4];
        for (int k = 0; k < 4; k++)
            index[k] = push_vertex(part, c[k][0], c[k][1], c[k][2], sign * n[0], sign * n[1], sign * n[2],
                                   dg_lerp(uv.u0, uv.u1, us[k]), dg_lerp(uv.v0, uv.v1, vs[k]));
        if (side)
            quad(part, index[0], index[1], index[2], index[3]);
        else
            quad(part, index[0], index[3], index[2], index[1]);
    }
}

// Rounds tiny magnitudes to zero so that "-0.0000" never appears.
static double tidy(double v)
{
    return v > -5e-5 && v < 5e-5 ? 0.0 : v;
}

std::string qm_text(const std::vector<MeshPart> &parts)
{
    std::string text = "QM1\n";
    for (const MeshPart &part : parts) {
        text += format("%.4f 1 %.4f %.4f %.4f %d %d\n", part.shininess, part.colour[0], part.colour[1],
                       part.colour[2], (int)part.vertices.size(), (int)(part.triangles.size() / 3));
        for (const MeshVertex &v : part.vertices)
            text += format("%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f\n", tidy(v.p[0]), tidy(v.p[1]), tidy(v.p[2]),
                           tidy(v.n[0]), tidy(v.n[1]), tidy(v.n[2]), tidy(v.uv[0]), tidy(1 - v.uv[1]));
        for (size_t k = 0; k < part.triangles.size(); k += 3)
            text += format("%d %d %d\n", part.triangles[k], part.triangles[k + 1], part.triangles[k + 2]);
    }
    return text;
}

std::string shp_text(const std::vector<ShapeBall> &balls)
{
    std::string text = format("%d\n", (int)balls.size());
    for (const ShapeBall &b : balls)
        text += format("%.4f %.4f %.4f %.4f %.4f %.4f %.4f\n", tidy(b.x), tidy(b.y), tidy(b.z), b.radius, b.friction,
                       b.stiffness, b.damping);
    return text;
}
