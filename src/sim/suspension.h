// Fork and shock: coefficients from the setup, the damping law, the fork's
// air spring and top-out fade, the shock linkage, and the joint motors.
#pragma once

struct Bike;
struct BikeModel;

// Force of the position- and speed-sensitive damper (lb, or lb per unit of
// stroke); v is the stroke velocity, negative while compressing.
double damping_law(double v, double hsc, double lsc, double hsr, double lsr);

// Air spring of the fork at slider position p (0 extended, -travel compressed).
double fork_air_spring(double p, double travel, double gap);

// Force of the whole fork at slider position p and rate v (lb).
struct ForkCoefficients {
    double hsc, lsc, hsr, lsr, k, preload, gap, travel;
};
double fork_force(const ForkCoefficients &c, double p, double v);

// Shock stroke S and slope D (stroke per unit of travel fraction) at travel fraction u.
void linkage_curve(const BikeModel *model, double u, double *stroke, double *slope);

// Torque of the shock on the pivot at hinge angle theta and rate omega.
struct ShockCoefficients {
    double hsc, lsc, hsr, lsr, k, preload;
};
double shock_torque(const BikeModel *model, const ShockCoefficients &c, double theta, double omega);

// Setup value (0..100) to the argument of the setters.
double suspension_hs_factor(double setting);   // 0.25 .. 4
double suspension_ls_offset(double setting);   // -1 .. 1
double suspension_fraction(double setting);    // 0 .. 1

// Coefficients from factors and offsets (clamped).
void set_fork(Bike *bike, double hsc_factor, double lsc_offset, double hsr_factor, double lsr_offset, double spring,
              double preload, double oil_level);
void set_shock(Bike *bike, double hsc_factor, double lsc_offset, double hsr_factor, double lsr_offset, double spring,
               double preload);

// The per-step motor updates (fork first).
void fork_update(Bike *bike);
void shock_update(Bike *bike);

// Fork travel fraction, fork velocity, fork low-speed share, swingarm travel
// fraction, shock velocity, shock low-speed share.
void suspension_samples(const Bike *bike, float samples[6]);
