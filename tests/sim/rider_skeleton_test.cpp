// The rider skeleton: the bind pose matches every model at rest, the limb
// solver, and bone transforms that carry the skinned mesh with the limbs.
#include "sim/rider_skeleton.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iterator>
#include <vector>

#include "sim/bike_models.h"

namespace {

double distance(const double a[3], const double b[3])
{
    double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// A skinned mesh of one vertex per given point, each fully on one bone,
// posed by the model layer's own skinning.
std::vector<float> skin_points(const std::vector<std::array<double, 3>> &points, const std::vector<int> &bones,
                               const RiderBonePose &pose)
{
    Model mesh;
    mesh.nv = (int)points.size();
    mesh.bone_count = RIDER_BONE_COUNT;
    mesh.positions.assign((size_t)mesh.nv * 6, 0);
    mesh.normals.assign((size_t)mesh.nv * 6, 0);
    mesh.tangents.assign((size_t)mesh.nv * 6, 0);
    mesh.bone_weights.assign((size_t)mesh.nv * 4, 0);
    mesh.bone_indices.assign((size_t)mesh.nv * 4, 0);
    for (int v = 0; v < mesh.nv; v++) {
        for (int k = 0; k < 3; k++)
            mesh.positions[(size_t)(mesh.nv + v) * 3 + k] = (float)points[(size_t)v][k];
        mesh.bone_weights[(size_t)v * 4] = 1;
        mesh.bone_indices[(size_t)v * 4] = bones[(size_t)v];
    }
    BoneData data = rider_bone_data(&pose);
    skin_mesh(&mesh, &data);
    mesh.positions.resize((size_t)mesh.nv * 3);
    return mesh.positions;
}

TEST(RiderSkeleton, BindPoseIsEveryModelAtRest)
{
    for (const BikeModel &m : bike_models) {
        SCOPED_TRACE(m.name);
        double joints[RIDER_JOINT_COUNT][3];
        rider_rest_joints(&m, joints);
        for (int j = 0; j < RIDER_JOINT_COUNT; j++)
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(joints[j][k], rider_skeleton.bind[j][k], 1e-5) << "joint " << j;
        RiderBonePose pose;
        rider_bone_pose(joints, &pose);
        for (int b = 0; b < RIDER_BONE_COUNT; b++) {
            for (int k = 0; k < 9; k++)
                EXPECT_NEAR(pose.rotations[b * 9 + k], k % 4 == 0 ? 1 : 0, 1e-5) << "bone " << b;
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(pose.translations[b * 3 + k], pose.centres[b * 3 + k], 1e-5) << "bone " << b;
        }
    }
}

TEST(RiderSkeleton, BindPoseKeepsTheLimbLengthsAndBendsTheRightWay)
{
    const BikeModel &m = bike_models[0];
    const auto &j = rider_skeleton.bind;
    auto length = [&](int a, int b) {
        double p[3] = {j[a][0], j[a][1], j[a][2]}, q[3] = {j[b][0], j[b][1], j[b][2]};
        return distance(p, q);
    };
    for (int side = 0; side < 2; side++) {
        int hip = side ? RIDER_HIP_RIGHT : RIDER_HIP_LEFT, shoulder = side ? RIDER_SHOULDER_RIGHT : RIDER_SHOULDER_LEFT;
        EXPECT_NEAR(length(hip, hip + 1), m.thigh, 1e-5);
        EXPECT_NEAR(length(hip + 1, hip + 2), m.shin, 1e-5);
        EXPECT_NEAR(length(shoulder, shoulder + 1), m.upper_arm, 1e-5);
        EXPECT_NEAR(length(shoulder + 1, shoulder + 2), m.forearm, 1e-5);
        // Knees ahead of the hips and feet; elbows outside the shoulders.
        EXPECT_LT(j[hip + 1][2], j[hip][2]);
        EXPECT_LT(j[hip + 1][2], j[hip + 2][2]);
        EXPECT_GT(std::fabs(j[shoulder + 1][0]), std::fabs(j[shoulder][0]));
    }
    // The head sits above and ahead of the shoulders.
    EXPECT_GT(rider_skeleton.head_centre[1], j[RIDER_SHOULDER_LEFT][1]);
    EXPECT_LT(rider_skeleton.head_centre[2], j[RIDER_SHOULDER_LEFT][2]);
}

TEST(RiderSkeleton, LimbSolver)
{
    struct Case {
        const char *what;
        double target[3];
        double hint[3];
    };
    const double a = 1.3, b = 1.7;
    const Case cases[] = {
        {"reachable", {0, -2.5, 0}, {0, -1, -2}},
        {"beyond reach: capped", {0, -10, 0}, {0, -1, -2}},
        {"hint on the line", {0, -2.5, 0}, {0, -7, 0}},
        {"closer than a - b", {0, -0.2, 0}, {0, 0, -1}},
    };
    const double root[3] = {0, 0, 0};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        double joint[3];
        rider_limb_joint(root, c.target, a, b, c.hint, joint);
        for (double v : joint)
            ASSERT_TRUE(std::isfinite(v));
        EXPECT_NEAR(distance(root, joint), a, 1e-9);
        double reach = distance(root, c.target);
        if (reach <= 0.95 * (a + b) && reach >= std::fabs(a - b)) {
            EXPECT_NEAR(distance(joint, c.target), b, 1e-9);
        }
    }
    // The joint bends toward the hint's side.
    double joint[3];
    const double target[3] = {0, -2.5, 0}, forward[3] = {0, -1, -2}, back[3] = {0, -1, 2};
    rider_limb_joint(root, target, a, b, forward, joint);
    EXPECT_LT(joint[2], 0);
    rider_limb_joint(root, target, a, b, back, joint);
    EXPECT_GT(joint[2], 0);
    // Target on the root: folded toward the hint, still a from the root.
    rider_limb_joint(root, root, a, b, forward, joint);
    EXPECT_NEAR(distance(root, joint), a, 1e-9);
    EXPECT_LT(joint[2], 0);
}

TEST(RiderSkeleton, BonesCarryTheMeshWithTheLimbs)
{
    const BikeModel &m = bike_models[0];
    double feet[2][3], grips[2][3];
    rider_rest_targets(&m, feet, grips);
    // Left foot off the peg (a dab, within reach), right hand off the bar.
    feet[0][0] -= 0.5, feet[0][1] += 0.3, feet[0][2] -= 0.4;
    grips[1][0] += 0.3, grips[1][1] += 0.4, grips[1][2] += 0.5;
    double joints[RIDER_JOINT_COUNT][3];
    rider_pose_joints(&m, feet, grips, joints);
    RiderBonePose pose;
    rider_bone_pose(joints, &pose);

    // Joints of the bind pose, each skinned by the bone that ends there.
    const auto &bind = rider_skeleton.bind;
    struct Point {
        int joint, bone;
    };
    const Point points[] = {
        {RIDER_KNEE_LEFT, RIDER_BONE_THIGH_LEFT},          {RIDER_KNEE_LEFT, RIDER_BONE_SHIN_LEFT},
        {RIDER_FOOT_LEFT, RIDER_BONE_SHIN_LEFT},           {RIDER_FOOT_RIGHT, RIDER_BONE_SHIN_RIGHT},
        {RIDER_ELBOW_RIGHT, RIDER_BONE_UPPER_ARM_RIGHT},   {RIDER_GRIP_RIGHT, RIDER_BONE_FOREARM_RIGHT},
        {RIDER_GRIP_LEFT, RIDER_BONE_FOREARM_LEFT},        {RIDER_HIP_LEFT, RIDER_BONE_TORSO},
    };
    std::vector<std::array<double, 3>> at;
    std::vector<int> bones;
    for (const Point &p : points) {
        at.push_back({bind[p.joint][0], bind[p.joint][1], bind[p.joint][2]});
        bones.push_back(p.bone);
    }
    // A point off the shin's axis keeps its distance from the knee and foot.
    at.push_back({bind[RIDER_KNEE_LEFT][0] + 0.2, bind[RIDER_KNEE_LEFT][1] - 0.5, bind[RIDER_KNEE_LEFT][2] - 0.1});
    bones.push_back(RIDER_BONE_SHIN_LEFT);
    std::vector<float> out = skin_points(at, bones, pose);
    for (size_t k = 0; k < std::size(points); k++) {
        SCOPED_TRACE(k);
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(out[k * 3 + c], joints[points[k].joint][c], 1e-4);
    }
    size_t off = std::size(points);
    double moved[3] = {out[off * 3], out[off * 3 + 1], out[off * 3 + 2]};
    double knee0[3] = {bind[RIDER_KNEE_LEFT][0], bind[RIDER_KNEE_LEFT][1], bind[RIDER_KNEE_LEFT][2]};
    double foot0[3] = {bind[RIDER_FOOT_LEFT][0], bind[RIDER_FOOT_LEFT][1], bind[RIDER_FOOT_LEFT][2]};
    double was[3] = {at[off][0], at[off][1], at[off][2]};
    EXPECT_NEAR(distance(moved, joints[RIDER_KNEE_LEFT]), distance(was, knee0), 1e-4);
    EXPECT_NEAR(distance(moved, joints[RIDER_FOOT_LEFT]), distance(was, foot0), 1e-4);

    // Every rotation is a proper rotation.
    for (int b = 0; b < RIDER_BONE_COUNT; b++) {
        const float *r = pose.rotations + b * 9;
        double det = r[0] * (r[4] * r[8] - r[5] * r[7]) - r[1] * (r[3] * r[8] - r[5] * r[6]) +
                     r[2] * (r[3] * r[7] - r[4] * r[6]);
        EXPECT_NEAR(det, 1, 1e-5) << "bone " << b;
    }
}

}  // namespace
