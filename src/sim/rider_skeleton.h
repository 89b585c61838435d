// The rider skeleton shared by every bike model: bone order, the bind pose
// the rider meshes are built in, which model points drive each limb, and the
// bone transforms that pose a skinned rider.
//
// Every point is in rider-body coordinates: origin at the rider body's
// centre (the model's rider_pos), axes those of the bike (x to the rider's
// right, y up, z toward the rear), feet.
//
// Bones, in the order of the bone weights in "rider_body.qm",
// "rider_body_fp.qm" and "rider_plate.qm":
//   0 torso            pelvis, trunk, neck and the back plate; rigid with
//                      the rider body (identity transform)
//   1 left thigh       left hip -> left knee
//   2 left shin        left knee -> left foot (boot included)
//   3 right thigh      right hip -> right knee
//   4 right shin       right knee -> right foot
//   5 left upper arm   left shoulder -> left elbow
//   6 left forearm     left elbow -> left grip (glove included)
//   7 right upper arm  right shoulder -> right elbow
//   8 right forearm    right elbow -> right grip
//
// What drives the limbs: the hips are the model's hip points; the feet are
// the feet of the crash code (the pegs while riding); the shoulders are the
// model's hand points (they sit at shoulder height ahead of the chest); the
// grips are the model's grip points on the steering body. Knees and elbows
// are placed by the two-bone solver with the limb lengths of the model and
// the hint points below: knees bend forward, elbows out and up.
//
// The bind pose is the solver's answer for the model table's geometry with
// the bike at rest (all 45 models share it), so posing a resting bike gives
// identity bones. The head is a separate rigid model ("rider_head.qm") whose
// origin is `head_centre`, placed with the rider body's rotation.
#pragma once

#include "data/model.h"

struct BikeModel;

enum RiderBone {
    RIDER_BONE_TORSO,
    RIDER_BONE_THIGH_LEFT,
    RIDER_BONE_SHIN_LEFT,
    RIDER_BONE_THIGH_RIGHT,
    RIDER_BONE_SHIN_RIGHT,
    RIDER_BONE_UPPER_ARM_LEFT,
    RIDER_BONE_FOREARM_LEFT,
    RIDER_BONE_UPPER_ARM_RIGHT,
    RIDER_BONE_FOREARM_RIGHT,
    RIDER_BONE_COUNT
};

enum RiderJoint {
    RIDER_HIP_LEFT,
    RIDER_KNEE_LEFT,
    RIDER_FOOT_LEFT,
    RIDER_HIP_RIGHT,
    RIDER_KNEE_RIGHT,
    RIDER_FOOT_RIGHT,
    RIDER_SHOULDER_LEFT,
    RIDER_ELBOW_LEFT,
    RIDER_GRIP_LEFT,
    RIDER_SHOULDER_RIGHT,
    RIDER_ELBOW_RIGHT,
    RIDER_GRIP_RIGHT,
    RIDER_JOINT_COUNT
};

enum RiderLimbLength { RIDER_UPPER_ARM, RIDER_FOREARM, RIDER_THIGH, RIDER_SHIN };

// One limb: root, middle and tip joints, the bones from root to middle and
// from middle to tip, the model lengths of those bones, and the hint point
// (relative to the root) that the middle joint bends toward.
struct RiderLimb {
    int root, middle, tip;
    int upper_bone, lower_bone;
    int upper_length, lower_length;
    float hint[3];
};

enum { RIDER_LIMB_COUNT = 4 };

struct RiderSkeleton {
    float bind[RIDER_JOINT_COUNT][3];
    RiderLimb limbs[RIDER_LIMB_COUNT];
    float head_centre[3];
};

inline constexpr RiderSkeleton rider_skeleton = {
    {
        {-0.269f, -0.570887f, 0.670607f},    // left hip
        {-0.499422f, -1.423274f, -0.321324f}, // left knee
        {-0.6f, -3.077f, 0.064f},             // left foot (left peg)
        {0.269f, -0.570887f, 0.670607f},     // right hip
        {0.499422f, -1.423274f, -0.321324f},  // right knee
        {0.6f, -3.077f, 0.064f},              // right foot
        {-0.556f, 0.580375f, -0.654514f},    // left shoulder
        {-1.315451f, 0.237031f, -0.314883f},  // left elbow
        {-1.097f, -0.455f, -1.207f},          // left grip
        {0.556f, 0.580375f, -0.654514f},     // right shoulder
        {1.315451f, 0.237031f, -0.314883f},   // right elbow
        {1.097f, -0.455f, -1.207f},           // right grip
    },
    {
        {RIDER_HIP_LEFT, RIDER_KNEE_LEFT, RIDER_FOOT_LEFT, RIDER_BONE_THIGH_LEFT, RIDER_BONE_SHIN_LEFT, RIDER_THIGH,
         RIDER_SHIN, {-0.3f, 0.0f, -2.0f}},
        {RIDER_HIP_RIGHT, RIDER_KNEE_RIGHT, RIDER_FOOT_RIGHT, RIDER_BONE_THIGH_RIGHT, RIDER_BONE_SHIN_RIGHT,
         RIDER_THIGH, RIDER_SHIN, {0.3f, 0.0f, -2.0f}},
        {RIDER_SHOULDER_LEFT, RIDER_ELBOW_LEFT, RIDER_GRIP_LEFT, RIDER_BONE_UPPER_ARM_LEFT, RIDER_BONE_FOREARM_LEFT,
         RIDER_UPPER_ARM, RIDER_FOREARM, {-1.0f, -0.3f, 0.6f}},
        {RIDER_SHOULDER_RIGHT, RIDER_ELBOW_RIGHT, RIDER_GRIP_RIGHT, RIDER_BONE_UPPER_ARM_RIGHT,
         RIDER_BONE_FOREARM_RIGHT, RIDER_UPPER_ARM, RIDER_FOREARM, {1.0f, -0.3f, 0.6f}},
    },
    {0.0f, 0.98f, -0.94f},
};

// The two-bone solver: the middle joint of a limb from `root` to `target`
// with lengths a (root side) and b, bent toward `hint`. The reach is capped
// at 0.95 (a + b). A target on the root, or a hint on the root-target line,
// still gives a joint at distance a from the root.
void rider_limb_joint(const double root[3], const double target[3], double a, double b, const double hint[3],
                      double joint[3]);

// All joints from the model's hips and shoulders, the feet and grips given
// in rider-body coordinates, and the solved knees and elbows.
void rider_pose_joints(const BikeModel *model, const double feet[2][3], const double grips[2][3],
                       double joints[RIDER_JOINT_COUNT][3]);
// Where the feet and hands go at rest, in rider-body coordinates: the pegs
// and the grips with the bike upright and the bars straight.
void rider_rest_targets(const BikeModel *model, double feet[2][3], double grips[2][3]);
// The joints of the model at rest.
void rider_rest_joints(const BikeModel *model, double joints[RIDER_JOINT_COUNT][3]);

// Bone transforms for the skinned drawing: a vertex v of bone k goes to
// R_k (v - centre_k) + translation_k (row-major R).
struct RiderBonePose {
    float centres[RIDER_BONE_COUNT * 3];
    float translations[RIDER_BONE_COUNT * 3];
    float rotations[RIDER_BONE_COUNT * 9];
};
void rider_bone_pose(const double joints[RIDER_JOINT_COUNT][3], RiderBonePose *pose);
// The pose as the model layer's bone data (pointers into `pose`).
BoneData rider_bone_data(const RiderBonePose *pose);
