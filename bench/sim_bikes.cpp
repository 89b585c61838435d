// Ticks per second of the bike simulation with 1, 40 and 160 bikes riding,
// and the share of the time spent in the dynamics world's own step.
#include <ctime>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "sim/bike.h"
#include "sim/ground.h"
#include "track/surface.h"
#include "track/terrain.h"

namespace {

// Time this thread has run: the machine is shared, so wall time would count
// other programs' work.
double cpu_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

struct Timing {
    double total_s;
    double ode_s;
    int ticks;
};

Timing ride(const Terrain *terrain, int count, int ticks)
{
    sim_world_destroy();
    sim_world_create();
    sim_race = {0, 0, true, nullptr, nullptr};
    std::vector<Bike *> bikes;
    const char *models[] = {"crf450(2013)", "yz250f(2013)", "cr125", "rs50yz", "yz250(2012)"};
    for (int i = 0; i < count; i++) {
        Bike *b = create_bike(models[i % 5], i, "1", nullptr, nullptr, nullptr, nullptr);
        bike_reset(b);
        bike_translate(b, (i % 16) * 12.0, terrain_height_at(terrain, (i % 16) * 12.0f, (i / 16) * 14.0f) + 0.0,
                       (i / 16) * 14.0);
        b->options |= OPTION_AUTO_SHIFT;
        bikes.push_back(b);
    }
    Timing t = {0, 0, ticks};
    for (int k = 0; k < ticks; k++) {
        for (Bike *b : bikes) {
            // A rider who keeps the bike upright and rides at part throttle.
            bike_set_clutch(b, 1);
            bike_set_throttle(b, bike_speed_mph(b) < 35 ? 0.6f : 0.1f);
            bike_set_steer(b, (float)(3 * bike_lean_angle(b) + 0.05 * sin(k * 0.01 + b->slot_id)));
        }
        auto t0 = cpu_seconds();
        for (Bike *b : bikes)
            if (b->physics_level > 0.25f)
                bike_terrain_collision(b, terrain);
        auto t1 = cpu_seconds();
        dWorldQuickStep(sim_world.world, SIM_STEP);
        auto t2 = cpu_seconds();
        dJointGroupEmpty(sim_world.contact_group);
        for (Bike *b : bikes) {
            if (!bike_state_finite(b)) {
                b->nonfinite_resets++;
                bike_reset(b);
                continue;
            }
            bike_step(b, terrain);
        }
        auto t3 = cpu_seconds();
        sim_race.tick++;
        t.total_s += t3 - t0;
        t.ode_s += t2 - t1;
    }
    for (Bike *b : bikes)
        destroy_bike(b);
    return t;
}

}  // namespace

int main()
{
    auto terrain = std::make_unique<Terrain>();
    terrain_allocate(terrain.get(), 7, 4, 0, 0);
    for (SurfaceType &s : terrain->surfaces)
        default_surface_type(&s);
    terrain->surface_count = 1;
    int n = terrain->grid_size;
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++)
            terrain->heights[(size_t)j * n + i] = 10 + 1.5f * sinf(i * 0.3f) * cosf(j * 0.21f);
    Timing one = ride(terrain.get(), 1, 2560);
    Timing forty = ride(terrain.get(), 40, 768);
    Timing many = ride(terrain.get(), 160, 384);
    printf("ticks_per_s_1=%.0f\n", one.ticks / one.total_s);
    printf("ticks_per_s_40=%.0f\n", forty.ticks / forty.total_s);
    printf("ticks_per_s_160=%.0f\n", many.ticks / many.total_s);
    printf("ode_only_ticks_per_s_160=%.0f\n", many.ticks / many.ode_s);
    printf("sim_to_ode_ratio_160=%.3f\n", many.total_s / many.ode_s);
    sim_world_destroy();
    return 0;
}
