// The rider: a skinned body in riding gear (and its first-person cut), the
// helmeted head, the number plate on the back, and the gear and helmet
// skins with their alternates. Built in the bind pose of the rider skeleton,
// in rider-body coordinates.
#include "datagen/rider.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "datagen/datagen.h"
#include "datagen/image_out.h"
#include "datagen/mesh.h"
#include "datagen/bikes.h"
#include "datagen/preview.h"
#include "datagen/textures.h"
#include "data/model.h"
#include "sim/bike_models.h"
#include "sim/rider_skeleton.h"

namespace {

// Gear skin regions (256 x 256).
const UvRect JERSEY = {0, 0, 0.5, 0.5};
const UvRect PANTS = {0.5, 0, 1, 0.5};
const UvRect BOOTS = {0, 0.5, 0.5, 0.75};
const UvRect GLOVES = {0, 0.75, 0.5, 1};
const UvRect BRACE = {0.5, 0.5, 1, 0.75};
// Helmet skin regions.
const UvRect SHELL = {0, 0, 1, 0.5};
const UvRect VISOR = {0, 0.5, 0.5, 0.75};
const UvRect LENS = {0.5, 0.5, 1, 0.75};
const UvRect STRAP = {0, 0.75, 1, 1};
const UvRect PLATE = {0, 0, 1, 1};

struct Weights {
    double w[RIDER_BONE_COUNT] = {};
};

Weights only(int bone)
{
    Weights w;
    w.w[bone] = 1;
    return w;
}

// A mesh with one set of bone weights per vertex.
struct SkinPart {
    MeshPart mesh;
    std::vector<Weights> weights;
};

using Vec = std::array<double, 3>;

Vec operator+(Vec a, Vec b)
{
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vec operator-(Vec a, Vec b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec operator*(Vec a, double s)
{
    return {a[0] * s, a[1] * s, a[2] * s};
}
double dot(Vec a, Vec b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec cross(Vec a, Vec b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec unit(Vec a)
{
    double length = std::sqrt(dot(a, a));
    return length > 0 ? a * (1 / length) : a;
}

Vec joint(int j)
{
    const float *p = rider_skeleton.bind[j];
    return {p[0], p[1], p[2]};
}

// A surface sampled on a grid: `nu` columns around (the last one repeats
// the first), `rows` rings along. Column order runs counter-clockwise about
// the direction the rings advance, so the faces look outward.
struct Grid {
    int nu = 0;
    std::vector<std::vector<Vec>> rows;
    std::vector<Weights> row_weights;
};

// Normals from the grid's neighbours; a ring shrunk to a point gets the
// direction away from its neighbouring ring.
void add_grid(SkinPart *part, const Grid &g, UvRect uv)
{
    // Keep filtering inside the region: its neighbours in the skin would
    // show as a line along the seam.
    const double inset = 1.5 / 256;
    uv.u0 += inset, uv.u1 -= inset, uv.v0 += inset, uv.v1 -= inset;
    const int rows = (int)g.rows.size(), nu = g.nu;
    int first = (int)part->mesh.vertices.size();
    for (int j = 0; j < rows; j++) {
        const std::vector<Vec> &ring = g.rows[(size_t)j];
        const std::vector<Vec> &before = g.rows[(size_t)(j > 0 ? j - 1 : j)];
        const std::vector<Vec> &after = g.rows[(size_t)(j < rows - 1 ? j + 1 : j)];
        Vec centre = {0, 0, 0}, next_centre = {0, 0, 0};
        const std::vector<Vec> &other = j > 0 ? before : after;
        for (int i = 0; i < nu; i++)
            centre = centre + ring[(size_t)i] * (1.0 / nu), next_centre = next_centre + other[(size_t)i] * (1.0 / nu);
        for (int i = 0; i <= nu; i++) {
            int a = (i + nu - 1) % nu, b = (i + 1) % nu, c = i % nu;
            Vec du = ring[(size_t)b] - ring[(size_t)a];
            Vec dv = after[(size_t)c] - before[(size_t)c];
            Vec n = cross(du, dv);
            if (dot(n, n) < 1e-12)
                n = centre - next_centre;
            n = unit(n);
            const Vec &p = ring[(size_t)c];
            MeshVertex v = {{p[0], p[1], p[2]},
                            {n[0], n[1], n[2]},
                            {dg_lerp(uv.u0, uv.u1, (double)i / nu), dg_lerp(uv.v1, uv.v0, (double)j / (rows - 1))}};
            part->mesh.vertices.push_back(v);
            part->weights.push_back(g.row_weights[(size_t)j]);
        }
    }
    for (int j = 0; j + 1 < rows; j++)
        for (int i = 0; i < nu; i++) {
            int a = first + j * (nu + 1) + i, b = a + 1, c = b + nu + 1, d = a + nu + 1;
            part->mesh.triangles.insert(part->mesh.triangles.end(), {a, b, c, a, c, d});
        }
}

// One cross-section of a tube: centre, the direction the tube advances,
// a reference for the section's first axis, half-widths along that axis
// (`across`) and along the other (`depth`), and its bone weights.
struct Ring {
    Vec centre, axis, reference;
    double across, depth;
    Weights weights;
};

// A tube through the rings, closed with rounded ends.
void add_tube(SkinPart *part, std::vector<Ring> rings, UvRect uv, int segments = 14, double cap = 1.0)
{
    const int cap_rings = 4;
    std::vector<Ring> all;
    for (int end = 0; end < 2; end++) {
        const Ring r = end ? rings.back() : rings.front();  // a copy: the loop grows `rings`
        for (int k = cap_rings; k >= 1; k--) {
            int step = end ? cap_rings + 1 - k : k;
            double angle = DG_PI / 2 * step / cap_rings;
            double reach = std::fmin(r.across, r.depth) * cap * dg_sin(angle);
            Ring c = r;
            c.centre = r.centre + r.axis * (end ? reach : -reach);
            c.across = r.across * dg_cos(angle);
            c.depth = r.depth * dg_cos(angle);
            if (!end)
                all.push_back(c);
            else
                rings.push_back(c);
        }
        if (!end)
            rings.insert(rings.begin(), all.begin(), all.end());
    }
    Grid g;
    g.nu = segments;
    for (const Ring &r : rings) {
        Vec side = unit(r.reference - r.axis * dot(r.reference, r.axis));
        Vec up = cross(r.axis, side);
        std::vector<Vec> ring;
        for (int i = 0; i < segments; i++) {
            double angle = 2 * DG_PI * i / segments;
            ring.push_back(r.centre + side * (r.across * dg_cos(angle)) + up * (r.depth * dg_sin(angle)));
        }
        g.rows.push_back(ring);
        g.row_weights.push_back(r.weights);
    }
    add_grid(part, g, uv);
}

// A limb from root through middle to tip. Sections are given as (distance
// along the limb, half-width, half-depth); the bones blend over 0.35 ft at
// the middle joint and, when `parent` >= 0, at the root.
struct Section {
    double at, across, depth;
};

void add_limb(SkinPart *part, const RiderLimb &limb, int parent, const std::vector<Section> &sections, UvRect uv,
              int segments = 14)
{
    Vec root = joint(limb.root), middle = joint(limb.middle), tip = joint(limb.tip);
    double upper = std::sqrt(dot(middle - root, middle - root));
    Vec d1 = unit(middle - root), d2 = unit(tip - middle);
    Vec bend = unit(cross(d1, d2));
    std::vector<Ring> rings;
    for (const Section &s : sections) {
        Ring r;
        double blend = dg_smoothstep((s.at - (upper - 0.175)) / 0.35);
        r.axis = unit(d1 * (1 - blend) + d2 * blend);
        r.centre = s.at <= upper ? root + d1 * s.at : middle + d2 * (s.at - upper);
        r.reference = bend;
        r.across = s.across;
        r.depth = s.depth;
        double from_parent = parent >= 0 ? 1 - dg_smoothstep((s.at + 0.1) / 0.35) : 0;
        r.weights.w[limb.upper_bone] = (1 - blend) * (1 - from_parent);
        r.weights.w[limb.lower_bone] = blend * (1 - from_parent);
        if (parent >= 0)
            r.weights.w[parent] = from_parent;
        rings.push_back(r);
    }
    add_tube(part, rings, uv, segments);
}

double limb_upper(const RiderLimb &limb)
{
    Vec a = joint(limb.root), b = joint(limb.middle);
    return std::sqrt(dot(b - a, b - a));
}

double limb_total(const RiderLimb &limb)
{
    Vec b = joint(limb.middle), c = joint(limb.tip);
    return limb_upper(limb) + std::sqrt(dot(c - b, c - b));
}

// The trunk's axis from the middle of the hips to the middle of the shoulders.
struct Trunk {
    Vec base, axis, chest;  // chest: unit normal of the trunk's front
    double length;
};

Trunk trunk()
{
    Trunk t;
    t.base = (joint(RIDER_HIP_LEFT) + joint(RIDER_HIP_RIGHT)) * 0.5;
    Vec top = (joint(RIDER_SHOULDER_LEFT) + joint(RIDER_SHOULDER_RIGHT)) * 0.5;
    t.length = std::sqrt(dot(top - t.base, top - t.base));
    t.axis = unit(top - t.base);
    t.chest = cross(t.axis, Vec{1, 0, 0});
    return t;
}

// Trunk sections: fraction of the hip-shoulder length, half-width,
// half-depth. The jersey reaches over the top of the pants.
const Section PELVIS[] = {{-0.2, 0.4, 0.3}, {-0.05, 0.55, 0.37}, {0.15, 0.51, 0.34}, {0.32, 0.45, 0.3}};
const Section TRUNK[] = {
    {0.1, 0.5, 0.34},  {0.2, 0.53, 0.36},  {0.35, 0.47, 0.33}, {0.58, 0.52, 0.36}, {0.8, 0.58, 0.37},
    {0.97, 0.57, 0.31}, {1.07, 0.38, 0.23}, {1.13, 0.17, 0.16}, {1.3, 0.15, 0.14},
};

void add_trunk_part(SkinPart *part, const Section *sections, size_t count, double up_to, UvRect uv)
{
    Trunk t = trunk();
    std::vector<Ring> rings;
    for (size_t k = 0; k < count; k++) {
        const Section &s = sections[k];
        if (s.at > up_to)
            break;
        Ring r;
        // A slight rounding of the back between the hips and the shoulders.
        double hump = 0.06 * dg_sin(DG_PI * dg_clamp(s.at, 0, 1));
        r.centre = t.base + t.axis * (s.at * t.length) - t.chest * hump;
        r.axis = t.axis;
        r.reference = {1, 0, 0};
        r.across = s.across;
        r.depth = s.depth;
        r.weights = only(RIDER_BONE_TORSO);
        rings.push_back(r);
    }
    add_tube(part, rings, uv, 20, 0.6);
}

// Pants over the pelvis, the jersey from the waist up to `up_to`.
void add_trunk(SkinPart *jersey, SkinPart *pants, double up_to)
{
    add_trunk_part(pants, PELVIS, std::size(PELVIS), 10, PANTS);
    add_trunk_part(jersey, TRUNK, std::size(TRUNK), up_to, JERSEY);
}

// Legs: pants from the hip to mid-shin, the boot from there down, and the
// foot along the peg.
void add_legs(SkinPart *pants, SkinPart *boots)
{
    for (int side = 0; side < 2; side++) {
        const RiderLimb &leg = rider_skeleton.limbs[side];
        double thigh = limb_upper(leg), total = limb_total(leg);
        add_limb(pants, leg, RIDER_BONE_TORSO,
                 {{-0.1, 0.3, 0.3},
                  {0.25, 0.29, 0.28},
                  {thigh * 0.6, 0.25, 0.24},
                  {thigh - 0.15, 0.21, 0.2},
                  {thigh, 0.22, 0.22},
                  {thigh + 0.2, 0.19, 0.2},
                  {thigh + 0.7, 0.18, 0.18}},
                 PANTS);
        double shin = total - thigh;
        add_limb(boots, leg, -1,
                 {{thigh + 0.55, 0.21, 0.21},
                  {thigh + shin * 0.6, 0.2, 0.2},
                  {total - 0.3, 0.18, 0.19},
                  {total - 0.1, 0.19, 0.21}},
                 BOOTS);
        // The foot: heel behind the peg, toe ahead of it, the sole on it.
        Vec foot = joint(leg.tip);
        std::vector<Ring> rings;
        const double along[4][3] = {{0.38, 0.11, 0.14}, {0.15, 0.14, 0.17}, {-0.2, 0.13, 0.13}, {-0.5, 0.1, 0.08}};
        for (const auto &a : along) {
            Ring r;
            r.centre = foot + Vec{0, 0.12 - (0.5 - a[0]) * 0.04, a[0]};
            r.axis = {0, 0, -1};
            r.reference = {1, 0, 0};
            r.across = a[1];
            r.depth = a[2];
            r.weights = only(leg.lower_bone);
            rings.push_back(r);
        }
        add_tube(boots, rings, BOOTS, 12, 0.5);
    }
}

// Arms: sleeves from the shoulder to the wrist, gloves from the wrist round
// the grip.
void add_arms(SkinPart *sleeves, SkinPart *gloves)
{
    for (int side = 0; side < 2; side++) {
        const RiderLimb &arm = rider_skeleton.limbs[2 + side];
        double upper = limb_upper(arm), total = limb_total(arm);
        add_limb(sleeves, arm, RIDER_BONE_TORSO,
                 {{-0.05, 0.19, 0.2},
                  {0.2, 0.17, 0.17},
                  {upper * 0.65, 0.15, 0.15},
                  {upper, 0.13, 0.13},
                  {upper + 0.35, 0.14, 0.13},
                  {total - 0.3, 0.11, 0.1}},
                 JERSEY, 12);
        add_limb(gloves, arm, -1, {{total - 0.38, 0.1, 0.095}, {total - 0.1, 0.12, 0.1}, {total + 0.08, 0.11, 0.09}},
                 GLOVES, 12);
    }
}

// The number plate on the back: a strip that follows the jersey.
void add_back_plate(SkinPart *part)
{
    Trunk t = trunk();
    const int columns = 6;
    double bottom = 0.45, top = 0.8;
    int first = (int)part->mesh.vertices.size();
    for (int j = 0; j <= 1; j++) {
        double s = j ? top : bottom;
        // Section size at s, from the trunk table.
        double across = 0, depth = 0;
        for (size_t k = 0; k + 1 < std::size(TRUNK); k++)
            if (s >= TRUNK[k].at && s <= TRUNK[k + 1].at) {
                double f = (s - TRUNK[k].at) / (TRUNK[k + 1].at - TRUNK[k].at);
                across = dg_lerp(TRUNK[k].across, TRUNK[k + 1].across, f);
                depth = dg_lerp(TRUNK[k].depth, TRUNK[k + 1].depth, f);
            }
        double hump = 0.06 * dg_sin(DG_PI * s);
        Vec centre = t.base + t.axis * (s * t.length) - t.chest * hump;
        for (int i = 0; i <= columns; i++) {
            double x = -0.36 + 0.72 * i / columns;
            double e = x / across;
            double out = depth * std::sqrt(std::fmax(0, 1 - e * e));
            Vec p = centre + Vec{x, 0, 0} - t.chest * (out + 0.025);
            // The jersey's normal there, from the section's ellipse.
            Vec n = unit(Vec{x / (across * across), 0, 0} - t.chest * (out / (depth * depth)));
            MeshVertex v = {{p[0], p[1], p[2]}, {n[0], n[1], n[2]}, {(double)i / columns, j ? 0.0 : 1.0}};
            part->mesh.vertices.push_back(v);
            part->weights.push_back(only(RIDER_BONE_TORSO));
        }
    }
    for (int i = 0; i < columns; i++) {
        int a = first + i, b = a + 1, c = b + columns + 1, d = a + columns + 1;
        part->mesh.triangles.insert(part->mesh.triangles.end(), {a, b, c, a, c, d});
    }
}

// A vertical band round the helmet's axis from longitude `from` over
// `span` (0 at the back, pi at the face), between heights y0 and y1, on an
// ellipse of half-widths rx and rz.
void add_band(MeshPart *part, double from, double span, double y0, double y1, double rx, double rz, int columns,
              UvRect uv)
{
    int first = (int)part->vertices.size();
    for (int j = 0; j <= 1; j++)
        for (int i = 0; i <= columns; i++) {
            double lon = from + span * i / columns;
            double nx = dg_sin(lon), nz = dg_cos(lon);
            MeshVertex v = {{nx * rx, j ? y1 : y0, nz * rz},
                            {nx, 0, nz},
                            {dg_lerp(uv.u0, uv.u1, (double)i / columns), j ? uv.v0 : uv.v1}};
            part->vertices.push_back(v);
        }
    for (int i = 0; i < columns; i++) {
        int a = first + i, b = a + 1, c = b + columns + 1, d = a + columns + 1;
        part->triangles.insert(part->triangles.end(), {a, b, c, a, c, d});
    }
}

// The helmet about its own centre: shell with a chin bar, a peak over the
// eye port, and the goggles.
void add_helmet(MeshPart *shell, MeshPart *lens)
{
    SkinPart s;
    Grid g;
    const int around = 28, up = 18;
    g.nu = around;
    for (int j = 0; j <= up; j++) {
        double lat = -DG_PI / 2 + DG_PI * j / up;  // bottom to top
        std::vector<Vec> ring;
        for (int i = 0; i < around; i++) {
            double lon = 2 * DG_PI * i / around;   // 0 at the back, pi at the face
            Vec dir = {dg_cos(lat) * dg_sin(lon), dg_sin(lat), dg_cos(lat) * dg_cos(lon)};
            double r = 1;
            // Chin bar: the lower front reaches forward and down.
            double front = std::fmax(0, -dir[2]), low = std::fmax(0, -dir[1] - 0.1);
            r += 0.45 * front * front * low;
            // The bottom is cut flatter at the neck.
            if (dir[1] < -0.6)
                r *= 1 - 0.5 * (-dir[1] - 0.6);
            ring.push_back(Vec{dir[0] * 0.42 * r, dir[1] * 0.46 * r + 0.02, dir[2] * 0.5 * r});
        }
        g.rows.push_back(ring);
        g.row_weights.push_back(Weights());
    }
    add_grid(&s, g, SHELL);
    shell->vertices = s.mesh.vertices;
    shell->triangles = s.mesh.triangles;
    // The peak: a curved plate over the forehead, raised toward its tip,
    // as two faces (a solid is not needed at this thickness).
    const int depth = 4;
    for (int face = 0; face < 2; face++) {
        int first = (int)shell->vertices.size();
        for (int j = 0; j <= depth; j++)
            for (int i = 0; i < 10; i++) {
                double f = (double)j / depth, x = -0.34 + 0.68 * i / 9;
                double y = 0.3 + 0.12 * f - 0.15 * x * x + (face ? -0.015 : 0.015);
                double z = -0.28 - 0.38 * f + 0.35 * x * x;
                MeshVertex v = {{x, y, z},
                                {0, face ? -1.0 : 1.0, 0},
                                {dg_lerp(VISOR.u0, VISOR.u1, i / 9.0), dg_lerp(VISOR.v0, VISOR.v1, f)}};
                shell->vertices.push_back(v);
            }
        for (int j = 0; j < depth; j++)
            for (int i = 0; i < 9; i++) {
                int a = first + j * 10 + i, b = a + 1, c = b + 10, d = a + 10;
                if (face)
                    shell->triangles.insert(shell->triangles.end(), {a, d, c, a, c, b});
                else
                    shell->triangles.insert(shell->triangles.end(), {a, b, c, a, c, d});
            }
    }
    // Goggles: a lens across the eye port and a strap round the shell from
    // one side of the lens to the other.
    add_band(lens, DG_PI * 0.72, DG_PI * 0.56, 0.0, 0.16, 0.46, 0.535, 12, LENS);
    add_band(shell, DG_PI * 1.28, DG_PI * 1.44, 0.02, 0.14, 0.435, 0.515, 24, STRAP);
}

MeshPart material(double shininess, double specular)
{
    MeshPart part;
    part.shininess = shininess;
    part.colour[0] = part.colour[1] = part.colour[2] = specular;
    return part;
}

SkinPart skin_material(double shininess, double specular)
{
    SkinPart part;
    part.mesh = material(shininess, specular);
    return part;
}

std::string number(double v)
{
    std::string text = format("%.4f", v);
    return text == "-0.0000" ? "0.0000" : text;
}

// QM2 text: each vertex carries one weight per skeleton bone.
std::string qm2_text(const std::vector<SkinPart> &parts)
{
    std::string text = format("QM2\n%d rider\n", RIDER_BONE_COUNT);
    for (const SkinPart &part : parts) {
        const MeshPart &m = part.mesh;
        text += format("%.4f 1 %.4f %.4f %.4f %d %d\n", m.shininess, m.colour[0], m.colour[1], m.colour[2],
                       (int)m.vertices.size(), (int)(m.triangles.size() / 3));
        for (size_t k = 0; k < m.vertices.size(); k++) {
            const MeshVertex &v = m.vertices[k];
            for (double value : {v.p[0], v.p[1], v.p[2], v.n[0], v.n[1], v.n[2], v.uv[0], 1 - v.uv[1]})
                text += number(value) + " ";
            for (int b = 0; b < RIDER_BONE_COUNT; b++)
                text += (part.weights[k].w[b] > 0 ? number(part.weights[k].w[b]) : std::string("0")) +
                        (b + 1 < RIDER_BONE_COUNT ? " " : "\n");
        }
        for (size_t k = 0; k < m.triangles.size(); k += 3)
            text += format("%d %d %d\n", m.triangles[k], m.triangles[k + 1], m.triangles[k + 2]);
    }
    return text;
}

// --- skins ---------------------------------------------------------------------

struct Gear {
    uint8_t main[3];     // jersey and pants
    uint8_t accent[3];   // panels and stripes
    uint8_t boots[3];
    uint8_t helmet[3];
    uint8_t helmet_accent[3];
};

const Gear GEARS[4] = {
    {{30, 70, 170}, {240, 240, 240}, {235, 235, 235}, {240, 240, 240}, {30, 70, 170}},
    {{200, 30, 30}, {20, 20, 20}, {30, 30, 30}, {200, 30, 30}, {250, 250, 250}},
    {{250, 150, 20}, {30, 30, 36}, {250, 250, 250}, {30, 30, 36}, {250, 150, 20}},
    {{60, 160, 60}, {250, 230, 40}, {40, 40, 40}, {250, 230, 40}, {60, 160, 60}},
};

void fill_region(Picture *p, UvRect r, const uint8_t rgb[3], uint32_t seed, double grain)
{
    for (int y = (int)(r.v0 * p->height); y < (int)(r.v1 * p->height); y++)
        for (int x = (int)(r.u0 * p->width); x < (int)(r.u1 * p->width); x++) {
            double n = 1 - grain + 2 * grain * dg_value_noise(seed, x, y, 2);
            uint8_t *out = pixel_at(p, x, y);
            for (int c = 0; c < 3; c++)
                out[c] = to_byte(rgb[c] * n);
        }
}

void stripe(Picture *p, UvRect r, double from, double to, bool across, const uint8_t rgb[3])
{
    const uint8_t rgba[4] = {rgb[0], rgb[1], rgb[2], 255};
    int x0 = (int)(r.u0 * p->width), x1 = (int)(r.u1 * p->width);
    int y0 = (int)(r.v0 * p->height), y1 = (int)(r.v1 * p->height);
    if (across)
        fill_rect(p, x0, y0 + (int)((y1 - y0) * from), x1, y0 + (int)((y1 - y0) * to), rgba);
    else
        fill_rect(p, x0 + (int)((x1 - x0) * from), y0, x0 + (int)((x1 - x0) * to), y1, rgba);
}

Picture gear_skin(const Gear &g, uint32_t seed)
{
    Picture p = make_picture(256, 256, 3);
    const uint8_t black[3] = {24, 24, 26}, grey[3] = {120, 120, 124};
    fill_region(&p, JERSEY, g.main, seed, 0.04);
    // Jersey: the tube's v runs along the body and the sleeves; bands
    // across v circle the waist, the chest and the cuffs.
    stripe(&p, JERSEY, 0.12, 0.2, true, g.accent);
    stripe(&p, JERSEY, 0.62, 0.7, true, g.accent);
    stripe(&p, JERSEY, 0.0, 0.06, true, black);  // collar and cuffs
    stripe(&p, JERSEY, 0.45, 0.55, false, g.accent);
    fill_region(&p, PANTS, g.main, seed + 1, 0.05);
    stripe(&p, PANTS, 0.0, 0.12, false, g.accent);
    stripe(&p, PANTS, 0.88, 1.0, false, g.accent);
    stripe(&p, PANTS, 0.4, 0.55, true, grey);  // knee panel
    fill_region(&p, BOOTS, g.boots, seed + 2, 0.05);
    for (int k = 0; k < 4; k++)
        stripe(&p, BOOTS, 0.15 + 0.2 * k, 0.2 + 0.2 * k, true, grey);  // buckles
    stripe(&p, BOOTS, 0.85, 1.0, true, black);  // sole
    fill_region(&p, GLOVES, black, seed + 3, 0.08);
    stripe(&p, GLOVES, 0.3, 0.55, true, g.accent);
    fill_region(&p, BRACE, black, seed + 4, 0.1);
    fill_region(&p, {0.5, 0.75, 1, 1}, g.accent, seed + 5, 0.04);
    const uint8_t label[4] = {g.accent[0], g.accent[1], g.accent[2], 255};
    draw_text(&p, 128 + (128 - text_width("ZORVEX", 3)) / 2, 205, "ZORVEX", 3, label);
    return p;
}

Picture helmet_skin(const Gear &g, uint32_t seed)
{
    Picture p = make_picture(256, 256, 3);
    const uint8_t black[3] = {20, 20, 22}, port[3] = {10, 10, 12};
    fill_region(&p, SHELL, g.helmet, seed, 0.02);
    // Shell: u runs round from the back (0) to the face (0.5); v from the
    // crown (0) to the neck. A centre stripe over the crown, side flashes.
    stripe(&p, SHELL, 0.0, 0.06, false, g.helmet_accent);
    stripe(&p, SHELL, 0.94, 1.0, false, g.helmet_accent);
    stripe(&p, SHELL, 0.47, 0.53, false, g.helmet_accent);
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 256; x++) {
            double u = x / 256.0, v = y / 128.0;
            bool flash = std::fabs(std::fabs(u - 0.5) - 0.22) < 0.05 + 0.1 * (v - 0.45) && v > 0.45 && v < 0.8;
            if (flash)
                memcpy(pixel_at(&p, x, y), g.helmet_accent, 3);
            // The eye port at the face, at eye height.
            if (std::fabs(u - 0.5) < 0.11 && v > 0.36 && v < 0.52)
                memcpy(pixel_at(&p, x, y), port, 3);
        }
    fill_region(&p, VISOR, g.helmet_accent, seed + 1, 0.03);
    // Lens: a dark mirrored tint, lighter toward the top.
    for (int y = 128; y < 192; y++)
        for (int x = 128; x < 256; x++) {
            double t = (y - 128) / 64.0;
            uint8_t *out = pixel_at(&p, x, y);
            out[0] = to_byte(150 - 90 * t), out[1] = to_byte(120 - 70 * t), out[2] = to_byte(60 - 30 * t);
        }
    fill_region(&p, STRAP, black, seed + 2, 0.1);
    const uint8_t white[4] = {230, 230, 230, 255};
    for (int k = 0; k < 4; k++)
        draw_text(&p, 10 + 62 * k, 212, "ZVX", 2, white);
    return p;
}

}  // namespace

Picture rider_gear_picture(int variant)
{
    return gear_skin(GEARS[variant], 901 + 2 * variant);
}

Picture rider_helmet_picture(int variant)
{
    return helmet_skin(GEARS[variant], 911 + 2 * variant);
}

void build_rider(DataSet *set)
{
    // Full body.
    {
        SkinPart jersey = skin_material(8, 0.12), pants = skin_material(8, 0.1), boots = skin_material(24, 0.3),
                 gloves = skin_material(6, 0.1);
        add_trunk(&jersey, &pants, 10);
        add_arms(&jersey, &gloves);
        add_legs(&pants, &boots);
        add_text(set, "rider_body.qm", qm2_text({jersey, pants, boots, gloves}));
    }
    // Seen from the rider's own eyes: no chest, neck or shoulders that the
    // camera would sit inside.
    {
        SkinPart jersey = skin_material(8, 0.12), pants = skin_material(8, 0.1), boots = skin_material(24, 0.3),
                 gloves = skin_material(6, 0.1);
        add_trunk(&jersey, &pants, 0.4);
        add_arms(&jersey, &gloves);
        add_legs(&pants, &boots);
        add_text(set, "rider_body_fp.qm", qm2_text({jersey, pants, boots, gloves}));
    }
    {
        SkinPart plate = skin_material(16, 0.2);
        add_back_plate(&plate);
        add_text(set, "rider_plate.qm", qm2_text({plate}));
    }
    {
        MeshPart shell = material(64, 0.6), lens = material(96, 0.8);
        add_helmet(&shell, &lens);
        add_text(set, "rider_head.qm", qm_text({shell, lens}));
    }
    add_file(set, "rider_body.png", encode_png(rider_gear_picture(0)));
    add_file(set, "rider_head.png", encode_png(rider_helmet_picture(0)));
    for (int k = 1; k <= 3; k++) {
        add_file(set, format("rider_body-alt%d.png", k), encode_png(rider_gear_picture(k)));
        add_file(set, format("rider_head-alt%d.png", k), encode_png(rider_helmet_picture(k)));
    }
}

void scene_add_rider(PreviewScene *scene, const DataSet *set, const float origin[3], const Picture *gear,
                     const Picture *helmet, const Picture *plate)
{
    const float head[3] = {origin[0] + rider_skeleton.head_centre[0], origin[1] + rider_skeleton.head_centre[1],
                           origin[2] + rider_skeleton.head_centre[2]};
    scene_add(scene, set, "rider_body.qm", origin, gear);
    scene_add(scene, set, "rider_head.qm", head, helmet);
    scene_add(scene, set, "rider_plate.qm", origin, plate);
}

void preview_rider(const DataSet *set, const std::string &dir)
{
    Picture gear = rider_gear_picture(0), helmet = rider_helmet_picture(0), plate = preview_plate("123");
    const float zero[3] = {0, 0, 0};
    PreviewScene alone, first_person, on_bike;
    scene_add_rider(&alone, set, zero, &gear, &helmet, &plate);
    write_picture_file(dir + "/rider-front.png", render_preview(alone.placed, 480, 560, -150, 10));
    write_picture_file(dir + "/rider-back.png", render_preview(alone.placed, 480, 560, 30, 20));
    write_picture_file(dir + "/rider-side.png", render_preview(alone.placed, 480, 560, -90, 0));
    if (scene_add(&first_person, set, "rider_body_fp.qm", zero, &gear))
        write_picture_file(dir + "/rider-fp.png", render_preview(first_person.placed, 480, 560, -150, 10));
    // On a bike: the rider's origin is the model's rider position.
    const BikeModel &m = bike_models[0];
    scene_add_bike(&on_bike, set, m, nullptr, nullptr, &plate);
    scene_add_rider(&on_bike, set, m.rider_pos, &gear, &helmet, &plate);
    write_picture_file(dir + "/rider-on-bike-side.png", render_preview(on_bike.placed, 640, 480, -90, 0));
    write_picture_file(dir + "/rider-on-bike-34.png", render_preview(on_bike.placed, 640, 520, -130, 15));
}
