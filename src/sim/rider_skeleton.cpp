// Posing the rider skeleton: the limb solver and the bone transforms.
#include "sim/rider_skeleton.h"

#include <cmath>

#include "sim/bike_models.h"
#include "sim/sim_math.h"

namespace {

// Any unit vector at right angles to the unit vector u.
void perpendicular(const double u[3], double out[3])
{
    const double x[3] = {1, 0, 0}, z[3] = {0, 0, 1};
    cross3(u, std::fabs(u[0]) < 0.9 ? x : z, out);
    normalise3(out);
}

float limb_length(const BikeModel *m, int which)
{
    switch (which) {
    case RIDER_UPPER_ARM:
        return m->upper_arm;
    case RIDER_FOREARM:
        return m->forearm;
    case RIDER_THIGH:
        return m->thigh;
    default:
        return m->shin;
    }
}

// Columns: the bone's direction, the limb's bend normal, and their cross.
void bone_frame(const double root[3], const double tip[3], const double normal[3], double frame[3][3])
{
    double d[3] = {tip[0] - root[0], tip[1] - root[1], tip[2] - root[2]};
    normalise3(d);
    double side[3];
    cross3(d, normal, side);
    if (normalise3(side) == 0)
        perpendicular(d, side);
    double n[3];
    cross3(side, d, n);
    for (int r = 0; r < 3; r++)
        frame[r][0] = d[r], frame[r][1] = n[r], frame[r][2] = side[r];
}

// The normal of the plane a limb bends in; a straight limb keeps the bind
// plane's normal so the bones do not spin.
void bend_normal(const double root[3], const double middle[3], const double tip[3], const double fallback[3],
                 double out[3])
{
    double a[3] = {middle[0] - root[0], middle[1] - root[1], middle[2] - root[2]};
    double b[3] = {tip[0] - middle[0], tip[1] - middle[1], tip[2] - middle[2]};
    cross3(a, b, out);
    if (normalise3(out) < 1e-9)
        for (int k = 0; k < 3; k++)
            out[k] = fallback[k];
}

}  // namespace

void rider_limb_joint(const double root[3], const double target[3], double a, double b, const double hint[3],
                      double joint[3])
{
    double u[3] = {target[0] - root[0], target[1] - root[1], target[2] - root[2]};
    double reach = normalise3(u);
    double w[3] = {hint[0] - root[0], hint[1] - root[1], hint[2] - root[2]};
    if (reach < 1e-9) {
        // No direction to the target: fold the limb toward the hint.
        double length = normalise3(w);
        if (length < 1e-9)
            w[0] = 0, w[1] = -1, w[2] = 0;
        for (int k = 0; k < 3; k++)
            joint[k] = root[k] + a * w[k];
        return;
    }
    double d = std::fmin(reach, 0.95 * (a + b));
    double h = (a * a + d * d - b * b) / (2 * d);
    double along = dot3(w, u);
    double v[3] = {w[0] - along * u[0], w[1] - along * u[1], w[2] - along * u[2]};
    if (normalise3(v) < 1e-9)
        perpendicular(u, v);
    // A target nearer than |a - b| leaves h outside [-a, a]; the joint then
    // lies on the line, still a from the root.
    h = std::fmax(-a, std::fmin(a, h));
    double across = a * a - h * h;
    across = across > 0 ? std::sqrt(across) : 0;
    for (int k = 0; k < 3; k++)
        joint[k] = root[k] + h * u[k] + across * v[k];
}

void rider_pose_joints(const BikeModel *m, const double feet[2][3], const double grips[2][3],
                       double joints[RIDER_JOINT_COUNT][3])
{
    const float *roots[4] = {m->hip_left, m->hip_right, m->hand_left, m->hand_right};
    for (int l = 0; l < RIDER_LIMB_COUNT; l++) {
        const RiderLimb &limb = rider_skeleton.limbs[l];
        const double *target = l < 2 ? feet[l] : grips[l - 2];
        for (int k = 0; k < 3; k++) {
            joints[limb.root][k] = roots[l][k];
            joints[limb.tip][k] = target[k];
        }
        double hint[3];
        for (int k = 0; k < 3; k++)
            hint[k] = joints[limb.root][k] + limb.hint[k];
        rider_limb_joint(joints[limb.root], target, limb_length(m, limb.upper_length),
                         limb_length(m, limb.lower_length), hint, joints[limb.middle]);
    }
}

void rider_rest_targets(const BikeModel *m, double feet[2][3], double grips[2][3])
{
    const float *pegs[2] = {m->peg_left, m->peg_right}, *bar[2] = {m->grip_left, m->grip_right};
    for (int s = 0; s < 2; s++)
        for (int k = 0; k < 3; k++) {
            feet[s][k] = (double)m->frame_pos[k] + pegs[s][k] - m->rider_pos[k];
            grips[s][k] = (double)m->steer_pos[k] + bar[s][k] - m->rider_pos[k];
        }
}

void rider_rest_joints(const BikeModel *m, double joints[RIDER_JOINT_COUNT][3])
{
    double feet[2][3], grips[2][3];
    rider_rest_targets(m, feet, grips);
    rider_pose_joints(m, feet, grips, joints);
}

void rider_bone_pose(const double joints[RIDER_JOINT_COUNT][3], RiderBonePose *pose)
{
    for (int b = 0; b < RIDER_BONE_COUNT; b++)
        for (int k = 0; k < 3; k++) {
            pose->centres[b * 3 + k] = 0;
            pose->translations[b * 3 + k] = 0;
            for (int c = 0; c < 3; c++)
                pose->rotations[b * 9 + k * 3 + c] = k == c ? 1.0f : 0.0f;
        }
    for (const RiderLimb &limb : rider_skeleton.limbs) {
        double bind[RIDER_JOINT_COUNT][3];
        for (int j : {limb.root, limb.middle, limb.tip})
            for (int k = 0; k < 3; k++)
                bind[j][k] = rider_skeleton.bind[j][k];
        double bind_normal[3], now_normal[3];
        const double up[3] = {0, 1, 0};
        bend_normal(bind[limb.root], bind[limb.middle], bind[limb.tip], up, bind_normal);
        bend_normal(joints[limb.root], joints[limb.middle], joints[limb.tip], bind_normal, now_normal);
        const int bones[2] = {limb.upper_bone, limb.lower_bone};
        const int from[2] = {limb.root, limb.middle}, to[2] = {limb.middle, limb.tip};
        for (int s = 0; s < 2; s++) {
            double f0[3][3], f1[3][3];
            bone_frame(bind[from[s]], bind[to[s]], bind_normal, f0);
            bone_frame(joints[from[s]], joints[to[s]], now_normal, f1);
            float *r = pose->rotations + bones[s] * 9;
            // R = F1 F0^T takes the bind frame onto the current one.
            for (int i = 0; i < 3; i++)
                for (int j = 0; j < 3; j++)
                    r[i * 3 + j] = (float)(f1[i][0] * f0[j][0] + f1[i][1] * f0[j][1] + f1[i][2] * f0[j][2]);
            for (int k = 0; k < 3; k++) {
                pose->centres[bones[s] * 3 + k] = (float)bind[from[s]][k];
                pose->translations[bones[s] * 3 + k] = (float)joints[from[s]][k];
            }
        }
    }
}

BoneData rider_bone_data(const RiderBonePose *pose)
{
    BoneData data;
    data.count = RIDER_BONE_COUNT;
    data.centres = pose->centres;
    data.translations = pose->translations;
    data.rotations = pose->rotations;
    return data;
}
