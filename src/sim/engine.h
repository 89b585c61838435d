// Engine torque, clutch and drive line, gear changes, sprockets and brakes.
#pragma once

struct Bike;
struct BikeModel;

constexpr double RAD_S_TO_RPM = 9.549296;

// Torque (ft-lb) of the model's curves at `rpm`, blended by throttle 0..1.
double engine_curve_torque(const BikeModel *model, double rpm, double throttle);
// The bike's engine torque at its current rpm and throttle, with the stop-wheelies cut.
double engine_torque(const Bike *bike);

// Clutch engagement with the automatic clutch (before the push-back rule).
double auto_clutch_engagement(double rpm, double auto_clutch_rpm, double clutch_input);

// Gear index after moving `delta` from `gear`: clamped to 0..5, then down past missing gears.
int step_gear(const BikeModel *model, int gear, int delta);

// Overall ratio from engine to rear wheel in the current gear.
double overall_ratio(const Bike *bike);

// Offsets are clamped to -2..+2 teeth; each sprocket at least 3 teeth.
void set_sprockets(Bike *bike, double countershaft_offset, double rear_offset);
void set_auto_clutch_rpm(Bike *bike, double rpm);
void set_braking_torque(Bike *bike, double front, double rear);

// Per-step updates inside bike_step.
void auto_shift_update(Bike *bike, int tick);
void drive_update(Bike *bike);
void brakes_update(Bike *bike);
