// The crash countdown with its tethers, and the two simulated feet.
#include "sim/crash.h"

#include <cmath>
#include <cstring>

#include "sim/bike.h"
#include "sim/sim_math.h"
#include "track/terrain.h"

void tether(dBodyID a_body, const double a_local[3], dBodyID b_body, const double b_local[3], double length)
{
    double a[3], b[3], d[3];
    body_point_world(a_body, a_local, a);
    body_point_world(b_body, b_local, b);
    sub3(b, a, d);
    double distance = length3(d);
    if (!(distance > length))
        return;
    dContact contact;
    memset(&contact, 0, sizeof contact);
    contact.surface.mode = dContactSoftERP | dContactSoftCFM;
    contact.surface.mu = 0;
    double k = 5000, c = 500;
    contact.surface.soft_cfm = 1 / (SIM_STEP * k + c);
    contact.surface.soft_erp = SIM_STEP * k * contact.surface.soft_cfm;
    for (int i = 0; i < 3; i++) {
        contact.geom.pos[i] = a[i];
        contact.geom.normal[i] = d[i] / distance;
    }
    contact.geom.depth = distance - length;
    dJointID joint = dJointCreateContact(sim_world.world, sim_world.contact_group, &contact);
    dJointAttach(joint, a_body, b_body);
}

void crash_start(Bike *bike, const Terrain *terrain)
{
    dJointAttach(bike->joints[JOINT_RIDER_MOUNT], 0, 0);
    double left[3], right[3], weights[2];
    feet_pose(bike, terrain, left, right, weights);
    dBodyID rider = bike->bodies[BODY_RIDER];
    const double *feet[2] = {left, right};
    for (int f = 0; f < 2; f++) {
        dVector3 v;
        dBodyGetPointVel(rider, feet[f][0], feet[f][1], feet[f][2], v);
        for (int k = 0; k < 3; k++) {
            bike->feet[f][k] = (float)feet[f][k];
            bike->feet_velocity[f][k] = (float)v[k];
        }
    }
    int count = bike->crash_count < 0 ? 0 : (bike->crash_count > 15 ? 15 : bike->crash_count);
    bike->crash_timer = 512 + extra_crash_time[count];
    bike->crash_count++;
}

bool crash_detection(Bike *bike, const Terrain *terrain, int tick)
{
    if (bike->crash_timer != 0 || bike->recover_timer < 0)
        return false;
    dBodyID rider = bike->bodies[BODY_RIDER];
    const dReal *p = dBodyGetPosition(rider);
    const dReal *v = dBodyGetLinearVel(rider);
    dVector3 fv;
    dBodyGetPointVel(bike->bodies[BODY_FRAME], p[0], p[1], p[2], fv);
    double rel[3] = {v[0] - fv[0], v[1] - fv[1], v[2] - fv[2]};
    bool impact = dot3(rel, rel) > 961;
    const float *old = bike->rider_velocity_ring[tick & 3];
    double jolt[3] = {(v[0] - old[0]) * 32, (v[1] - old[1]) * 32 + 32, (v[2] - old[2]) * 32};
    bool jolted = dot3(jolt, jolt) > 1893376;
    if (impact || jolted) {
        crash_start(bike, terrain);
        return true;
    }
    return false;
}

void seat_rider(Bike *bike)
{
    const BikeModel &m = bike->model;
    dBodyID frame = bike->bodies[BODY_FRAME], rider = bike->bodies[BODY_RIDER];
    dVector3 seat;
    dBodyGetRelPointPos(frame, m.rider_pos[0] - m.frame_pos[0], m.rider_pos[1] - m.frame_pos[1],
                        m.rider_pos[2] - m.frame_pos[2], seat);
    dBodySetPosition(rider, seat[0], seat[1], seat[2]);
    dBodySetRotation(rider, dBodyGetRotation(frame));
    dJointID mount = bike->joints[JOINT_RIDER_MOUNT];
    dJointAttach(mount, rider, frame);
    dVector3 anchor, axis1, axis2;
    dBodyGetRelPointPos(frame, 0 - m.frame_pos[0], m.rider_pos[1] - m.frame_pos[1], -50 - m.frame_pos[2], anchor);
    dBodyVectorToWorld(frame, 0, 1, 1, axis1);
    dBodyVectorToWorld(frame, 1, 0, 0, axis2);
    dJointSetHinge2Anchor(mount, anchor[0], anchor[1], anchor[2]);
    dJointSetHinge2Axes(mount, axis1, axis2);
    dJointSetHinge2Param(mount, dParamLoStop, 0);
    dJointSetHinge2Param(mount, dParamHiStop, 0);
}

void crash_handling(Bike *bike)
{
    if (bike->crash_timer <= 0)
        return;
    const BikeModel &m = bike->model;
    dBodyID rider = bike->bodies[BODY_RIDER], steer = bike->bodies[BODY_STEER], frame = bike->bodies[BODY_FRAME];
    const dReal *rv = dBodyGetLinearVel(rider);
    double speed2 = rv[0] * rv[0] + rv[1] * rv[1] + rv[2] * rv[2];
    if (speed2 >= 4) {
        double arm = 0.875 * (m.upper_arm + m.forearm);
        double hand[3], grip[3];
        copy3f(m.hand_left, hand);
        copy3f(m.grip_left, grip);
        tether(rider, hand, steer, grip, arm);
        copy3f(m.hand_right, hand);
        copy3f(m.grip_right, grip);
        tether(rider, hand, steer, grip, arm);
        if (bike->crash_timer >= 512) {
            double hip[3] = {0, m.hip_right[1], m.hip_right[2]};
            double bar[3] = {0, m.grip_right[1], m.grip_right[2] + 10.0};
            tether(rider, hip, steer, bar, 8);
        }
    } else {
        bike->crash_timer--;
    }
    if (bike->crash_timer < 512) {
        double slack = 5 * clampd((bike->crash_timer - 128) / 384.0, 0, 1);
        double seat[3] = {m.rider_pos[0] - m.frame_pos[0], m.rider_pos[1] - m.frame_pos[1],
                          m.rider_pos[2] - m.frame_pos[2]};
        double centre[3] = {0, 0, 0};
        tether(frame, seat, rider, centre, slack);
        for (int side = -1; side <= 1; side += 2) {
            double offset[3] = {5.0 * side, 10, 0};
            double fp[3];
            add3(seat, offset, fp);
            tether(frame, fp, rider, offset, slack);
        }
    }
    if (bike->crash_timer <= 319 && bike->crash_timer > 0) {
        int f = bike_lean_angle(bike) < 0 ? 0 : 1;
        const float *peg = f == 0 ? m.peg_left : m.peg_right;
        double local[3] = {peg[0], peg[1] + 3.0, peg[2] + 1.0}, target[3];
        body_point_world(frame, local, target);
        double u[3];
        for (int k = 0; k < 3; k++)
            u[k] = (target[k] - bike->feet[f][k]) * 32;
        double l = length3(u);
        if (l > 1)
            scale3(u, 1 / l, u);
        for (int k = 0; k < 3; k++)
            bike->feet_velocity[f][k] = (float)(4 * u[k]);
    }
    if (bike->crash_timer <= 0) {
        bike->crash_timer = 0;
        seat_rider(bike);
    }
}

void feet_pose(const Bike *bike, const Terrain *terrain, double left[3], double right[3], double weights[2])
{
    const BikeModel &m = bike->model;
    dBodyID frame = bike->bodies[BODY_FRAME], rider = bike->bodies[BODY_RIDER];
    double pl[3], pr[3];
    copy3f(m.peg_left, pl);
    copy3f(m.peg_right, pr);
    int t = bike->crash_timer;
    if (t > 0) {
        double f = clampd(t, 1, 128) / 128;
        double a = 0.5 * clampd(2 * f - 1, 0, 1), b = clampd(2 * f, 0, 1), e = clampd(1.3333334 * f, 0, 1);
        pl[0] -= a, pl[1] += 1.75 * b, pl[2] += e;
        pr[0] += a, pr[1] += 1.75 * b, pr[2] += e;
    }
    double peg_world[2][3];
    body_point_world(frame, pl, peg_world[0]);
    body_point_world(frame, pr, peg_world[1]);
    copy3(peg_world[0], left);
    copy3(peg_world[1], right);
    weights[0] = weights[1] = 0;
    double blend = bike->dab_blend;
    if (blend != 0 && t < 128 && terrain) {
        double hl[3], hr[3], hip_l[3], hip_r[3], d[3];
        copy3f(m.hip_left, hl);
        copy3f(m.hip_right, hr);
        body_point_world(rider, hl, hip_l);
        body_point_world(rider, hr, hip_r);
        sub3(hip_r, hip_l, d);
        double x[3], y[3], z[3];
        frame_axes(bike, x, y, z);
        double fwd[3] = {-z[0], -z[1], -z[2]};
        double lean = bike_lean_angle(bike);
        double k = clampd(fabs(lean) * 4 / M_PI, 0, 1);
        const dReal *fv = dBodyGetLinearVel(frame);
        double vel[3] = {fv[0], fv[1], fv[2]};
        double s = clampd(dot3(fwd, vel) / 15, 0, 1);
        double o[3];
        scale3(fwd, (1.25 * s - 0.25) * k * 2.5, o);
        if (lean > -0.1) {
            double g[3];
            for (int i = 0; i < 3; i++)
                g[i] = hip_l[i] + d[i] * (0.5 * k - 0.5) + o[i];
            g[1] = terrain_height_at(terrain, (float)g[0], (float)g[2]) + 0.125;
            for (int i = 0; i < 3; i++)
                left[i] = peg_world[0][i] + (g[i] - peg_world[0][i]) * blend;
            weights[0] = blend;
        }
        if (lean < 0.1) {
            double g[3];
            for (int i = 0; i < 3; i++)
                g[i] = hip_r[i] + d[i] * (0.5 - 0.5 * k) + o[i];
            g[1] = terrain_height_at(terrain, (float)g[0], (float)g[2]) + 0.125;
            for (int i = 0; i < 3; i++)
                right[i] = peg_world[1][i] + (g[i] - peg_world[1][i]) * blend;
            weights[1] = blend;
        }
    }
    if (t > 0) {
        double c = clampd(2.0 * t - 128, 1, 128) / 128;
        for (int i = 0; i < 3; i++) {
            left[i] += (bike->feet[0][i] - left[i]) * c;
            right[i] += (bike->feet[1][i] - right[i]) * c;
        }
        weights[0] = weights[1] = 1;
    }
}

void feet_update(Bike *bike, const Terrain *terrain)
{
    bike->dab_blend = (float)fmax(0, bike->dab_blend - 4 * SIM_STEP);
    dBodyID rider = bike->bodies[BODY_RIDER];
    if (bike->crash_timer <= 0) {
        double pose[2][3], weights[2];
        feet_pose(bike, terrain, pose[0], pose[1], weights);
        for (int f = 0; f < 2; f++) {
            dVector3 v;
            dBodyGetPointVel(rider, pose[f][0], pose[f][1], pose[f][2], v);
            for (int k = 0; k < 3; k++) {
                bike->feet[f][k] = (float)pose[f][k];
                bike->feet_velocity[f][k] = (float)v[k];
            }
        }
        return;
    }
    const BikeModel &m = bike->model;
    double x[3], y[3], z[3];
    frame_axes(bike, x, y, z);
    double down[3] = {-y[0], -y[1], -y[2]};
    double leg = m.thigh + m.shin;
    for (int f = 0; f < 2; f++) {
        double p[3], v[3];
        copy3f(bike->feet[f], p);
        copy3f(bike->feet_velocity[f], v);
        for (int k = 0; k < 3; k++)
            p[k] += v[k] * SIM_STEP;
        v[1] -= 32 * SIM_STEP;
        if (terrain) {
            double ground = terrain_height_at(terrain, (float)p[0], (float)p[2]) + 0.25;
            if (p[1] < ground) {
                p[1] = ground;
                v[0] = v[1] = v[2] = 0;
            }
        }
        scale3(v, 0.9375, v);
        double hip_local[3], hip[3];
        copy3f(f == 0 ? m.hip_left : m.hip_right, hip_local);
        body_point_world(rider, hip_local, hip);
        double d[3];
        sub3(p, hip, d);
        double dist = length3(d);
        if (dist > leg) {
            double along[3];
            scale3(d, 1 / dist, along);
            for (int k = 0; k < 3; k++)
                p[k] = hip[k] + along[k] * leg;
            dVector3 rv;
            dBodyGetPointVel(rider, p[0], p[1], p[2], rv);
            double body_v[3] = {rv[0], rv[1], rv[2]};
            double dv = dot3(body_v, along) - dot3(v, along);
            for (int k = 0; k < 3; k++)
                v[k] += dv * along[k];
        }
        double plane[3], rel[3];
        add3(hip, down, plane);
        sub3(p, plane, rel);
        double side = dot3(rel, down);
        if (side < 0) {
            for (int k = 0; k < 3; k++)
                p[k] -= side * down[k];
            dVector3 rv;
            dBodyGetPointVel(rider, p[0], p[1], p[2], rv);
            double body_v[3] = {rv[0], rv[1], rv[2]};
            double dv = dot3(body_v, down) - dot3(v, down);
            for (int k = 0; k < 3; k++)
                v[k] += dv * down[k];
        }
        for (int k = 0; k < 3; k++) {
            bike->feet[f][k] = (float)p[k];
            bike->feet_velocity[f][k] = (float)v[k];
        }
    }
}
