// How the rider holds, steers, dabs and rights the bike.
#include "sim/rider.h"

#include <cmath>
#include <cstring>

#include "race/gates.h"
#include "sim/bike.h"
#include "sim/ground.h"
#include "sim/sim_math.h"
#include "track/surface.h"
#include "track/terrain.h"

double rider_fore_aft_target(double sit, double lean, double v)
{
    return clampd((0.5 * sit + 0.5) * v - lean, -0.75, 0.75);
}

double rider_vertical_extension(double sit, double v)
{
    return v + 0.125 - 0.5 * sit;
}

static void spring_contact(Bike *bike, const double pos[3], const double normal[3], double depth, double k, double c)
{
    dContact contact;
    memset(&contact, 0, sizeof contact);
    contact.surface.mode = dContactSoftERP | dContactSoftCFM;
    contact.surface.mu = 0;
    double denominator = SIM_STEP * k + c;
    contact.surface.soft_erp = SIM_STEP * k / denominator;
    contact.surface.soft_cfm = 1 / denominator;
    for (int i = 0; i < 3; i++) {
        contact.geom.pos[i] = pos[i];
        contact.geom.normal[i] = normal[i];
    }
    contact.geom.depth = depth;
    dJointID joint = dJointCreateContact(sim_world.world, sim_world.contact_group, &contact);
    dJointAttach(joint, bike->bodies[BODY_RIDER], bike->bodies[BODY_FRAME]);
}

void rider_springs(Bike *bike)
{
    const BikeModel &m = bike->model;
    double x[3], yf[3], zf[3];
    frame_axes(bike, x, yf, zf);
    const dReal *pp = dBodyGetPosition(bike->bodies[BODY_RIDER]);
    double p[3] = {pp[0], pp[1], pp[2]};
    double seat_local[3] = {m.rider_pos[0] - m.frame_pos[0], m.rider_pos[1] - m.frame_pos[1],
                            m.rider_pos[2] - m.frame_pos[2]};
    double rest[3], d[3];
    body_point_world(bike->bodies[BODY_FRAME], seat_local, rest);
    sub3(rest, p, d);
    double v = dot3(d, yf), u = dot3(d, zf);
    double mass = m.rider_mass * 0.21333333;
    double t = rider_fore_aft_target(bike->sit, bike->lean, v);
    {
        double off = u - t, normal[3], k, c;
        scale3(zf, sign_of(off), normal);
        if (u >= -0.75 && u <= 0.75)
            k = (fabs(off) * 100 + 600 * bike->rider_forward_spring) * mass, c = 0;
        else
            k = c = 2500 * mass;
        if (k > 0)
            spring_contact(bike, p, normal, fabs(off), k, c);
    }
    {
        double e = rider_vertical_extension(bike->sit, v), normal[3], k, c;
        scale3(yf, sign_of(e), normal);
        if (v >= -0.75 && v <= 0.5)
            k = 400 * bike->rider_vertical_spring * mass, c = 100 * bike->rider_vertical_damping * mass;
        else
            k = c = 2500 * mass;
        if (k + c > 0)
            spring_contact(bike, p, normal, fabs(e), k, c);
    }
    dJointID mount = bike->joints[JOINT_RIDER_MOUNT];
    dJointSetHinge2Param(mount, dParamSuspensionERP, 0);
    dJointSetHinge2Param(mount, dParamSuspensionCFM, 1 / ((30 * bike->rider_forward_damping + 5) * mass));
}

// Unit steering axis in world coordinates.
static void steering_axis(const Bike *bike, double axis[3])
{
    const BikeModel &m = bike->model;
    double s[3] = {(double)m.steer_pos[0] - m.fork_lower_pos[0], (double)m.steer_pos[1] - m.fork_lower_pos[1],
                   (double)m.steer_pos[2] - m.fork_lower_pos[2]};
    scale3(s, 1 / length3(s), s);
    dVector3 w;
    dBodyVectorToWorld(bike->bodies[BODY_FRAME], s[0], s[1], s[2], w);
    copy3(w, axis);
}

void apply_steer_torque(Bike *bike, double tau)
{
    double axis[3];
    steering_axis(bike, axis);
    dBodyAddTorque(bike->bodies[BODY_FRONT_WHEEL], axis[0] * tau, axis[1] * tau, axis[2] * tau);
    dBodyAddTorque(bike->bodies[BODY_FRAME], -axis[0] * tau, -axis[1] * tau, -axis[2] * tau);
}

double front_drift_angle(const Bike *bike)
{
    const BikeModel &m = bike->model;
    const dReal *v = dBodyGetLinearVel(bike->bodies[BODY_FRONT_WHEEL]);
    dVector3 local;
    dBodyVectorFromWorld(bike->bodies[BODY_STEER], v[0], v[1], v[2], local);
    double s[3] = {(double)m.steer_pos[0] - m.fork_lower_pos[0], (double)m.steer_pos[1] - m.fork_lower_pos[1],
                   (double)m.steer_pos[2] - m.fork_lower_pos[2]};
    scale3(s, 1 / length3(s), s);
    double a = local[0];
    double b = -s[2] * local[1] + s[1] * local[2];
    if (a * a + b * b > 1)
        return -atan2(a, -b);
    return 0;
}

double steering_lock_angle(const Bike *bike, double w, double grip)
{
    const BikeSetup &s = bike->setup;
    double q = fmax(1, w);
    double full = s.full_lock_speed;
    double restricted = fmax(full + 1, s.restricted_lock_speed);
    double lambda = clampd((1 / q - 1 / restricted) / (1 / full - 1 / restricted), 0, 1);
    double a = fmin(M_PI / 4, s.restricted_lock_angle / fmax(grip, 0.125));
    return a + (M_PI / 4 - a) * lambda;
}

double lean_gain(double speed2, double max_dab_speed, double roll_limit_angle, int power)
{
    double big = max_dab_speed * max_dab_speed;
    if (speed2 == 0)
        return 0;
    if (speed2 >= big)
        return 2 * M_PI;
    if (speed2 <= 225)
        return (1 - pow(1 - clampd(speed2 / big, 0, 1), power)) * roll_limit_angle;
    return roll_limit_angle + (2 * M_PI - roll_limit_angle) * clampd((speed2 - 225) / (big - 225), 0, 1);
}

static double frame_speed2(const Bike *bike)
{
    const dReal *v = dBodyGetLinearVel(bike->bodies[BODY_FRAME]);
    return v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
}

static double roll_rate(const Bike *bike)
{
    const dReal *av = dBodyGetAngularVel(bike->bodies[BODY_FRAME]);
    dVector3 w;
    dBodyVectorFromWorld(bike->bodies[BODY_FRAME], av[0], av[1], av[2], w);
    return w[2];
}

static double front_wheel_speed(const Bike *bike)
{
    return ((double)bike->model.front_tyre_major_radius + bike->model.front_tyre_minor_radius) *
           dJointGetHingeAngleRate(bike->joints[JOINT_FRONT_AXLE]);
}

void steering_update(Bike *bike, const Terrain *terrain)
{
    bike->steer_lock_fraction = 0;
    if (bike_crashed(bike))
        return;
    const BikeSetup &s = bike->setup;
    const BikeModel &m = bike->model;
    double upper = s.max_steering_force, lower = -upper;
    double direct = s.steering_strength * bike->steer * s.direct_steering;
    double w = front_wheel_speed(bike);
    const dReal *fp = dBodyGetPosition(bike->bodies[BODY_FRONT_WHEEL]);
    const SurfaceType *surface = &terrain->surfaces[surface_at(terrain, (float)fp[0], (float)fp[2])];
    double lock = steering_lock_angle(bike, w, surface->friction[0]);
    double sigma = front_drift_angle(bike);
    double clearance = fp[1] - terrain_height_at(terrain, (float)fp[0], (float)fp[2]) - m.front_tyre_major_radius -
                       m.front_tyre_minor_radius;
    if (w > 1 && clearance < 0.5) {
        double big = lock + (M_PI / 4 - lock) * clampd(2 * clearance, 0, 1);
        double beta = 1.125 * big + 0.015;
        if (sigma > big)
            lower *= 1.25 * clampd((sigma - beta) / (big - beta), 0, 1) - 0.25;
        if (sigma < -big)
            upper *= 1.25 * clampd((sigma + beta) / (beta - big), 0, 1) - 0.25;
    }
    double lean = bike_lean_angle(bike);
    double hinge = dJointGetHingeAngle(bike->joints[JOINT_STEER]);
    double tau;
    if (bike->wheels[0].depth <= 0 || fabs(dJointGetHingeAngleRate(bike->joints[JOINT_FRONT_AXLE])) < M_PI / 4) {
        bike->landing_multiplier = s.landing_damping_factor;
        tau = -50 * hinge;
        if (!(bike->options & OPTION_AIR_STEERING))
            direct = 0;
    } else {
        double wz = roll_rate(bike);
        double roll = wz * s.roll_damping * bike->landing_multiplier;
        if (bike->landing_multiplier > 1 && s.landing_damping_falloff != 0)
            bike->landing_multiplier = (float)fmax(
                1, bike->landing_multiplier - (s.landing_damping_factor - 1) * SIM_STEP / s.landing_damping_falloff);
        double level = lean * s.leveling;
        double speed = sqrt(frame_speed2(bike));
        if (speed < s.slow_damping_speed) {
            double f = s.slow_damping_factor;
            double scale = f + (1 - f) * clampd(speed / s.slow_damping_speed, 0, 1);
            roll *= scale;
            level *= scale;
        }
        if (((wz > 0 && lean > 0) || (wz < 0 && lean < 0)) && fabs(lean) > s.roll_limit_angle)
            roll *= (fabs(lean) - s.roll_limit_angle) * s.roll_limit_factor + 1;
        tau = roll + level;
        if (s.direct_steering < 1) {
            double g = lean_gain(speed * speed, s.max_dab_speed, s.roll_limit_angle, 4);
            double e = (-bike->steer * g - lean) * 2.5;
            bool further = (e > 0 && lean > 0) || (e < 0 && lean < 0);
            double limit = further ? 3.926991 : 9.817477;
            e = clampd(e, -limit, limit);
            double delta = clampd(e - wz, -0.125, 0.125);
            double x = clampd((wz - (e - delta)) * 4, -1, 1);
            double y = s.steering_strength * x;
            direct = (direct - y) * s.direct_steering + y;
        }
    }
    if (bike->recover_timer > 0) {
        double limit = 200 * clampd((192 - bike->recover_timer) / 192, 0, 1);
        tau = clampd(tau, -limit, limit);
    }
    double total = clampd((tau + direct) * 1.5, lower, upper);
    apply_steer_torque(bike, total);
    double k = clampd((w - 5) / 10, 0, 1);
    double lo = 0.25 * k * lock, hi = (0.625 * k + 0.125) * lock;
    double a, b;
    if (lean >= 0) {
        a = clampd((-sigma - lo) / (hi - lo), 0, 1);
        b = clampd((hinge - 0.2617994) * 3.8197186, 0, 1);
    } else {
        a = clampd((sigma - lo) / (hi - lo), 0, 1);
        b = clampd((hinge + 0.2617994) * -3.8197186, 0, 1);
    }
    bike->steer_lock_fraction = (float)fmax(a, b);
}

void steering_damper(Bike *bike)
{
    dBodyID wheel = bike->bodies[BODY_FRONT_WHEEL];
    const dReal *av = dBodyGetAngularVel(wheel);
    const dReal *r = dBodyGetRotation(wheel);
    double w[3] = {av[0], av[1], av[2]}, axle[3] = {r[0], r[4], r[8]};
    double spin = dot3(w, axle);
    double t[3];
    for (int k = 0; k < 3; k++)
        t[k] = (spin * axle[k] - w[k]) * bike->setup.steering_damping;
    dBodyAddTorque(wheel, t[0], t[1], t[2]);
    dBodyAddTorque(bike->bodies[BODY_FRAME], -t[0], -t[1], -t[2]);
}

static dJointID world_motor(Bike *bike, const double axis[3], double velocity, double max_torque)
{
    dJointID motor = dJointCreateAMotor(sim_world.world, sim_world.contact_group);
    dJointAttach(motor, bike->bodies[BODY_FRAME], 0);
    dJointSetAMotorMode(motor, dAMotorUser);
    dJointSetAMotorNumAxes(motor, 1);
    dJointSetAMotorAxis(motor, 0, 0, axis[0], axis[1], axis[2]);
    dJointSetAMotorParam(motor, dParamVel, velocity);
    dJointSetAMotorParam(motor, dParamFMax, max_torque);
    return motor;
}

static double dead_band(double x, double band)
{
    if (x > band)
        return x - band;
    if (x < -band)
        return x + band;
    return 0;
}

void arcade_update(Bike *bike)
{
    const BikeSetup &s = bike->setup;
    double lean = bike_lean_angle(bike);
    double g = clampd((s.roll_damping - 40) * 0.025, 0, 1);
    double target = -M_PI / 4 * bike->steer;
    double rate = fmin(fabs(lean - target), 0.0625) * (1.5 - 0.5 * g) * 16;
    // The motor turns the frame about its forward axis, which lowers the
    // lean: a positive rate brings a lean above the target down to it.
    if (lean < target)
        rate = -rate;
    double x[3], y[3], z[3];
    frame_axes(bike, x, y, z);
    double forward[3] = {-z[0], -z[1], -z[2]};
    world_motor(bike, forward, rate, 1000);
    double goal = front_drift_angle(bike) - 0.5 * bike->steer;
    dJointID hinge = bike->joints[JOINT_STEER];
    double e = dead_band(clampd(goal - dJointGetHingeAngle(hinge), -0.25, 0.25), 1.0 / 32);
    double v = dead_band(8 * e - dJointGetHingeAngleRate(hinge), 1.0 / 2400);
    double h = clampd(v * 0.5, -2.0 / 3, 2.0 / 3);
    apply_steer_torque(bike, s.steering_strength * h);
    dBodyID frame = bike->bodies[BODY_FRAME];
    dVector3 pv;
    dBodyGetRelPointVel(frame, 0, 0, 20, pv);
    dBodyAddForceAtRelPos(frame, -0.25 * pv[0], -0.25 * pv[1], -0.25 * pv[2], 0, 0, 20);
}

void holding_force(Bike *bike, double tx, double tz)
{
    const dReal *v = dBodyGetLinearVel(bike->bodies[BODY_FRAME]);
    double dx = v[0] - tx, dz = v[2] - tz;
    double d2 = dx * dx + dz * dz;
    if (d2 < 0.0625)
        return;
    double d = sqrt(d2);
    double k = clampd((d - 0.25) * 0.8, 0, 1);
    double s = -(k * 2000 / d);
    dBodyAddForce(bike->bodies[BODY_FRAME], s * dx, 0, s * dz);
}

double backing_phase(int tick, int start_tick)
{
    double p = (1 - cos((tick & 127) * 2 * M_PI / 127)) / 2;
    int window_end = ((start_tick + 128 + 127) / 128) * 128;
    if (start_tick + 128 < 0)
        window_end = ((start_tick + 128) / 128) * 128;
    if (tick < window_end && (tick & (128 | 256)))
        p = 0;
    return p;
}

static double dab_speed_limit(const Bike *bike)
{
    double limit = bike->setup.max_dab_speed;
    if (bike->recover_timer <= -512)
        limit = fmax(limit, 75);
    return limit;
}

void rider_placement(Bike *bike, const Terrain *terrain, int tick)
{
    (void)terrain;
    double speed = sqrt(frame_speed2(bike));
    bool crashed = bike_crashed(bike);
    if (bike->back_up > 0 && speed < 5) {
        double p = backing_phase(tick, sim_race.start_tick);
        bike->sit = crashed ? 0 : 1;
        double x[3], y[3], z[3];
        frame_axes(bike, x, y, z);
        double h[2] = {z[0], z[2]};
        holding_force(bike, 4 * p * h[0], 4 * p * h[1]);
        double up[3] = {0, 1, 0};
        world_motor(bike, up, -bike->steer * p * M_PI / 2, 2000);
        return;
    }
    if (!(bike->options & OPTION_DAB_WHEN_STOPPED))
        return;
    double limit = dab_speed_limit(bike);
    double lean = fabs(bike_lean_angle(bike));
    bool allowed = speed <= limit && (speed <= 15 || lean >= clampd((speed - 15) / 15, 0, 1) * M_PI / 4);
    if (bike->throttle != 0 && bike->clutch != 0 && !(speed < 5 || lean > M_PI / 16))
        allowed = false;
    if (!allowed)
        return;
    bike->sit = crashed ? 0 : (float)clampd(fmax(bike->sit, clampd((speed - limit) / (0 - limit), 0, 1)), 0, 1);
    if (speed < 5 && (bike->throttle == 0 || bike->clutch == 0) && bike->wheels[0].depth > 0 &&
        bike->wheels[1].depth > 0) {
        bike->front_brake = 1;
        bike->rear_brake = 1;
        holding_force(bike, 0, 0);
    }
}

static void realign(Bike *bike, const double target[3])
{
    double x[3], y[3], z[3];
    frame_axes(bike, x, y, z);
    double h[2] = {z[0], z[2]};
    double hl2 = h[0] * h[0] + h[1] * h[1];
    if (hl2 <= 1.0 / 1024)
        return;
    double hl = sqrt(hl2);
    h[0] /= hl, h[1] /= hl;
    const dReal *fp = dBodyGetPosition(bike->bodies[BODY_FRAME]);
    double d[2] = {target[0] - fp[0], target[2] - fp[2]};
    double a = d[0] * h[0] + d[1] * h[1];
    double b = h[1] * d[0] - h[0] * d[1];
    double speed = bike->recover_timer < 0 ? M_PI : M_PI / 2;
    double up[3] = {0, 1, 0};
    double mass = bike->total_mass;
    if (a < 0 && fabs(b) < -a / 4) {
        world_motor(bike, up, b < 0 ? speed : -speed, 320 * mass * 4 * fabs(b) / fabs(a));
    } else {
        world_motor(bike, up, b < 0 ? speed : -speed, 320 * mass);
        for (int wheel = 1; wheel >= 0; wheel--)
            if (bike->wheels[wheel].depth > 0)
                dBodyAddForce(bike->wheels[wheel].body, 0, 32 * mass, 0);
    }
}

void dab_support(Bike *bike, const Terrain *terrain)
{
    if (bike_crashed(bike)) {
        bike->dab_blend = (float)fmin(1, bike->dab_blend + 8 * SIM_STEP);
        return;
    }
    if (bike->sit == 0)
        return;
    const BikeModel &m = bike->model;
    dBodyID frame = bike->bodies[BODY_FRAME];
    if (bike->wheels[0].depth <= 0) {
        const dReal *rp = dBodyGetPosition(bike->bodies[BODY_RIDER]);
        double centre[3] = {rp[0], rp[1], rp[2]};
        GroundHit hit;
        if (!sphere_terrain(terrain, centre, m.rider_pos[1] + 1.0, &hit))
            return;
    }
    double speed2 = frame_speed2(bike), speed = sqrt(speed2);
    double limit = dab_speed_limit(bike);
    double lean = bike_lean_angle(bike);
    if (speed > limit)
        return;
    bool both = bike->wheels[0].depth > 0 && bike->wheels[1].depth > 0;
    if (speed > 15 && !(both && fabs(lean) >= 0.5890486))
        return;
    bike->dab_blend = (float)fmin(1, bike->dab_blend + 8 * SIM_STEP);
    if (bike->options2 & OPTION2_ARCADE)
        return;
    if (speed >= 5 && bike->recover_timer > 0)
        return;
    if (speed < 5 && fabs(lean) >= 0.3926991 && fabs(lean) <= 1.0995574 && sim_race.running &&
        bike->gates_passed >= 1) {
        if (!bike->finished && sim_race.finish_rule && sim_race.finish_rule(bike))
            bike->finished = true;
        if (!bike->finished && (bike->options & OPTION_REALIGN) && bike->back_up <= 0.125) {
            double target[3];
            if (sim_race.realign_target && sim_race.realign_target(bike, target))
                realign(bike, target);
            return;
        }
    }
    double rho = lean >= 0 ? -0.3926991 : 0.3926991;
    if ((bike->options & OPTION_DAB_WHEN_STOPPED) && bike->recover_timer < 0)
        rho *= 3;
    if (fabs(lean) < 0.1963495)
        rho *= fabs(lean) * 5.092958;
    double wz = roll_rate(bike);
    double t = 0;
    if (rho > 0 && rho > wz)
        t = -400;
    else if (rho < 0 && rho < wz)
        t = 400;
    if (fabs(lean) < 0.0981748)
        t *= fabs(lean) * 10.185916;
    if (bike->back_up < 0.125 || speed > 5) {
        double big_a = lean_gain(speed2, limit, bike->setup.roll_limit_angle, 32) * 1.25;
        double steer = rho >= 0 ? -bike->steer : bike->steer;
        double c = clampd(2 * (steer - 0.5), 0, 1);
        double a = clampd((fabs(lean) - big_a) / 0.25, 0, 1);
        t *= a + (1 - a) * c;
        if (speed > 5)
            t *= bike->steer_lock_fraction;
    }
    if (t != 0) {
        const dReal *r = dBodyGetRotation(frame);
        if (r[5] >= 0.707) {
            dBodyAddForceAtRelPos(frame, 0, 0.125 * fabs(t), 0, 0, 4, 0);
            dBodyAddRelForceAtRelPos(frame, t, 0, 0, 0, 4, 0);
        } else {
            dBodyAddForceAtRelPos(frame, 0, fabs(t), 0, 0, 4, 0);
        }
    }
}

bool realign_target_next_gate(const Bike *bike, double target[3])
{
    int c = gate_at_position(bike->gates_passed);
    if (c < 0 || c >= (int)gate_tables.checkpoints.size())
        return false;
    const Checkpoint &g = gate_tables.checkpoints[c];
    target[0] = g.x, target[1] = g.y, target[2] = g.z;
    return true;
}
