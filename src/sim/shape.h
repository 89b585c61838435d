// Collision shapes: sets of spheres fixed to a body, read from ".shp" files.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct ShapeSphere {
    double centre[3];  // in the body's frame
    double radius;
    double friction;
    double stiffness;  // bike-to-bike contact values
    double damping;
};

struct CollisionShape {
    std::string name;
    std::vector<ShapeSphere> spheres;
    double bounding_radius;  // largest |centre| + radius
    // Room for the world-space centres (per-bike copies only).
    std::vector<double> world_centres;  // 3 per sphere
};

// Parses ".shp" text: the sphere count, then seven numbers per sphere. False
// (and `shape` untouched) on any read failure, a count that does not fit the
// text, or a number that is not finite.
bool parse_shape_text(const char *text, size_t length, CollisionShape *shape);

// The shape of a data name, cached for the life of the program (a failure is
// cached too). Null when the file is missing or unreadable.
const CollisionShape *load_shape(const char *name);
// A bike's own copy of a cached shape, with room for world centres; null for null.
CollisionShape *copy_shape(const CollisionShape *shape);
void free_shape(CollisionShape *shape);
// Drops the cache (tests).
void clear_shape_cache();
