// The assembled bike in the world: creation, placing, inputs, physics levels,
// resting, crashes, determinism and robustness under random inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "sim/bike.h"
#include "sim/crash.h"
#include "sim/engine.h"
#include "sim_fixtures.h"

namespace {

struct WorldScope {
    WorldScope()
    {
        sim_world_destroy();
        EXPECT_TRUE(sim_world_create());
        sim_race = {0, 0, false, nullptr, nullptr};
    }
    ~WorldScope() { sim_world_destroy(); }
};

void run_ticks(Bike *bike, const Terrain *t, int ticks)
{
    Bike *list[1] = {bike};
    for (int i = 0; i < ticks; i++) {
        sim_tick(list, 1, t);
        sim_race.tick++;
    }
}

TEST(Bike, CreatedAtModelPositions)
{
    WorldScope world;
    Bike *bike = create_bike("crf450(2013)", 3, "123456789", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(bike, nullptr);
    const BikeModel &m = bike->model;
    const float *pos[BIKE_BODIES] = {m.frame_pos, m.front_wheel_pos, m.rear_wheel_pos, m.steer_pos,
                                     m.fork_lower_pos, m.swingarm_pos, m.rider_pos};
    for (int i = 0; i < BIKE_BODIES; i++)
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(dBodyGetPosition(bike->bodies[i])[k], pos[i][k], 1e-6) << i;
    EXPECT_NEAR(dBodyGetPosition(bike_rider_body(bike))[1], 4.5, 1e-6);
    EXPECT_EQ(bike_gear(bike), 0);
    EXPECT_EQ(bike_rpm(bike), 0);
    EXPECT_EQ(bike->physics_level, 1);
    EXPECT_EQ(bike->slot_id, 3);
    EXPECT_STREQ(bike_plate_text(bike), "1234567");
    EXPECT_STREQ(bike_class(bike), "450f");
    EXPECT_NEAR(bike->final_drive, 48.0 / 13, 1e-6);
    // Sum of the seven bodies: frame + rider make frame_mass + rider_mass.
    double wheels = 0.40625 + 0.15625 + 0.46875 + 0.3125;
    EXPECT_NEAR(bike->total_mass, 4.735 + 5.46875 + wheels + 2 * 0.703125 + 2 * 0.5025, 1e-5);
    bike_set_mass_distribution(bike, 0.9f);
    EXPECT_FLOAT_EQ(bike->rider_mass_distribution, 0.5f);
    dMass rider;
    dBodyGetMass(bike->bodies[BODY_RIDER], &rider);
    EXPECT_NEAR(rider.mass, 0.5 * 5.46875, 1e-6);
    EXPECT_NEAR(bike->total_mass, 4.735 + 5.46875 + wheels + 2 * 0.703125 + 2 * 0.5025, 1e-5);
    destroy_bike(bike);
}

TEST(Bike, ShiftingAndInputs)
{
    WorldScope world;
    Bike *bike = create_bike("crf450(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr);
    bike_shift(bike, 1);
    bike_shift(bike, 1);
    EXPECT_EQ(bike_gear(bike), 1);  // one gear per press
    bike_shift(bike, 0);
    bike_shift(bike, 1);
    EXPECT_EQ(bike_gear(bike), 2);
    bike_shift(bike, 2);  // out of range
    EXPECT_EQ(bike_gear(bike), 2);
    bike_set_gear(bike, 5);
    EXPECT_EQ(bike_gear(bike), 4);  // no sixth gear
    for (int i = 0; i < 3; i++) {
        bike_shift(bike, 0);
        bike_shift(bike, 1);
    }
    EXPECT_EQ(bike_gear(bike), 4);
    bike_set_throttle(bike, 2);
    EXPECT_EQ(bike->throttle, 1);
    bike_set_steer(bike, -7);
    EXPECT_EQ(bike->steer, -1);
    bike_set_lean(bike, NAN);
    EXPECT_EQ(bike->lean, 0);
    // While crashed: throttle, sit, back up and lean are 0 and shifts are ignored.
    bike->crash_timer = 100;
    bike_set_throttle(bike, 1);
    bike_set_sit(bike, 1);
    bike_set_back_up(bike, 1);
    bike_set_lean(bike, 1);
    bike_set_front_brake(bike, 1);
    EXPECT_EQ(bike->throttle, 0);
    EXPECT_EQ(bike->sit, 0);
    EXPECT_EQ(bike->back_up, 0);
    EXPECT_EQ(bike->lean, 0);
    EXPECT_EQ(bike->front_brake, 1);
    bike_shift(bike, -1);
    EXPECT_EQ(bike_gear(bike), 4);
    destroy_bike(bike);
}

TEST(Bike, SpeedQueryAndPlacing)
{
    WorldScope world;
    Bike *bike = create_bike("yz250f(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr);
    dBodySetLinearVel(bike->bodies[BODY_FRAME], 0, 0, -22);
    EXPECT_NEAR(bike_speed_mph(bike), 15, 1e-6);
    // Rotated half a turn about y, the bike heads +z.
    bike_reset(bike);
    double up[3] = {0, 1, 0};
    bike_rotate(bike, up, M_PI);
    dBodySetLinearVel(bike->bodies[BODY_FRAME], 0, 0, 22);
    EXPECT_NEAR(bike_speed_mph(bike), 15, 1e-6);
    EXPECT_NEAR(dBodyGetPosition(bike->bodies[BODY_REAR_WHEEL])[2], -6, 1e-6);
    bike_translate(bike, 10, 2, 30);
    EXPECT_NEAR(dBodyGetPosition(bike->bodies[BODY_REAR_WHEEL])[2], 24, 1e-6);
    EXPECT_NEAR(dBodyGetPosition(bike->bodies[BODY_RIDER])[1], 6.5, 1e-6);
    destroy_bike(bike);
}

TEST(Bike, FrozenBikesStayPut)
{
    WorldScope world;
    auto t = make_flat_terrain();
    Bike *bike = create_bike("crf450(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr);
    place_bike(bike, 30, 5, 30);  // in the air
    bike_toggle(bike);
    EXPECT_EQ(bike->physics_level, 1);  // above 0.25: nothing
    bike_deactivate(bike);
    bike_toggle(bike);
    EXPECT_EQ(bike->physics_level, 1);
    bike->physics_level = 0.25f;
    for (dBodyID b : bike->bodies)
        dBodyDisable(b);
    double before = frame_height(bike);
    bike->gear = 2;
    bike->throttle = 1;
    run_ticks(bike, t.get(), 20);
    EXPECT_EQ(frame_height(bike), before);
    EXPECT_EQ(bike->engine_speed, 0);
    EXPECT_EQ(bike->gear, 2);
    bike_activate(bike);
    run_ticks(bike, t.get(), 20);
    EXPECT_LT(frame_height(bike), before);
    // A faded bike freezes after 96 ticks.
    int ticks = 0;
    while (bike->physics_level > 0.25f && ticks < 1000) {
        bike_fade(bike);
        ticks++;
    }
    EXPECT_EQ(ticks, 96);
    EXPECT_FALSE(dBodyIsEnabled(bike->bodies[BODY_FRAME]));
    destroy_bike(bike);
}

// A stopped rider puts a foot down (sit/dab); with dab-when-stopped the bike
// does it by itself and is held by the brakes.
TEST(Bike, RestingBikeSettlesIntoSagAndStaysUp)
{
    struct Case {
        const char *model;
        bool dab_when_stopped;
    } cases[] = {{"crf450(2013)", false}, {"yz250f(2013)", false}, {"rs50yz", false}, {"crf450(2013)", true}};
    for (const Case &c : cases) {
        WorldScope world;
        auto t = make_flat_terrain(5, 2, 1);
        Bike *bike = create_bike(c.model, 0, "1", nullptr, nullptr, nullptr, nullptr);
        place_bike(bike, 32, 1, 40);
        if (c.dab_when_stopped)
            bike->options |= OPTION_DAB_WHEN_STOPPED;
        else
            bike_set_sit(bike, 1);
        run_ticks(bike, t.get(), 128 * 4);
        double fork = dJointGetSliderPosition(bike->joints[JOINT_FORK]);
        double pivot = dJointGetHingeAngle(bike->joints[JOINT_PIVOT]);
        double first_fork = fork, first_pivot = pivot;
        // Sag: between a tenth and a half of the travel at both ends.
        EXPECT_LT(fork, -0.1 * bike->model.fork_travel) << c.model;
        EXPECT_GT(fork, -0.5 * bike->model.fork_travel) << c.model;
        EXPECT_LT(pivot, -0.1 * bike->model.swingarm_travel) << c.model;
        EXPECT_GT(pivot, -0.5 * bike->model.swingarm_travel) << c.model;
        run_ticks(bike, t.get(), 128 * 16);
        fork = dJointGetSliderPosition(bike->joints[JOINT_FORK]);
        pivot = dJointGetHingeAngle(bike->joints[JOINT_PIVOT]);
        EXPECT_NEAR(fork, first_fork, 0.01) << c.model;
        EXPECT_NEAR(pivot, first_pivot, 0.01) << c.model;
        const dReal *r = dBodyGetRotation(bike->bodies[BODY_FRAME]);
        EXPECT_GT(r[5], 0.99) << c.model;  // still upright
        const dReal *v = dBodyGetLinearVel(bike->bodies[BODY_FRAME]);
        // Below the holding force's dead band.
        EXPECT_LT(sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 0.25) << c.model;
        EXPECT_EQ(bike->crash_timer, 0) << c.model;
        EXPECT_GT(bike->wheels[0].depth, 0) << c.model;
        EXPECT_GT(bike->wheels[1].depth, 0) << c.model;
        destroy_bike(bike);
    }
}

// Without a foot down nothing holds a standing bike up: it leans over.
TEST(Bike, UnsupportedBikeFallsOver)
{
    WorldScope world;
    auto t = make_flat_terrain(5, 2, 1);
    Bike *bike = create_bike("crf450(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr);
    place_bike(bike, 32, 1, 40);
    dBodySetAngularVel(bike->bodies[BODY_FRAME], 0, 0, 0.2);
    run_ticks(bike, t.get(), 128 * 4);
    EXPECT_LT(dBodyGetRotation(bike->bodies[BODY_FRAME])[5], 0.9);
    destroy_bike(bike);
}

TEST(Crash, ImpactThresholdAndCounts)
{
    WorldScope world;
    auto t = make_flat_terrain();
    Bike *bike = create_bike("crf450(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr);
    dBodySetLinearVel(bike->bodies[BODY_RIDER], 30, 0, 0);
    EXPECT_FALSE(crash_detection(bike, t.get(), 0));
    dBodySetLinearVel(bike->bodies[BODY_RIDER], 32, 0, 0);
    bike->recover_timer = -300;  // just rammed
    EXPECT_FALSE(crash_detection(bike, t.get(), 0));
    bike->recover_timer = 0;
    EXPECT_TRUE(crash_detection(bike, t.get(), 0));
    EXPECT_EQ(bike->crash_timer, 512);
    EXPECT_EQ(bike->crash_count, 1);
    EXPECT_EQ(dJointGetBody(bike->joints[JOINT_RIDER_MOUNT], 0), nullptr);
    // While the rider still moves the countdown is frozen.
    crash_handling(bike);
    EXPECT_EQ(bike->crash_timer, 512);
    dBodySetLinearVel(bike->bodies[BODY_RIDER], 0, 0, 0);
    crash_handling(bike);
    EXPECT_EQ(bike->crash_timer, 511);
    dJointGroupEmpty(sim_world.contact_group);
    bike->crash_timer = 1;
    crash_handling(bike);
    EXPECT_EQ(bike->crash_timer, 0);
    EXPECT_EQ(dJointGetBody(bike->joints[JOINT_RIDER_MOUNT], 0), bike->bodies[BODY_RIDER]);
    // The second crash uses the second entry of the extra time table.
    extra_crash_time[1] = 100;
    crash_start(bike, t.get());
    EXPECT_EQ(bike->crash_timer, 612);
    EXPECT_EQ(bike->crash_count, 2);
    extra_crash_time[1] = 0;
    dJointGroupEmpty(sim_world.contact_group);
    destroy_bike(bike);
}

TEST(Crash, FootFallsToGround)
{
    WorldScope world;
    auto t = make_flat_terrain(5, 2, 1);
    Bike *bike = create_bike("crf450(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr);
    place_bike(bike, 30, 1, 30);
    dBodySetPosition(bike->bodies[BODY_RIDER], 30, 3.5, 30.6);
    bike->crash_timer = 400;
    for (int f = 0; f < 2; f++) {
        bike->feet[f][0] = 30 + (f ? 0.3f : -0.3f);
        bike->feet[f][1] = 1.1f;
        bike->feet[f][2] = 31.2f;
        bike->feet_velocity[f][1] = -5;
    }
    feet_update(bike, t.get());
    EXPECT_FLOAT_EQ(bike->feet[0][1], 1.25f);
    EXPECT_EQ(bike->feet_velocity[0][1], 0);
    destroy_bike(bike);
}

// A fixed pattern of inputs: a slow launch, then random controls.
void scripted_inputs(Bike *bike, std::mt19937 &rng, int tick)
{
    std::uniform_real_distribution<float> u(0, 1);
    bike_set_throttle(bike, u(rng));
    bike_set_clutch(bike, u(rng) < 0.9f ? 1.0f : 0.0f);
    bike_set_front_brake(bike, u(rng) < 0.2f ? u(rng) : 0.0f);
    bike_set_rear_brake(bike, u(rng) < 0.2f ? u(rng) : 0.0f);
    bike_set_steer(bike, u(rng) * 2 - 1);
    bike_set_sit(bike, u(rng));
    bike_set_lean(bike, u(rng) * 2 - 1);
    bike_set_back_up(bike, u(rng) < 0.05f ? 1.0f : 0.0f);
    if (tick % 16 == 0)
        bike_shift(bike, (int)(u(rng) * 3) - 1);
}

// Rough ground large enough that a bike ridden flat out for a minute stays
// over it (8192 ft square).
std::unique_ptr<Terrain> rough_terrain()
{
    return make_terrain(10, 4, [](float x, float z) {
        return 20 + 3 * sinf(x * 0.05f) * cosf(z * 0.043f) + 0.6f * sinf(x * 0.31f + z * 0.17f) +
               (fmodf(x + z, 97) < 3 ? 2.0f : 0.0f);
    });
}

std::vector<double> body_state(const Bike *bike)
{
    std::vector<double> s;
    for (dBodyID b : bike->bodies) {
        const dReal *arrays[4] = {dBodyGetPosition(b), dBodyGetQuaternion(b), dBodyGetLinearVel(b),
                                  dBodyGetAngularVel(b)};
        for (int a = 0; a < 4; a++)
            for (int k = 0; k < (a == 1 ? 4 : 3); k++)
                s.push_back(arrays[a][k]);
    }
    s.push_back(bike->engine_speed);
    s.push_back(bike->crank_angle);
    return s;
}

std::vector<double> deterministic_run(const Terrain *t, int ticks)
{
    WorldScope world;
    Bike *bikes[2] = {create_bike("crf450(2013)", 0, "1", nullptr, nullptr, nullptr, nullptr),
                      create_bike("rs50yz", 1, "2", nullptr, nullptr, nullptr, nullptr)};
    bikes[0]->options |= OPTION_AUTO_SHIFT | OPTION_DAB_WHEN_STOPPED;
    for (Bike *b : bikes)
        attach_test_shapes(b);
    place_bike(bikes[0], 200, 20, 300);
    place_bike(bikes[1], 260, 20, 300);
    std::mt19937 rng(1234);
    for (int i = 0; i < ticks; i++) {
        for (Bike *b : bikes)
            scripted_inputs(b, rng, i);
        sim_tick(bikes, 2, t);
        sim_race.tick++;
    }
    std::vector<double> s = body_state(bikes[0]);
    std::vector<double> s2 = body_state(bikes[1]);
    s.insert(s.end(), s2.begin(), s2.end());
    for (Bike *b : bikes)
        destroy_bike(b);
    return s;
}

TEST(Bike, DeterministicAfterTenThousandTicks)
{
    auto t = rough_terrain();
    std::vector<double> a = deterministic_run(t.get(), 10000);
    std::vector<double> b = deterministic_run(t.get(), 10000);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
}

// Random controls every tick: never a non-finite state, never a body far
// outside the terrain. ZV_SIM_ROBUST_RUNS and ZV_SIM_ROBUST_SECONDS change the load.
TEST(Bike, RandomInputsStayFiniteAndInside)
{
    const char *runs_env = getenv("ZV_SIM_ROBUST_RUNS");
    const char *seconds_env = getenv("ZV_SIM_ROBUST_SECONDS");
    int runs = runs_env ? atoi(runs_env) : 200;
    int seconds = seconds_env ? atoi(seconds_env) : 60;
    auto t = rough_terrain();
    double extent = t->extent;
    WorldScope world;
    const char *models[] = {"crf450(2013)", "yz250f(2013)", "rs50yz", "kx125", "cr250(2007)"};
    int crashes = 0;
    for (int run = 0; run < runs; run++) {
        Bike *bike = create_bike(models[run % 5], run, "1", nullptr, nullptr, nullptr, nullptr);
        bike->options = (uint8_t)(run * 37);
        if (run % 4 != 1)
            attach_test_shapes(bike);
        bike->options2 = (uint8_t)(run % 7 == 3);
        std::mt19937 rng((unsigned)run);
        std::uniform_real_distribution<double> place(0.45, 0.55);
        double x = place(rng) * extent, z = place(rng) * extent;
        place_bike(bike, x, terrain_height_at(t.get(), (float)x, (float)z), z);
        double axis[3] = {0, 1, 0};
        bike_rotate(bike, axis, 0);
        sim_race = {0, 0, true, nullptr, nullptr};
        Bike *list[1] = {bike};
        for (int i = 0; i < seconds * 128; i++) {
            scripted_inputs(bike, rng, i);
            if (getenv("ZV_SIM_ROBUST_TRACE") && (i & 511) == 0)
                printf("run %d t %d z %.0f vz %.1f y %.1f crash %d\n", run, i / 128,
                       dBodyGetPosition(bike->bodies[BODY_FRAME])[2], dBodyGetLinearVel(bike->bodies[BODY_FRAME])[2],
                       dBodyGetPosition(bike->bodies[BODY_FRAME])[1], bike->crash_timer);
            sim_tick(list, 1, t.get());
            sim_race.tick++;
            if ((i & 127) == 0) {
                ASSERT_TRUE(bike_state_finite(bike)) << "run " << run << " tick " << i;
                const dReal *fp = dBodyGetPosition(bike->bodies[BODY_FRAME]);
                for (dBodyID b : bike->bodies) {
                    const dReal *p = dBodyGetPosition(b);
                    // Joints hold: no body strays from the frame.
                    double d2 = (p[0] - fp[0]) * (p[0] - fp[0]) + (p[1] - fp[1]) * (p[1] - fp[1]) +
                                (p[2] - fp[2]) * (p[2] - fp[2]);
                    ASSERT_LT(d2, 30 * 30) << "run " << run << " tick " << i;
                    ASSERT_GT(p[0], -extent) << run;
                    ASSERT_LT(p[0], 2 * extent) << run;
                    ASSERT_GT(p[2], -extent) << run << " tick " << i << " v "
                                             << dBodyGetLinearVel(bike->bodies[BODY_FRAME])[2];
                    ASSERT_LT(p[2], 2 * extent) << run;
                    ASSERT_GT(p[1], t->low_height - extent) << run;
                    ASSERT_LT(p[1], 40 + extent) << run;
                }
            }
        }
        EXPECT_EQ(bike->nonfinite_resets, 0) << "run " << run;
        if (getenv("ZV_SIM_ROBUST_PROGRESS") && run % 250 == 249)
            printf("runs done %d\n", run + 1), fflush(stdout);
        crashes += bike->crash_count;
        destroy_bike(bike);
    }
    RecordProperty("crashes", crashes);
}

}  // namespace
