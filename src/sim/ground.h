// Ground contact: tori and spheres against the terrain triangles, the tyre
// contact with its friction curve, stiffness and rolling resistance, shape
// contacts and the bike's terrain collision.
#pragma once
#include <ode/ode.h>

struct Terrain;
struct SurfaceType;
struct WheelState;
struct CollisionShape;
struct Bike;

struct GroundHit {
    double point[3];
    double normal[3];  // unit, pointing from the ground toward the body
    double depth;      // > 0 when touching
};

// Friction coefficient of a surface at sliding speed u (interpolated in u^2).
double surface_friction(const SurfaceType *surface, double u);
// Rolling-resistance pair (a, b) at rolling speed q (interpolated in q).
void surface_rolling_resistance(const SurfaceType *surface, double q, double *a, double *b);
// Contact spring and damper of a tyre pressed `depth` into the ground.
void tyre_stiffness(double depth, double minor_radius, double *k, double *c);
// ERP and CFM of a contact spring k and damper c at the fixed step.
void soft_contact_params(double k, double c, double *erp, double *cfm);
// Rolling-resistance force on a wheel moving with velocity `w` over ground
// of unit normal `normal`, for a resistance magnitude rho.
void rolling_resistance_force(const double w[3], const double normal[3], double rho, double force[3]);

// Deepest touch of a torus (centre, unit axle, radii) with the terrain; false when none.
bool torus_terrain(const Terrain *terrain, const double centre[3], const double axle[3], double major,
                   double minor, GroundHit *hit);
// Deepest touch of a sphere with the terrain; false when none.
bool sphere_terrain(const Terrain *terrain, const double centre[3], double radius, GroundHit *hit);

// Fills the wheel state and makes the tyre's contact joint. True when touching.
bool tyre_contact(const Terrain *terrain, WheelState *wheel, double friction_scale);
// One contact joint per touching sphere; true when any touched.
bool shape_contact(CollisionShape *shape, dBodyID body, const Terrain *terrain);

// Bits of bike_terrain_collision's result.
enum {
    TOUCH_FRONT_TYRE = 1 << 0,
    TOUCH_REAR_TYRE = 1 << 1,
    TOUCH_FRAME = 1 << 2,
    TOUCH_FORK_UPPER = 1 << 3,
    TOUCH_FORK_LOWER = 1 << 4,
    TOUCH_SWINGARM = 1 << 5,
    TOUCH_RIDER = 1 << 6,
};
int bike_terrain_collision(Bike *bike, const Terrain *terrain);
