// Crashes (the rider coming off), the tether spring and the rider's feet.
#pragma once
#include <ode/ode.h>

struct Bike;
struct Terrain;

// One-sided spring (k 5000, c 500) pulling point a of body A and point b of
// body B together once they are more than `length` apart. B may be null (world).
void tether(dBodyID a_body, const double a_local[3], dBodyID b_body, const double b_local[3], double length);

// Detaches the rider, starts the crash countdown.
void crash_start(Bike *bike, const Terrain *terrain);
// Impact and jolt tests; starts a crash when either holds. True when it did.
bool crash_detection(Bike *bike, const Terrain *terrain, int tick);
// Tethers, countdown, reel-in and putting the rider back.
void crash_handling(Bike *bike);
// Places the rider body in its seat with the frame's rotation and attaches the mount.
void seat_rider(Bike *bike);

// Foot positions and how firmly each is planted (0..1).
void feet_pose(const Bike *bike, const Terrain *terrain, double left[3], double right[3], double weights[2]);
void feet_update(Bike *bike, const Terrain *terrain);
