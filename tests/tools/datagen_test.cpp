// The data generator: byte-identical runs, every shipped track loading with
// laps that can be ridden through its gates, the pieces it is built from,
// and the read-back that names a broken file.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/file_index.h"
#include "data/search_path.h"
#include "datagen/course.h"
#include "datagen/datagen.h"
#include "datagen/hud.h"
#include "datagen/image_out.h"
#include "datagen/mesh.h"
#include "datagen/textures.h"
#include "datagen/tracks.h"
#include "datagen/validate.h"
#include "race/gates.h"
#include "sim/shape.h"
#include "data/image.h"
#include "data/model.h"
#include "data/stream.h"
#include "sim/bike_models.h"
#include "sim/rider_skeleton.h"
#include "test_util.h"
#include "track/furniture.h"
#include "track/terrain.h"
#include "track/track.h"

extern char **environ;

namespace {

int run_generator(const std::string &output)
{
    std::string program = ZV_DATA_GENERATOR;
    char *argv[] = {program.data(), const_cast<char *>(output.c_str()), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// One generated set shared by the cases that only read it.
class ShippedSet : public ::testing::Test {
protected:
    static TempDir *dir;
    static void SetUpTestSuite()
    {
        dir = new TempDir();
        ASSERT_EQ(run_generator(dir->path), 0);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override
    {
        set_env("ZV_HOME", dir->path.c_str());
        set_env("XDG_DATA_HOME", (dir->path + "/no-home").c_str());
        data_search_path_reset();
        file_index_reset();
    }
    void TearDown() override
    {
        free_track();
        file_index_reset();
        data_search_path_reset();
    }
};
TempDir *ShippedSet::dir = nullptr;

TEST_F(ShippedSet, TwoRunsGiveTheSameArchive)
{
    TempDir second;
    ASSERT_EQ(run_generator(second.path), 0);
    std::string a = read_file_bytes(dir->file("zzzz.saf")), b = read_file_bytes(second.file("zzzz.saf"));
    ASSERT_GT(a.size(), 1000000u);
    EXPECT_LT(a.size(), 64u << 20);
    EXPECT_TRUE(a == b);
}

double distance(const Checkpoint &a, const Checkpoint &b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z));
}

// Walks a rider in 1-ft steps from the gate through the checkpoints of the
// first lap and two more laps, as the crossing test sees it.
int walk_laps(const GateTables &g)
{
    std::vector<int> route;
    for (int k = 0; k < g.first_lap; k++)
        route.push_back(g.sequence[k] % GATE_NO_SEGMENT);
    for (int lap = 0; lap < 2; lap++)
        for (int k = 0; k < g.normal_lap; k++)
            route.push_back(g.sequence[g.first_lap + k] % GATE_NO_SEGMENT);
    GateHistory history;
    reset_gate_history(&history);
    const StartPosition &start = g.starts[0];
    double x = start.x, z = start.z;
    int tick = 0;
    for (int gate : route) {
        const Checkpoint &c = g.checkpoints[gate];
        double dx = c.x - x, dz = c.z - z, length = std::sqrt(dx * dx + dz * dz);
        int steps = (int)length + 1;
        for (int s = 1; s <= steps; s++) {
            double px = x + dx * s / steps, pz = z + dz * s / steps;
            check_gates(&history, (float)px, c.y, (float)pz, ++tick);
        }
        // A little past the centre, along the gate's direction.
        x = c.x + c.dx, z = c.z + c.dz;
        check_gates(&history, (float)x, c.y, (float)z, ++tick);
    }
    return lap_of(&history, nullptr);
}

struct ShippedTrack {
    const char *id;
    const char *name;
    int grid;
    double min_lap_ft, max_lap_ft;
};

const ShippedTrack shipped[] = {
    {"rabbithill", "Rabbit Hill", 1025, 4900, 6600},
    {"arenacross", "Arena Cross", 513, 1800, 3300},
    {"sanddunes", "Sand Dunes", 1025, 3500, 6600},
};

TEST_F(ShippedSet, EveryTrackLoadsAndItsLapsCanBeRidden)
{
    ASSERT_EQ(find_tracks(), 3);
    for (const ShippedTrack &t : shipped) {
        SCOPED_TRACE(t.id);
        bool listed = false;
        for (int k = 0; k < track_count(); k++)
            listed = listed || (std::string(track_id(k)) == t.id && std::string(track_display_name(k)) == t.name);
        EXPECT_TRUE(listed);
        requested_track_id = t.id;
        ASSERT_EQ(load_track(), 1);
        const Terrain *terrain = current_terrain;
        EXPECT_EQ(terrain->grid_size, t.grid);
        EXPECT_FLOAT_EQ(terrain->spacing, 1.0f);
        EXPECT_EQ(terrain->surface_count, 18);
        // Transition tiles carry the main surface, the infield and their corner mask.
        for (int k = 4; k < 18; k++)
            EXPECT_EQ(terrain->surfaces[k].texture_code, 0 * 65536 + 3 * 256 + (k - 3)) << "type " << k;

        const GateTables &g = gate_tables;
        ASSERT_EQ(g.starts.size(), 40u);
        ASSERT_GT(g.first_lap, 0);
        ASSERT_GT(g.normal_lap, 0);
        // Starting positions stand on the ground, side by side.
        for (const StartPosition &s : g.starts)
            EXPECT_NEAR(s.y, terrain_height_at(terrain, s.x, s.z), 0.05);
        EXPECT_NEAR(std::hypot(g.starts[1].x - g.starts[0].x, g.starts[1].z - g.starts[0].z), 3.2, 0.01);

        // Checkpoints every 30 to 60 ft (chords are a little shorter on turns),
        // each on the riding surface, the lap as long as designed.
        double lap = 0;
        for (int k = 0; k < g.normal_lap; k++) {
            const Checkpoint &a = g.checkpoints[g.sequence[g.first_lap + k]];
            const Checkpoint &b = g.checkpoints[g.sequence[g.first_lap + (k + 1) % g.normal_lap]];
            double d = distance(a, b);
            EXPECT_GE(d, 25) << "gate " << k;
            EXPECT_LE(d, 60) << "gate " << k;
            lap += d;
            int type = surface_at(terrain, a.x, a.z);
            EXPECT_TRUE(type == 0 || type == 1 || type == 2) << "gate " << k << " on surface " << type;
            EXPECT_GT(a.y, terrain_height_at(terrain, a.x, a.z));
        }
        EXPECT_GT(lap, t.min_lap_ft);
        EXPECT_LT(lap, t.max_lap_ft);
        for (int k = 1; k < g.first_lap; k++)
            EXPECT_LE(distance(g.checkpoints[g.sequence[k - 1]], g.checkpoints[g.sequence[k]]), 60) << "lap 1 gate " << k;

        EXPECT_EQ(walk_laps(g), 3);

        // No steps in the ground: the steepest jump faces rise about 2 ft per
        // ft; where the start straight met the lap there were walls of 4 to 8.
        double steepest = 0;
        const int n = terrain->grid_size;
        for (int j = 0; j + 1 < n; j++)
            for (int i = 0; i + 1 < n; i++) {
                float h = terrain->heights[(size_t)j * n + i];
                steepest = std::fmax(steepest, std::fabs(terrain->heights[(size_t)j * n + i + 1] - h));
                steepest = std::fmax(steepest, std::fabs(terrain->heights[(size_t)(j + 1) * n + i] - h));
            }
        EXPECT_LT(steepest / terrain->spacing, 3.0);

        // Furniture: the gate objects, other statues, billboards, flaggers, cameras.
        const Furniture &f = track_furniture;
        EXPECT_GT(f.statues.size(), 40u);
        EXPECT_GT(f.billboards.size(), (size_t)PARTICLE_BILLBOARDS);
        EXPECT_GE(f.starting_gate.billboard, 0);
        EXPECT_GE(f.lap_board.billboard, 0);
        EXPECT_FALSE(f.flaggers.empty());
        EXPECT_FALSE(f.cameras.empty());
        free_track();
    }
}

// The series names shipped tracks and gives 40 moto and 40 round points per event.
TEST_F(ShippedSet, SeriesCoversTheShippedTracks)
{
    DataStream *stream = stream_open("@zorvex.series", "r");
    ASSERT_NE(stream, nullptr);
    char title[1024], skill[64];
    int riders = 0, events = 0;
    ASSERT_EQ(stream_scanf(stream, " \"%1023[^\"]\" %d %63s", title, &riders, skill), 3);
    EXPECT_STREQ(skill, "Amateur");
    for (int k = 0; k < riders; k++) {
        int number = 0;
        ASSERT_EQ(stream_scanf(stream, " %d", &number), 1);
        EXPECT_TRUE(number >= 20 && number <= 99) << number;
    }
    ASSERT_EQ(stream_scanf(stream, " %d", &events), 1);
    ASSERT_GT(events, 0);
    for (int e = 0; e < events; e++) {
        char name[1024], track[1024];
        int minutes, laps;
        ASSERT_EQ(stream_scanf(stream, " \"%1023[^\"]\" %1023s %d %d", name, track, &minutes, &laps), 4);
        bool shipped_track = false;
        for (const ShippedTrack &t : shipped)
            shipped_track = shipped_track || !strcmp(track, t.id);
        EXPECT_TRUE(shipped_track) << track;
        EXPECT_GT(laps, 0);
        for (int k = 0; k < 80; k++) {
            int points = -1;
            ASSERT_EQ(stream_scanf(stream, " %d", &points), 1) << name << " value " << k;
            EXPECT_GE(points, 0);
        }
    }
    stream_close(stream);
}

TEST_F(ShippedSet, StatueModelsAndShapesLoad)
{
    for (const char *name : {"@haybale", "@tuffblock", "@startgate", "@gatepost"}) {
        SCOPED_TRACE(name);
        Model *model = load_model((std::string(name) + ".qm").c_str());
        ASSERT_NE(model, nullptr);
        EXPECT_GT(model->nt, 0);
        const CollisionShape *shape = load_shape((std::string(name) + ".shp").c_str());
        ASSERT_NE(shape, nullptr);
        EXPECT_GT(shape->bounding_radius, 0.5);
    }
    free_model_cache();
    clear_shape_cache();
}

// Every bike model finds its part models, skins and collision shapes, and
// its skin carries the number plate colours.
TEST_F(ShippedSet, EveryBikeModelFindsItsAppearanceFiles)
{
    for (const BikeModel &m : bike_models) {
        SCOPED_TRACE(m.name);
        for (const char *model : {m.frame_model, m.fork_upper_model, m.fork_lower_model, m.swingarm_model,
                                  m.side_plates_model, m.front_plate_model, m.front_wheel_model, m.rear_wheel_model,
                                  m.rider_body_model, m.rider_body_fp_model, m.rider_plate_model, m.rider_head_model})
            EXPECT_NE(load_model(model), nullptr) << model;
        for (const char *shape : {m.frame_shape, m.fork_upper_shape, m.fork_lower_shape, m.swingarm_shape,
                                  m.front_wheel_shape, m.rear_wheel_shape, m.rider_shape})
            EXPECT_NE(load_shape(shape), nullptr) << shape;
        for (const char *texture : {m.bike_texture, m.wheels_texture, m.rider_body_texture, m.rider_head_texture}) {
            DecodedImage image;
            EXPECT_TRUE(read_png_image(texture, &image)) << texture;
            if (texture == m.bike_texture) {
                EXPECT_NE(image.options.find("[numberbackground:"), std::string::npos);
                EXPECT_NE(image.options.find("[numberforeground:"), std::string::npos);
            }
            free_decoded_image(&image);
        }
    }
    for (const char *alt : {"@kx125-alt1.png", "@crf250-alt2.png", "@wheels-alt1.png", "@wheels-alt2.png",
                            "@rider_body-alt1.png", "@rider_body-alt2.png", "@rider_body-alt3.png",
                            "@rider_head-alt1.png", "@rider_head-alt2.png", "@rider_head-alt3.png"}) {
        DecodedImage image;
        EXPECT_TRUE(read_png_image(alt, &image)) << alt;
        free_decoded_image(&image);
    }
    free_model_cache();
    clear_shape_cache();
}

// Six times the signed volume a mesh's triangles enclose: positive when
// the faces look outward.
double signed_volume(const Model *mesh)
{
    double sum = 0;
    const float *p = mesh->positions.data();
    for (int t = 0; t < mesh->nt; t++) {
        const float *a = p + mesh->triangles[(size_t)t * 3] * 3, *b = p + mesh->triangles[(size_t)t * 3 + 1] * 3,
                    *c = p + mesh->triangles[(size_t)t * 3 + 2] * 3;
        sum += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
               a[2] * (b[0] * c[1] - b[1] * c[0]);
    }
    return sum;
}

double nearest(const Model *mesh, const float point[3])
{
    double best = 1e30;
    for (int v = 0; v < mesh->nv; v++) {
        double d = 0;
        for (int k = 0; k < 3; k++)
            d += (mesh->positions[(size_t)v * 3 + k] - point[k]) * (mesh->positions[(size_t)v * 3 + k] - point[k]);
        best = std::fmin(best, std::sqrt(d));
    }
    return best;
}

// The rider's meshes are skinned to the shared skeleton, closed and facing
// outward; gloves hold the grips and boots stand on the pegs; moving a foot
// moves that boot and nothing of the trunk.
TEST_F(ShippedSet, RiderModelsFitTheSkeleton)
{
    for (const char *name : {"@rider_body.qm", "@rider_body_fp.qm", "@rider_plate.qm"}) {
        SCOPED_TRACE(name);
        Model *model = load_model(name);
        ASSERT_NE(model, nullptr);
        for (Model *mesh = model; mesh; mesh = mesh->next) {
            EXPECT_EQ(mesh->bone_count, RIDER_BONE_COUNT);
            for (int v = 0; v < mesh->nv; v++)
                for (int k = 0; k < 4; k++)
                    EXPECT_LT(mesh->bone_indices[(size_t)v * 4 + k], RIDER_BONE_COUNT);
            if (strcmp(name, "@rider_plate.qm")) {
                EXPECT_GT(signed_volume(mesh), 0) << "inside out";
            }
        }
    }
    Model *head = load_model("@rider_head.qm");
    ASSERT_NE(head, nullptr);
    EXPECT_GT(signed_volume(head), 0);

    Model *body = load_model("@rider_body.qm");
    ASSERT_NE(body, nullptr);
    // Meshes: jersey, pants, boots, gloves.
    Model *boots = body->next->next, *gloves = boots->next;
    ASSERT_NE(gloves, nullptr);
    for (int side = 0; side < 2; side++) {
        EXPECT_LT(nearest(gloves, rider_skeleton.bind[side ? RIDER_GRIP_RIGHT : RIDER_GRIP_LEFT]), 0.15);
        EXPECT_LT(nearest(boots, rider_skeleton.bind[side ? RIDER_FOOT_RIGHT : RIDER_FOOT_LEFT]), 0.2);
    }

    const BikeModel &m = bike_models[0];
    double feet[2][3], grips[2][3];
    rider_rest_targets(&m, feet, grips);
    feet[0][0] -= 0.5, feet[0][1] += 0.3, feet[0][2] -= 0.4;
    double joints[RIDER_JOINT_COUNT][3];
    rider_pose_joints(&m, feet, grips, joints);
    RiderBonePose pose;
    rider_bone_pose(joints, &pose);
    BoneData bones = rider_bone_data(&pose);
    for (Model *mesh = body; mesh; mesh = mesh->next)
        skin_mesh(mesh, &bones);
    const float moved[3] = {(float)feet[0][0], (float)feet[0][1], (float)feet[0][2]};
    EXPECT_LT(nearest(boots, moved), 0.2);
    EXPECT_LT(nearest(boots, rider_skeleton.bind[RIDER_FOOT_RIGHT]), 0.2);
    EXPECT_GT(nearest(boots, rider_skeleton.bind[RIDER_FOOT_LEFT]), 0.2);
    size_t half = (size_t)body->nv * 3;
    for (int v = 0; v < body->nv; v++) {
        if (body->bone_weights[(size_t)v * 4] != 1 || body->bone_indices[(size_t)v * 4] != RIDER_BONE_TORSO)
            continue;
        for (int k = 0; k < 3; k++)
            ASSERT_FLOAT_EQ(body->positions[(size_t)v * 3 + k], body->positions[half + (size_t)v * 3 + k]);
    }
    free_model_cache();
}

// A broken file in the set is reported by its name and fails the read-back.
TEST(DataGenerator, ReadBackNamesTheBrokenFiles)
{
    TempDir out;
    DataSet set;
    add_text(&set, "bad.qm", "QM7 nothing\n");
    add_text(&set, "bad.png", "not an image");
    add_text(&set, "bad.shp", "3\n1 2 3\n");
    add_text(&set, "good.shp", shp_text({{0, 1, 0, 0.5}}));
    add_text(&set, "bad.series", "\"Cup\" 1 Expert 20 1 \"Opener\" nowhere 0 3\n");
    ASSERT_TRUE(archive_write(out.file("zzzz.saf").c_str(), set.files));
    testing::internal::CaptureStderr();
    bool ok = validate_data_set(out.path, set, {});
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_NE(errors.find("bad.qm"), std::string::npos) << errors;
    EXPECT_NE(errors.find("bad.png"), std::string::npos) << errors;
    EXPECT_NE(errors.find("bad.shp"), std::string::npos) << errors;
    EXPECT_NE(errors.find("bad.series: the series reader refuses it"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("good.shp"), std::string::npos) << errors;
}

TEST(DataGenerator, PortableTrigonometry)
{
    for (double a = -10; a <= 10; a += 0.37) {
        EXPECT_NEAR(dg_sin(a), std::sin(a), 1e-12) << a;
        EXPECT_NEAR(dg_cos(a), std::cos(a), 1e-12) << a;
    }
    const double points[][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 1}, {-3, 2}, {2, -5}, {-0.1, -0.2}};
    for (const auto &p : points)
        EXPECT_NEAR(dg_atan2(p[1], p[0]), std::atan2(p[1], p[0]), 1e-12) << p[0] << "," << p[1];
    EXPECT_EQ(dg_floor(-1.5), -2);
    EXPECT_EQ(dg_floor(2.0), 2);
}

// Ground textures tile: the last column continues into the first.
TEST(DataGenerator, GroundTexturesAreSeamless)
{
    for (int kind = 0; kind < GROUND_KINDS; kind++) {
        Picture p = ground_texture((GroundKind)kind, 5, 64);
        double inner = 0, seam = 0;
        for (int y = 0; y < 64; y++)
            for (int c = 0; c < 3; c++) {
                inner += std::abs(pixel_at(&p, 30, y)[c] - pixel_at(&p, 31, y)[c]);
                seam += std::abs(pixel_at(&p, 63, y)[c] - pixel_at(&p, 0, y)[c]);
            }
        EXPECT_LT(seam, inner * 2.5 + 64) << "kind " << kind;
    }
}

// Transition tiles show the second texture exactly at the corners of the mask.
TEST(DataGenerator, TransitionCornersFollowTheMask)
{
    Picture a = make_picture(32, 32, 3), b = make_picture(32, 32, 3);
    for (uint8_t &v : b.pixels)
        v = 200;
    for (int mask = 1; mask < 15; mask++) {
        Picture t = transition_texture(a, b, mask, 9);
        const int corners[4][2] = {{0, 0}, {31, 0}, {0, 31}, {31, 31}};
        for (int k = 0; k < 4; k++) {
            bool second = (mask >> (3 - k)) & 1;
            EXPECT_EQ(pixel_at(&t, corners[k][0], corners[k][1])[0], second ? 200 : 0) << mask << " corner " << k;
        }
    }
}

// Reads a font picture by the band rules: the glyph rectangles in order.
struct FontCell {
    int left, right, top, bottom;
};
std::vector<FontCell> font_cells(const Picture &p, int count)
{
    const uint8_t *sep = &p.pixels[0];
    auto is_sep = [&](int x, int y) {
        const uint8_t *q = &p.pixels[((size_t)y * p.width + x) * 4];
        return q[0] == sep[0] && q[1] == sep[1] && q[2] == sep[2] && q[3] == sep[3];
    };
    std::vector<int> band_tops = {0};
    for (int y = 1; y < p.height; y++)
        if (is_sep(0, y))
            band_tops.push_back(y);
    std::vector<FontCell> cells;
    for (size_t b = 0; b < band_tops.size() && (int)cells.size() < count; b++) {
        int top = band_tops[b], bottom = b + 1 < band_tops.size() ? band_tops[b + 1] : p.height;
        int left = 0;
        for (int x = 1; x <= p.width; x++)
            if (x == p.width || is_sep(x, top)) {
                cells.push_back({left, x, top, bottom});
                left = x;
            }
    }
    return cells;
}

TEST(DataGenerator, FontsFollowTheBandFormat)
{
    struct Case {
        std::string chars;
        int scale_x, scale_y, width, band;
    };
    std::string printable;
    for (int c = 33; c <= 126; c++)
        printable += (char)c;
    const Case cases[] = {{printable, 3, 3, 512, 32}, {"0123456789", 8, 10, 0, 80}, {"0123456789", 5, 10, 0, 80}};
    for (const Case &c : cases) {
        Picture p = band_font(c.chars, c.scale_x, c.scale_y, true, c.width, c.band);
        ASSERT_EQ(p.channels, 4);
        std::vector<FontCell> cells = font_cells(p, (int)c.chars.size());
        // Exactly one glyph per character: no filler that would shift the next band.
        ASSERT_EQ(cells.size(), c.chars.size()) << c.chars;
        for (size_t k = 0; k < cells.size(); k++) {
            const FontCell &cell = cells[k];
            int ink = 0;
            for (int y = cell.top + 1; y < cell.bottom; y++)
                for (int x = cell.left; x < cell.right; x++)
                    ink += p.pixels[((size_t)y * p.width + x) * 4 + 3] == 255;
            EXPECT_GT(ink, 0) << "glyph of '" << c.chars[k] << "'";
            EXPECT_LT(cell.right - cell.left, c.band) << "glyph of '" << c.chars[k] << "'";
        }
    }
}

TEST(DataGenerator, JumpProfiles)
{
    struct Case {
        Obstacle o;
        double t;        // where to look, from the start
        double height;   // expected
    };
    Obstacle table{OB_TABLETOP, 6, 1, 40}, dbl{OB_DOUBLE, 6, 1, 36}, whoops{OB_WHOOPS, 1.5, 10, 0};
    const Case cases[] = {
        {table, 0, 0},
        {table, 20, 6},              // top of the face
        {table, 40, 6},              // on the table
        {table, obstacle_length(table), 0},
        {dbl, 21, 6},                // the lip
        {dbl, 30 + 18, 0},           // the middle of the gap
        {dbl, 30 + 36 + 8 + 1, 6},   // the top of the landing
        {whoops, 5.5, 1.5},          // top of the first whoop
        {whoops, 11, 0},             // between two
    };
    for (const Case &c : cases)
        EXPECT_NEAR(obstacle_height(c.o, c.t), c.height, 1e-9) << c.o.kind << " at " << c.t;
    EXPECT_TRUE(obstacle_is_jump(OB_TRIPLE));
    EXPECT_FALSE(obstacle_is_jump(OB_WHOOPS));
}

// Smallest gaps between the riding surfaces of a course, from its centre
// line sampled every 2 ft and its widths: between parts of the lap more than
// 100 ft apart along it, between the start straight and the lap away from
// where they join (200 ft either way along the course), and from each to the
// border of a terrain `extent` ft square.
struct CourseGaps {
    double lap = 1e30, lead = 1e30, lap_border = 1e30, lead_border = 1e30;
};

CourseGaps course_gaps(const CoursePiece &lap, const CoursePiece &lead, double junction_s, double extent)
{
    auto along_lap = [&](double a, double b) {
        double d = std::fabs(a - b);
        return lap.closed ? std::min(d, lap.length - d) : d;
    };
    auto gap = [](const CourseSample &a, const CourseSample &b) {
        return std::hypot(a.x - b.x, a.z - b.z) - a.half_width - b.half_width;
    };
    auto border = [&](const CourseSample &c) {
        return std::min(std::min(c.x, c.z), std::min(extent - c.x, extent - c.z)) - c.half_width;
    };
    CourseGaps g;
    const size_t step = 4;  // 2 ft
    for (size_t a = 0; a < lap.samples.size(); a += step) {
        const CourseSample &p = lap.samples[a];
        g.lap_border = std::min(g.lap_border, border(p));
        for (size_t b = a + step; b < lap.samples.size(); b += step)
            if (along_lap(p.s, lap.samples[b].s) > 100)
                g.lap = std::min(g.lap, gap(p, lap.samples[b]));
    }
    for (size_t a = 0; a < lead.samples.size(); a += step) {
        const CourseSample &p = lead.samples[a];
        g.lead_border = std::min(g.lead_border, border(p));
        for (size_t b = 0; b < lap.samples.size(); b += step)
            if (lead.length - p.s + along_lap(lap.samples[b].s, junction_s) > 200)
                g.lead = std::min(g.lead, gap(p, lap.samples[b]));
    }
    return g;
}

// Every shipped course keeps 25 ft of ground between the edges of different
// parts of its lap and from the border of the terrain; the start straight
// stays off the lap until it joins it and on the terrain.
TEST(DataGenerator, ShippedCoursesKeepClearOfThemselvesAndTheBorder)
{
    for (int k = 0; k < SHIPPED_TRACKS; k++) {
        TrackDesign design;
        design_shipped_track(k, &design);
        SCOPED_TRACE(design.id);
        double extent = (1 << (design.exponent + 1)) * design.spacing;  // 2^(e+1) + 1 points a side
        CourseGaps g = course_gaps(design.lap, design.lead, design.junction_s, extent);
        EXPECT_GE(g.lap, 25);
        EXPECT_GE(g.lap_border, 25);
        EXPECT_GE(g.lead, 10);
        EXPECT_GE(g.lead_border, 0);
        // The lap closes: its end meets its start with the same heading.
        const CourseSample &first = design.lap.samples.front(), &last = design.lap.samples.back();
        double step = design.lap.length - last.s;
        EXPECT_NEAR(last.x + last.tx * step, first.x, 1.0);
        EXPECT_NEAR(last.z + last.tz * step, first.z, 1.0);
        EXPECT_NEAR(last.tx * first.tx + last.tz * first.tz, 1.0, 1e-3);
    }
}

// The gap measure sees a lap that crosses itself, legs of a hairpin too
// close together, a start straight run across the lap and a course off the
// terrain.
TEST(DataGenerator, CourseGapsCatchBadLayouts)
{
    CoursePiece lap, lead;
    // A figure of eight: the last straight crosses the first.
    CourseBuilder b = course_begin(&lap, 200, 300, 0, 10);
    course_straight(&b, 200);
    course_arc(&b, 50, -270);
    course_straight(&b, 200);
    course_arc(&b, 50, 270);
    course_end(&b, true);
    CourseBuilder s = course_begin(&lead, 100, 100, DG_PI / 2, 10);
    course_straight(&s, 150);
    course_end(&s, false);
    EXPECT_LT(course_gaps(lap, lead, 0, 1024).lap, 0);

    // A hairpin of 20 ft radius leaves its 20-ft-wide legs 20 ft apart.
    b = course_begin(&lap, 100, 100, 0, 10);
    course_straight(&b, 300);
    course_arc(&b, 20, 180);
    course_straight(&b, 300);
    course_arc(&b, 20, 180);
    course_end(&b, true);
    CourseGaps g = course_gaps(lap, lead, 0, 1024);
    EXPECT_NEAR(g.lap, 20, 0.5);
    // The left hairpin reaches x = 80: its edge is 70 ft from the border.
    EXPECT_NEAR(g.lap_border, 70, 0.5);

    // A start straight that runs over the lap far from where it joins.
    s = course_begin(&lead, 250, 20, DG_PI / 2, 10);
    course_straight(&s, 300);
    course_end(&s, false);
    EXPECT_LT(course_gaps(lap, lead, 0, 1024).lead, 0);
    // The same layout on a terrain too small for it.
    EXPECT_LT(course_gaps(lap, lead, 0, 300).lap_border, 0);
}

// A planned join lands the pen on its target with the target's heading, for
// every pair of turning ways.
TEST(DataGenerator, PlannedJoinsLandOnTheirTarget)
{
    struct Case {
        double x, z, heading;      // the pen
        int turn1, turn2;
        double tx, tz, theading;   // the target
    };
    const Case cases[] = {
        {0, 0, 0, 1, 1, 300, 250, DG_PI},          {0, 0, 0, -1, -1, 300, -250, -DG_PI / 2},
        {0, 0, 0.3, 1, -1, 400, 100, 0.2},         {50, 50, -2.0, -1, 1, -300, 200, 1.0},
        {0, 0, 0, 1, 1, 0, 0, 0},                  // already there: nothing to add
    };
    for (const Case &c : cases) {
        CoursePiece piece;
        CourseBuilder b = course_begin(&piece, c.x, c.z, c.heading, 10);
        CourseJoin join;
        ASSERT_TRUE(course_plan_join(&b, 40, c.turn1, 55, c.turn2, c.tx, c.tz, c.theading, &join));
        EXPECT_GE(join.straight, 0);
        EXPECT_GE(join.first_degrees * c.turn1, 0);
        EXPECT_GE(join.second_degrees * c.turn2, 0);
        course_arc(&b, 40, join.first_degrees);
        course_straight(&b, join.straight);
        course_arc(&b, 55, join.second_degrees);
        EXPECT_LT(course_gap(&b, c.tx, c.tz), 0.01) << c.tx << "," << c.tz;
        EXPECT_NEAR(dg_cos(b.heading - c.theading), 1, 1e-9);
    }
    // Circles that overlap leave no way to leave one and meet the other the
    // opposite way round.
    CoursePiece piece;
    CourseBuilder b = course_begin(&piece, 0, 0, 0, 10);
    CourseJoin join;
    EXPECT_FALSE(course_plan_join(&b, 40, 1, 40, -1, 20, 10, 0, &join));
}

// A bend turns the pen by exactly its angle and is longer than the arc by
// its transitions; its curvature starts and ends at zero.
TEST(DataGenerator, BendsEaseInAndOut)
{
    CoursePiece piece;
    CourseBuilder b = course_begin(&piece, 0, 0, 0, 10);
    course_bend(&b, 40, 90, 20);
    EXPECT_NEAR(b.heading, DG_PI / 2, 1e-12);
    EXPECT_NEAR(piece.length, 40 * DG_PI / 2 + 20, 1e-9);
    // Heading change per step: small at the ends, 1/40 rad per ft in the middle.
    auto turn_rate = [&](size_t k) {
        const CourseSample &a = piece.samples[k], &c = piece.samples[k + 1];
        return (dg_atan2(c.tz, c.tx) - dg_atan2(a.tz, a.tx)) / (c.s - a.s);
    };
    EXPECT_LT(turn_rate(0), 0.1 / 40);
    EXPECT_LT(turn_rate(piece.samples.size() - 2), 0.25 / 40);
    EXPECT_NEAR(turn_rate(piece.samples.size() / 2), 1.0 / 40, 1e-9);
    for (size_t k = 1; k < piece.samples.size(); k++)
        EXPECT_NEAR(piece.samples[k].s - piece.samples[k - 1].s, SAMPLE_STEP, 0.02);

    // Without transitions a bend is the arc.
    CoursePiece arc_piece, bend_piece;
    CourseBuilder arc = course_begin(&arc_piece, 5, 7, 0.4, 10), bend = course_begin(&bend_piece, 5, 7, 0.4, 10);
    course_arc(&arc, 35, -120);
    course_bend(&bend, 35, -120, 0);
    EXPECT_NEAR(bend.x, arc.x, 1e-9);
    EXPECT_NEAR(bend.z, arc.z, 1e-9);
    EXPECT_NEAR(bend.heading, arc.heading, 1e-12);
    EXPECT_EQ(bend_piece.samples.size(), arc_piece.samples.size());
}

TEST(DataGenerator, ModelTextReadsBack)
{
    MeshPart part;
    const double lo[3] = {-1, 0, -1}, hi[3] = {1, 2, 1};
    add_box(&part, lo, hi);
    const double p0[3] = {0, 3, 0}, p1[3] = {0.5, 4, 0.2}, centre[3] = {0, 6, 0};
    add_cylinder(&part, p0, p1, 0.5, 12);
    add_torus(&part, centre, 1, 0.3, 16, 6);
    std::string text = qm_text({part});
    Model *model = parse_model(text.data(), text.size(), "box.qm");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nv, (int)part.vertices.size());
    EXPECT_EQ(model->nt, (int)part.triangles.size() / 3);
    // Every triangle faces outward: its normal agrees with its vertices' normals.
    for (int k = 0; k < model->nt; k++) {
        const int *t = &model->triangles[k * 3];
        const float *p0 = &model->positions[t[0] * 3], *p1 = &model->positions[t[1] * 3],
                    *p2 = &model->positions[t[2] * 3];
        float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        const float *vn = &model->normals[t[0] * 3];
        EXPECT_GT(n[0] * vn[0] + n[1] * vn[1] + n[2] * vn[2], 0) << "triangle " << k;
    }
    free_model(model);
}

// Every directed edge (by position) of a closed surface is met once in the
// opposite direction, and every triangle faces the way of its normals.
void expect_closed_and_outward(const MeshPart &part, const char *what)
{
    SCOPED_TRACE(what);
    ASSERT_FALSE(part.triangles.empty());
    auto key = [&](int v) {
        const double *p = part.vertices[v].p;
        return std::to_string(std::llround(p[0] * 1e6)) + "," + std::to_string(std::llround(p[1] * 1e6)) + "," +
               std::to_string(std::llround(p[2] * 1e6));
    };
    std::map<std::pair<std::string, std::string>, int> edges;
    int facing_wrong = 0;
    for (size_t k = 0; k < part.triangles.size(); k += 3) {
        const int *t = &part.triangles[k];
        for (int e = 0; e < 3; e++)
            edges[{key(t[e]), key(t[(e + 1) % 3])}]++;
        const double *p0 = part.vertices[t[0]].p, *p1 = part.vertices[t[1]].p, *p2 = part.vertices[t[2]].p;
        double e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        double e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        double sum[3] = {0, 0, 0};
        for (int c = 0; c < 3; c++)
            for (int i = 0; i < 3; i++)
                sum[i] += part.vertices[t[c]].n[i];
        if (n[0] * sum[0] + n[1] * sum[1] + n[2] * sum[2] <= 0)
            facing_wrong++;
    }
    EXPECT_EQ(facing_wrong, 0);
    int open = 0;
    for (const auto &[edge, uses] : edges) {
        auto back = edges.find({edge.second, edge.first});
        if (uses != 1 || back == edges.end() || back->second != 1)
            open++;
    }
    EXPECT_EQ(open, 0);
    for (const MeshVertex &v : part.vertices)
        EXPECT_NEAR(v.n[0] * v.n[0] + v.n[1] * v.n[1] + v.n[2] * v.n[2], 1, 1e-9);
}

// The compact writer keeps every number to a thousandth, drops only zeros
// after the point (10 stays 10), and never writes "-0".
TEST(DataGenerator, CompactModelTextReadsBack)
{
    MeshPart part;
    const double lo[3] = {-10, -0.00004, 0.5}, hi[3] = {100, 2.25, 1.0004};
    add_box(&part, lo, hi);
    const double centre[3] = {0, 6, 0}, ax[3] = {0.5, 0, 0}, ay[3] = {0, 0.3, 0}, az[3] = {0, 0, 0.8};
    add_ellipsoid(&part, centre, ax, ay, az, 12, UvRect());
    std::string text = qm_text_compact({part});
    EXPECT_LT(text.size(), qm_text({part}).size());
    EXPECT_EQ(text.find("-0 "), std::string::npos);
    EXPECT_EQ(text.find("-0\n"), std::string::npos);
    Model *model = parse_model(text.data(), text.size(), "compact.qm");
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->nv, (int)part.vertices.size());
    ASSERT_EQ(model->nt, (int)part.triangles.size() / 3);
    for (int v = 0; v < model->nv; v++) {
        const MeshVertex &want = part.vertices[v];
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(model->positions[v * 3 + k], want.p[k], 5.01e-4) << v;
            EXPECT_NEAR(model->normals[v * 3 + k], want.n[k], 5.01e-4) << v;
        }
        EXPECT_NEAR(model->texcoords[v * 2], want.uv[0], 5.01e-4) << v;
        EXPECT_NEAR(model->texcoords[v * 2 + 1], want.uv[1], 5.01e-4) << v;
    }
    for (size_t k = 0; k < part.triangles.size(); k++)
        EXPECT_EQ(model->triangles[k], part.triangles[k]);
    free_model(model);
}

TEST(DataGenerator, SmoothSolidsAreClosedAndFaceOutward)
{
    {
        // Sections given against the direction of travel, a rounded box
        // turning into an ellipse, an arched shell, a point end.
        std::vector<LoftSection> keys(4);
        const double centres[4][3] = {{0, 0, 0}, {0, 0.2, 1}, {0, 0.1, 2}, {0, 0, 3}};
        for (int k = 0; k < 4; k++) {
            for (int c = 0; c < 3; c++)
                keys[k].centre[c] = centres[k][c];
            keys[k].side[0] = -0.5, keys[k].up[1] = 0.3;
            keys[k].round = k < 2 ? 0.3 : 1;
            keys[k].arch = k < 2 ? 0.4 : 0;
        }
        keys[3].side[0] = keys[3].up[1] = 0;
        MeshPart part;
        add_loft(&part, smooth_sections(keys, 3), 3, UvRect());
        expect_closed_and_outward(part, "loft");
        // A thin shell bent far more than it is thick: its end caps are
        // not convex.
        std::vector<LoftSection> shell(2);
        for (int k = 0; k < 2; k++) {
            shell[k].centre[2] = k;
            shell[k].up[1] = 0.02;
            shell[k].arch = 0.3;
        }
        MeshPart bent;
        add_loft(&bent, shell, 4, UvRect());
        expect_closed_and_outward(bent, "arched shell");
    }
    {
        MeshPart part;
        add_tube(&part, smooth_path({{0, 0, 0}, {0, 1, 0.5}, {1, 1.5, 1}, {1, 2, 3}}, 4), std::vector<double>(13, 0.1),
                 8, UvRect());
        expect_closed_and_outward(part, "curved tube");
    }
    {
        MeshPart part;
        add_tube(&part, {{0, 0, 0}, {0.2, 1, 0}}, {0.3, 0}, 12, UvRect());
        expect_closed_and_outward(part, "cone");
    }
    {
        MeshPart part;
        const double centre[3] = {1, 2, 3}, ax[3] = {0.5, 0, 0}, ay[3] = {0, 0.3, 0}, az[3] = {0, 0, 0.8};
        add_ellipsoid(&part, centre, ax, ay, az, 12, UvRect());
        expect_closed_and_outward(part, "ellipsoid");
    }
    {
        MeshPart part;
        const double p0[3] = {0, 0, 0}, p1[3] = {1, 1, 0};
        add_capsule(&part, p0, p1, 0.2, 12, UvRect());
        expect_closed_and_outward(part, "capsule");
    }
    {
        // A tyre-like loop with a crease, and a hub closed on the axis.
        MeshPart part;
        const double base[3] = {0, 0, 0}, axis[3] = {1, 0, 0};
        add_lathe(&part, base, axis, {{-0.2, 0.8}, {-0.2, 0.8}, {-0.3, 1.0}, {0, 1.2}, {0.3, 1.0}, {0.2, 0.8}}, 16,
                  UvRect(), true);
        expect_closed_and_outward(part, "closed lathe");
        MeshPart hub;
        add_lathe(&hub, base, axis, {{-0.3, 0}, {-0.3, 0.2}, {-0.3, 0.2}, {0.3, 0.2}, {0.3, 0.2}, {0.3, 0}}, 10, UvRect());
        expect_closed_and_outward(hub, "hub");
    }
    {
        // A sheared, tapered block; a skipped face leaves exactly its edges open.
        const double c[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0.2}, {0.8, 1, 0.2},
                                {0, 0, 1}, {1, 0, 1}, {0.1, 0.8, 1}, {0.7, 0.8, 1}};
        MeshPart part;
        add_block(&part, c, UvRect());
        expect_closed_and_outward(part, "block");
        MeshPart open;
        add_block(&open, c, UvRect(), 1 << 3);
        EXPECT_EQ(open.triangles.size(), 5u * 6);
    }
}

}  // namespace
