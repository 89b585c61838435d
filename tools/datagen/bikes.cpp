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

// Adds parts given in bike-local coordinates to a mesh whose origin is `body`.
struct Placer {
    MeshPart *part;
    double body[3];

    void box(double x0, double y0, double z0, double x1, double y1, double z1, UvRect uv) const
    {
        const double lo[3] = {x0 - body[0], y0 - body[1], z0 - body[2]};
        const double hi[3] = {x1 - body[0], y1 - body[1], z1 - body[2]};
        add_box(part, lo, hi, uv);
    }
    // A box and its mirror image across the centre plane (x0, x1 > 0).
    void pair(double x0, double y0, double z0, double x1, double y1, double z1, UvRect uv) const
    {
        box(x0, y0, z0, x1, y1, z1, uv);
        box(-x1, y0, z0, -x0, y1, z1, uv);
    }
    void tube(const double a[3], const double b[3], double radius, UvRect uv, int segments = 10) const
    {
        const double p0[3] = {a[0] - body[0], a[1] - body[1], a[2] - body[2]};
        const double p1[3] = {b[0] - body[0], b[1] - body[1], b[2] - body[2]};
        add_cylinder(part, p0, p1, radius, segments, uv);
    }
};

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

void write_parts(DataSet *set, const std::string &stem, const BikeModel &m, bool two_stroke)
{
    // Frame: engine, frame spars, tank, shrouds, seat, side panels, rear
    // fender, radiators, exhaust, shock and pegs.
    {
        MeshPart plastic = material(32, 0.35), metal = material(48, 0.6);
        Placer p = {&plastic, {0, 0, 0}}, q = {&metal, {0, 0, 0}};
        copy3(m.frame_pos, p.body);
        copy3(m.frame_pos, q.body);
        q.box(-0.42, 1.3, 3.0, 0.42, 2.2, 4.05, METAL);                 // engine
        q.box(-0.3, 2.2, 3.1, 0.3, 2.55, 3.6, METAL);                   // cylinder head
        q.pair(0.3, 2.05, 2.35, 0.42, 2.6, 4.2, FRAME);                 // main spars
        q.box(-0.12, 1.45, 2.3, 0.12, 2.65, 2.75, FRAME);               // down tube
        q.box(-0.15, 2.5, 2.05, 0.15, 3.0, 2.4, FRAME);                 // steering head
        q.pair(0.25, 2.9, 4.2, 0.33, 3.05, 6.0, FRAME);                 // subframe
        p.box(-0.48, 2.6, 2.55, 0.48, 3.08, 3.55, PLASTIC);             // tank
        p.pair(0.45, 2.15, 2.4, 0.62, 2.95, 3.3, GRAPHIC);              // shrouds
        q.pair(0.42, 2.2, 2.5, 0.47, 2.85, 3.1, METAL);                 // radiators
        p.box(-0.34, 3.0, 3.35, 0.34, 3.22, 5.35, SEAT);                // seat
        p.pair(0.3, 2.55, 4.2, 0.45, 3.0, 5.2, PLASTIC);                // side panels
        p.box(-0.33, 3.02, 5.3, 0.33, 3.1, 6.7, PLASTIC);               // rear fender
        const double shock0[3] = {0, 1.45, 4.4}, shock1[3] = {0, 2.7, 4.05};
        q.tube(shock0, shock1, 0.13, METAL);
        const double peg0[3] = {-0.75, 1.42, 4.18}, peg1[3] = {0.75, 1.42, 4.18};
        q.tube(peg0, peg1, 0.05, METAL, 6);
        // Exhaust on the right: a straight silencer on four-strokes, an
        // expansion chamber ahead of it on two-strokes.
        const double header0[3] = {0.2, 2.3, 2.7}, header1[3] = {0.42, 2.5, 4.3};
        q.tube(header0, header1, two_stroke ? 0.2 : 0.09, METAL);
        const double can0[3] = {0.42, 2.55, 4.3}, can1[3] = {0.42, 2.95, 6.0};
        q.tube(can0, can1, 0.17, METAL, 12);
        add_text(set, stem + "_frame.qm", qm_text({plastic, metal}));
    }
    // Side plates: one each side of the rear, showing the number plate texture.
    {
        MeshPart plate = material(16, 0.2);
        Placer p = {&plate, {0, 0, 0}};
        copy3(m.frame_pos, p.body);
        // Read from outside: on the right the front is to the viewer's right.
        const double right[4][3] = {{0.47, 3.0, 5.25}, {0.47, 3.0, 4.55}, {0.47, 2.6, 4.55}, {0.47, 2.6, 5.25}};
        const double left[4][3] = {{-0.47, 3.0, 4.55}, {-0.47, 3.0, 5.25}, {-0.47, 2.6, 5.25}, {-0.47, 2.6, 4.55}};
        double c[4][3];
        for (const auto *quad : {right, left}) {
            for (int k = 0; k < 4; k++)
                for (int a = 0; a < 3; a++)
                    c[k][a] = quad[k][a] - p.body[a];
            add_quad(&plate, c, WHOLE, false);
        }
        add_text(set, stem + "_side_plates.qm", qm_text({plate}));
    }
    // The fork axis runs from the top of the steering axis to the front axle.
    double top[3], axle[3], body[3];
    copy3(m.steer_pos, top);
    copy3(m.front_wheel_pos, axle);
    double axis[3] = {top[0] - axle[0], top[1] - axle[1], top[2] - axle[2]};
    double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (double &v : axis)
        v /= length;
    double half = m.fork_spacing / 2, leg = m.fork_spacing / 8;
    // Fork upper: clamps, upper tubes, bars, front fender, number plate mount.
    {
        MeshPart plastic = material(32, 0.35), metal = material(64, 0.7);
        Placer p = {&plastic, {0, 0, 0}}, q = {&metal, {0, 0, 0}};
        copy3(m.steer_pos, body);
        memcpy(p.body, body, sizeof body);
        memcpy(q.body, body, sizeof body);
        for (int side = -1; side <= 1; side += 2) {
            double a[3] = {side * half, axle[1] + axis[1] * 1.25, axle[2] + axis[2] * 1.25};
            double b[3] = {side * half, top[1] + axis[1] * 0.05, top[2] + axis[2] * 0.05};
            q.tube(a, b, leg, METAL);
        }
        q.box(-half - 0.15, top[1] - 0.1, top[2] - 0.12, half + 0.15, top[1] + 0.02, top[2] + 0.15, FRAME);
        q.box(-half - 0.15, top[1] - 0.7, top[2] - 0.45, half + 0.15, top[1] - 0.58, top[2] - 0.2, FRAME);
        double grip_y = m.steer_pos[1] + m.grip_right[1], grip_z = m.steer_pos[2] + m.grip_right[2];
        const double riser0[3] = {0, top[1], top[2] + 0.05}, riser1[3] = {0, grip_y - 0.05, grip_z - 0.05};
        q.tube(riser0, riser1, 0.07, METAL, 8);
        const double bar0[3] = {-m.grip_right[0] - 0.15, grip_y, grip_z}, bar1[3] = {m.grip_right[0] + 0.15, grip_y, grip_z};
        q.tube(bar0, bar1, 0.05, METAL, 8);
        const double grip0[3] = {m.grip_right[0] - 0.3, grip_y, grip_z}, grip1[3] = {m.grip_right[0] + 0.15, grip_y, grip_z};
        q.tube(grip0, grip1, 0.08, SEAT, 8);
        const double grip2[3] = {-m.grip_right[0] + 0.3, grip_y, grip_z}, grip3[3] = {-m.grip_right[0] - 0.15, grip_y, grip_z};
        q.tube(grip2, grip3, 0.08, SEAT, 8);
        // Front fender under the lower clamp, over the tyre.
        double fy = axle[1] + m.front_tyre_major_radius + m.front_tyre_minor_radius + 0.2;
        p.box(-0.32, fy, axle[2] - 0.9, 0.32, fy + 0.08, axle[2] + 0.7, PLASTIC);
        add_text(set, stem + "_fork_upper.qm", qm_text({plastic, metal}));
    }
    // Front plate: in front of the bars, facing forward (-z).
    {
        MeshPart plate = material(16, 0.2);
        Placer p = {&plate, {0, 0, 0}};
        copy3(m.steer_pos, p.body);
        // Facing forward (-z), just ahead of the fork tubes between the clamps and the bars.
        double y0 = top[1] + 0.05, y1 = top[1] + 0.75;
        double z = top[2] + (0.5 * (y0 + y1) - top[1]) * axis[2] / axis[1] - 0.3;
        const double front[4][3] = {{0.42, y1, z - 0.08}, {-0.42, y1, z - 0.08}, {-0.42, y0, z + 0.08}, {0.42, y0, z + 0.08}};
        double c[4][3];
        for (int k = 0; k < 4; k++)
            for (int a = 0; a < 3; a++)
                c[k][a] = front[k][a] - p.body[a];
        add_quad(&plate, c, WHOLE, true);
        add_text(set, stem + "_front_plate.qm", qm_text({plate}));
    }
    // Fork lower: sliders from the axle up the fork axis, axle and guards.
    {
        MeshPart metal = material(64, 0.6), plastic = material(32, 0.3);
        Placer q = {&metal, {0, 0, 0}}, p = {&plastic, {0, 0, 0}};
        copy3(m.fork_lower_pos, q.body);
        copy3(m.fork_lower_pos, p.body);
        for (int side = -1; side <= 1; side += 2) {
            double a[3] = {side * half, axle[1] - 0.08, axle[2] - 0.05};
            double b[3] = {side * half, axle[1] + axis[1] * 1.35, axle[2] + axis[2] * 1.35};
            q.tube(a, b, leg * 1.35, METAL);
            p.box(side * half - 0.05 + (side < 0 ? -0.12 : 0.12) - 0.04, axle[1] + 0.15, axle[2] - 0.25,
                  side * half + 0.05 + (side < 0 ? -0.12 : 0.12) + 0.04, axle[1] + 0.9, axle[2] + 0.05, PLASTIC);
        }
        const double axle0[3] = {-half - 0.1, axle[1], axle[2]}, axle1[3] = {half + 0.1, axle[1], axle[2]};
        q.tube(axle0, axle1, 0.06, METAL, 6);
        add_text(set, stem + "_fork_lower.qm", qm_text({metal, plastic}));
    }
    // Swingarm: two arms from the pivot to the rear axle, a brace, the chain.
    {
        MeshPart metal = material(48, 0.55);
        Placer q = {&metal, {0, 0, 0}};
        copy3(m.swingarm_pos, q.body);
        double pivot[3], rear[3];
        copy3(m.swingarm_pivot, pivot);
        copy3(m.rear_wheel_pos, rear);
        for (int side = -1; side <= 1; side += 2) {
            double a[3] = {side * 0.38, pivot[1], pivot[2]}, b[3] = {side * 0.38, rear[1], rear[2] + 0.15};
            q.tube(a, b, 0.11, FRAME, 8);
        }
        const double brace0[3] = {-0.38, pivot[1] - 0.05, pivot[2] + 0.5}, brace1[3] = {0.38, pivot[1] - 0.05, pivot[2] + 0.5};
        q.tube(brace0, brace1, 0.08, FRAME, 8);
        const double pivot0[3] = {-0.45, pivot[1], pivot[2]}, pivot1[3] = {0.45, pivot[1], pivot[2]};
        q.tube(pivot0, pivot1, 0.07, METAL, 8);
        q.box(-0.52, rear[1] + 0.1, pivot[2] + 0.3, -0.48, rear[1] + 0.2, rear[2], METAL);   // chain run
        add_text(set, stem + "_swingarm.qm", qm_text({metal}));
    }
}

// A wheel at the body origin: knobby tyre, rim, hub, spokes.
std::string wheel_model(double major, double minor)
{
    MeshPart tyre = material(4, 0.05), rim = material(64, 0.7);
    const double origin[3] = {0, 0, 0};
    add_torus(&tyre, origin, major, minor * 0.92, 36, 10, TYRE, 6);
    add_torus(&rim, origin, major - minor * 0.85, 0.06, 36, 6, RIM);
    const double hub0[3] = {-0.22, 0, 0}, hub1[3] = {0.22, 0, 0};
    add_cylinder(&rim, hub0, hub1, 0.16, 12, HUB);
    double reach = major - minor * 0.85;
    for (int k = 0; k < 16; k++) {
        double angle = 2 * DG_PI * k / 16;
        double side = k % 2 ? 0.18 : -0.18;
        double a[3] = {side, 0.16 * dg_cos(angle + 0.3), 0.16 * dg_sin(angle + 0.3)};
        double b[3] = {side * 0.25, reach * dg_cos(angle), reach * dg_sin(angle)};
        add_cylinder(&rim, a, b, 0.012, 4, SPOKE);
    }
    return qm_text({tyre, rim});
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
    draw_text(&p, size / 2 + (size / 2 - text_width(label, 3)) / 2, size / 2 + 12, label, 3, text);
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
                // Tyre: rubber with a staggered block pattern of knobs.
                int row = y / 16, col = (x + (row % 2) * 8) / 16;
                bool knob = ((x + (row % 2) * 8) % 16) < 10 && (y % 16) < 10 && row > 1 && row < 7 && col >= 0;
                double v = knob ? 42 : 22;
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

}  // namespace

void build_bikes(DataSet *set)
{
    std::set<std::string> model_stems, texture_stems;
    for (const BikeModel &m : bike_models) {
        std::string frame = m.frame_model + 1;              // without "@"
        std::string stem = frame.substr(0, frame.size() - strlen("_frame.qm"));
        std::string texture = m.bike_texture + 1;
        std::string skin = texture.substr(0, texture.size() - strlen(".png"));
        bool two_stroke = !strcmp(m.class_name, "250") || !strcmp(m.class_name, "125") || !strcmp(m.class_name, "50");
        if (model_stems.insert(stem).second)
            write_parts(set, stem, m, two_stroke);
        if (texture_stems.insert(skin).second) {
            std::string label;
            for (char c : skin)
                if (c >= '0' && c <= '9' && label.size() < 3)
                    label += c;
            add_file(set, skin + ".png",
                     encode_png(bike_skin(family_scheme(skin), "ZVX " + label, dg_hash(5, (int)skin.size())),
                                plate_colours(m.class_name)));
        }
    }
    // Alternative skins named by the robot roster.
    struct Alt {
        const char *name;
        const char *base;
        int variant;
        const char *class_name;
    };
    static const Alt alts[] = {
        {"kx125-alt1", "kx125", 1, "125"},     {"yz125-alt1", "yz125", 1, "125"},
        {"cr125-alt1", "cr125", 1, "125"},     {"rm125-alt1", "rm125", 1, "125"},
        {"crf250-alt1", "crf250", 1, "250f"},  {"crf250-alt2", "crf250", 2, "250f"},
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
    add_text(set, "front_wheel.qm", wheel_model(first.front_tyre_major_radius, first.front_tyre_minor_radius));
    add_text(set, "rear_wheel.qm", wheel_model(first.rear_tyre_major_radius, first.rear_tyre_minor_radius));
    const uint8_t black[3] = {34, 34, 38}, gold[3] = {200, 160, 50}, blue[3] = {40, 80, 200};
    add_file(set, "wheels.png", encode_png(wheel_skin(black)));
    add_file(set, "wheels-alt1.png", encode_png(wheel_skin(gold)));
    add_file(set, "wheels-alt2.png", encode_png(wheel_skin(blue)));
    write_shapes(set, first);
}

void preview_bikes(const DataSet *set, const std::string &dir)
{
    auto find = [&](const std::string &name) -> const ArchiveInput * {
        for (const ArchiveInput &file : set->files)
            if (file.name == name)
                return &file;
        return nullptr;
    };
    auto parse = [&](const std::string &name) -> Model * {
        const ArchiveInput *file = find(name);
        return file ? parse_model((const char *)file->bytes.data(), file->bytes.size(), name.c_str()) : nullptr;
    };
    const uint8_t black[3] = {34, 34, 38};
    Picture wheels = wheel_skin(black);
    Picture plate = make_picture(64, 64, 3);
    for (uint8_t &b : plate.pixels)
        b = 235;
    const uint8_t digits[4] = {20, 20, 20, 255};
    draw_text(&plate, 8, 22, "123", 5, digits);
    for (const BikeModel &m : bike_models) {
        std::string frame = m.frame_model + 1;
        std::string stem = frame.substr(0, frame.size() - strlen("_frame.qm"));
        if (stem != "crf450v2013" && stem != "yz125")
            continue;
        std::string texture = m.bike_texture + 1;
        std::string skin_name = texture.substr(0, texture.size() - strlen(".png"));
        std::string label;
        for (char c : skin_name)
            if (c >= '0' && c <= '9' && label.size() < 3)
                label += c;
        Picture skin = bike_skin(family_scheme(skin_name), "ZVX " + label, dg_hash(5, (int)skin_name.size()));
        struct Part {
            std::string name;
            const float *at;
            const Picture *skin;
        };
        const Part parts[] = {
            {stem + "_frame.qm", m.frame_pos, &skin},          {stem + "_side_plates.qm", m.frame_pos, &plate},
            {stem + "_fork_upper.qm", m.steer_pos, &skin},     {stem + "_front_plate.qm", m.steer_pos, &plate},
            {stem + "_fork_lower.qm", m.fork_lower_pos, &skin}, {stem + "_swingarm.qm", m.swingarm_pos, &skin},
            {"front_wheel.qm", m.front_wheel_pos, &wheels},    {"rear_wheel.qm", m.rear_wheel_pos, &wheels},
        };
        std::vector<PlacedModel> placed;
        std::vector<Model *> loaded;
        for (const Part &part : parts) {
            Model *model = parse(part.name);
            if (!model)
                continue;
            loaded.push_back(model);
            placed.push_back({model, {part.at[0], part.at[1], part.at[2]}, part.skin});
        }
        write_picture_file(dir + "/bike-" + stem + "-side.png", render_preview(placed, 640, 420, -90, 0));
        write_picture_file(dir + "/bike-" + stem + "-34.png", render_preview(placed, 640, 480, -130, 15));
        for (Model *model : loaded)
            free_model(model);
    }
}
