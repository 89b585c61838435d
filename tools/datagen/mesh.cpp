// Mesh building and the ".qm" / ".shp" writers.
#include "datagen/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

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

// Normalises `axis` and completes it to a right-handed frame (a, b, axis).
static void axis_frame(double axis[3], double a[3], double b[3])
{
    normalise(axis);
    double helper[3] = {1, 0, 0};
    if (axis[0] > 0.9 || axis[0] < -0.9)
        helper[0] = 0, helper[1] = 1;
    cross(helper, axis, a);
    normalise(a);
    cross(axis, a, b);
}

void add_cylinder(MeshPart *part, const double p0[3], const double p1[3], double radius, int segments, UvRect uv)
{
    double axis[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]}, a[3], b[3];
    axis_frame(axis, a, b);
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

// --- smooth solids -------------------------------------------------------------

static double dot3(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

static double length3(const double a[3])
{
    return std::sqrt(dot3(a, a));
}

// A point of the unit rounded rectangle and its direction of travel round it.
struct RingSample {
    double sx, sy, dx, dy;
};

// The ring pattern of a loft: an ellipse, or four corner arcs joined by flat
// sides, both starting and ending (the seam) under the centre.
static std::vector<RingSample> ring_samples(double round, int corner_segments, bool ellipse)
{
    std::vector<RingSample> ring;
    if (ellipse) {
        int n = 4 * corner_segments;
        for (int j = 0; j < n; j++) {
            double angle = -DG_PI / 2 + 2 * DG_PI * j / n;
            double c = dg_cos(angle), s = dg_sin(angle);
            ring.push_back({c, s, -s, c});
        }
        ring.push_back(ring[0]);
        return ring;
    }
    round = dg_clamp(round, 0.02, 0.98);
    ring.push_back({0, -1, 1, 0});
    static const double signs[4][2] = {{1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
    for (int q = 0; q < 4; q++)
        for (int i = 0; i <= corner_segments; i++) {
            double angle = -DG_PI / 2 + DG_PI / 2 * (q + (double)i / corner_segments);
            double c = dg_cos(angle), s = dg_sin(angle);
            ring.push_back({signs[q][0] * (1 - round) + round * c, signs[q][1] * (1 - round) + round * s, -s, c});
        }
    ring.push_back({0, -1, 1, 0});
    return ring;
}

static bool section_empty(const LoftSection &s)
{
    return length3(s.side) + length3(s.up) < 1e-9;
}

void add_loft(MeshPart *part, const std::vector<LoftSection> &sections, int corner_segments, UvRect uv)
{
    int count = (int)sections.size();
    if (count < 2 || corner_segments < 1)
        return;
    bool ellipse = true;
    for (const LoftSection &s : sections)
        ellipse = ellipse && s.round >= 0.999;
    // Travel round each ring counter-clockwise about the loft's direction, so
    // that (round) x (along) points outward.
    const LoftSection &first = sections[0], &last = sections[count - 1];
    double along[3] = {last.centre[0] - first.centre[0], last.centre[1] - first.centre[1],
                       last.centre[2] - first.centre[2]};
    const LoftSection &probe = section_empty(first) ? sections[1] : first;
    double facing[3];
    cross(probe.side, probe.up, facing);
    double orient = dot3(facing, along) < 0 ? -1 : 1;
    std::vector<std::vector<RingSample>> rings;
    for (const LoftSection &s : sections) {
        std::vector<RingSample> ring = ring_samples(s.round, corner_segments, ellipse);
        if (orient < 0) {
            std::vector<RingSample> reversed(ring.rbegin(), ring.rend());
            for (RingSample &r : reversed)
                r.dx = -r.dx, r.dy = -r.dy;
            ring = reversed;
        }
        rings.push_back(ring);
    }
    int n = (int)rings[0].size();
    // Positions and the round-the-ring directions.
    std::vector<double> pos((size_t)count * n * 3), dir((size_t)count * n * 3);
    for (int i = 0; i < count; i++) {
        const LoftSection &s = sections[i];
        double unit_up[3] = {s.up[0], s.up[1], s.up[2]};
        normalise(unit_up);
        for (int j = 0; j < n; j++) {
            const RingSample &r = rings[i][j];
            double bend = s.arch * r.sx * r.sx, bend_d = 2 * s.arch * r.sx * r.dx;
            for (int c = 0; c < 3; c++) {
                pos[((size_t)i * n + j) * 3 + c] = s.centre[c] + s.side[c] * r.sx + s.up[c] * r.sy - unit_up[c] * bend;
                dir[((size_t)i * n + j) * 3 + c] = s.side[c] * r.dx + s.up[c] * r.dy - unit_up[c] * bend_d;
            }
        }
    }
    auto at = [&](int i, int j) { return &pos[((size_t)i * n + j) * 3]; };
    // v by the length along the centres, u by the length round each ring.
    std::vector<double> vs(count, 0);
    for (int i = 1; i < count; i++) {
        const double *a = sections[i - 1].centre, *b = sections[i].centre;
        double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        vs[i] = vs[i - 1] + length3(d);
    }
    int base = (int)part->vertices.size();
    for (int i = 0; i < count; i++) {
        bool empty = section_empty(sections[i]);
        std::vector<double> us(n, 0);
        for (int j = 1; j < n; j++) {
            const double *a = at(i, j - 1), *b = at(i, j);
            double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            us[j] = us[j - 1] + length3(d);
        }
        double v = vs[count - 1] > 0 ? vs[i] / vs[count - 1] : (double)i / (count - 1);
        for (int j = 0; j < n; j++) {
            double normal[3];
            if (empty) {
                // A point end: the normal runs along the solid.
                int other = i == 0 ? 1 : i - 1;
                for (int c = 0; c < 3; c++)
                    normal[c] = sections[i].centre[c] - sections[other].centre[c];
            } else {
                int i0 = i > 0 ? i - 1 : i, i1 = i < count - 1 ? i + 1 : i;
                const double *a = at(i0, j), *b = at(i1, j);
                double t[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
                cross(&dir[((size_t)i * n + j) * 3], t, normal);
                if (length3(normal) < 1e-12) {
                    double ahead[3];
                    cross(sections[i].side, sections[i].up, ahead);
                    for (double &c : ahead)
                        c *= orient;
                    cross(&dir[((size_t)i * n + j) * 3], ahead, normal);
                }
            }
            normalise(normal);
            const double *p = at(i, j);
            double u = us[n - 1] > 0 ? us[j] / us[n - 1] : (double)j / (n - 1);
            push_vertex(part, p[0], p[1], p[2], normal[0], normal[1], normal[2], dg_lerp(uv.u0, uv.u1, u),
                        dg_lerp(uv.v0, uv.v1, v));
        }
    }
    for (int i = 0; i + 1 < count; i++) {
        bool empty0 = section_empty(sections[i]), empty1 = section_empty(sections[i + 1]);
        for (int j = 0; j + 1 < n; j++) {
            int a = base + i * n + j, b = a + 1, c = a + n + 1, d = a + n;
            if (!empty0)
                part->triangles.insert(part->triangles.end(), {a, b, c});
            if (!empty1)
                part->triangles.insert(part->triangles.end(), {a, c, d});
        }
    }
    // Flat caps on ends that have a size. An arched section is not convex,
    // so the cap zips the lower half of the ring to the upper half, both
    // taken across from -side to +side.
    for (int end = 0; end < 2; end++) {
        int i = end ? count - 1 : 0;
        const LoftSection &s = sections[i];
        if (section_empty(s))
            continue;
        double normal[3];
        cross(s.side, s.up, normal);
        normalise(normal);
        double sign = end ? orient : -orient;
        for (double &c : normal)
            c *= sign;
        int rim = (int)part->vertices.size();
        std::vector<std::pair<double, int>> lower, upper;
        for (int j = 0; j + 1 < n; j++) {
            const double *p = at(i, j);
            const RingSample &r = rings[i][j];
            push_vertex(part, p[0], p[1], p[2], normal[0], normal[1], normal[2],
                        dg_lerp(uv.u0, uv.u1, 0.5 + 0.5 * r.sx), dg_lerp(uv.v0, uv.v1, 0.5 - 0.5 * r.sy));
            if (r.sy <= 1e-12)
                lower.push_back({r.sx, rim + j});
            if (r.sy >= -1e-12)
                upper.push_back({r.sx, rim + j});
        }
        std::sort(lower.begin(), lower.end());
        std::sort(upper.begin(), upper.end());
        auto emit = [&](int a, int b, int c) {
            if (a == b || b == c || a == c)
                return;
            const double *pa = part->vertices[a].p, *pb = part->vertices[b].p, *pc = part->vertices[c].p;
            double e1[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
            double e2[3] = {pc[0] - pa[0], pc[1] - pa[1], pc[2] - pa[2]};
            double facing[3];
            cross(e1, e2, facing);
            if (dot3(facing, normal) < 0)
                std::swap(b, c);
            part->triangles.insert(part->triangles.end(), {a, b, c});
        };
        size_t lo = 0, up = 0;
        while (lo + 1 < lower.size() || up + 1 < upper.size()) {
            bool step_lower = up + 1 >= upper.size() ||
                              (lo + 1 < lower.size() && lower[lo + 1].first <= upper[up + 1].first);
            if (step_lower) {
                emit(lower[lo].second, lower[lo + 1].second, upper[up].second);
                lo++;
            } else {
                emit(lower[lo].second, upper[up + 1].second, upper[up].second);
                up++;
            }
        }
    }
}

// Uniform Catmull-Rom through p1 and p2 at t in [0, 1].
static double catmull_rom(double p0, double p1, double p2, double p3, double t)
{
    return 0.5 * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                  (3 * p1 - p0 - 3 * p2 + p3) * t * t * t);
}

std::vector<LoftSection> smooth_sections(const std::vector<LoftSection> &keys, int steps)
{
    int count = (int)keys.size();
    if (count < 2 || steps < 1)
        return keys;
    std::vector<LoftSection> out;
    for (int k = 0; k + 1 < count; k++) {
        const LoftSection &a = keys[k > 0 ? k - 1 : k], &b = keys[k], &c = keys[k + 1],
                          &d = keys[k + 2 < count ? k + 2 : k + 1];
        for (int s = 0; s < steps; s++) {
            double t = (double)s / steps;
            LoftSection q;
            for (int i = 0; i < 3; i++) {
                q.centre[i] = catmull_rom(a.centre[i], b.centre[i], c.centre[i], d.centre[i], t);
                q.side[i] = catmull_rom(a.side[i], b.side[i], c.side[i], d.side[i], t);
                q.up[i] = catmull_rom(a.up[i], b.up[i], c.up[i], d.up[i], t);
            }
            q.round = dg_clamp(catmull_rom(a.round, b.round, c.round, d.round, t), 0.02, 1);
            q.arch = catmull_rom(a.arch, b.arch, c.arch, d.arch, t);
            // A point end stays a point.
            if (s == 0 && section_empty(b))
                q = b;
            out.push_back(q);
        }
    }
    out.push_back(keys[count - 1]);
    return out;
}

std::vector<MeshPoint> smooth_path(const std::vector<MeshPoint> &points, int steps)
{
    int count = (int)points.size();
    if (count < 2 || steps < 1)
        return points;
    std::vector<MeshPoint> out;
    for (int k = 0; k + 1 < count; k++) {
        const MeshPoint &a = points[k > 0 ? k - 1 : k], &b = points[k], &c = points[k + 1],
                        &d = points[k + 2 < count ? k + 2 : k + 1];
        for (int s = 0; s < steps; s++) {
            double t = (double)s / steps;
            out.push_back({catmull_rom(a[0], b[0], c[0], d[0], t), catmull_rom(a[1], b[1], c[1], d[1], t),
                           catmull_rom(a[2], b[2], c[2], d[2], t)});
        }
    }
    out.push_back(points[count - 1]);
    return out;
}

std::vector<LoftSection> path_sections(const std::vector<MeshPoint> &path, const double side_hint[3],
                                       const std::vector<double> &half_side, const std::vector<double> &half_up,
                                       double round)
{
    std::vector<LoftSection> out;
    int count = (int)path.size();
    double previous[3] = {side_hint[0], side_hint[1], side_hint[2]};
    normalise(previous);
    for (int k = 0; k < count; k++) {
        const MeshPoint &a = path[k > 0 ? k - 1 : k], &b = path[k + 1 < count ? k + 1 : k];
        double t[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        normalise(t);
        double side[3];
        for (int c = 0; c < 3; c++)
            side[c] = side_hint[c] - dot3(side_hint, t) * t[c];
        if (length3(side) < 1e-6) {
            // The hint runs along the path here: keep the last frame's side.
            for (int c = 0; c < 3; c++)
                side[c] = previous[c] - dot3(previous, t) * t[c];
        }
        normalise(side);
        double up[3];
        cross(t, side, up);
        LoftSection s;
        for (int c = 0; c < 3; c++) {
            s.centre[c] = path[k][c];
            s.side[c] = side[c] * half_side[k];
            s.up[c] = up[c] * half_up[k];
            previous[c] = side[c];
        }
        s.round = round;
        out.push_back(s);
    }
    return out;
}

void add_tube(MeshPart *part, const std::vector<MeshPoint> &path, const std::vector<double> &radii, int segments,
              UvRect uv)
{
    if (path.size() < 2 || radii.size() != path.size())
        return;
    // Any direction not along the path's start will do for a round tube.
    double t[3] = {path[1][0] - path[0][0], path[1][1] - path[0][1], path[1][2] - path[0][2]};
    normalise(t);
    double hint[3] = {1, 0, 0};
    if (t[0] > 0.9 || t[0] < -0.9)
        hint[0] = 0, hint[1] = 1;
    add_loft(part, path_sections(path, hint, radii, radii, 1), segments / 4 > 0 ? segments / 4 : 1, uv);
}

void add_ellipsoid(MeshPart *part, const double centre[3], const double ax[3], const double ay[3],
                   const double az[3], int segments, UvRect uv)
{
    int rings = segments / 2 > 2 ? segments / 2 : 2;
    std::vector<LoftSection> sections;
    for (int k = 0; k <= rings; k++) {
        double angle = DG_PI * k / rings;
        double c = k == rings ? -1 : dg_cos(angle), s = (k == 0 || k == rings) ? 0 : dg_sin(angle);
        LoftSection q;
        for (int i = 0; i < 3; i++) {
            q.centre[i] = centre[i] - az[i] * c;
            q.side[i] = ax[i] * s;
            q.up[i] = ay[i] * s;
        }
        sections.push_back(q);
    }
    add_loft(part, sections, segments / 4 > 0 ? segments / 4 : 1, uv);
}

void add_capsule(MeshPart *part, const double p0[3], const double p1[3], double radius, int segments, UvRect uv)
{
    double axis[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]}, a[3], b[3];
    axis_frame(axis, a, b);
    // Quarter circles at both ends, the straight part between them.
    int cap = segments / 4 > 1 ? segments / 4 : 2;
    std::vector<LoftSection> sections;
    for (int end = 0; end < 2; end++)
        for (int k = 0; k <= cap; k++) {
            double angle = DG_PI / 2 * (end ? k : cap - k) / cap;
            double along = (end ? 1 : -1) * radius * dg_sin(angle), across = radius * dg_cos(angle);
            if ((end == 0 && k == 0) || (end == 1 && k == cap))
                across = 0;
            const double *c = end ? p1 : p0;
            LoftSection q;
            for (int i = 0; i < 3; i++) {
                q.centre[i] = c[i] + axis[i] * along;
                q.side[i] = a[i] * across;
                q.up[i] = b[i] * across;
            }
            sections.push_back(q);
        }
    add_loft(part, sections, segments / 4 > 0 ? segments / 4 : 1, uv);
}

void add_lathe(MeshPart *part, const double base[3], const double axis_in[3],
               const std::vector<std::array<double, 2>> &profile_in, int segments, UvRect uv, bool closed, int repeat)
{
    if (profile_in.size() < 2 || segments < 3)
        return;
    std::vector<std::array<double, 2>> profile = profile_in;
    if (closed)
        profile.push_back(profile_in[0]);
    int count = (int)profile.size();
    double axis[3] = {axis_in[0], axis_in[1], axis_in[2]}, e1[3], e2[3];
    axis_frame(axis, e1, e2);
    // Profile normals: (-dr, da) averaged over the neighbouring segments; a
    // segment of no length (a repeated point) is left out: a crease.
    int loop = closed ? count - 1 : count;
    auto point = [&](int i) -> const std::array<double, 2> & { return profile[closed ? (i + loop) % loop : i]; };
    std::vector<double> lengths(count, 0);
    for (int i = 1; i < count; i++) {
        double da = profile[i][0] - profile[i - 1][0], dr = profile[i][1] - profile[i - 1][1];
        lengths[i] = lengths[i - 1] + std::sqrt(da * da + dr * dr);
    }
    int first = (int)part->vertices.size();
    for (int i = 0; i < count; i++) {
        int at = closed ? i % loop : i;
        double na = 0, nr = 0;
        for (int side = 0; side < 2; side++) {
            int from = side ? at : at - 1, to = from + 1;
            if (!closed && (from < 0 || to >= count))
                continue;
            double da = point(to)[0] - point(from)[0], dr = point(to)[1] - point(from)[1];
            double length = std::sqrt(da * da + dr * dr);
            if (length < 1e-12)
                continue;
            na += -dr / length, nr += da / length;
        }
        double nl = std::sqrt(na * na + nr * nr);
        if (nl > 0)
            na /= nl, nr /= nl;
        double v = lengths[count - 1] > 0 ? lengths[i] / lengths[count - 1] : (double)i / (count - 1);
        for (int k = 0; k <= segments; k++) {
            double angle = 2 * DG_PI * k / segments;
            double ca = k == segments ? 1 : dg_cos(angle), sa = k == segments ? 0 : dg_sin(angle);
            double radial[3] = {e1[0] * ca + e2[0] * sa, e1[1] * ca + e2[1] * sa, e1[2] * ca + e2[2] * sa};
            double a = profile[i][0], r = profile[i][1];
            push_vertex(part, base[0] + axis[0] * a + radial[0] * r, base[1] + axis[1] * a + radial[1] * r,
                        base[2] + axis[2] * a + radial[2] * r, axis[0] * na + radial[0] * nr,
                        axis[1] * na + radial[1] * nr, axis[2] * na + radial[2] * nr,
                        dg_lerp(uv.u0, uv.u1, (double)k * repeat / segments), dg_lerp(uv.v0, uv.v1, v));
        }
    }
    int row = segments + 1;
    for (int i = 0; i + 1 < count; i++) {
        bool same = profile[i][0] == profile[i + 1][0] && profile[i][1] == profile[i + 1][1];
        if (same)
            continue;
        for (int k = 0; k < segments; k++) {
            int a = first + i * row + k, b = a + 1, c = a + row + 1, d = a + row;
            if (profile[i][1] > 0)
                part->triangles.insert(part->triangles.end(), {a, b, c});
            if (profile[i + 1][1] > 0)
                part->triangles.insert(part->triangles.end(), {a, c, d});
        }
    }
}

void add_block(MeshPart *part, const double corners[8][3], UvRect uv, int skip)
{
    // The faces of add_box: normal axis, sign, and the in-plane axes.
    static const int faces[6][4] = {
        {0, +1, 2, 1}, {0, -1, 1, 2}, {1, +1, 0, 2}, {1, -1, 2, 0}, {2, +1, 1, 0}, {2, -1, 0, 1},
    };
    for (int f = 0; f < 6; f++) {
        if (skip & (1 << f))
            continue;
        int axis = faces[f][0], sign = faces[f][1], r = faces[f][2], u = faces[f][3];
        int pick[4];
        for (int k = 0; k < 4; k++) {
            int bits = 0;
            if (sign > 0)
                bits |= 1 << axis;
            if (k == 1 || k == 2)
                bits |= 1 << r;
            if (k >= 2)
                bits |= 1 << u;
            pick[k] = bits;
        }
        bool ccw = ((r + 1) % 3 == u) == (sign > 0);
        int order[4] = {pick[0], pick[1], pick[2], pick[3]};
        if (!ccw)
            order[1] = pick[3], order[3] = pick[1];
        const double *c0 = corners[order[0]], *c1 = corners[order[1]], *c2 = corners[order[2]], *c3 = corners[order[3]];
        double d0[3] = {c2[0] - c0[0], c2[1] - c0[1], c2[2] - c0[2]};
        double d1[3] = {c3[0] - c1[0], c3[1] - c1[1], c3[2] - c1[2]};
        double n[3];
        cross(d0, d1, n);
        normalise(n);
        static const double us[4] = {0, 1, 1, 0}, vs[4] = {1, 1, 0, 0};
        int index[4];
        for (int k = 0; k < 4; k++) {
            const double *p = corners[pick[k]];
            index[k] = push_vertex(part, p[0], p[1], p[2], n[0], n[1], n[2], dg_lerp(uv.u0, uv.u1, us[k]),
                                   dg_lerp(uv.v0, uv.v1, vs[k]));
        }
        if (ccw)
            quad(part, index[0], index[1], index[2], index[3]);
        else
            quad(part, index[0], index[3], index[2], index[1]);
    }
}

void uv_project(MeshPart *part, int first, const double origin[3], const double du[3], const double dv[3], UvRect uv)
{
    for (size_t k = first > 0 ? (size_t)first : 0; k < part->vertices.size(); k++) {
        MeshVertex &v = part->vertices[k];
        double d[3] = {v.p[0] - origin[0], v.p[1] - origin[1], v.p[2] - origin[2]};
        v.uv[0] = dg_lerp(uv.u0, uv.u1, dot3(d, du));
        v.uv[1] = dg_lerp(uv.v0, uv.v1, dot3(d, dv));
    }
}

// Appends `v` to three decimals without trailing zeros ("0.5", "-1.25", "0").
static void append_compact(std::string *text, double v)
{
    char buffer[64];
    int length = snprintf(buffer, sizeof buffer, "%.3f", v);
    if (length <= 0 || length >= (int)sizeof buffer)
        return;
    while (length > 0 && buffer[length - 1] == '0')
        length--;
    if (length > 0 && buffer[length - 1] == '.')
        length--;
    buffer[length] = 0;
    if (!strcmp(buffer, "-0"))
        strcpy(buffer, "0");
    text->append(buffer);
}

std::string qm_text_compact(const std::vector<MeshPart> &parts)
{
    std::string text = "QM1\n";
    for (const MeshPart &part : parts) {
        text += format("%.4f 1 %.4f %.4f %.4f %d %d\n", part.shininess, part.colour[0], part.colour[1],
                       part.colour[2], (int)part.vertices.size(), (int)(part.triangles.size() / 3));
        for (const MeshVertex &v : part.vertices) {
            const double values[8] = {v.p[0], v.p[1], v.p[2], v.n[0], v.n[1], v.n[2], v.uv[0], 1 - v.uv[1]};
            for (int k = 0; k < 8; k++) {
                append_compact(&text, values[k]);
                text += k < 7 ? ' ' : '\n';
            }
        }
        for (size_t k = 0; k < part.triangles.size(); k += 3)
            text += format("%d %d %d\n", part.triangles[k], part.triangles[k + 1], part.triangles[k + 2]);
    }
    return text;
}
