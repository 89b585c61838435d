// Scenes of bike and rider parts at rest, and the cameras that frame them.
#include <cmath>
#include <cstring>
#include <numbers>

#include "data/model.h"
#include "shots.h"
#include "sim/bike_look.h"
#include "sim/bike_models.h"
#include "sim/sim_math.h"

namespace {

constexpr double FIELD_OF_VIEW_Y = 30;  // degrees: a long lens keeps the bikes undistorted
constexpr double FILL = 0.84;           // share of the picture the subject may take

void place(Scene *scene, Model *model, const float at[3], const float origin[3], unsigned texture,
           const SkinLook *maps, int pose)
{
    if (!model)
        return;  // the look loader reported it; the rest is still drawn
    Placed p = {model, {at[0] + origin[0], at[1] + origin[1], at[2] + origin[2]}, texture, 0, 0, pose};
    if (maps) {
        p.normal_map = maps->normal_map;
        p.specular_map = maps->specular_map;
    }
    scene->parts.push_back(p);
}

// Calls `visit` with every vertex of the scene as drawn, skinned ones posed.
template <typename Visit>
void for_each_vertex(const Scene &scene, Visit visit)
{
    for (const Placed &p : scene.parts) {
        BoneData bones = bones_of(scene, p);
        for (Model *m = p.model; m; m = m->next) {
            if (m->bone_count > 0)
                skin_mesh(m, p.pose >= 0 ? &bones : nullptr);
            for (int v = 0; v < m->nv; v++) {
                const float *q = &m->positions[(size_t)v * 3];
                double world[3] = {q[0] + p.position[0], q[1] + p.position[1], q[2] + p.position[2]};
                visit(world);
            }
        }
    }
}

}  // namespace

void add_rider(Scene *scene, const BikeLook &look, const float origin[3], const double joints[RIDER_JOINT_COUNT][3])
{
    RiderBonePose pose;
    rider_bone_pose(joints, &pose);
    scene->poses.push_back(pose);
    int index = (int)scene->poses.size() - 1;
    const float zero[3] = {0, 0, 0};
    const SkinLook &body = look.skins[SKIN_RIDER_BODY], &head = look.skins[SKIN_RIDER_HEAD];
    place(scene, look.parts[PART_RIDER_BODY], zero, origin, body.texture, &body, index);
    // The head is rigid, placed with the rider body's rotation (none at rest).
    place(scene, look.parts[PART_RIDER_HEAD], rider_skeleton.head_centre, origin, head.texture, &head, -1);
    place(scene, look.parts[PART_RIDER_PLATE], zero, origin, look.plate_texture, nullptr, index);
}

void add_bike(Scene *scene, const BikeModel *m, const BikeLook &look, const float origin[3], bool rider,
              const double (*joints)[3])
{
    const SkinLook &bike = look.skins[SKIN_BIKE], &wheels = look.skins[SKIN_WHEELS];
    place(scene, look.parts[PART_FRAME], m->frame_pos, origin, bike.texture, &bike, -1);
    place(scene, look.parts[PART_FORK_UPPER], m->steer_pos, origin, bike.texture, &bike, -1);
    place(scene, look.parts[PART_FORK_LOWER], m->fork_lower_pos, origin, bike.texture, &bike, -1);
    place(scene, look.parts[PART_SWINGARM], m->swingarm_pos, origin, bike.texture, &bike, -1);
    place(scene, look.parts[PART_FRONT_WHEEL], m->front_wheel_pos, origin, wheels.texture, &wheels, -1);
    place(scene, look.parts[PART_REAR_WHEEL], m->rear_wheel_pos, origin, wheels.texture, &wheels, -1);
    // Plates carry the number texture: the front one turns with the steering.
    place(scene, look.parts[PART_FRONT_PLATE], m->steer_pos, origin, look.plate_texture, nullptr, -1);
    place(scene, look.parts[PART_SIDE_PLATES], m->frame_pos, origin, look.plate_texture, nullptr, -1);
    if (!rider)
        return;
    double rest[RIDER_JOINT_COUNT][3];
    if (!joints) {
        rider_rest_joints(m, rest);
        joints = rest;
    }
    const float at[3] = {origin[0] + m->rider_pos[0], origin[1] + m->rider_pos[1], origin[2] + m->rider_pos[2]};
    add_rider(scene, look, at, joints);
}

void leg_out_joints(const BikeModel *m, double joints[RIDER_JOINT_COUNT][3])
{
    double feet[2][3], grips[2][3];
    const float *pegs[2] = {m->peg_left, m->peg_right}, *bar[2] = {m->grip_left, m->grip_right};
    for (int s = 0; s < 2; s++)
        for (int k = 0; k < 3; k++) {
            feet[s][k] = (double)m->frame_pos[k] + pegs[s][k] - m->rider_pos[k];
            grips[s][k] = (double)m->steer_pos[k] + bar[s][k] - m->rider_pos[k];
        }
    // Within the leg's reach, so the knee still bends a little.
    const double out[3] = {-1.9, -1.2, -1.7};
    for (int k = 0; k < 3; k++)
        feet[0][k] = m->hip_left[k] + out[k];
    rider_pose_joints(m, feet, grips, joints);
}

BoneData bones_of(const Scene &scene, const Placed &p)
{
    return p.pose >= 0 ? rider_bone_data(&scene.poses[(size_t)p.pose]) : BoneData{};
}

double lowest_point(const Scene &scene)
{
    double low = HUGE_VAL;
    for_each_vertex(scene, [&](const double w[3]) { low = std::fmin(low, w[1]); });
    return std::isfinite(low) ? low : 0;
}

View frame_view(const Scene &scene, double azimuth, double elevation, double aspect)
{
    View view;
    double a = azimuth * std::numbers::pi / 180, e = elevation * std::numbers::pi / 180;
    const double back[3] = {-std::sin(a) * std::cos(e), std::sin(e), -std::cos(a) * std::cos(e)};
    const double world_up[3] = {0, 1, 0};
    memcpy(view.back, back, sizeof back);
    cross3(world_up, view.back, view.right);
    normalise3(view.right);
    cross3(view.back, view.right, view.up);
    view.tan_y = std::tan(FIELD_OF_VIEW_Y * std::numbers::pi / 360);
    view.tan_x = view.tan_y * aspect;

    std::vector<double> points;
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for_each_vertex(scene, [&](const double w[3]) {
        points.insert(points.end(), w, w + 3);
        for (int k = 0; k < 3; k++)
            low[k] = std::fmin(low[k], w[k]), high[k] = std::fmax(high[k], w[k]);
    });
    double centre[3] = {0, 0, 0};
    if (!points.empty())
        for (int k = 0; k < 3; k++)
            centre[k] = (low[k] + high[k]) / 2;
    // The distance that fits every point; then the centre moves to the middle
    // of what the picture shows and the distance is fitted again.
    double distance = 1;
    for (int pass = 0; pass < 3; pass++) {
        distance = 1;
        for (size_t i = 0; i < points.size(); i += 3) {
            double d[3] = {points[i] - centre[0], points[i + 1] - centre[1], points[i + 2] - centre[2]};
            double x = dot3(d, view.right), y = dot3(d, view.up), z = dot3(d, view.back);
            distance = std::fmax(distance, std::fabs(x) / (FILL * view.tan_x) + z);
            distance = std::fmax(distance, std::fabs(y) / (FILL * view.tan_y) + z);
        }
        if (pass == 2 || points.empty())
            break;
        double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
        for (size_t i = 0; i < points.size(); i += 3) {
            double d[3] = {points[i] - centre[0], points[i + 1] - centre[1], points[i + 2] - centre[2]};
            double depth = distance - dot3(d, view.back);
            double x = dot3(d, view.right) / depth, y = dot3(d, view.up) / depth;
            x0 = std::fmin(x0, x), x1 = std::fmax(x1, x), y0 = std::fmin(y0, y), y1 = std::fmax(y1, y);
        }
        for (int k = 0; k < 3; k++)
            centre[k] += distance * ((x0 + x1) / 2 * view.right[k] + (y0 + y1) / 2 * view.up[k]);
    }
    view.distance = distance;
    for (int k = 0; k < 3; k++)
        view.eye[k] = centre[k] + distance * view.back[k];
    return view;
}

void project(const View &view, const float point[3], double *x, double *y)
{
    double d[3] = {point[0] - view.eye[0], point[1] - view.eye[1], point[2] - view.eye[2]};
    double depth = std::fmax(-dot3(d, view.back), 1e-6);
    *x = 0.5 + 0.5 * dot3(d, view.right) / (depth * view.tan_x);
    *y = 0.5 + 0.5 * dot3(d, view.up) / (depth * view.tan_y);
}

double horizon_height(const View &view)
{
    // The level direction the camera faces, at infinite distance.
    double ahead[3] = {-view.back[0], 0, -view.back[2]};
    normalise3(ahead);
    double depth = std::fmax(-dot3(ahead, view.back), 1e-6);
    return 0.5 + 0.5 * dot3(ahead, view.up) / (depth * view.tan_y);
}
