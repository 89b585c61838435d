// The compiled-in bike models: geometry, masses, suspension, gearing, engine
// curves, rider geometry and appearance file names; lookup by name; skins.
#pragma once
#include <string>
#include <vector>

enum { BIKE_MODEL_COUNT = 45, TORQUE_POINTS = 50, GEAR_COUNT = 6 };

struct RiderSkeleton;  // drawing only; shared by every model

// One bike model. Units: feet, slugs, seconds, pounds-force, radians.
// Bike-local axes: x lateral, y up, z from the front (small z) to the rear.
struct BikeModel {
    const char *name;
    const char *class_name;  // "450f", "250f", "250", "125" or "50"
    float front_wheel_pos[3];
    float front_tyre_major_radius;
    float front_tyre_minor_radius;
    float front_ring_mass;
    float front_hub_radius;
    float front_hub_mass;
    float rear_wheel_pos[3];
    float rear_tyre_major_radius;
    float rear_tyre_minor_radius;
    float rear_ring_mass;
    float rear_hub_radius;
    float rear_hub_mass;
    float frame_pos[3];
    float frame_mass;
    float frame_size[3];
    float steer_pos[3];
    float swingarm_pos[3];
    float swingarm_pivot[3];
    float fork_lower_pos[3];
    float fork_spacing;
    float fork_leg_length;
    float fork_mass;
    float fork_spring_min, fork_spring_max;
    float fork_preload_min, fork_preload_max;
    float fork_gap_min_oil, fork_gap_max_oil;
    float fork_hs_compression;
    float fork_ls_compression;
    float fork_hs_rebound;
    float fork_ls_rebound;
    float fork_travel;
    float swingarm_mass;
    float shock_spring_min, shock_spring_max;
    float shock_preload_min, shock_preload_max;
    float shock_hs_compression;
    float shock_ls_compression;
    float shock_hs_rebound;
    float shock_ls_rebound;
    float linkage_stroke_knot;
    float linkage_stroke_full;
    float swingarm_travel;
    float linkage_knot;
    float linkage_slope_start, linkage_slope_knot, linkage_slope_full;
    float primary_ratio;
    float countershaft_teeth, rear_sprocket_teeth;
    float gear_ratios[GEAR_COUNT];  // <= 0: the gear does not exist
    float engine_inertia;
    float clutch_stiffness;
    float clutch_damping;
    float torque_closed[TORQUE_POINTS];  // ft-lb at k * 500 rpm
    float torque_open[TORQUE_POINTS];
    float downshift_rpm;
    float upshift_rpm;
    float redline_rpm;
    float rider_slide_dir[3];
    float rider_pos[3];
    float rider_slide_min, rider_slide_max;
    float rider_mass;
    const char *frame_model, *frame_shape, *bike_texture;
    const char *fork_upper_model, *fork_upper_shape;
    const char *fork_lower_model, *fork_lower_shape;
    const char *swingarm_model, *swingarm_shape;
    const char *front_wheel_model, *front_wheel_shape;
    const char *rear_wheel_model, *rear_wheel_shape;
    const char *wheels_texture;
    const char *rider_head_model, *rider_head_texture;
    const char *rider_body_model, *rider_body_fp_model, *rider_shape, *rider_body_texture;
    const char *side_plates_model, *front_plate_model, *rider_plate_model;
    float head_offsets[2];
    float hand_left[3], hand_right[3];
    float hip_left[3], hip_right[3];
    float grip_left[3], grip_right[3];
    float peg_left[3], peg_right[3];
    float upper_arm, forearm, thigh, shin;
    const RiderSkeleton *skeleton;  // set by the renderer's drawing code; null here
};

// The model table, in its fixed order (per process, constant).
extern const BikeModel bike_models[BIKE_MODEL_COUNT];

// The model named exactly `name`; otherwise the first whose name contains
// "125" when `name` does, else the first containing "250f", else the first
// model. A fallback posts "bike info for '...' not found using '...' instead".
const BikeModel *find_bike_model(const char *name);
// The same lookup without the message; `fell_back` tells whether it fell back.
const BikeModel *lookup_bike_model(const char *name, bool *fell_back);

// Skin textures for a file-name prefix: parallel lists of data names and
// display names, both starting with "" / "default".
struct SkinVariants {
    std::vector<std::string> data_names;
    std::vector<std::string> display_names;
};
SkinVariants list_skin_variants(const char *prefix);
// The same over a given list of data-file names (null-terminated).
SkinVariants list_skin_variants_in(const char *prefix, const char *const *names);
