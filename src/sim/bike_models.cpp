// The bike model table (built at compile time), model lookup and skin lists.
#include "sim/bike_models.h"

#include <cstdio>
#include <cstring>

#include "data/file_index.h"
#include "platform/message_log.h"

namespace {

enum ModelClass { CLASS_450F, CLASS_250F, CLASS_250, CLASS_125, CLASS_50 };

// What differs between models; everything else follows the class rules.
struct ModelRow {
    const char *name;
    ModelClass model_class;
    bool big_masses;  // 350sxf(2013): a "250f" with the 450f masses and springs
    float primary_ratio;
    float countershaft, rear;
    float gears[6];
    float inertia;
    float downshift, upshift, redline;
    float peak_torque, peak_rpm, zero_rpm;
    const float *given_open;  // the two curves given in full, else null
    const char *files[7];     // frame, bike texture, fork upper, fork lower, swingarm, side plates, front plate
};

constexpr float crf450_2013_open[TORQUE_POINTS] = {
    5,   5,   5,   5,   5,   8,   11,  14.1f, 22.2f, 22.5f, 25.8f, 29.3f, 30.2f, 30.7f, 31,  30.9f, 30.1f,
    29.3f, 27.2f, 25.6f, 24.2f, 21.9f, 18.8f, 14.4f, 0, -10, -11, -12, -13, -14, -15, -16, -17, -18,
    -19, -20, -21, -22, -23, -24, -25, -26, -27, -28, -29, -30, -31, -32, -33, -34};

constexpr float yz125_open[TORQUE_POINTS] = {
    5,     5,     5,     5,     5,     6,    7.1f, 8.2f, 9.3f, 10.4f, 11.5546f, 10.7907f, 10.5042f,
    12.1203f, 13.1303f, 13.6555f, 13.7868f, 14.2734f, 14.881f, 15.3693f, 15.8614f, 15.7063f, 15.6608f,
    15.1626f, 13.6555f, 5.04203f, 0, 0, -1, -1, -2, -2, -3, -3, -4, -4, -5, -5, -6, -6, -7, -7, -8, -8, -9,
    -9,    -10,   -10,   -11,   -11};

constexpr float smoothstep(float t)
{
    return t * t * (3 - 2 * t);
}

struct Curve {
    float v[TORQUE_POINTS];
};

// Closed-throttle curve of the "450f"/"250f" classes.
constexpr Curve closed_four_stroke()
{
    Curve c{};
    const float start[4] = {2, 2, 1, 0};
    for (int k = 0; k < TORQUE_POINTS; k++)
        c.v[k] = k < 4 ? start[k] : -(float)(1 + (k - 4) / 2);
    return c;
}

// Closed-throttle curve of the "250"/"125" classes; halved below 0 for the "50".
constexpr Curve closed_two_stroke(bool halved)
{
    Curve c{};
    const float start[22] = {2,  2,     1,    0,     -1,    -1.2f, -1.4f, -1.6f, -1.8f, -2,  -2.25f,
                             -2.5f, -2.75f, -3, -3.33f, -3.67f, -4, -5, -6, -7, -8, -9};
    for (int k = 0; k < TORQUE_POINTS; k++) {
        float v = k < 22 ? start[k] : -(float)(10 + (k - 22) / 2);
        c.v[k] = halved && v < 0 ? v * 0.5f : v;
    }
    return c;
}

// Open-throttle curve: flat start, smooth rise to the peak, smooth fall to 0
// at the first non-positive entry, then the class tail.
constexpr Curve open_curve(const ModelRow &r)
{
    Curve c{};
    if (r.given_open) {
        for (int k = 0; k < TORQUE_POINTS; k++)
            c.v[k] = r.given_open[k];
        return c;
    }
    int flat_count = r.model_class == CLASS_250 ? 4 : (r.model_class == CLASS_50 ? 10 : 5);
    float flat = r.model_class == CLASS_50 ? 1.0f : 5.0f;
    int peak = (int)(r.peak_rpm / 500);
    int zero = (int)(r.zero_rpm / 500);
    for (int k = 0; k < TORQUE_POINTS; k++) {
        float v = 0;
        if (k < flat_count) {
            v = flat;
        } else if (k <= peak) {
            float t = (float)(k - (flat_count - 1)) / (float)(peak - (flat_count - 1));
            v = flat + (r.peak_torque - flat) * smoothstep(t);
        } else if (k < zero) {
            float t = (float)(k - peak) / (float)(zero - peak);
            v = r.peak_torque * (1 - smoothstep(t));
        } else if (k == zero) {
            v = 0;
        } else {
            switch (r.model_class) {
            case CLASS_450F:
                v = -34.0f + (float)(49 - k);
                break;
            case CLASS_250F:
                v = r.big_masses ? -34.0f + (float)(49 - k) : -23.5f + 0.5f * (float)(49 - k);
                break;
            case CLASS_250:
                v = -23.5f + 0.5f * (float)(49 - k);
                break;
            case CLASS_125:
                v = k >= 28 ? -(float)(1 + (k - 28) / 2) : 0.0f;
                break;
            case CLASS_50:
                v = k >= 28 ? -0.5f * (float)(1 + (k - 28) / 2) : 0.0f;
                break;
            }
        }
        c.v[k] = v;
    }
    return c;
}

constexpr void set3(float d[3], float x, float y, float z)
{
    d[0] = x, d[1] = y, d[2] = z;
}

constexpr BikeModel make_model(const ModelRow &r)
{
    BikeModel m{};
    const char *class_names[] = {"450f", "250f", "250", "125", "50"};
    bool big = r.model_class == CLASS_450F || r.big_masses;
    m.name = r.name;
    m.class_name = class_names[r.model_class];
    set3(m.front_wheel_pos, 0, 1.09f, 1.11f);
    m.front_tyre_major_radius = 0.833333f;
    m.front_tyre_minor_radius = 0.333333f;
    m.front_ring_mass = 0.40625f;
    m.front_hub_radius = 0.5f;
    m.front_hub_mass = 0.15625f;
    set3(m.rear_wheel_pos, 0, 1.04f, 6);
    m.rear_tyre_major_radius = 0.75f;
    m.rear_tyre_minor_radius = 0.333333f;
    m.rear_ring_mass = 0.46875f;
    m.rear_hub_radius = 0.5f;
    m.rear_hub_mass = 0.3125f;
    set3(m.frame_pos, 0, 1.98f, 3.6f);
    set3(m.frame_size, 0.833333f, 1.666667f, 1.666667f);
    set3(m.steer_pos, 0, 2.9f, 2.16f);
    set3(m.swingarm_pos, 0, 1.34f, 4.99f);
    set3(m.swingarm_pivot, 0, 1.6f, 4.08f);
    set3(m.fork_lower_pos, 0, 1.77f, 1.59f);
    m.fork_spacing = 0.833333f;
    m.fork_leg_length = 3;
    // Masses and spring ranges by class.
    if (big) {
        m.frame_mass = 4.735f, m.fork_mass = 0.703125f, m.swingarm_mass = 0.5025f;
        m.fork_spring_min = 376.303f, m.fork_spring_max = 913.878f;
        m.shock_spring_min = 2486.29f, m.shock_spring_max = 5174.16f;
    } else if (r.model_class == CLASS_250) {
        m.frame_mass = 4.365625f, m.fork_mass = 0.75375f, m.swingarm_mass = 0.589375f;
        m.fork_spring_min = 322.545f, m.fork_spring_max = 860.12f;
        m.shock_spring_min = 2083.1f, m.shock_spring_max = 4770.98f;
    } else if (r.model_class == CLASS_250F) {
        m.frame_mass = 4.24f, m.fork_mass = 0.703125f, m.swingarm_mass = 0.504375f;
        m.fork_spring_min = 335.984f, m.fork_spring_max = 873.56f;
        m.shock_spring_min = 2217.5f, m.shock_spring_max = 4905.37f;
    } else if (r.model_class == CLASS_125) {
        m.frame_mass = 3.65375f, m.fork_mass = 0.7396875f, m.swingarm_mass = 0.541875f;
        m.fork_spring_min = 322.545f, m.fork_spring_max = 860.12f;
        m.shock_spring_min = 1814.32f, m.shock_spring_max = 4502.19f;
    } else {
        m.frame_mass = 3.34125f, m.fork_mass = 0.7396875f, m.swingarm_mass = 0.541875f;
        m.fork_spring_min = 309.106f, m.fork_spring_max = 846.681f;
        m.shock_spring_min = 1814.32f, m.shock_spring_max = 4502.19f;
    }
    m.fork_preload_min = 0, m.fork_preload_max = 0.083333f;
    m.fork_gap_min_oil = 0.416667f, m.fork_gap_max_oil = 0.25f;
    m.fork_hs_compression = 60;
    m.fork_ls_compression = 60;
    m.fork_hs_rebound = big ? 32 : 30;
    m.fork_ls_rebound = 30;
    m.fork_travel = 1;
    m.shock_preload_min = 0, m.shock_preload_max = 0.333333f;
    m.shock_hs_compression = 800;
    m.shock_ls_compression = 200;
    m.shock_hs_rebound = big ? 650 : 600;
    m.shock_ls_rebound = 150;
    m.linkage_stroke_knot = 0.283652f;
    m.linkage_stroke_full = 0.413386f;
    m.swingarm_travel = 0.530304f;
    m.linkage_knot = 0.75f;
    m.linkage_slope_start = 0.315039f, m.linkage_slope_knot = 0.460479f, m.linkage_slope_full = 0.607049f;
    m.primary_ratio = r.primary_ratio;
    m.countershaft_teeth = r.countershaft, m.rear_sprocket_teeth = r.rear;
    for (int i = 0; i < GEAR_COUNT; i++)
        m.gear_ratios[i] = r.gears[i];
    m.engine_inertia = r.inertia;
    bool fifty = r.model_class == CLASS_50;
    m.clutch_stiffness = fifty ? 1200 : 7500;
    m.clutch_damping = fifty ? 1 : 0.75f;
    Curve closed = (r.model_class == CLASS_450F || r.model_class == CLASS_250F) ? closed_four_stroke()
                                                                                : closed_two_stroke(fifty);
    Curve open = open_curve(r);
    for (int k = 0; k < TORQUE_POINTS; k++) {
        m.torque_closed[k] = closed.v[k];
        m.torque_open[k] = open.v[k];
    }
    m.downshift_rpm = r.downshift, m.upshift_rpm = r.upshift, m.redline_rpm = r.redline;
    set3(m.rider_slide_dir, 0, 0.083333f, 0.083333f);
    set3(m.rider_pos, 0, 4.5f, 4.12f);
    m.rider_slide_min = -0.666667f, m.rider_slide_max = 0.5f;
    m.rider_mass = (r.model_class == CLASS_450F || r.model_class == CLASS_250) ? 5.46875f : 4.6875f;
    m.frame_model = r.files[0];
    m.frame_shape = "@generic_frame.shp";
    m.bike_texture = r.files[1];
    m.fork_upper_model = r.files[2];
    m.fork_upper_shape = "@generic_fork_upper.shp";
    m.fork_lower_model = r.files[3];
    m.fork_lower_shape = "@generic_fork_lower.shp";
    m.swingarm_model = r.files[4];
    m.swingarm_shape = "@generic_swingarm.shp";
    m.front_wheel_model = "@front_wheel.qm";
    m.front_wheel_shape = "@front_wheel.shp";
    m.rear_wheel_model = "@rear_wheel.qm";
    m.rear_wheel_shape = "@rear_wheel.shp";
    m.wheels_texture = "@wheels.png";
    m.rider_head_model = "@rider_head.qm";
    m.rider_head_texture = "@rider_head.png";
    m.rider_body_model = "@rider_body.qm";
    m.rider_body_fp_model = "@rider_body_fp.qm";
    m.rider_shape = "@generic_rider.shp";
    m.rider_body_texture = "@rider_body.png";
    m.side_plates_model = r.files[5];
    m.front_plate_model = r.files[6];
    m.rider_plate_model = "@rider_plate.qm";
    m.head_offsets[0] = 0.808383f, m.head_offsets[1] = -0.943369f;
    set3(m.hand_left, -0.556f, 0.580375f, -0.654514f);
    set3(m.hand_right, 0.556f, 0.580375f, -0.654514f);
    set3(m.hip_left, -0.269f, -0.570887f, 0.670607f);
    set3(m.hip_right, 0.269f, -0.570887f, 0.670607f);
    set3(m.grip_left, -1.097f, 1.145f, 0.753f);
    set3(m.grip_right, 1.097f, 1.145f, 0.753f);
    set3(m.peg_left, -0.6f, -0.557f, 0.584f);
    set3(m.peg_right, 0.6f, -0.557f, 0.584f);
    m.upper_arm = 0.9f, m.forearm = 1.15f, m.thigh = 1.328f, m.shin = 1.701f;
    m.skeleton = nullptr;
    return m;
}

#define FILES2(stem, tex)                                                                            \
    {"@" stem "_frame.qm", "@" tex ".png", "@" stem "_fork_upper.qm", "@" stem "_fork_lower.qm",   \
     "@" stem "_swingarm.qm", "@" stem "_side_plates.qm", "@" stem "_front_plate.qm"}
#define FILES(stem) FILES2(stem, stem)

// Gear sets shared by several models.
#define G_CRF450 {1.8f, 1.47059f, 1.23529f, 1.05f, 0.909091f, -1}
#define G_KX450 {1.75f, 1.41176f, 1.1875f, 1, 0.875f, -1}
#define G_YZ450 {1.92857f, 1.53333f, 1.27778f, 1.09091f, 0.952381f, -1}
#define G_350 {2, 1.625f, 1.33333f, 1.14286f, 0.954545f, -1}
#define G_250F_A {2.14286f, 1.75f, 1.45f, 1.22727f, 1.04167f, -1}
#define G_250F_KX {2.14286f, 1.78571f, 1.44444f, 1.2f, 1.05263f, -1}
#define G_250F_RMZ {2.15385f, 1.76471f, 1.47059f, 1.2381f, 1.09091f, -1}
#define G_250SXF {2.46154f, 2, 1.64706f, 1.36842f, 1.19048f, 1.09091f}
#define G_250_CR {1.8f, 1.47059f, 1.21053f, 1, 0.869565f, -1}
#define G_50 {3.09091f, 2, 1.5f, 1.2f, 1.04545f, 0.956522f}

#define I450 0.0088501f
#define I250 0.00683594f
#define I250F 0.00488281f
#define I50 0.00119358f
#define RPM450 6000, 10500, 12000
#define RPM250 6000, 9000, 10500
#define RPM250F 8000, 12500, 13250
#define RPM125 9400, 12000, 12750

constexpr ModelRow model_rows[BIKE_MODEL_COUNT] = {
    {"crf450(2013)", CLASS_450F, false, 2.73913f, 13, 48, G_CRF450, I450, RPM450, 31, 7000, 12000, crf450_2013_open, FILES("crf450v2013")},
    {"kx450f(2013)", CLASS_450F, false, 2.72727f, 13, 50, G_KX450, I450, RPM450, 31.2f, 7000, 12000, nullptr, FILES("kx450f")},
    {"rmz450(2013)", CLASS_450F, false, 2.625f, 13, 50, G_CRF450, I450, RPM450, 33.3f, 7500, 12000, nullptr, FILES("rmz450")},
    {"yz450f(2013)", CLASS_450F, false, 2.65217f, 13, 48, G_YZ450, I450, RPM450, 29.7f, 7500, 12000, nullptr, FILES("yz450f")},
    {"450sxf(2013)", CLASS_450F, false, 2.375f, 14, 50, {2, 1.66667f, 1.4f, 1.18182f, 1, -1}, I450, RPM450, 33.9f, 7500, 12000, nullptr, FILES("450sxfv2013")},
    {"350sxf(2013)", CLASS_250F, true, 3.04167f, 14, 50, G_350, I250, RPM450, 27.1f, 8500, 13500, nullptr, FILES("350sxfv2013")},
    {"crf450(2011)", CLASS_450F, false, 2.73913f, 13, 48, G_CRF450, I450, RPM450, 34.6f, 6500, 12000, nullptr, FILES("crf450")},
    {"kx450f(2011)", CLASS_450F, false, 2.72727f, 13, 50, G_KX450, I450, RPM450, 35.8f, 6500, 12000, nullptr, FILES("kx450f")},
    {"rmz450(2011)", CLASS_450F, false, 2.625f, 13, 50, G_CRF450, I450, RPM450, 36.1f, 7000, 12000, nullptr, FILES("rmz450")},
    {"yz450f(2011)", CLASS_450F, false, 2.65217f, 13, 48, G_YZ450, I450, RPM450, 33, 7000, 12000, nullptr, FILES("yz450f")},
    {"450sxf(2011)", CLASS_450F, false, 2.55172f, 14, 52, {2.125f, 1.63158f, 1.3f, 1.08696f, 0.923077f, -1}, I450, RPM450, 35.4f, 7500, 12500, nullptr, FILES("450sxf")},
    {"350sxf(2011)", CLASS_450F, false, 3.04167f, 14, 50, G_350, I250, RPM450, 27.7f, 8000, 12000, nullptr, FILES("350sxf")},
    {"250sx(2012)", CLASS_250, false, 2.76923f, 13, 48, {2, 1.6f, 1.33333f, 1.14286f, 0.954545f, -1}, I250, RPM250, 32.5828f, 8000, 10500, nullptr, FILES("250sx")},
    {"cr250(2007)", CLASS_250, false, 3, 13, 49, G_250_CR, I250, RPM250, 32.8432f, 7500, 10500, nullptr, FILES("cr250")},
    {"kx250(2006)", CLASS_250, false, 3, 13, 51, {1.8f, 1.4375f, 1.17647f, 1, 0.869565f, -1}, I250, RPM250, 32.0729f, 7500, 10500, nullptr, FILES("kx250")},
    {"rm250(2008)", CLASS_250, false, 3, 13, 50, G_250_CR, I250, RPM250, 31.5127f, 7500, 10500, nullptr, FILES("rm250")},
    {"yz250(2012)", CLASS_250, false, 3, 14, 50, G_YZ450, I250, RPM250, 29.902f, 7500, 10500, nullptr, FILES("yz250")},
    {"crf250(2013)", CLASS_250F, false, 3.16667f, 13, 49, {2.35714f, 1.88235f, 1.55f, 1.33333f, 1.13636f, -1}, I250F, RPM250F, 18.65f, 9000, 14000, nullptr, FILES("crf250v2010")},
    {"kx250f(2013)", CLASS_250F, false, 3.35f, 13, 50, {2.14286f, 1.75f, 1.44444f, 1.23529f, 1.04545f, -1}, I250F, RPM250F, 19.18f, 8500, 14000, nullptr, FILES("kx250fv2013")},
    {"rmz250(2013)", CLASS_250F, false, 3.31579f, 13, 49, G_250F_RMZ, I250F, RPM250F, 18.52f, 8500, 14000, nullptr, FILES("rmz250v2010")},
    {"yz250f(2013)", CLASS_250F, false, 3.35294f, 13, 50, {2.14286f, 1.75f, 1.44444f, 1.22222f, 1.04167f, -1}, I250F, RPM250F, 18.68f, 8000, 14000, nullptr, FILES("yz250fv2010")},
    {"250sxf(2013)", CLASS_250F, false, 3.04167f, 13, 50, G_250SXF, I250F, RPM250F, 18.87f, 8500, 14000, nullptr, FILES("250sxfv2013")},
    {"crf250(2009)", CLASS_250F, false, 3.16667f, 13, 51, G_250F_A, I250F, RPM250F, 20.39f, 8500, 14000, nullptr, FILES("crf250")},
    {"kx250f(2009)", CLASS_250F, false, 3.35f, 13, 48, G_250F_KX, I250F, RPM250F, 19.79f, 8000, 14000, nullptr, FILES("kx250f")},
    {"rmz250(2009)", CLASS_250F, false, 3.21053f, 13, 48, G_250F_RMZ, I250F, RPM250F, 20.24f, 8500, 14000, nullptr, FILES("rmz250")},
    {"yz250f(2009)", CLASS_250F, false, 3.35294f, 13, 48, G_250F_A, I250F, RPM250F, 20.07f, 8500, 14000, nullptr, FILES("yz250f")},
    {"250sxf(2009)", CLASS_250F, false, 3.09091f, 13, 48, G_250SXF, I250F, RPM250F, 20.19f, 8500, 14000, nullptr, FILES("250sxf")},
    {"crf250(2008)", CLASS_250F, false, 3.16667f, 13, 51, G_250F_A, I250F, RPM250F, 19.1f, 9500, 13500, nullptr, FILES("crf250")},
    {"kx250f(2008)", CLASS_250F, false, 3.35f, 13, 48, G_250F_KX, I250F, RPM250F, 19, 8500, 13500, nullptr, FILES("kx250f")},
    {"rmz250(2008)", CLASS_250F, false, 3.21053f, 13, 48, G_250F_RMZ, I250F, RPM250F, 19.3f, 8500, 13500, nullptr, FILES("rmz250")},
    {"yz250f(2008)", CLASS_250F, false, 3.35294f, 13, 48, G_250F_A, I250F, RPM250F, 19, 8500, 13500, nullptr, FILES("yz250f")},
    {"cr125", CLASS_125, false, 3.15f, 13, 52, {2.35714f, 1.86667f, 1.57895f, 1.29412f, 1.13333f, -1}, I250F, RPM125, 15.9664f, 10000, 13000, nullptr, FILES("cr125")},
    {"kx125", CLASS_125, false, 3.2f, 13, 51, {2.38462f, 1.85714f, 1.52941f, 1.29412f, 1.125f, 1}, I250F, RPM125, 16.8068f, 9500, 13000, nullptr, FILES("kx125")},
    {"rm125", CLASS_125, false, 3.36842f, 12, 50, {2.07143f, 1.6875f, 1.44444f, 1.2f, 1.05263f, 0.95f}, I250F, 9400, 12000, 13750, 16.5066f, 10500, 14000, nullptr, FILES("rm125")},
    {"yz125", CLASS_125, false, 3.36842f, 13, 48, {2.38462f, 1.93333f, 1.58824f, 1.35294f, 1.2f, 1.09524f}, I250F, RPM125, 15.8614f, 10000, 13000, yz125_open, FILES("yz125")},
    {"125sx", CLASS_125, false, 3.04348f, 13, 50, {2.46154f, 2, 1.64706f, 1.4f, 1.21053f, 1.09091f}, I250F, RPM125, 17.407f, 10500, 13000, nullptr, FILES("125sx")},
    {"crf250(2007)", CLASS_250F, false, 3.16667f, 13, 51, G_250F_A, I250F, RPM250F, 19, 8000, 13500, nullptr, FILES("crf250")},
    {"kx250f(2007)", CLASS_250F, false, 3.35f, 13, 48, G_250F_KX, I250F, RPM250F, 19.6f, 8000, 13500, nullptr, FILES("kx250f")},
    {"rmz250(2007)", CLASS_250F, false, 3.21053f, 13, 48, G_250F_RMZ, I250F, RPM250F, 19.9f, 8000, 13500, nullptr, FILES("rmz250")},
    {"yz250f(2007)", CLASS_250F, false, 3.35294f, 13, 48, G_250F_A, I250F, RPM250F, 18.3f, 8000, 13500, nullptr, FILES("yz250f")},
    {"yz250f_se(2006)", CLASS_250F, false, 3.35294f, 13, 48, G_250F_A, I250F, RPM250F, 18.3f, 8000, 13500, nullptr, FILES2("yz250f", "yz250f_se")},
    {"rs50cr", CLASS_50, false, 3.71429f, 12, 55, G_50, I50, RPM125, 4.3123f, 9500, 13500, nullptr, FILES("cr125")},
    {"rs50kx", CLASS_50, false, 3.71429f, 12, 55, G_50, I50, RPM125, 4.3123f, 9500, 13500, nullptr, FILES("kx125")},
    {"rs50rm", CLASS_50, false, 3.71429f, 12, 55, G_50, I50, 9400, 12000, 13750, 4.3123f, 9500, 13500, nullptr, FILES("rm125")},
    {"rs50yz", CLASS_50, false, 3.71429f, 12, 55, G_50, I50, RPM125, 4.3123f, 9500, 13500, nullptr, FILES("yz125")},
};

}  // namespace

#define M(i) make_model(model_rows[i])
constexpr BikeModel bike_models[BIKE_MODEL_COUNT] = {
    M(0),  M(1),  M(2),  M(3),  M(4),  M(5),  M(6),  M(7),  M(8),  M(9),  M(10), M(11), M(12), M(13), M(14),
    M(15), M(16), M(17), M(18), M(19), M(20), M(21), M(22), M(23), M(24), M(25), M(26), M(27), M(28), M(29),
    M(30), M(31), M(32), M(33), M(34), M(35), M(36), M(37), M(38), M(39), M(40), M(41), M(42), M(43), M(44),
};
#undef M

const BikeModel *lookup_bike_model(const char *name, bool *fell_back)
{
    if (fell_back)
        *fell_back = false;
    if (!name)
        name = "";
    for (const BikeModel &m : bike_models)
        if (strcmp(m.name, name) == 0)
            return &m;
    if (fell_back)
        *fell_back = true;
    const char *key = strstr(name, "125") ? "125" : "250f";
    for (const BikeModel &m : bike_models)
        if (strstr(m.name, key))
            return &m;
    return &bike_models[0];
}

const BikeModel *find_bike_model(const char *name)
{
    bool fell_back = false;
    const BikeModel *m = lookup_bike_model(name, &fell_back);
    if (fell_back) {
        post_messagef("bike info for '%.20s' not found using '%.20s' instead", name ? name : "", m->name);
    }
    return m;
}

static bool ends_with(const std::string &s, const char *suffix)
{
    size_t n = strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

SkinVariants list_skin_variants_in(const char *prefix, const char *const *names)
{
    SkinVariants v;
    v.data_names.push_back("");
    v.display_names.push_back("default");
    if (!prefix)
        prefix = "";
    size_t prefix_len = strlen(prefix);
    for (const char *const *p = names; p && *p; p++) {
        std::string name = *p;
        size_t slash = name.rfind('/');
        std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
        if (base.compare(0, prefix_len, prefix) != 0)
            continue;
        size_t cut = 0;
        bool scrambled = false;
        if (ends_with(name, ".png.scram")) {
            if (ends_with(name, "_norm.png.scram") || ends_with(name, "_spec.png.scram"))
                continue;
            cut = 10;
            scrambled = true;
        } else if (ends_with(name, ".png")) {
            if (ends_with(name, "_norm.png") || ends_with(name, "_spec.png"))
                continue;
            cut = 4;
        } else {
            continue;
        }
        // Appended rather than "@" + string: GCC 12 warns falsely on that form.
        std::string data = "@";
        data.append(name, 0, scrambled ? name.size() - 6 : name.size());
        std::string shown = base.substr(prefix_len);
        shown = shown.size() >= cut ? shown.substr(0, shown.size() - cut) : std::string();
        v.data_names.push_back(data);
        v.display_names.push_back(shown);
    }
    return v;
}

SkinVariants list_skin_variants(const char *prefix)
{
    return list_skin_variants_in(prefix, data_file_names());
}
