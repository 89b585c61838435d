// The shipped tracks: an outdoor hillside circuit, a stadium track and a
// sand track, each a course laid out with straights and turns over its own
// natural ground.
#include "datagen/tracks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

SurfaceDef surface(GroundKind look)
{
    // Friction points: (coefficient, sliding speed in ft/s). Rolling
    // resistance: a, b, key. Erosion: depth, lower, upper, displacement,
    // radius, max slope, off speed, on speed.
    static const SurfaceDef table[GROUND_KINDS] = {
        {"dirt", GROUND_DIRT, {{1.25, 2}, {1.05, 15}, {0.9, 40}}, {5, 15, 1},
         "texture=@roost.png count=12 dig=1 size=0.3 r=120 g=88 b=58 a=255 fade_a=-160",
         {1, 50, 150, 2, 4, 0.25, 10, 15}},
        {"hardpack", GROUND_HARDPACK, {{1.2, 2}, {0.95, 15}, {0.75, 40}}, {3, 10, 1},
         "texture=@roost.png count=6 dig=0.5 size=0.2 r=150 g=118 b=84 a=255 fade_a=-200",
         {0.4, 60, 170, 1.5, 3.5, 0.25, 12, 18}},
        {"loam", GROUND_LOAM, {{1.15, 2}, {1.08, 15}, {0.98, 40}}, {8, 24, 1},
         "texture=@roost.png count=18 dig=1.5 size=0.35 r=80 g=58 b=40 a=255 fade_a=-140",
         {1.6, 40, 140, 2.5, 4.5, 0.3, 8, 12}},
        {"grass", GROUND_GRASS, {{0.95, 2}, {0.72, 15}, {0.55, 40}}, {6, 16, 1},
         "texture=@roost.png count=5 dig=0.3 size=0.25 r=70 g=110 b=50 a=255 fade_a=-220",
         {0.3, 60, 180, 1, 3, 0.2, 12, 18}},
        {"sand", GROUND_SAND, {{1.0, 2}, {0.92, 15}, {0.86, 40}}, {14, 40, 1},
         "texture=@roost.png count=22 dig=2 size=0.3 r=210 g=190 b=140 a=255 fade_a=-120",
         {2.2, 30, 120, 3, 5, 0.35, 6, 10}},
        {"clay", GROUND_CLAY, {{1.3, 2}, {1.1, 15}, {0.92, 40}}, {4, 12, 1},
         "texture=@roost.png count=10 dig=0.8 size=0.25 r=140 g=80 b=54 a=255 fade_a=-180",
         {0.8, 50, 160, 1.8, 3.5, 0.25, 10, 15}},
        {"deepsand", GROUND_DEEPSAND, {{0.95, 2}, {0.9, 15}, {0.85, 40}}, {22, 60, 1},
         "texture=@roost.png count=28 dig=2.5 size=0.35 r=225 g=205 b=160 a=255 fade_a=-110",
         {3, 25, 110, 3.5, 5.5, 0.4, 5, 8}},
        {"floor", GROUND_FLOOR, {{1.1, 2}, {0.9, 15}, {0.8, 40}}, {3, 9, 1},
         "texture=@roost.png count=4 dig=0.2 size=0.2 r=120 g=116 b=108 a=255 fade_a=-220",
         {0.2, 70, 200, 1, 3, 0.2, 14, 20}},
    };
    return table[look];
}

void set_surfaces(TrackDesign *d, GroundKind main, GroundKind line, GroundKind edge, GroundKind infield)
{
    d->surfaces[SURF_MAIN] = surface(main);
    d->surfaces[SURF_LINE] = surface(line);
    d->surfaces[SURF_EDGE] = surface(edge);
    d->surfaces[SURF_INFIELD] = surface(infield);
}

double bump(double dx, double dz, double radius)
{
    double r2 = (dx * dx + dz * dz) / (radius * radius);
    if (r2 >= 1)
        return 0;
    return (1 - r2) * (1 - r2);
}

// A broad hill with a rabbit warren's worth of smaller lumps.
double rabbithill_ground(double x, double z)
{
    return 34 * bump(x - 560, z - 500, 450) + 6 * (dg_fractal_noise(7001, x, z, 220, 3) - 0.5) +
           1.2 * (dg_fractal_noise(7002, x, z, 36, 2) - 0.5) - 4 * bump(x - 480, z - 95, 260);
}

// A level stadium floor.
double arena_ground(double x, double z)
{
    return 0.15 * (dg_fractal_noise(7101, x, z, 60, 2) - 0.5);
}

// Dunes: long ridges across the ground with rounder lumps between.
double dunes_ground(double x, double z)
{
    double ridge = dg_fractal_noise(7201, x * 0.6 + z * 0.3, z * 1.2, 150, 3);
    return 14 * ridge * ridge + 4 * (dg_fractal_noise(7202, x, z, 70, 2) - 0.5) + 10 * bump(x - 520, z - 480, 380);
}

double rad(double degrees)
{
    return degrees * DG_PI / 180;
}

// The lap must close on itself: a generator bug otherwise.
void close_lap(CourseBuilder *b, double x, double z, const char *id)
{
    if (course_gap(b, x, z) > 1.0) {
        fprintf(stderr, "zorvex-data: the lap of %s does not close (%.2f ft)\n", id, course_gap(b, x, z));
        exit(1);
    }
    course_end(b, true);
}

// Where the lead's last point lies on the lap.
double junction_of(const TrackDesign &d)
{
    const CourseSample &end = d.lead.samples.back();
    double best = 1e30, s = 0;
    for (const CourseSample &c : d.lap.samples) {
        double dx = c.x - end.x, dz = c.z - end.z;
        if (dx * dx + dz * dz < best)
            best = dx * dx + dz * dz, s = c.s;
    }
    return s;
}

Obstacle ob(ObstacleKind kind, double height, int count = 1, double gap = 40)
{
    Obstacle o;
    o.kind = kind;
    o.height = height;
    o.count = count;
    o.gap = gap;
    return o;
}

void design_rabbithill(TrackDesign *d)
{
    d->id = "rabbithill";
    d->title = "Rabbit Hill";
    d->blurb = "Outdoor motocross round and over a grassy hill: a long start into a wide first\n"
               "turn, climbs and drops with a step-up, tabletops, a double and a triple, whoops\n"
               "and rhythm, bermed hairpins, fast sweepers and off-camber turns.\n";
    d->exponent = 9;
    d->spacing = 1.0;
    d->seed = 101;
    d->ground = rabbithill_ground;
    set_surfaces(d, GROUND_DIRT, GROUND_HARDPACK, GROUND_LOAM, GROUND_GRASS);
    d->banners = {"banner-rabbithill.png", "banner-zorvex.png", "banner-race.png", "banner-tyres.png"};
    d->tree_rate = 0.55;

    // The start: a long straight behind the gate, along the foot of the hill,
    // into a wide bermed right-hander that drops the pack onto the lap.
    CourseBuilder lead = course_begin(&d->lead, 170, 100, rad(0), 68);
    course_straight(&lead, 440, {}, 16);
    course_bend(&lead, 75, 150, 25, 0.25, 0, 18);                              // the first turn
    course_end(&lead, false);

    // The lap runs from the finish line; the start joins it 130 ft on. Turns
    // are bends: the curvature eases in and out, as a rider carves them.
    const double hw = 13;
    const double finish_run = 130, finish_heading = lead.heading;
    double fx = lead.x - dg_cos(finish_heading) * finish_run, fz = lead.z - dg_sin(finish_heading) * finish_run;
    CourseBuilder b = course_begin(&d->lap, fx, fz, finish_heading, hw);
    course_straight(&b, finish_run + 160, {ob(OB_ROLLER, 2), ob(OB_ROLLER, 2)});  // finish line, the start joins, uphill
    course_bend(&b, 45, -60, 15, 0.45, 0, 15);                                  // bermed left onto the climb
    course_straight(&b, 150);                                                   // the climb
    course_bend(&b, 38, 135, 15, 0.5, 0, 15);                                   // bermed right on the hilltop
    course_straight(&b, 100, {ob(OB_ROLLER, 2.5)});                              // over the brow
    course_bend(&b, 70, 45, 25, 0, 0, 14);                                      // fast right sweeper
    course_straight(&b, 140, {ob(OB_ROLLER, 2.5), ob(OB_ROLLER, 2.5)});          // downhill rollers
    course_bend(&b, 40, -90, 15, 0.5, 0, 15);                                   // bermed left
    course_straight(&b, 110);
    course_bend(&b, 45, -105, 15, 0.5, 0, 15);                                  // bermed left down the west side
    course_straight(&b, 310, {ob(OB_TRIPLE, 6, 1, 22)});                         // the triple
    course_straight(&b, 170, {ob(OB_WHOOPS, 1.6, 12)});                          // whoops
    course_bend(&b, 50, 100, 20, 0.3, 0, 15);                                   // right, light berm
    course_straight(&b, 50);
    course_bend(&b, 34, -180, 10, 0.55, 0, 15);                                 // bermed left hairpin
    course_straight(&b, 300, {ob(OB_RHYTHM, 3, 8)});                             // rhythm section
    course_bend(&b, 40, -110, 15, 0.5, 0, 15);                                  // bermed left onto the south face
    course_straight(&b, 130, {ob(OB_ROLLER, 2.5), ob(OB_ROLLER, 2.5)});          // climb
    course_bend(&b, 36, 160, 15, 0.5, 0, 15);                                   // bermed right hairpin
    course_straight(&b, 230, {ob(OB_DOUBLE, 6, 1, 40)});                         // downhill double
    course_bend(&b, 50, -95, 15, 0, 0.08, 15);                                  // off-camber left
    course_straight(&b, 100);
    course_bend(&b, 36, 140, 15, 0.5, 0, 15);                                   // bermed right
    course_straight(&b, 140, {ob(OB_ROLLER, 2.5), ob(OB_ROLLER, 2.5)});          // down to the bottom
    course_bend(&b, 40, -170, 15, 0, 0.08, 15);                                 // off-camber left hairpin
    course_straight(&b, 180, {ob(OB_ROLLER, 2.5)});
    course_bend(&b, 90, -30, 25, 0, 0, 14);                                     // fast left sweeper
    course_straight(&b, 150, {ob(OB_TABLETOP, 5, 1, 30)});                       // tabletop
    course_bend(&b, 45, -70, 15, 0.45, 0, 15);                                  // bermed left
    course_straight(&b, 230, {ob(OB_STEPUP, 5, 1, 30)});                         // step-up on the way to the summit
    course_bend(&b, 32, 180, 10, 0.55, 0, 15);                                  // bermed right hairpin on the top
    course_straight(&b, 280, {ob(OB_TABLETOP, 6, 1, 45)});                       // big downhill tabletop
    course_bend(&b, 40, -150, 15, 0, 0.08, 15);                                 // off-camber left
    course_straight(&b, 110);
    course_bend(&b, 35, 150, 15, 0.5, 0, 15);                                   // bermed right
    course_straight(&b, 80);
    // The last turn, a wide bermed left round the corner, is whatever leads
    // onto the finish straight: planned, so the lap closes exactly.
    const double close_run = 150;
    double cx = fx - dg_cos(finish_heading) * close_run, cz = fz - dg_sin(finish_heading) * close_run;
    CourseJoin join;
    if (!course_plan_join(&b, 40, -1, 50, -1, cx, cz, finish_heading, &join)) {
        fprintf(stderr, "zorvex-data: the lap of rabbithill cannot be closed\n");
        exit(1);
    }
    course_arc(&b, 40, join.first_degrees, 0.5, 0, 16);
    course_straight(&b, join.straight);
    course_arc(&b, 50, join.second_degrees, 0.5, 0, 16);
    course_straight(&b, close_run, {ob(OB_TABLETOP, 4, 1, 25)});                 // finish-line tabletop
    close_lap(&b, fx, fz, "rabbithill");
    d->junction_s = junction_of(*d);
}

void design_arena(TrackDesign *d)
{
    d->id = "arenacross";
    d->title = "Arena Cross";
    d->blurb = "A tight stadium track: short straights packed with rhythm, whoops and\n"
               "triples between tuff blocks, hairpin turns.\n";
    d->exponent = 8;
    d->spacing = 1.0;
    d->seed = 202;
    d->ground = arena_ground;
    d->shoulder = 5;
    d->checkpoint_spacing = 36;
    set_surfaces(d, GROUND_CLAY, GROUND_HARDPACK, GROUND_LOAM, GROUND_FLOOR);
    d->banners = {"banner-arena.png", "banner-zorvex.png", "banner-race.png"};
    d->tree_rate = 0;
    d->stadium = true;
    d->sun_vector[0] = 0.2, d->sun_vector[1] = 1, d->sun_vector[2] = 0.3;
    d->sun_colour[0] = 0.5, d->sun_colour[1] = 0.5, d->sun_colour[2] = 0.52;
    d->ambient[0] = 0.45, d->ambient[1] = 0.45, d->ambient[2] = 0.47;
    d->fog_density = 0.001;
    d->fog_colour[0] = 0.2, d->fog_colour[1] = 0.2, d->fog_colour[2] = 0.25;
    d->far_plane = 2000;

    const double hw = 9;
    CourseBuilder b = course_begin(&d->lap, 50, 330, rad(-90), hw);
    course_straight(&b, 130);                                               // finish straight
    course_arc(&b, 40, 90, 0.4, 0, 11);
    course_straight(&b, 60);
    course_straight(&b, 280, {ob(OB_TRIPLE, 5, 1, 18), ob(OB_ROLLER, 2)});
    course_arc(&b, 31, 180, 0.55, 0, 11);
    course_straight(&b, 280, {ob(OB_WHOOPS, 1.5, 12), ob(OB_DOUBLE, 5, 1, 30)});
    course_arc(&b, 31, -180, 0.55, 0, 11);
    course_straight(&b, 280, {ob(OB_RHYTHM, 3.5, 12)});
    course_arc(&b, 31, 180, 0, 0.06, 10);
    course_straight(&b, 280, {ob(OB_TABLETOP, 5, 1, 30), ob(OB_DOUBLE, 5, 1, 28)});
    course_arc(&b, 31, -180, 0.55, 0, 11);
    course_straight(&b, 280, {ob(OB_RHYTHM, 3, 7), ob(OB_STEPUP, 5, 1, 20)});
    course_arc(&b, 31, 180, 0.55, 0, 11);
    course_straight(&b, 340, {ob(OB_TRIPLE, 5, 1, 18), ob(OB_WHOOPS, 1.4, 8)});
    course_arc(&b, 40, 90, 0.4, 0, 11);
    course_straight(&b, 100);
    close_lap(&b, 50, 330, "arenacross");

    CourseBuilder lead = course_begin(&d->lead, 442, 72, rad(180), 66);
    course_straight(&lead, 292, {}, 10);
    course_arc(&lead, 44, -180, 0.45, 0, 12);
    course_end(&lead, false);
    d->junction_s = junction_of(*d);
}

void design_dunes(TrackDesign *d)
{
    d->id = "sanddunes";
    d->title = "Sand Dunes";
    d->blurb = "Deep sand between the dunes: long sweeping berms, sand whoops, big\n"
               "rollers and jumps that eat speed.\n";
    d->exponent = 9;
    d->spacing = 1.0;
    d->seed = 303;
    d->ground = dunes_ground;
    set_surfaces(d, GROUND_SAND, GROUND_HARDPACK, GROUND_DIRT, GROUND_DEEPSAND);
    d->banners = {"banner-dunes.png", "banner-zorvex.png", "banner-tyres.png"};
    d->tree_rate = 0.25;
    d->pines = true;
    d->sun_vector[0] = -0.4, d->sun_vector[1] = 0.7, d->sun_vector[2] = 0.45;
    d->sun_colour[0] = 0.66, d->sun_colour[1] = 0.62, d->sun_colour[2] = 0.52;
    d->ambient[0] = 0.34, d->ambient[1] = 0.36, d->ambient[2] = 0.42;
    d->fog_colour[0] = 0.8, d->fog_colour[1] = 0.78, d->fog_colour[2] = 0.72;

    // The start: a long straight behind the gate along the north edge, into
    // a wide bermed left-hander that drops the pack onto the lap.
    CourseBuilder lead = course_begin(&d->lead, 880, 90, rad(180), 66);
    course_straight(&lead, 420, {}, 16);
    course_bend(&lead, 75, -150, 25, 0.5, 0, 18);                              // the first turn
    course_end(&lead, false);

    // The lap runs from the finish line; the start joins it 130 ft on. Sand
    // piles up on the outside of turns, so the turns carry deep berms.
    const double hw = 14;
    const double finish_run = 130, finish_heading = lead.heading;
    double fx = lead.x - dg_cos(finish_heading) * finish_run, fz = lead.z - dg_sin(finish_heading) * finish_run;
    CourseBuilder b = course_begin(&d->lap, fx, fz, finish_heading, hw);
    course_straight(&b, finish_run + 170, {ob(OB_ROLLER, 3), ob(OB_ROLLER, 3)});  // finish line, the start joins
    course_bend(&b, 120, -30, 30, 0, 0, 15);                                    // fast left kink
    course_straight(&b, 120, {ob(OB_TABLETOP, 6, 1, 35)});                       // tabletop
    course_bend(&b, 40, 150, 15, 0.6, 0, 18);                                   // bermed right
    course_straight(&b, 170, {ob(OB_WHOOPS, 2, 12)});                            // sand whoops
    course_bend(&b, 40, -150, 15, 0.6, 0, 18);                                  // bermed left
    course_straight(&b, 200, {ob(OB_ROLLER, 3.5), ob(OB_ROLLER, 3.5)});          // rollers over a dune ridge
    course_bend(&b, 60, 90, 20, 0.55, 0, 17);                                   // bermed right
    course_straight(&b, 180, {ob(OB_DOUBLE, 6, 1, 40)});                         // the double
    course_bend(&b, 70, 90, 30, 0.6, 0, 18);                                    // long sweeping berm, right
    course_straight(&b, 220, {ob(OB_WHOOPS, 2.2, 14)});                          // sand whoops
    course_bend(&b, 60, 60, 20, 0.5, 0, 17);                                    // bermed right
    course_straight(&b, 150, {ob(OB_ROLLER, 3)});
    course_bend(&b, 40, -150, 15, 0.6, 0, 18);                                  // bermed left
    course_straight(&b, 110);
    course_bend(&b, 70, 90, 30, 0.6, 0, 18);                                    // long sweeping berm, right
    course_straight(&b, 200, {ob(OB_TABLETOP, 7, 1, 50)});                       // the big tabletop
    course_bend(&b, 60, 90, 20, 0.55, 0, 17);                                   // bermed right
    course_straight(&b, 160, {ob(OB_ROLLER, 3), ob(OB_ROLLER, 3)});              // rollers along the west edge
    course_bend(&b, 45, 135, 15, 0.6, 0, 18);                                   // bermed right
    course_straight(&b, 100);
    course_bend(&b, 45, -135, 15, 0.6, 0, 18);                                  // bermed left
    course_straight(&b, 100);
    course_bend(&b, 60, 90, 20, 0.55, 0, 17);                                   // bermed right
    course_straight(&b, 120, {ob(OB_ROLLER, 3.5), ob(OB_ROLLER, 3.5)});          // over the big dune
    course_bend(&b, 50, -180, 15, 0.6, 0, 18);                                  // bermed left hairpin
    course_straight(&b, 200, {ob(OB_WHOOPS, 2, 14)});                            // sand whoops back over the dune
    // The last turns, a bermed right onto the west side and a wide bermed
    // right onto the finish straight: planned, so the lap closes exactly.
    const double close_run = 150;
    double cx = fx - dg_cos(finish_heading) * close_run, cz = fz - dg_sin(finish_heading) * close_run;
    CourseJoin join;
    if (!course_plan_join(&b, 50, 1, 55, 1, cx, cz, finish_heading, &join)) {
        fprintf(stderr, "zorvex-data: the lap of sanddunes cannot be closed\n");
        exit(1);
    }
    course_arc(&b, 50, join.first_degrees, 0.55, 0, 17);
    course_straight(&b, join.straight, {ob(OB_ROLLER, 3), ob(OB_ROLLER, 3)});  // rollers up the west side
    course_arc(&b, 55, join.second_degrees, 0.6, 0, 18);
    course_straight(&b, close_run, {ob(OB_TABLETOP, 4, 1, 25)});                 // finish-line tabletop
    close_lap(&b, fx, fz, "sanddunes");
    d->junction_s = junction_of(*d);
}

}  // namespace

// A championship over the shipped tracks: three rounds of two motos each.
void build_series(DataSet *set)
{
    static const int riders[19] = {20, 23, 25, 27, 31, 35, 40, 44, 48, 52, 56, 60, 64, 68, 72, 76, 80, 84, 88};
    static const int scale[20] = {25, 22, 20, 18, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    struct Event {
        const char *name;
        const char *track;
        int laps;
        bool ends_round;
    };
    static const Event events[] = {
        {"Rabbit Hill moto 1", "rabbithill", 4, false}, {"Rabbit Hill moto 2", "rabbithill", 4, true},
        {"Sand Dunes moto 1", "sanddunes", 5, false},   {"Sand Dunes moto 2", "sanddunes", 5, true},
        {"Arena Cross heat", "arenacross", 6, false},   {"Arena Cross main", "arenacross", 10, true},
    };
    auto points = [](bool award) {
        std::string line;
        for (int k = 0; k < 40; k++)
            line += format("%d ", award && k < 20 ? scale[k] : 0);
        return line + "\n";
    };
    std::string text = "\"Zorvex Cup\"\n19 Amateur\n";
    for (int rider : riders)
        text += format("%d ", rider);
    text += format("\n%d\n", (int)(sizeof events / sizeof events[0]));
    for (const Event &e : events) {
        text += format("\"%s\" %s 0 %d\n", e.name, e.track, e.laps);
        text += points(true);
        text += points(e.ends_round);
    }
    // Read back once the series reader exists (race/series).
    add_text(set, "zorvex.series", text);
}

void design_shipped_track(int index, TrackDesign *design)
{
    void (*const designs[SHIPPED_TRACKS])(TrackDesign *) = {design_rabbithill, design_arena, design_dunes};
    if (index < 0 || index >= SHIPPED_TRACKS) {
        fprintf(stderr, "zorvex-data: no shipped track %d\n", index);
        exit(1);
    }
    designs[index](design);
}

std::vector<TrackSummary> build_tracks(DataSet *set, const std::string &preview_dir)
{
    build_track_objects(set);
    std::vector<TrackSummary> built;
    for (int k = 0; k < SHIPPED_TRACKS; k++) {
        TrackDesign *design = new TrackDesign();
        design_shipped_track(k, design);
        built.push_back(build_track(set, design, preview_dir));
        delete design;
    }
    build_series(set);
    return built;
}
