// The bike's bodies and joints in the shared world, placing and resetting,
// physics levels, inputs and queries, and the per-tick order of work.
#include "sim/bike.h"

#include <cmath>
#include <cstring>

#include "platform/log.h"
#include "sim/crash.h"
#include "sim/engine.h"
#include "sim/ground.h"
#include "sim/rider.h"
#include "sim/shape.h"
#include "sim/sim_math.h"
#include "sim/suspension.h"

SimWorld sim_world = {nullptr, nullptr};
SimRace sim_race = {0, 0, false, realign_target_next_gate, nullptr};
int extra_crash_time[16] = {};

static bool ode_ready = false;

bool sim_world_create()
{
    if (sim_world.world)
        return true;
    if (!ode_ready) {
        if (!dInitODE2(0))
            return false;
        ode_ready = true;
    }
    sim_world.world = dWorldCreate();
    dWorldSetGravity(sim_world.world, 0, -32, 0);
    sim_world.contact_group = dJointGroupCreate(0);
    sim_reset_random();
    return true;
}

void sim_reset_random()
{
    // The solver shuffles its constraints with this generator.
    dRandSetSeed(0);
}

void sim_world_destroy()
{
    if (!sim_world.world)
        return;
    dJointGroupDestroy(sim_world.contact_group);
    dWorldDestroy(sim_world.world);
    sim_world.world = nullptr;
    sim_world.contact_group = nullptr;
}

// --- helpers ---------------------------------------------------------------------

void body_point_world(dBodyID body, const double local[3], double out[3])
{
    dVector3 w;
    dBodyGetRelPointPos(body, local[0], local[1], local[2], w);
    out[0] = w[0], out[1] = w[1], out[2] = w[2];
}

void frame_axes(const Bike *bike, double x[3], double y[3], double z[3])
{
    const dReal *r = dBodyGetRotation(bike->bodies[BODY_FRAME]);
    x[0] = r[0], x[1] = r[4], x[2] = r[8];
    y[0] = r[1], y[1] = r[5], y[2] = r[9];
    z[0] = r[2], z[1] = r[6], z[2] = r[10];
}

bool bike_crashed(const Bike *bike)
{
    return bike->crash_timer > 0;
}

double bike_lean_angle(const Bike *bike)
{
    double x[3], u[3], z[3];
    frame_axes(bike, x, u, z);
    double fx = -z[0], fz = -z[2];
    double h = sqrt(fx * fx + fz * fz);
    if (h < 1e-12)
        return 0;
    double p[3] = {-fz / h, 0, fx / h};
    return acos(clampd(dot3(u, p), -1, 1)) - M_PI / 2;
}

// --- masses ----------------------------------------------------------------------

static void centre_mass(dMass *m)
{
    // The parts are symmetric about the body origin; drop the rounding residue.
    m->c[0] = m->c[1] = m->c[2] = 0;
}

static void wheel_mass(dMass *total, float hub_mass, float hub_radius, float ring_mass, float major, float minor)
{
    dMassSetSphereTotal(total, hub_mass, hub_radius);
    dMass sphere;
    dMassSetSphereTotal(&sphere, ring_mass / 16.0, minor);
    dMassTranslate(&sphere, 0, major, 0);
    dMatrix3 step;
    dRFromAxisAndAngle(step, 1, 0, 0, M_PI / 8);
    for (int i = 0; i < 16; i++) {
        dMassAdd(total, &sphere);
        dMassRotate(&sphere, step);
    }
    centre_mass(total);
}

static void frame_and_rider_mass(Bike *bike)
{
    const BikeModel &m = bike->model;
    double d = bike->rider_mass_distribution;
    dMass mass;
    dMassSetBoxTotal(&mass, m.frame_mass + (1 - d) * m.rider_mass, m.frame_size[0], m.frame_size[1], m.frame_size[2]);
    dBodySetMass(bike->bodies[BODY_FRAME], &mass);
    dMassSetSphereTotal(&mass, d * m.rider_mass, 1);
    dBodySetMass(bike->bodies[BODY_RIDER], &mass);
}

static void sum_mass(Bike *bike)
{
    double total = 0;
    for (dBodyID b : bike->bodies) {
        dMass m;
        dBodyGetMass(b, &m);
        total += m.mass;
    }
    bike->total_mass = total;
}

// --- creation --------------------------------------------------------------------

static void default_setup(Bike *bike)
{
    const BikeModel &m = bike->model;
    double cs = fmax(3, floor(m.countershaft_teeth)), rear = fmax(3, floor(m.rear_sprocket_teeth));
    bike->final_drive = (float)(rear / cs);
    set_fork(bike, 1, 0, 1, 0, 0.5, 0.5, 0);
    set_shock(bike, 1, 0, 1, 0, 0.5, 0.5);
    bike->rider_vertical_spring = bike->rider_vertical_damping = 0.5f;
    bike->rider_forward_spring = bike->rider_forward_damping = 0.5f;
    BikeSetup &s = bike->setup;
    s.direct_steering = 1;
    s.leveling = 20;
    s.roll_damping = 60;
    s.steering_damping = 45;
    s.steering_strength = 75;
    s.max_steering_force = 400;
    s.auto_clutch_rpm = 5000;
    s.roll_limit_angle = (float)(M_PI / 4);
    s.front_braking_torque = 250;
    s.rear_braking_torque = 250;
    s.max_dab_speed = 30;
    s.slow_damping_factor = 1;
    s.landing_damping_falloff = 0.25f;
    s.slow_damping_speed = 0;
    s.landing_damping_factor = 2;
    s.roll_limit_factor = 10;
    s.full_lock_speed = 10;
    s.restricted_lock_speed = 50;
    s.restricted_lock_angle = 0.0873f;
    bike->options = OPTION_AIR_STEERING | OPTION_STOP_STOPPIES | OPTION_FRONT_ANTILOCK | OPTION_REALIGN;
    bike->options2 = 0;
}

static void fill_wheel(WheelState *w, dBodyID body, float major, float minor)
{
    memset(w, 0, sizeof *w);
    w->body = body;
    w->one = 1;
    w->major_radius = major;
    w->minor_radius = minor;
}

Bike *create_bike(const char *model_name, int slot_id, const char *plate_text, const char *rider_body_skin,
                  const char *rider_head_skin, const char *bike_skin, const char *wheels_skin)
{
    if (!sim_world_create())
        return nullptr;
    Bike *bike = new Bike();
    bike->model = *find_bike_model(model_name);
    const BikeModel &m = bike->model;

    const char *shape_names[7] = {m.frame_shape, m.fork_upper_shape, m.fork_lower_shape, m.swingarm_shape,
                                  m.rider_shape, m.front_wheel_shape, m.rear_wheel_shape};
    for (int i = 0; i < 7; i++)
        bike->shapes[i] = copy_shape(load_shape(shape_names[i]));
    snprintf(bike->plate_text, sizeof bike->plate_text, "%.7s", plate_text ? plate_text : "");
    const char *skins[BIKE_SKIN_COUNT] = {bike_skin, wheels_skin, rider_body_skin, rider_head_skin};
    load_bike_look(&bike->look, &m, skins, bike->plate_text);

    dWorldID world = sim_world.world;
    const float *positions[BIKE_BODIES] = {m.frame_pos, m.front_wheel_pos, m.rear_wheel_pos, m.steer_pos,
                                           m.fork_lower_pos, m.swingarm_pos, m.rider_pos};
    for (int i = 0; i < BIKE_BODIES; i++) {
        bike->bodies[i] = dBodyCreate(world);
        dBodySetPosition(bike->bodies[i], positions[i][0], positions[i][1], positions[i][2]);
    }
    bike->rider_mass_distribution = 1.0f / 3;
    frame_and_rider_mass(bike);

    dMass mass;
    wheel_mass(&mass, m.front_hub_mass, m.front_hub_radius, m.front_ring_mass, m.front_tyre_major_radius,
               m.front_tyre_minor_radius);
    dBodySetMass(bike->bodies[BODY_FRONT_WHEEL], &mass);
    dBodySetFiniteRotationMode(bike->bodies[BODY_FRONT_WHEEL], 1);
    wheel_mass(&mass, m.rear_hub_mass, m.rear_hub_radius, m.rear_ring_mass, m.rear_tyre_major_radius,
               m.rear_tyre_minor_radius);
    dBodySetMass(bike->bodies[BODY_REAR_WHEEL], &mass);
    dBodySetFiniteRotationMode(bike->bodies[BODY_REAR_WHEEL], 1);

    {
        dMass leg, other;
        dMassSetCylinderTotal(&leg, m.fork_mass / 2.0, 3, m.fork_spacing / 8.0, m.fork_leg_length * 2.0 / 3.0);
        other = leg;
        dMassTranslate(&leg, m.fork_spacing / 2.0, 0, 0);
        dMassTranslate(&other, -m.fork_spacing / 2.0, 0, 0);
        dMassAdd(&leg, &other);
        double rake = atan2(((double)m.fork_lower_pos[2] - m.steer_pos[2]) / ((double)m.fork_lower_pos[1] - m.steer_pos[1]), 1);
        dMatrix3 r;
        dRFromAxisAndAngle(r, 1, 0, 0, rake);
        dMassRotate(&leg, r);
        centre_mass(&leg);
        dBodySetMass(bike->bodies[BODY_STEER], &leg);
        dBodySetMass(bike->bodies[BODY_FORK_LOWER], &leg);
    }
    {
        double dy = (double)m.rear_wheel_pos[1] - m.swingarm_pivot[1], dz = (double)m.rear_wheel_pos[2] - m.swingarm_pivot[2];
        double length = sqrt(dy * dy + dz * dz);
        dMass box, other;
        dMassSetBoxTotal(&box, m.swingarm_mass, m.frame_size[0] / 4.0, m.frame_size[0] / 4.0, length);
        other = box;
        dMassTranslate(&box, m.frame_size[0] / 2.0, 0, 0);
        dMassTranslate(&other, -m.frame_size[0] / 2.0, 0, 0);
        dMassAdd(&box, &other);
        dMatrix3 r;
        dRFromAxisAndAngle(r, 1, 0, 0, -atan2(dy / dz, 1));
        dMassRotate(&box, r);
        centre_mass(&box);
        dBodySetMass(bike->bodies[BODY_SWINGARM], &box);
    }

    dBodyID *b = bike->bodies;
    double steer_axis[3] = {(double)m.steer_pos[0] - m.fork_lower_pos[0], (double)m.steer_pos[1] - m.fork_lower_pos[1],
                            (double)m.steer_pos[2] - m.fork_lower_pos[2]};
    dJointID j;
    j = bike->joints[JOINT_FRONT_AXLE] = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_FORK_LOWER], b[BODY_FRONT_WHEEL]);
    dJointSetHingeAnchor(j, m.front_wheel_pos[0], m.front_wheel_pos[1], m.front_wheel_pos[2]);
    dJointSetHingeAxis(j, 1, 0, 0);
    j = bike->joints[JOINT_REAR_AXLE] = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_SWINGARM], b[BODY_REAR_WHEEL]);
    dJointSetHingeAnchor(j, m.rear_wheel_pos[0], m.rear_wheel_pos[1], m.rear_wheel_pos[2]);
    dJointSetHingeAxis(j, 1, 0, 0);
    j = bike->joints[JOINT_STEER] = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_STEER], b[BODY_FRAME]);
    dJointSetHingeAnchor(j, m.steer_pos[0], m.steer_pos[1], m.steer_pos[2]);
    dJointSetHingeAxis(j, steer_axis[0], steer_axis[1], steer_axis[2]);
    dJointSetHingeParam(j, dParamLoStop, -M_PI / 4);
    dJointSetHingeParam(j, dParamHiStop, M_PI / 4);
    j = bike->joints[JOINT_FORK] = dJointCreateSlider(world, 0);
    dJointAttach(j, b[BODY_STEER], b[BODY_FORK_LOWER]);
    dJointSetSliderAxis(j, steer_axis[0], steer_axis[1], steer_axis[2]);
    dJointSetSliderParam(j, dParamBounce, 0);
    dJointSetSliderParam(j, dParamLoStop, -m.fork_travel);
    dJointSetSliderParam(j, dParamHiStop, 0);
    j = bike->joints[JOINT_PIVOT] = dJointCreateHinge(world, 0);
    dJointAttach(j, b[BODY_SWINGARM], b[BODY_FRAME]);
    dJointSetHingeAnchor(j, m.swingarm_pivot[0], m.swingarm_pivot[1], m.swingarm_pivot[2]);
    dJointSetHingeAxis(j, 1, 0, 0);
    dJointSetHingeParam(j, dParamBounce, 0);
    dJointSetHingeParam(j, dParamLoStop, -m.swingarm_travel);
    dJointSetHingeParam(j, dParamHiStop, 0);
    j = bike->joints[JOINT_RIDER_MOUNT] = dJointCreateHinge2(world, 0);
    dJointAttach(j, b[BODY_RIDER], b[BODY_FRAME]);
    dJointSetHinge2Anchor(j, 0, m.rider_pos[1], -50);
    dReal axis1[3] = {0, 1, 1}, axis2[3] = {1, 0, 0};
    dJointSetHinge2Axes(j, axis1, axis2);
    dJointSetHinge2Param(j, dParamLoStop, 0);
    dJointSetHinge2Param(j, dParamHiStop, 0);
    for (int i = 0; i < BIKE_JOINTS; i++)
        dJointSetFeedback(bike->joints[i], &bike->feedback[i]);

    fill_wheel(&bike->wheels[0], b[BODY_FRONT_WHEEL], m.front_tyre_major_radius, m.front_tyre_minor_radius);
    fill_wheel(&bike->wheels[1], b[BODY_REAR_WHEEL], m.rear_tyre_major_radius, m.rear_tyre_minor_radius);
    default_setup(bike);
    sum_mass(bike);
    bike_reset(bike);
    bike->slot_id = slot_id;
    return bike;
}

void destroy_bike(Bike *bike)
{
    if (!bike)
        return;
    for (dJointID j : bike->joints)
        dJointDestroy(j);
    for (dBodyID b : bike->bodies)
        dBodyDestroy(b);
    for (CollisionShape *s : bike->shapes)
        free_shape(s);
    free_bike_look(&bike->look);
    delete bike;
}

// --- placing ---------------------------------------------------------------------

static void clear_forces(Bike *bike)
{
    for (dBodyID b : bike->bodies) {
        dBodySetForce(b, 0, 0, 0);
        dBodySetTorque(b, 0, 0, 0);
    }
}

void bike_reset(Bike *bike)
{
    const BikeModel &m = bike->model;
    const float *positions[BIKE_BODIES] = {m.frame_pos, m.front_wheel_pos, m.rear_wheel_pos, m.steer_pos,
                                           m.fork_lower_pos, m.swingarm_pos, m.rider_pos};
    dMatrix3 identity;
    dRSetIdentity(identity);
    for (int i = 0; i < BIKE_BODIES; i++) {
        dBodyID b = bike->bodies[i];
        dBodySetPosition(b, positions[i][0], positions[i][1], positions[i][2]);
        dBodySetRotation(b, identity);
        dBodySetLinearVel(b, 0, 0, 0);
        dBodySetAngularVel(b, 0, 0, 0);
    }
    clear_forces(bike);
    bike->throttle = bike->clutch = bike->front_brake = bike->rear_brake = 0;
    bike->steer = bike->sit = bike->dab_blend = bike->back_up = bike->lean = 0;
    bike->gear = 0;
    bike->last_shift = 0;
    bike->crank_angle = 0;
    bike->engine_speed = 0;
    bike->engine_inertia = m.engine_inertia;
    bike->gates_passed = 0;
    bike->gate_ticks.clear();
    bike->crash_timer = 0;
    bike->crash_count = 0;
    bike->recover_timer = 0;
    bike->steer_lock_fraction = 0;
    bike->landing_multiplier = 1;
    bike->physics_level = 1;
    bike->stopped_after_start = false;
    bike->gate_check = false;
    bike->finished = false;
    memset(bike->feet, 0, sizeof bike->feet);
    memset(bike->feet_velocity, 0, sizeof bike->feet_velocity);
    memset(bike->rider_velocity_ring, 0, sizeof bike->rider_velocity_ring);
    for (WheelState &w : bike->wheels) {
        w.depth = 0;
        memset(w.point, 0, sizeof w.point);
        memset(w.velocity, 0, sizeof w.velocity);
        memset(w.normal, 0, sizeof w.normal);
        memset(&w.feedback, 0, sizeof w.feedback);
    }
    seat_rider(bike);
    memset(bike->feedback, 0, sizeof bike->feedback);
    for (dBodyID b : bike->bodies)
        dBodyEnable(b);
}

void bike_translate(Bike *bike, double dx, double dy, double dz)
{
    for (dBodyID b : bike->bodies) {
        const dReal *p = dBodyGetPosition(b);
        dBodySetPosition(b, p[0] + dx, p[1] + dy, p[2] + dz);
    }
}

void bike_rotate(Bike *bike, const double axis[3], double angle)
{
    dMatrix3 r;
    dRFromAxisAndAngle(r, axis[0], axis[1], axis[2], angle);
    for (dBodyID b : bike->bodies) {
        const dReal *p = dBodyGetPosition(b);
        double q[3];
        for (int k = 0; k < 3; k++)
            q[k] = r[k * 4] * p[0] + r[k * 4 + 1] * p[1] + r[k * 4 + 2] * p[2];
        dBodySetRotation(b, r);
        dBodySetPosition(b, q[0], q[1], q[2]);
    }
}

// --- physics levels ---------------------------------------------------------------

static void set_enabled(Bike *bike, bool enabled)
{
    for (dBodyID b : bike->bodies)
        enabled ? dBodyEnable(b) : dBodyDisable(b);
}

void bike_activate(Bike *bike)
{
    if (bike->physics_level <= 0.25f)
        clear_forces(bike);
    bike->physics_level = 1;
    set_enabled(bike, true);
}

void bike_deactivate(Bike *bike)
{
    if (bike->physics_level <= 0.25f)
        clear_forces(bike);
    bike->physics_level = 0;
    set_enabled(bike, false);
}

void bike_toggle(Bike *bike)
{
    if (bike->physics_level == 0) {
        bike_activate(bike);
        return;
    }
    if (bike->physics_level > 0.25f)
        return;
    clear_forces(bike);
    bike->physics_level = 0.25f;
    set_enabled(bike, false);
}

void bike_fade(Bike *bike)
{
    if (!(bike->physics_level > 0))
        return;
    bike->physics_level = (float)clampd(bike->physics_level - SIM_STEP, 0, 1);
    set_enabled(bike, bike->physics_level > 0.25f);
}

// --- inputs and queries --------------------------------------------------------------

static float clampf(float x, float lo, float hi)
{
    return x < lo ? lo : (x > hi ? hi : x);  // NaN becomes hi's neighbour below
}

static float clamp_input(float x, float lo, float hi)
{
    if (!std::isfinite(x))
        return 0;
    return clampf(x, lo, hi);
}

void bike_set_throttle(Bike *bike, float v)
{
    bike->throttle = bike_crashed(bike) ? 0 : clamp_input(v, 0, 1);
}
void bike_set_clutch(Bike *bike, float v)
{
    bike->clutch = clamp_input(v, 0, 1);
}
void bike_set_front_brake(Bike *bike, float v)
{
    bike->front_brake = clamp_input(v, 0, 1);
}
void bike_set_rear_brake(Bike *bike, float v)
{
    bike->rear_brake = clamp_input(v, 0, 1);
}
void bike_set_steer(Bike *bike, float v)
{
    bike->steer = clamp_input(v, -1, 1);
}
void bike_set_sit(Bike *bike, float v)
{
    bike->sit = bike_crashed(bike) ? 0 : clamp_input(v, 0, 1);
}
void bike_set_dab_blend(Bike *bike, float v)
{
    bike->dab_blend = clamp_input(v, 0, 1);
}
void bike_set_back_up(Bike *bike, float v)
{
    bike->back_up = bike_crashed(bike) ? 0 : clamp_input(v, 0, 1);
}
void bike_set_lean(Bike *bike, float v)
{
    bike->lean = bike_crashed(bike) ? 0 : clamp_input(v, -1, 1);
}

void bike_shift(Bike *bike, int direction)
{
    if (bike_crashed(bike) || direction == bike->last_shift || direction < -1 || direction > 1)
        return;
    bike->last_shift = direction;
    bike->gear = step_gear(&bike->model, bike->gear, direction);
}

void bike_set_gear(Bike *bike, int gear)
{
    if (bike_crashed(bike))
        return;
    int delta = gear - bike->gear;
    delta = delta < -5 ? -5 : (delta > 5 ? 5 : delta);
    bike->gear = step_gear(&bike->model, bike->gear, delta);
}

dBodyID bike_frame_body(const Bike *bike)
{
    return bike->bodies[BODY_FRAME];
}
dBodyID bike_rider_body(const Bike *bike)
{
    return bike->bodies[BODY_RIDER];
}
int bike_gear(const Bike *bike)
{
    return bike->gear;
}
float bike_rpm(const Bike *bike)
{
    return (float)(bike->engine_speed * RAD_S_TO_RPM);
}
float bike_speed_mph(const Bike *bike)
{
    double x[3], y[3], z[3];
    frame_axes(bike, x, y, z);
    const dReal *v = dBodyGetLinearVel(bike->bodies[BODY_FRAME]);
    double vel[3] = {v[0], v[1], v[2]};
    return (float)(-dot3(z, vel) * 15 / 22);
}
const char *bike_class(const Bike *bike)
{
    return bike->model.class_name;
}
const char *bike_model_name(const Bike *bike)
{
    return bike->model.name;
}
const char *bike_plate_text(const Bike *bike)
{
    return bike->plate_text;
}

void bike_set_mass_distribution(Bike *bike, float d)
{
    bike->rider_mass_distribution = clamp_input(d, 0.33f, 0.5f);
    if (!std::isfinite(d))
        bike->rider_mass_distribution = 1.0f / 3;
    frame_and_rider_mass(bike);
    sum_mass(bike);
}

// --- the step ----------------------------------------------------------------------

static void joint_force_balance(Bike *bike)
{
    const dReal *fp = dBodyGetPosition(bike->bodies[BODY_FRAME]);
    double force[3] = {0, 0, 0}, torque[3] = {0, 0, 0};
    for (int i = 0; i < BIKE_JOINTS; i++) {
        dJointID j = bike->joints[i];
        dBodyID b1 = dJointGetBody(j, 0), b2 = dJointGetBody(j, 1);
        if (!b1 || !b2)
            return;
        const dJointFeedback &f = bike->feedback[i];
        const dReal *p1 = dBodyGetPosition(b1), *p2 = dBodyGetPosition(b2);
        double r1[3] = {p1[0] - fp[0], p1[1] - fp[1], p1[2] - fp[2]};
        double r2[3] = {p2[0] - fp[0], p2[1] - fp[1], p2[2] - fp[2]};
        double f1[3] = {f.f1[0], f.f1[1], f.f1[2]}, f2[3] = {f.f2[0], f.f2[1], f.f2[2]};
        double c1[3], c2[3];
        cross3(r1, f1, c1);
        cross3(r2, f2, c2);
        for (int k = 0; k < 3; k++) {
            force[k] += f1[k] + f2[k];
            torque[k] += f.t1[k] + f.t2[k] + c1[k] + c2[k];
        }
    }
    dBodyAddForce(bike->bodies[BODY_FRAME], -force[0], -force[1], -force[2]);
    dBodyAddTorque(bike->bodies[BODY_FRAME], -torque[0], -torque[1], -torque[2]);
}

void bike_step(Bike *bike, const Terrain *terrain)
{
    int tick = sim_race.tick;
    if (bike->physics_level <= 0.25f) {
        feet_update(bike, terrain);
        return;
    }
    if (!bike->stopped_after_start && tick > sim_race.start_tick + 256) {
        const dReal *v = dBodyGetLinearVel(bike->bodies[BODY_FRAME]);
        if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] < 25)
            bike->stopped_after_start = true;
    }
    if (bike->recover_timer < -1)
        bike->recover_timer += 1;
    else if (bike->recover_timer > 1)
        bike->recover_timer -= 1;
    else
        bike->recover_timer = 0;
    crash_detection(bike, terrain, tick);
    if (bike_crashed(bike))
        crash_handling(bike);
    float saved_sit = bike->sit, saved_front = bike->front_brake, saved_rear = bike->rear_brake;
    rider_placement(bike, terrain, tick);
    // A detached rider is held only by the tethers.
    if (!bike_crashed(bike))
        rider_springs(bike);
    fork_update(bike);
    shock_update(bike);
    if ((bike->options2 & OPTION2_ARCADE) && !bike_crashed(bike))
        arcade_update(bike);
    else
        steering_update(bike, terrain);
    auto_shift_update(bike, tick);
    drive_update(bike);
    brakes_update(bike);
    steering_damper(bike);
    if (tick > 1 && !bike_crashed(bike))
        joint_force_balance(bike);
    dab_support(bike, terrain);
    bike->sit = saved_sit;
    bike->front_brake = saved_front;
    bike->rear_brake = saved_rear;
    feet_update(bike, terrain);
    const dReal *rv = dBodyGetLinearVel(bike->bodies[BODY_RIDER]);
    float *ring = bike->rider_velocity_ring[tick & 3];
    ring[0] = (float)rv[0], ring[1] = (float)rv[1], ring[2] = (float)rv[2];
}

bool bike_state_finite(const Bike *bike)
{
    for (dBodyID b : bike->bodies) {
        const dReal *arrays[4] = {dBodyGetPosition(b), dBodyGetLinearVel(b), dBodyGetAngularVel(b),
                                  dBodyGetQuaternion(b)};
        for (int a = 0; a < 4; a++)
            for (int k = 0; k < (a == 3 ? 4 : 3); k++)
                if (!std::isfinite(arrays[a][k]))
                    return false;
    }
    return std::isfinite(bike->engine_speed) && std::isfinite(bike->crank_angle);
}

void sim_tick(Bike *const *bikes, int count, const Terrain *terrain)
{
    for (int i = 0; i < count; i++)
        if (bikes[i] && bikes[i]->physics_level > 0.25f)
            bike_terrain_collision(bikes[i], terrain);
    // Roost: wheels throw dirt here once the particles exist.
    dWorldQuickStep(sim_world.world, SIM_STEP);
    dJointGroupEmpty(sim_world.contact_group);
    // Erosion: the ground wears under the wheels here once ruts exist.
    for (int i = 0; i < count; i++) {
        Bike *bike = bikes[i];
        if (!bike)
            continue;
        if (!bike_state_finite(bike)) {
            vark_log("bike in slot %d reached a non-finite state; reset\n", bike->slot_id);
            bike->nonfinite_resets++;
            bike_reset(bike);
            continue;
        }
        bike_step(bike, terrain);
    }
}
