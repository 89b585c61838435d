// The simulation's formulas against the figures they must produce.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "sim/bike.h"
#include "sim/engine.h"
#include "sim/ground.h"
#include "sim/rider.h"
#include "sim/suspension.h"
#include "track/surface.h"

namespace {

const BikeModel *model(const char *name)
{
    bool fell_back = true;
    const BikeModel *m = lookup_bike_model(name, &fell_back);
    EXPECT_FALSE(fell_back) << name;
    return m;
}

TEST(DampingLaw, CompressionAndReboundBands)
{
    // Compressing at 1 ft/s: d = 60, x = 120 inside [7.5, 480].
    EXPECT_DOUBLE_EQ(damping_law(-1, 60, 60, 30, 30), 120);
    // A negative low-speed offset is held at one eighth of the linear value.
    EXPECT_DOUBLE_EQ(damping_law(-1, 60, -60, 30, 30), 7.5);
    // A huge offset is held at eight times the linear value.
    EXPECT_DOUBLE_EQ(damping_law(-1, 60, 1000, 30, 30), 480);
    // Extending: d = -30, x = -60 inside [-240, -3.75].
    EXPECT_DOUBLE_EQ(damping_law(1, 60, 60, 30, 30), -60);
    EXPECT_DOUBLE_EQ(damping_law(1, 60, 60, 30, -30), -3.75);
    // At rest nothing, whatever the offsets.
    EXPECT_DOUBLE_EQ(damping_law(0, 60, 60, 30, 30), 0);
    EXPECT_DOUBLE_EQ(damping_law(0, 60, -60, 30, -30), 0);
}

TEST(Fork, AirSpringAndTopOut)
{
    double full = 82.4616928 * (pow(1.416667 / 0.416667, 1.4) - 1);
    EXPECT_NEAR(fork_air_spring(-1, 1, 0.416667), full, 1e-9);
    // Beyond the travel the column is no shorter.
    EXPECT_NEAR(fork_air_spring(-1.5, 1, 0.416667), full, 1e-9);
    EXPECT_DOUBLE_EQ(fork_air_spring(0, 1, 0.416667), 0);
    // Fully extended the fork pushes nothing, whatever the preload.
    ForkCoefficients c = {60, 60, 30, 30, 600, 0.083333, 0.416667, 1};
    EXPECT_DOUBLE_EQ(fork_force(c, 0, 0), 0);
    EXPECT_DOUBLE_EQ(fork_force(c, 0, -3), 0);
    // Past 1/32 of the travel the fade is complete.
    double p = -0.5;
    EXPECT_NEAR(fork_force(c, p, 0), 600 * (0.083333 + 0.5) + fork_air_spring(p, 1, 0.416667), 1e-9);
    // Half way into the fade region.
    EXPECT_NEAR(fork_force(c, -1.0 / 64, 0), 0.5 * (600 * (0.083333 + 1.0 / 64) + fork_air_spring(-1.0 / 64, 1, 0.416667)),
                1e-9);
}

TEST(Shock, LinkageCurve)
{
    const BikeModel *m = model("crf450(2013)");
    double s, d;
    linkage_curve(m, 0.75, &s, &d);
    EXPECT_NEAR(s, m->linkage_stroke_knot, 1e-7);
    EXPECT_NEAR(d, m->linkage_slope_knot, 1e-6);
    linkage_curve(m, 0, &s, &d);
    EXPECT_NEAR(s, 0, 1e-12);
    EXPECT_NEAR(d, m->linkage_slope_start, 1e-6);
    linkage_curve(m, 1, &s, &d);
    EXPECT_NEAR(s, m->linkage_stroke_full, 1e-7);
    EXPECT_NEAR(d, m->linkage_slope_full, 1e-6);
    // Continuous across the knot.
    double s2, d2;
    linkage_curve(m, 0.75 + 1e-9, &s2, &d2);
    EXPECT_NEAR(s, m->linkage_stroke_full, 1e-6);
    EXPECT_NEAR(s2, m->linkage_stroke_knot, 1e-6);
    EXPECT_NEAR(d2, m->linkage_slope_knot, 1e-5);
    // The shock torque grows with compression and is 0 at full extension.
    ShockCoefficients c = {800, 0, 650, 0, 3800, 0.1667};
    EXPECT_DOUBLE_EQ(shock_torque(m, c, 0, 0), 0);
    EXPECT_GT(shock_torque(m, c, -0.3, 0), shock_torque(m, c, -0.1, 0));
}

TEST(Suspension, SetupFactorsAndClamps)
{
    EXPECT_DOUBLE_EQ(suspension_hs_factor(0), 0.25);
    EXPECT_DOUBLE_EQ(suspension_hs_factor(50), 1);
    EXPECT_DOUBLE_EQ(suspension_hs_factor(100), 4);
    EXPECT_DOUBLE_EQ(suspension_ls_offset(0), -1);
    EXPECT_DOUBLE_EQ(suspension_ls_offset(100), 1);
    EXPECT_DOUBLE_EQ(suspension_fraction(50), 0.5);
    Bike bike{};
    bike.model = *model("crf450(2013)");
    set_fork(&bike, 4.5, -3, 0.1, 2, 2, -1, 0);
    EXPECT_FLOAT_EQ(bike.fork_hsc, 4 * 60);
    EXPECT_FLOAT_EQ(bike.fork_lsc, -60);
    EXPECT_FLOAT_EQ(bike.fork_hsr, 0.25f * 32);
    EXPECT_FLOAT_EQ(bike.fork_lsr, 30);
    EXPECT_FLOAT_EQ(bike.fork_k, 913.878f);
    EXPECT_FLOAT_EQ(bike.fork_preload, 0);
    EXPECT_FLOAT_EQ(bike.fork_gap, 0.416667f);
    set_shock(&bike, 1, 0, 1, 0, 0.5, 1);
    EXPECT_FLOAT_EQ(bike.shock_hsr, 650);
    EXPECT_FLOAT_EQ(bike.shock_k, (2486.29f + 5174.16f) / 2);
    EXPECT_FLOAT_EQ(bike.shock_preload, 0.333333f);
}

SurfaceType curve_surface()
{
    SurfaceType s;
    default_surface_type(&s);
    for (int k = 0; k < CURVE_POINTS; k++)
        s.friction_key[k] = s.roll_key[k] = 0;
    s.friction[0] = 1.2f, s.friction_key[0] = 5;
    s.friction[1] = 0.8f, s.friction_key[1] = 20;
    s.roll_a[0] = 5, s.roll_b[0] = 15, s.roll_key[0] = 1;
    return s;
}

TEST(Tyre, FrictionCurve)
{
    SurfaceType s = curve_surface();
    EXPECT_NEAR(surface_friction(&s, 3), 1.2, 1e-6);
    EXPECT_NEAR(surface_friction(&s, 12.5), 1.06, 1e-6);
    EXPECT_NEAR(surface_friction(&s, 20), 0.8, 1e-6);
    EXPECT_NEAR(surface_friction(&s, 200), 0.8, 1e-6);
    // A full table of keys ends with its last coefficient.
    for (int k = 0; k < CURVE_POINTS; k++)
        s.friction_key[k] = (float)(k + 1), s.friction[k] = (float)k;
    EXPECT_NEAR(surface_friction(&s, 100), 7, 1e-6);
    EXPECT_NEAR(surface_friction(&s, 0.5), 0, 1e-6);
}

TEST(Tyre, StiffnessAndContactParameters)
{
    double k, c;
    tyre_stiffness(0.333333 / 3, 0.333333, &k, &c);
    EXPECT_NEAR(k, 24000.0 / 27 + 1000, 1e-6);
    EXPECT_NEAR(c, 2300.0 / 27 + 200, 1e-6);
    tyre_stiffness(5, 0.333333, &k, &c);  // deeper than the tyre: f = 1
    EXPECT_DOUBLE_EQ(k, 25000);
    EXPECT_DOUBLE_EQ(c, 2500);
    double erp, cfm;
    soft_contact_params(2500, 250, &erp, &cfm);
    EXPECT_NEAR(cfm, 1 / (2500.0 / 128 + 250), 1e-15);
    EXPECT_NEAR(erp, 2500.0 / 128 * cfm, 1e-15);
}

TEST(Tyre, RollingResistance)
{
    SurfaceType s = curve_surface();
    double a, b;
    surface_rolling_resistance(&s, 0.5, &a, &b);
    EXPECT_DOUBLE_EQ(a, 5);
    EXPECT_DOUBLE_EQ(b, 15);
    double rho = a + (b - a) * 1.0;  // full penetration
    double up[3] = {0, 1, 0}, f[3];
    double slow[3] = {0, 0, -0.5};
    rolling_resistance_force(slow, up, rho, f);
    EXPECT_NEAR(f[2], 7.5, 1e-12);  // against the motion
    double fast[3] = {0, 3, -10};  // the normal part does not count
    rolling_resistance_force(fast, up, rho, f);
    EXPECT_NEAR(f[2], 15, 1e-12);
    EXPECT_NEAR(f[1], 0, 1e-12);
}

TEST(Engine, TorqueBlend)
{
    const BikeModel *m = model("crf450(2013)");
    EXPECT_NEAR(engine_curve_torque(m, 6000, 0.5), 12.6, 1e-5);
    EXPECT_NEAR(engine_curve_torque(m, 6000, 0), -5, 1e-6);
    EXPECT_NEAR(engine_curve_torque(m, 6000, 1), 30.2, 1e-5);
    // Between table points the curves are interpolated.
    EXPECT_NEAR(engine_curve_torque(m, 6250, 1), (30.2 + 30.7) / 2, 1e-5);
    // The open curve is the rev limiter above 12000 rpm.
    EXPECT_LE(engine_curve_torque(m, 12000, 1), 0);
    EXPECT_LT(engine_curve_torque(m, 13000, 1), 0);
    // Beyond the table the last entry holds.
    EXPECT_NEAR(engine_curve_torque(m, 100000, 1), -34, 1e-6);
    EXPECT_NEAR(engine_curve_torque(m, -500, 1), 5, 1e-6);
}

TEST(Engine, AutoClutch)
{
    EXPECT_DOUBLE_EQ(auto_clutch_engagement(5000, 5000, 1), 0);
    EXPECT_DOUBLE_EQ(auto_clutch_engagement(6000, 5000, 1), 0.5);
    EXPECT_DOUBLE_EQ(auto_clutch_engagement(7000, 5000, 1), 1);
    EXPECT_DOUBLE_EQ(auto_clutch_engagement(9000, 5000, 1), 1);
    // The lever still rules.
    EXPECT_DOUBLE_EQ(auto_clutch_engagement(6000, 5000, 0.25), 0.25);
    EXPECT_DOUBLE_EQ(auto_clutch_engagement(9000, 5000, 0.25), 0.25);
    EXPECT_DOUBLE_EQ(auto_clutch_engagement(3000, 5000, 1), 0);
}

TEST(Engine, Sprockets)
{
    Bike bike{};
    bike.model = *model("crf450(2013)");  // 13 / 48
    set_sprockets(&bike, 2, -2);
    EXPECT_NEAR(bike.final_drive, 46.0 / 15, 1e-6);
    EXPECT_NEAR(bike.final_drive, 3.066667, 1e-6);
    set_sprockets(&bike, 2.4, 3);
    EXPECT_NEAR(bike.final_drive, 50.0 / 15, 1e-6);
    set_sprockets(&bike, -2, 0.5);
    EXPECT_NEAR(bike.final_drive, 48.0 / 11, 1e-6);
    set_auto_clutch_rpm(&bike, 9000);
    EXPECT_FLOAT_EQ(bike.setup.auto_clutch_rpm, 5000);
    set_braking_torque(&bike, -1, 900);
    EXPECT_FLOAT_EQ(bike.setup.front_braking_torque, 0);
    EXPECT_FLOAT_EQ(bike.setup.rear_braking_torque, 500);
}

TEST(Engine, ShiftingSkipsMissingGears)
{
    const BikeModel *five = model("crf450(2013)");  // sixth ratio -1
    EXPECT_EQ(step_gear(five, 4, +1), 4);
    EXPECT_EQ(step_gear(five, 3, +1), 4);
    EXPECT_EQ(step_gear(five, 0, -1), 0);
    EXPECT_EQ(step_gear(five, 2, +9), 4);
    const BikeModel *six = model("yz125");
    EXPECT_EQ(step_gear(six, 4, +1), 5);
    EXPECT_EQ(step_gear(six, 5, +1), 5);
}

TEST(Rider, RestPoints)
{
    // Sit 1: the vertical rest point is 0.375 ft below the mount point.
    EXPECT_DOUBLE_EQ(rider_vertical_extension(1, 0.375), 0);
    // Standing: 0.125 ft above.
    EXPECT_DOUBLE_EQ(rider_vertical_extension(0, -0.125), 0);
    // Lean 1 at v = 0 puts the fore-aft target at -0.75.
    EXPECT_DOUBLE_EQ(rider_fore_aft_target(0, 1, 0), -0.75);
    EXPECT_DOUBLE_EQ(rider_fore_aft_target(0, -1, 0), 0.75);
    // Sinking while standing moves the rider back by half as much.
    EXPECT_DOUBLE_EQ(rider_fore_aft_target(0, 0, 0.4), 0.2);
    EXPECT_DOUBLE_EQ(rider_fore_aft_target(1, 0, 0.4), 0.4);
}

TEST(Rider, SteeringLock)
{
    Bike bike{};
    bike.setup.full_lock_speed = 10;
    bike.setup.restricted_lock_speed = 50;
    bike.setup.restricted_lock_angle = (float)(5 * M_PI / 180);
    EXPECT_NEAR(steering_lock_angle(&bike, 5, 1), M_PI / 4, 1e-12);
    EXPECT_NEAR(steering_lock_angle(&bike, 50, 1), 5 * M_PI / 180, 1e-7);
    EXPECT_NEAR(steering_lock_angle(&bike, 80, 1), 5 * M_PI / 180, 1e-7);
    EXPECT_NEAR(steering_lock_angle(&bike, 80, 0.5), 10 * M_PI / 180, 1e-7);
    // Grip below 0.125 counts as 0.125.
    EXPECT_NEAR(steering_lock_angle(&bike, 80, 0.01), 40 * M_PI / 180, 1e-6);
    EXPECT_NEAR(steering_lock_angle(&bike, 80, 0.05), 40 * M_PI / 180, 1e-6);
    // In between it rises as the speed falls.
    double mid = steering_lock_angle(&bike, 20, 1);
    EXPECT_GT(mid, 5 * M_PI / 180);
    EXPECT_LT(mid, M_PI / 4);
}

TEST(Rider, LeanGainAndWalkingPhase)
{
    EXPECT_DOUBLE_EQ(lean_gain(0, 30, M_PI / 4, 4), 0);
    EXPECT_DOUBLE_EQ(lean_gain(900, 30, M_PI / 4, 4), 2 * M_PI);
    EXPECT_NEAR(lean_gain(100, 30, M_PI / 4, 4), (1 - pow(1 - 100.0 / 900, 4)) * M_PI / 4, 1e-12);
    EXPECT_NEAR(lean_gain(225 + (900 - 225) / 2.0, 30, M_PI / 4, 4), M_PI / 4 + (2 * M_PI - M_PI / 4) / 2, 1e-12);
    EXPECT_NEAR(backing_phase(1000, 0), (1 - cos(104 * 2 * M_PI / 127)) / 2, 1e-12);
    // In the first window after the start the walk pauses on bits 7 and 8.
    EXPECT_EQ(backing_phase(300, 200), 0);
    EXPECT_GT(backing_phase(300 + 512, 200), 0);
    EXPECT_NEAR(backing_phase(300 + 512, 200), backing_phase(300, -1000), 1e-12);
}

}  // namespace
