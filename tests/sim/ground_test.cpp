// Shapes from ".shp" text, and tori and spheres against the heightfield.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "sim/ground.h"
#include "sim/shape.h"
#include "sim_fixtures.h"
#include "test_util.h"

namespace {

TEST(Shape, ParsesSpheres)
{
    const char text[] = "2\n0.5 -1 2\n0.25 0.8 2500 250\n0 0 0 1 1 10 20\n";
    CollisionShape s;
    ASSERT_TRUE(parse_shape_text(text, sizeof text - 1, &s));
    ASSERT_EQ(s.spheres.size(), 2u);
    EXPECT_DOUBLE_EQ(s.spheres[0].centre[1], -1);
    EXPECT_DOUBLE_EQ(s.spheres[0].radius, 0.25);
    EXPECT_DOUBLE_EQ(s.spheres[0].friction, 0.8);
    EXPECT_DOUBLE_EQ(s.spheres[1].damping, 20);
    EXPECT_NEAR(s.bounding_radius, sqrt(0.25 + 1 + 4) + 0.25, 1e-12);
}

TEST(Shape, RejectsBadText)
{
    const char *bad[] = {
        "",                                  // nothing
        "1\n0 0 0 1 1 1",                    // short by one number
        "2\n0 0 0 1 1 1 1\n",                // second sphere missing
        "x",                                 // no count
        "-1\n",                              // negative count
        "99999999999\n0 0 0 1 1 1 1",        // count beyond the text
        "1\n0 0 nan 1 1 1 1",                // not a number
        "1\n0 0 1e999 1 1 1 1",              // not finite
    };
    for (const char *text : bad) {
        CollisionShape s;
        s.bounding_radius = -7;
        EXPECT_FALSE(parse_shape_text(text, strlen(text), &s)) << text;
        EXPECT_EQ(s.bounding_radius, -7) << text;
    }
}

TEST(Shape, LoadsFilesAndCachesFailures)
{
    TempDir dir;
    std::string good = dir.write("good.shp", "1\n0 1 0 0.5 0.9 2500 250\n");
    std::string shortfile = dir.write("short.shp", "3\n0 1 0 0.5\n");
    clear_shape_cache();
    const CollisionShape *s = load_shape(good.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->spheres.size(), 1u);
    EXPECT_EQ(load_shape(good.c_str()), s);  // cached
    EXPECT_EQ(load_shape(shortfile.c_str()), nullptr);
    EXPECT_EQ(load_shape(dir.file("missing.shp").c_str()), nullptr);
    CollisionShape *copy = copy_shape(s);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->world_centres.size(), 3u);
    free_shape(copy);
    EXPECT_EQ(copy_shape(nullptr), nullptr);
    clear_shape_cache();
}

TEST(GroundContact, TorusOnFlatGround)
{
    auto t = make_flat_terrain(4, 2, 1);
    double axle[3] = {1, 0, 0};
    double centre[3] = {10.3, 1 + 0.75 + 0.333333 - 0.1, 9.7};
    GroundHit hit;
    ASSERT_TRUE(torus_terrain(t.get(), centre, axle, 0.75, 0.333333, &hit));
    EXPECT_NEAR(hit.depth, 0.1, 1e-9);
    EXPECT_NEAR(hit.normal[1], 1, 1e-12);
    EXPECT_NEAR(hit.point[1], 1 - 0.1, 1e-9);
    EXPECT_NEAR(hit.point[0], 10.3, 1e-9);
    centre[1] += 0.2;
    EXPECT_FALSE(torus_terrain(t.get(), centre, axle, 0.75, 0.333333, &hit));
    // A wheel lying flat on its side touches with its tube.
    double flat_axle[3] = {0, 1, 0};
    double lying[3] = {10, 1 + 0.3, 10};
    ASSERT_TRUE(torus_terrain(t.get(), lying, flat_axle, 0.75, 0.333333, &hit));
    EXPECT_NEAR(hit.depth, 0.033333, 1e-6);
    // Sunk with the whole core circle below the ground.
    double sunk[3] = {10, 1 - 2, 10};
    ASSERT_TRUE(torus_terrain(t.get(), sunk, axle, 0.75, 0.333333, &hit));
    EXPECT_NEAR(hit.depth, 1.5, 1e-12);
    EXPECT_NEAR(hit.normal[1], 1, 1e-12);
}

TEST(GroundContact, TorusOnSlopeAgreesWithPlane)
{
    // A plane y = 0.3 x: the tube's nearest point gives depth r - distance.
    auto t = make_terrain(4, 2, [](float x, float) { return 0.3f * x; });
    double axle[3] = {0, 0, 1};  // wheel rolling along x, in the slope's plane
    double n[3] = {-0.3, 1, 0};
    double nl = sqrt(1.09);
    double x = 12, y = 0.3 * x + (0.75 + 0.333333 - 0.05) * nl;  // distance of the centre from the plane along y
    double centre[3] = {x, y, 15};
    GroundHit hit;
    ASSERT_TRUE(torus_terrain(t.get(), centre, axle, 0.75, 0.333333, &hit));
    double dist_centre = (y - 0.3 * x) / nl;
    // Heights are stored as floats.
    EXPECT_NEAR(hit.depth, 0.75 + 0.333333 - dist_centre, 1e-6);
    EXPECT_NEAR(hit.normal[0], n[0] / nl, 1e-6);
    EXPECT_NEAR(hit.normal[1], n[1] / nl, 1e-6);
}

TEST(GroundContact, StepWallGivesHorizontalNormal)
{
    // A vertical-ish step: heights jump by 3 ft between x = 10 and x = 10.01...
    auto t = make_terrain(4, 1, [](float x, float) { return x >= 11 ? 3.0f : 0.0f; });
    double axle[3] = {0, 0, 1};
    double centre[3] = {10.1, 1.1, 8};  // against the rise from x = 10 to 11
    GroundHit hit;
    ASSERT_TRUE(torus_terrain(t.get(), centre, axle, 0.75, 0.333333, &hit));
    EXPECT_GE(hit.normal[1], 0);
    EXPECT_NEAR(hit.normal[0] * hit.normal[0] + hit.normal[1] * hit.normal[1] + hit.normal[2] * hit.normal[2], 1,
                1e-9);
    EXPECT_LT(hit.normal[0], 0);  // pushed back, away from the wall
}

TEST(GroundContact, SphereAgainstTerrain)
{
    auto t = make_flat_terrain(4, 2, 0);
    double c[3] = {5, 0.4, 5};
    GroundHit hit;
    ASSERT_TRUE(sphere_terrain(t.get(), c, 0.5, &hit));
    EXPECT_NEAR(hit.depth, 0.1, 1e-12);
    EXPECT_NEAR(hit.normal[1], 1, 1e-12);
    c[1] = 0.6;
    EXPECT_FALSE(sphere_terrain(t.get(), c, 0.5, &hit));
    // A sphere near a ridge edge gets the edge's direction.
    auto ridge = make_terrain(4, 2, [](float x, float) { return x <= 10 ? 2.0f - 0.0f * x : 2.0f - 4 * (x - 10); });
    double near_edge[3] = {10.3, 2.2, 9};
    ASSERT_TRUE(sphere_terrain(ridge.get(), near_edge, 0.5, &hit));
    EXPECT_GT(hit.depth, 0);
    EXPECT_NEAR(hit.depth, 0.5 - sqrt(0.3 * 0.3 + 0.2 * 0.2), 1e-6);
}

TEST(GroundContact, OffTheGridUsesEdgeHeights)
{
    auto t = make_terrain(3, 2, [](float x, float z) { return 0.1f * x + 0.05f * z; });
    double far_h = terrain_grid_height(t.get(), t->grid_size - 1, t->grid_size - 1);
    double c[3] = {500, far_h + 0.4, 700};
    GroundHit hit;
    ASSERT_TRUE(sphere_terrain(t.get(), c, 0.5, &hit));
    EXPECT_NEAR(hit.depth, 0.1, 1e-6);
    double axle[3] = {1, 0, 0};
    double w[3] = {-300, terrain_grid_height(t.get(), 0, 0) + 1.0, -900};
    ASSERT_TRUE(torus_terrain(t.get(), w, axle, 0.75, 0.333333, &hit));
    EXPECT_NEAR(hit.depth, 1.083333 - 1.0, 1e-6);
    // Non-finite positions never touch.
    double bad[3] = {NAN, 0, 0};
    EXPECT_FALSE(sphere_terrain(t.get(), bad, 0.5, &hit));
    EXPECT_FALSE(torus_terrain(t.get(), bad, axle, 0.75, 0.333333, &hit));
    double huge[3] = {1e300, 0, -1e300};
    EXPECT_FALSE(sphere_terrain(t.get(), huge, 0.5, &hit) && hit.depth > 1);
}

}  // namespace
