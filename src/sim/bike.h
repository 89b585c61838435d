// The rigid-body bike: the shared dynamics world, the Bike record with its
// bodies, joints, inputs and setup, placing and resetting, physics levels,
// input setters and queries, and the per-tick step.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <ode/ode.h>

#include "sim/bike_look.h"
#include "sim/bike_models.h"

struct Terrain;
struct CollisionShape;

enum { BIKE_BODIES = 7, BIKE_JOINTS = 6 };
enum BikeBody { BODY_FRAME, BODY_FRONT_WHEEL, BODY_REAR_WHEEL, BODY_STEER, BODY_FORK_LOWER, BODY_SWINGARM, BODY_RIDER };
enum BikeJoint { JOINT_FRONT_AXLE, JOINT_REAR_AXLE, JOINT_STEER, JOINT_FORK, JOINT_PIVOT, JOINT_RIDER_MOUNT };
enum BikeShape { SHAPE_FRAME, SHAPE_FORK_UPPER, SHAPE_FORK_LOWER, SHAPE_SWINGARM, SHAPE_RIDER, SHAPE_FRONT_WHEEL, SHAPE_REAR_WHEEL };

// Option flags, first byte.
enum {
    OPTION_AIR_STEERING = 1 << 0,
    OPTION_STOP_WHEELIES = 1 << 1,
    OPTION_STOP_STOPPIES = 1 << 2,
    OPTION_FRONT_ANTILOCK = 1 << 3,
    OPTION_REAR_ANTILOCK = 1 << 4,
    OPTION_AUTO_SHIFT = 1 << 5,
    OPTION_DAB_WHEN_STOPPED = 1 << 6,
    OPTION_REALIGN = 1 << 7,
};
// Option flags, second byte.
enum { OPTION2_ARCADE = 1 << 0 };

// Fixed step of the world: 1/128 s.
constexpr double SIM_STEP = 1.0 / 128.0;

// Ground contact of one tyre, written by the terrain collision each tick.
struct WheelState {
    dBodyID body;
    float one;          // always 1
    float unused[2];
    float major_radius;
    float minor_radius;
    float point[3];     // contact point
    float velocity[3];  // velocity of the wheel body at the contact point
    float normal[3];
    float depth;        // > 0 while the tyre touches the ground
    dJointFeedback feedback;  // of this tick's contact joint
};

// Rider and handling settings (setters clamp; defaults in create_bike).
struct BikeSetup {
    float roll_damping;
    float leveling;
    float roll_limit_factor;
    float roll_limit_angle;
    float steering_damping;
    float steering_strength;
    float max_steering_force;
    float direct_steering;
    float slow_damping_speed;
    float slow_damping_factor;
    float landing_damping_falloff;
    float landing_damping_factor;
    float auto_clutch_rpm;
    float front_braking_torque;
    float rear_braking_torque;
    float max_dab_speed;  // ft/s
    float full_lock_speed;
    float restricted_lock_speed;
    float restricted_lock_angle;
};

struct Bike {
    BikeModel model;

    dBodyID bodies[BIKE_BODIES];
    dJointID joints[BIKE_JOINTS];
    dJointFeedback feedback[BIKE_JOINTS];

    WheelState wheels[2];  // front, rear

    // Rider inputs.
    float throttle;     // 0..1
    float clutch;       // 0..1, 1 = engaged
    float front_brake;  // 0..1
    float rear_brake;   // 0..1
    float steer;        // -1..1
    float sit;          // 0..1 (sit/dab)
    float dab_blend;    // 0..1
    float back_up;      // 0..1
    float lean;         // -1..1, positive leans back

    // Drivetrain.
    int gear;           // 0..5
    int last_shift;     // -1, 0, +1
    float crank_angle;  // rad, -pi..pi
    float engine_speed; // rad/s
    float engine_inertia;
    float final_drive;

    // Suspension and rider-coupling coefficients.
    float fork_hsc, fork_lsc, fork_hsr, fork_lsr, fork_k, fork_preload, fork_gap;
    float shock_hsc, shock_lsc, shock_hsr, shock_lsr, shock_k, shock_preload;
    float rider_vertical_spring, rider_vertical_damping, rider_forward_spring, rider_forward_damping;
    float rider_mass_distribution;  // d, share of the rider's mass in the rider body

    // Race progress (the timing gates keep these).
    int gates_passed;
    std::vector<int> gate_ticks;

    BikeSetup setup;

    // Appearance: this bike's copies of the collision shapes (null when a
    // shape file was missing), and the part models, skins and plate.
    CollisionShape *shapes[7];
    BikeLook look;
    char plate_text[8];
    int slot_id;

    // Runtime state.
    bool stopped_after_start;
    float landing_multiplier;
    int crash_timer;     // steps, 0 = riding
    int crash_count;
    float feet[2][3];    // left, right
    float feet_velocity[2][3];
    float rider_velocity_ring[4][3];  // indexed by tick mod 4
    bool gate_check;
    float recover_timer;  // steps
    float steer_lock_fraction;
    float physics_level;  // 1 simulated, <= 0.25 frozen
    bool finished;
    double total_mass;
    int nonfinite_resets;  // times the state went non-finite and the bike was reset

    // The erosion trail (roost and ruts) is added with the ground wear.

    uint8_t options;
    uint8_t options2;
};

// The world shared by all bikes (per process, from sim_world_create to sim_world_destroy).
struct SimWorld {
    dWorldID world;
    dJointGroupID contact_group;
};
extern SimWorld sim_world;

// What the step needs to know of the race (per race, kept by the race rules).
struct SimRace {
    int tick;           // race clock
    int start_tick;     // tick at which the gate dropped
    bool running;       // the race has started and is not over
    // Position the bike should face after a fall (next gate or riding line);
    // false when there is none. Defaults to the next timing gate.
    bool (*realign_target)(const Bike *bike, double target[3]);
    // Whether the finish rule holds for this bike (leader finished and this
    // bike crossed a gate since).
    bool (*finish_rule)(const Bike *bike);
};
extern SimRace sim_race;

// Extra crash time per crash count (steps), set by a race server.
extern int extra_crash_time[16];

// Creates the world (initialises ODE on first use). False on failure.
bool sim_world_create();
void sim_world_destroy();
// Restarts the solver's constraint-shuffling generator, so that a run
// repeated from the same state gives the same bytes (race reset calls it).
void sim_reset_random();

// The skins are data names or null. Headless (no `bike_graphics`) no
// texture is loaded; the models and plate colours are found all the same.
Bike *create_bike(const char *model_name, int slot_id, const char *plate_text, const char *rider_body_skin,
                  const char *rider_head_skin, const char *bike_skin, const char *wheels_skin);
void destroy_bike(Bike *bike);

void bike_reset(Bike *bike);
void bike_translate(Bike *bike, double dx, double dy, double dz);
void bike_rotate(Bike *bike, const double axis[3], double angle);

void bike_activate(Bike *bike);
void bike_deactivate(Bike *bike);
void bike_toggle(Bike *bike);
void bike_fade(Bike *bike);

// Input setters (each clamps to its range).
void bike_set_throttle(Bike *bike, float value);
void bike_set_clutch(Bike *bike, float value);
void bike_set_front_brake(Bike *bike, float value);
void bike_set_rear_brake(Bike *bike, float value);
void bike_set_steer(Bike *bike, float value);
void bike_set_sit(Bike *bike, float value);
void bike_set_dab_blend(Bike *bike, float value);
void bike_set_back_up(Bike *bike, float value);
void bike_set_lean(Bike *bike, float value);
void bike_shift(Bike *bike, int direction);
void bike_set_gear(Bike *bike, int gear);

// Queries.
dBodyID bike_frame_body(const Bike *bike);
dBodyID bike_rider_body(const Bike *bike);
int bike_gear(const Bike *bike);
float bike_rpm(const Bike *bike);
float bike_speed_mph(const Bike *bike);
const char *bike_class(const Bike *bike);
const char *bike_model_name(const Bike *bike);
const char *bike_plate_text(const Bike *bike);

// Rider mass distribution d (0.33..0.5): re-masses the frame and rider body.
void bike_set_mass_distribution(Bike *bike, float d);

// One bike's update for the tick (after the world step).
void bike_step(Bike *bike, const Terrain *terrain);

// One tick of the simulation for the given bikes: terrain collision, world
// step, contact group emptied, per-bike step. Bikes that went non-finite are
// reset (and logged). The race clock in sim_race is not advanced here.
void sim_tick(Bike *const *bikes, int count, const Terrain *terrain);

// True when every body's position, rotation and velocities are finite.
bool bike_state_finite(const Bike *bike);

// Helpers shared by the bike's units.
void body_point_world(dBodyID body, const double local[3], double out[3]);
void frame_axes(const Bike *bike, double x[3], double y[3], double z[3]);
bool bike_crashed(const Bike *bike);
// Frame roll angle: 0 upright; its sign tells the side.
double bike_lean_angle(const Bike *bike);
