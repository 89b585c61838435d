// Rider control and stability aids: the rider body springs, the steering
// controller with its locks, the steering damper, arcade steering, dabbing,
// holding and pushing, backing up, dab support and realigning after a fall.
#pragma once

struct Bike;
struct Terrain;

// Fore-aft target of the rider body for vertical offset v (sit 0..1, lean -1..1).
double rider_fore_aft_target(double sit, double lean, double v);
// Vertical spring extension e; the rest point is where e = 0.
double rider_vertical_extension(double sit, double v);

// Steering lock (rad) at front wheel speed w on a surface of first friction coefficient `grip`.
double steering_lock_angle(const Bike *bike, double w, double grip);
// Lean-angle gain g of the lean-rate control (power 4) and of the dab support (power 32, before x1.25).
double lean_gain(double speed2, double max_dab_speed, double roll_limit_angle, int power);
// Walking rhythm 0..1 of backing up.
double backing_phase(int tick, int start_tick);

// Per-step parts of bike_step.
void rider_springs(Bike *bike);
void steering_update(Bike *bike, const Terrain *terrain);
void arcade_update(Bike *bike);
void steering_damper(Bike *bike);
// Backing up, dab when stopped and holding (may overwrite sit and brakes for the step).
void rider_placement(Bike *bike, const Terrain *terrain, int tick);
void dab_support(Bike *bike, const Terrain *terrain);

// Horizontal force on the frame toward target horizontal velocity (tx, tz).
void holding_force(Bike *bike, double tx, double tz);
// Adds tau about the steering axis: to the front wheel, and its negative to the frame.
void apply_steer_torque(Bike *bike, double tau);
// Realign target until riding lines exist: the next timing gate's centre.
// False when the track has no timing.
bool realign_target_next_gate(const Bike *bike, double target[3]);
// Front wheel's slip angle seen from the steering body.
double front_drift_angle(const Bike *bike);
