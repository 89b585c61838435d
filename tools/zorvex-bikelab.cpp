// zorvex-bikelab: rides one bike model through standard scripted rides on a
// flat test ground or a track's terrain and prints its figures as name=value.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <sys/stat.h>

#include "race/gates.h"
#include "sim/bike.h"
#include "sim/engine.h"
#include "track/surface.h"
#include "track/terrain.h"

namespace {

const double MPH = 22.0 / 15.0;  // ft/s per mph

struct Lab {
    Terrain *terrain;
    double start[3];
    double heading;  // about +y; 0 rides toward -z
    std::string model;
    bool auto_shift;
};

struct Ride {
    Bike *bike;
    bool crashed;
    double seconds;
};

Ride start_ride(const Lab &lab)
{
    sim_world_destroy();
    sim_world_create();
    sim_race = {0, 0, true, nullptr, nullptr};
    Ride ride = {create_bike(lab.model.c_str(), 0, "1", nullptr, nullptr, nullptr, nullptr), false, 0};
    bike_reset(ride.bike);
    const double up[3] = {0, 1, 0};
    bike_rotate(ride.bike, up, lab.heading);
    bike_translate(ride.bike, lab.start[0], lab.start[1], lab.start[2]);
    if (lab.auto_shift)
        ride.bike->options |= OPTION_AUTO_SHIFT;
    return ride;
}

void tick(const Lab &lab, Ride &ride)
{
    Bike *list[1] = {ride.bike};
    sim_tick(list, 1, lab.terrain);
    sim_race.tick++;
    ride.seconds += SIM_STEP;
    if (ride.bike->crash_timer > 0 || ride.bike->nonfinite_resets > 0)
        ride.crashed = true;
}

void end_ride(Ride &ride)
{
    destroy_bike(ride.bike);
    ride.bike = nullptr;
}

// Full throttle from a standstill: the time to 60 mph and the top speed.
void accelerate(const Lab &lab, Ride &ride, double until_mph, double max_seconds)
{
    Bike *b = ride.bike;
    bike_set_clutch(b, 1);
    bike_set_throttle(b, 1);
    // Manual shifting at the upshift point unless the automatic shifting runs.
    while (ride.seconds < max_seconds && !ride.crashed) {
        tick(lab, ride);
        if (!lab.auto_shift) {
            bike_shift(b, 0);
            if (bike_rpm(b) > b->model.upshift_rpm)
                bike_shift(b, 1);
        }
        if (bike_speed_mph(b) >= until_mph)
            break;
    }
}

double predicted_top_speed_mph(const BikeModel *m)
{
    int top = 0;
    for (int g = 0; g < GEAR_COUNT; g++)
        if (m->gear_ratios[g] > 0)
            top = g;
    double final_drive = fmax(3, floor(m->rear_sprocket_teeth)) / fmax(3, floor(m->countershaft_teeth));
    double ratio = m->gear_ratios[top] * m->primary_ratio * final_drive;
    double wheel = m->redline_rpm / RAD_S_TO_RPM / ratio;
    return wheel * (m->rear_tyre_major_radius + m->rear_tyre_minor_radius) / MPH;
}

bool flat_test_ground(Terrain *t)
{
    // Heights continue outward from the edges, so a small grid is flat everywhere.
    if (!terrain_allocate(t, 4, 4, 0, 0))
        return false;
    for (SurfaceType &s : t->surfaces)
        default_surface_type(&s);
    t->surface_count = 1;
    return true;
}

void usage()
{
    fprintf(stderr, "usage: zorvex-bikelab [--track DIR] [--bike NAME] [--auto-shift]\n");
}

}  // namespace

int main(int argc, char **argv)
{
    Lab lab = {nullptr, {0, 0, 0}, 0, "crf450(2013)", false};
    const char *track = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--track") && i + 1 < argc)
            track = argv[++i];
        else if (!strcmp(argv[i], "--bike") && i + 1 < argc)
            lab.model = argv[++i];
        else if (!strcmp(argv[i], "--auto-shift"))
            lab.auto_shift = true;
        else {
            usage();
            return 2;
        }
    }
    auto terrain = std::make_unique<Terrain>();
    if (track) {
        // A directory on disk, else a track of the data set ("rabbithill").
        struct stat info;
        std::string path = track;
        if (path[0] != '@' && (stat(track, &info) != 0 || !S_ISDIR(info.st_mode)))
            path = "@" + path;
        if (path.back() != '/')
            path += '/';
        if (!load_terrain(terrain.get(), path.c_str(), TEXTURE_METHOD_COPY)) {
            fprintf(stderr, "zorvex-bikelab: cannot load the terrain of %s\n", track);
            return 1;
        }
        // On the first starting position with its heading; a track without
        // gates is ridden from its centre toward -z.
        double centre = terrain->extent / 2;
        lab.start[0] = centre, lab.start[2] = centre;
        read_timing_gates((path + "timing_gates").c_str());
        if (!gate_tables.starts.empty()) {
            const StartPosition &s = gate_tables.starts[0];
            lab.start[0] = s.x, lab.start[2] = s.z;
            lab.heading = s.heading;
        }
        lab.start[1] = terrain_height_at(terrain.get(), (float)lab.start[0], (float)lab.start[2]);
    } else if (!flat_test_ground(terrain.get())) {
        fprintf(stderr, "zorvex-bikelab: cannot make the test ground\n");
        return 1;
    }
    lab.terrain = terrain.get();
    if (!sim_world_create()) {
        fprintf(stderr, "zorvex-bikelab: cannot create the dynamics world\n");
        return 1;
    }
    const BikeModel *model = find_bike_model(lab.model.c_str());
    lab.model = model->name;
    printf("bike=%s\n", model->name);

    // Ride 1: 0-60 mph, then on to the top speed.
    Ride ride = start_ride(lab);
    for (int i = 0; i < 128; i++)  // settle into the sag
        tick(lab, ride);
    ride.seconds = 0;
    accelerate(lab, ride, 60, 30);
    double zero_to_60 = bike_speed_mph(ride.bike) >= 60 ? ride.seconds : -1;
    double top = 0, last_gain_time = ride.seconds;
    while (!ride.crashed && ride.seconds < 90 && ride.seconds - last_gain_time < 5) {
        accelerate(lab, ride, 1e9, ride.seconds + SIM_STEP);
        double v = bike_speed_mph(ride.bike);
        if (v > top + 0.05) {
            top = v;
            last_gain_time = ride.seconds;
        }
    }
    bool crashed_accel = ride.crashed;
    end_ride(ride);

    // Ride 2: from 60 mph, both brakes and the clutch pulled.
    ride = start_ride(lab);
    for (int i = 0; i < 128; i++)
        tick(lab, ride);
    accelerate(lab, ride, 60, 40);
    double brake_s = -1, brake_ft = -1;
    if (!ride.crashed && bike_speed_mph(ride.bike) >= 60) {
        Bike *b = ride.bike;
        const dReal *p = dBodyGetPosition(b->bodies[BODY_FRAME]);
        double x0 = p[0], z0 = p[2], t0 = ride.seconds;
        bike_set_throttle(b, 0);
        bike_set_clutch(b, 0);
        bike_set_front_brake(b, 1);
        bike_set_rear_brake(b, 1);
        while (!ride.crashed && ride.seconds - t0 < 30 && bike_speed_mph(b) > 0.1)
            tick(lab, ride);
        if (bike_speed_mph(b) <= 0.1) {
            p = dBodyGetPosition(b->bodies[BODY_FRAME]);
            brake_s = ride.seconds - t0;
            brake_ft = hypot(p[0] - x0, p[2] - z0);
        }
    }
    bool crashed_brake = ride.crashed;
    end_ride(ride);

    // Ride 3: a steady circle at 30 mph, the rider holding a constant lean.
    ride = start_ride(lab);
    for (int i = 0; i < 128; i++)
        tick(lab, ride);
    accelerate(lab, ride, 30, 30);
    double radius = -1;
    {
        Bike *b = ride.bike;
        double yaw_sum = 0, speed_sum = 0;
        int samples = 0;
        double t0 = ride.seconds;
        while (!ride.crashed && ride.seconds - t0 < 12) {
            double v = bike_speed_mph(b);
            bike_set_throttle(b, (float)(0.3 + (30 - v) * 0.2));
            // The rider holds a lean of 0.35 rad to the right.
            double target = -0.35 * fmin(1, (ride.seconds - t0) / 2);
            bike_set_steer(b, (float)(0.1 + 3 * (bike_lean_angle(b) - target)));
            tick(lab, ride);
            if (ride.seconds - t0 > 8) {
                const dReal *w = dBodyGetAngularVel(b->bodies[BODY_FRAME]);
                const dReal *lv = dBodyGetLinearVel(b->bodies[BODY_FRAME]);
                yaw_sum += w[1];
                speed_sum += hypot(lv[0], lv[2]);
                samples++;
            }
        }
        if (samples && fabs(yaw_sum) > 1e-9)
            radius = fabs(speed_sum / yaw_sum);
        printf("turn_speed_mph=%.2f\n", samples ? speed_sum / samples / MPH : 0.0);
    }
    bool crashed_turn = ride.crashed;
    end_ride(ride);

    printf("zero_to_60_mph_s=%.3f\n", zero_to_60);
    printf("top_speed_mph=%.2f\n", top);
    printf("predicted_top_speed_mph=%.2f\n", predicted_top_speed_mph(model));
    printf("brake_60_to_0_s=%.3f\n", brake_s);
    printf("brake_60_to_0_ft=%.1f\n", brake_ft);
    printf("turn_radius_ft_at_30mph=%.1f\n", radius);
    printf("crashed_zero_to_60=%d\n", crashed_accel ? 1 : 0);
    printf("crashed_brake=%d\n", crashed_brake ? 1 : 0);
    printf("crashed_turn=%d\n", crashed_turn ? 1 : 0);
    printf("crashed=%d\n", (crashed_accel || crashed_brake || crashed_turn) ? 1 : 0);
    sim_world_destroy();
    return 0;
}
