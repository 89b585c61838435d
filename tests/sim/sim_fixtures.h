// Small terrains and bike helpers shared by the simulation tests.
#pragma once
#include <cmath>
#include <functional>
#include <memory>

#include "sim/bike.h"
#include "track/surface.h"
#include "track/terrain.h"

// A square terrain of (2 * 2^exponent + 1)^2 points, heights from `height(x, z)`.
inline std::unique_ptr<Terrain> make_terrain(int exponent, float spacing,
                                             const std::function<float(float, float)> &height)
{
    auto t = std::make_unique<Terrain>();
    terrain_allocate(t.get(), exponent, spacing, 0, 0);
    for (SurfaceType &s : t->surfaces)
        default_surface_type(&s);
    t->surface_count = 1;
    int n = t->grid_size;
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++)
            t->heights[(size_t)j * n + i] = height(i * spacing, j * spacing);
    return t;
}

inline std::unique_ptr<Terrain> make_flat_terrain(int exponent = 5, float spacing = 2, float height = 0)
{
    return make_terrain(exponent, spacing, [height](float, float) { return height; });
}

// Puts a freshly reset bike at (x, z) on ground height `ground`, heading -z.
inline void place_bike(Bike *bike, double x, double ground, double z)
{
    bike_reset(bike);
    bike_translate(bike, x, ground, z);
}

inline double frame_height(const Bike *bike)
{
    return dBodyGetPosition(bike->bodies[BODY_FRAME])[1];
}

#include <cstring>

#include "sim/shape.h"

// Gives a bike collision shapes made here (the shipped shape files are not
// needed): frame, steering, lower fork, swingarm and rider.
inline void attach_test_shapes(Bike *bike)
{
    static const char *texts[5] = {
        "2\n0 0 0 0.6 0.8 2500 250\n0 -0.4 -1.2 0.5 0.8 2500 250\n",
        "1\n0 0 0 0.3 0.5 2500 250\n",
        "1\n0 -0.3 -0.3 0.25 0.5 2500 250\n",
        "1\n0 0 0 0.3 0.5 2500 250\n",
        "2\n0 0 0 0.9 0.6 2500 250\n0 1.2 -0.3 0.5 0.6 2500 250\n",
    };
    for (int i = 0; i < 5; i++) {
        CollisionShape shape;
        if (!parse_shape_text(texts[i], strlen(texts[i]), &shape))
            continue;
        free_shape(bike->shapes[i]);
        bike->shapes[i] = copy_shape(&shape);
    }
}
