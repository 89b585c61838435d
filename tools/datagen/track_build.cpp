// Builds a track directory from its design: terrain heights from the
// natural ground and the course, shadows and shading from the lighting,
// surfaces and the tile map, timing gates, furniture, the map.
#include "datagen/track_build.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datagen/image_out.h"
#include "track/lighting.h"
#include "track/terrain.h"

namespace {

const char *const ground_names[GROUND_KINDS] = {"dirt", "hardpack", "loam", "grass",
                                                "sand", "clay",     "deepsand", "floor"};
const uint32_t ground_seeds[GROUND_KINDS] = {11, 12, 13, 14, 15, 16, 17, 18};
const int GROUND_TEXTURE_SIZE = 128;

// The shared ground textures a track uses, kept for its map.
struct GroundCache {
    bool made[GROUND_KINDS] = {};
    Picture pictures[GROUND_KINDS];
};

const Picture &ground_picture(DataSet *set, GroundCache *cache, GroundKind kind)
{
    if (!cache->made[kind]) {
        cache->pictures[kind] = ground_texture(kind, ground_seeds[kind], GROUND_TEXTURE_SIZE);
        cache->made[kind] = true;
        std::string name = std::string(ground_names[kind]) + ".png";
        if (!has_file(set, name))
            add_file(set, name, encode_png(cache->pictures[kind]));
    }
    return cache->pictures[kind];
}

// Name of the transition tile between two ground kinds for a corner mask.
std::string transition_name(GroundKind first, GroundKind second, int mask)
{
    return format("%s-%s-%d%d%d%d.png", ground_names[first], ground_names[second], (mask >> 3) & 1, (mask >> 2) & 1,
                  (mask >> 1) & 1, mask & 1);
}

struct Grid {
    int n = 0;
    double spacing = 1;
    std::vector<float> best;       // squared distance to the nearest course sample
    std::vector<int32_t> sample;   // its index, -1 none
    std::vector<uint8_t> piece;    // 0 lap, 1 lead
    // The same per piece, so heights can blend where the pieces meet.
    std::vector<float> piece_best[2];
    std::vector<int32_t> piece_sample[2];
};

const CoursePiece &piece_of(const TrackDesign &d, int piece)
{
    return piece ? d.lead : d.lap;
}

void rasterise(Grid *grid, const CoursePiece &piece, int which, double shoulder)
{
    int n = grid->n;
    double inv = 1 / grid->spacing;
    for (size_t k = 0; k < piece.samples.size(); k++) {
        const CourseSample &c = piece.samples[k];
        double r = c.half_width + shoulder + 1;
        int i0 = (int)dg_floor((c.x - r) * inv), i1 = (int)dg_floor((c.x + r) * inv) + 1;
        int j0 = (int)dg_floor((c.z - r) * inv), j1 = (int)dg_floor((c.z + r) * inv) + 1;
        i0 = i0 < 0 ? 0 : i0, j0 = j0 < 0 ? 0 : j0;
        i1 = i1 > n - 1 ? n - 1 : i1, j1 = j1 > n - 1 ? n - 1 : j1;
        float r2 = (float)(r * r);
        for (int j = j0; j <= j1; j++) {
            double dz = j * grid->spacing - c.z;
            for (int i = i0; i <= i1; i++) {
                double dx = i * grid->spacing - c.x;
                float d2 = (float)(dx * dx + dz * dz);
                size_t at = (size_t)j * n + i;
                if (d2 < r2 && d2 < grid->piece_best[which][at]) {
                    grid->piece_best[which][at] = d2;
                    grid->piece_sample[which][at] = (int32_t)k;
                }
                if (d2 < r2 && d2 < grid->best[at]) {
                    grid->best[at] = d2;
                    grid->sample[at] = (int32_t)k;
                    grid->piece[at] = (uint8_t)which;
                }
            }
        }
    }
}

// Where a world point lies relative to its nearest course sample.
struct CourseSpot {
    const CourseSample *c = nullptr;
    const CoursePiece *piece = nullptr;
    double d = 0;        // lateral offset along (-tz, tx)
    double along = 0;    // distance along the piece
    double outward = 0;  // lateral offset toward the outside of a turn
};

// The spot relative to sample `sample` of piece `which`.
void spot_on(const TrackDesign &design, const Grid &grid, int which, int32_t sample, int i, int j, CourseSpot *spot)
{
    spot->piece = &piece_of(design, which);
    spot->c = &spot->piece->samples[sample];
    const CourseSample &c = *spot->c;
    double dx = i * grid.spacing - c.x, dz = j * grid.spacing - c.z;
    spot->d = -dx * c.tz + dz * c.tx;
    spot->along = c.s + dx * c.tx + dz * c.tz;
    spot->outward = spot->d * c.outside;
}

bool course_spot(const TrackDesign &design, const Grid &grid, int i, int j, CourseSpot *spot)
{
    size_t at = (size_t)j * grid.n + i;
    if (grid.sample[at] < 0)
        return false;
    spot_on(design, grid, grid.piece[at], grid.sample[at], i, j, spot);
    return true;
}

double lateral_height(const CourseSample &c, double d)
{
    double hw = c.half_width;
    double o = dg_clamp(d, -hw, hw) * c.outside;
    double h = 0;
    if (c.berm > 0 && o > 0)
        h += c.berm * o * (0.5 + 0.5 * o / hw);
    h -= c.camber * o;
    return h;
}

// Smooths the natural ground under a piece along it, so the riding surface
// follows the land without its small bumps.
void settle_piece(const TrackDesign &design, CoursePiece *piece)
{
    size_t count = piece->samples.size();
    std::vector<double> raw(count);
    for (size_t k = 0; k < count; k++)
        raw[k] = design.ground(piece->samples[k].x, piece->samples[k].z);
    const int half = (int)(20 / SAMPLE_STEP);
    for (size_t k = 0; k < count; k++) {
        double sum = 0;
        int used = 0;
        for (int m = -half; m <= half; m++) {
            long at = (long)k + m;
            if (piece->closed)
                at = (at % (long)count + (long)count) % (long)count;
            else if (at < 0 || at >= (long)count)
                continue;
            sum += raw[at];
            used++;
        }
        piece->samples[k].ground = sum / used;
    }
}

// Index of the sample at distance s along a piece.
size_t sample_at(const CoursePiece &piece, double s)
{
    if (piece.closed)
        s -= dg_floor(s / piece.length) * piece.length;
    size_t lo = 0, hi = piece.samples.size() - 1;
    while (lo < hi) {
        size_t mid = (lo + hi + 1) / 2;
        if (piece.samples[mid].s <= s)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// A coarse map of the distance from each 4-ft cell to the course's riding
// surface edge, for placing decoration away from it.
struct ClearanceMap {
    int n = 0;
    double cell = 4;
    std::vector<float> clearance;   // distance beyond the nearest track edge (negative on the track)
};

ClearanceMap clearance_map(const TrackDesign &design, double extent)
{
    ClearanceMap map;
    map.n = (int)(extent / map.cell) + 1;
    map.clearance.assign((size_t)map.n * map.n, 1000.0f);
    const double reach = 60;
    for (int p = 0; p < 2; p++) {
        const CoursePiece &piece = piece_of(design, p);
        for (size_t k = 0; k < piece.samples.size(); k += 4) {
            const CourseSample &c = piece.samples[k];
            double r = c.half_width + reach;
            int i0 = (int)dg_floor((c.x - r) / map.cell), i1 = (int)dg_floor((c.x + r) / map.cell) + 1;
            int j0 = (int)dg_floor((c.z - r) / map.cell), j1 = (int)dg_floor((c.z + r) / map.cell) + 1;
            for (int j = j0 < 0 ? 0 : j0; j <= j1 && j < map.n; j++) {
                for (int i = i0 < 0 ? 0 : i0; i <= i1 && i < map.n; i++) {
                    double dx = i * map.cell - c.x, dz = j * map.cell - c.z;
                    float v = (float)(std::sqrt(dx * dx + dz * dz) - c.half_width);
                    float &slot = map.clearance[(size_t)j * map.n + i];
                    if (v < slot)
                        slot = v;
                }
            }
        }
    }
    return map;
}

double clearance_at(const ClearanceMap &map, double x, double z)
{
    int i = (int)dg_floor(x / map.cell + 0.5), j = (int)dg_floor(z / map.cell + 0.5);
    if (i < 0 || j < 0 || i >= map.n || j >= map.n)
        return -1;
    return map.clearance[(size_t)j * map.n + i];
}

std::string vec3(const double v[3])
{
    return format("[ %.4f %.4f %.4f ]", v[0], v[1], v[2]);
}

std::string tileinfo_entry(const SurfaceDef &a, const SurfaceDef &b, double mix, const std::string &texture)
{
    std::string text = format("texture @%s\n", texture.c_str());
    for (int k = 0; k < 3; k++)
        text += format("friction %.3f %.3f\n", dg_lerp(a.friction[k][0], b.friction[k][0], mix),
                       dg_lerp(a.friction[k][1], b.friction[k][1], mix));
    text += format("roll_resist %.3f %.3f %.3f\n", dg_lerp(a.roll[0], b.roll[0], mix),
                   dg_lerp(a.roll[1], b.roll[1], mix), dg_lerp(a.roll[2], b.roll[2], mix));
    const SurfaceDef &dominant = mix < 0.5 ? a : b;
    if (!dominant.roost.empty())
        text += "roost " + dominant.roost + "\n";
    static const char *const erode_keys[8] = {"erode_depth",   "erode_lower",     "erode_upper",
                                              "erode_displacement", "erode_radius", "erode_max_slope",
                                              "erode_off_speed", "erode_on_speed"};
    for (int k = 0; k < 8; k++)
        text += format("%s %.3f\n", erode_keys[k], dg_lerp(a.erode[k], b.erode[k], mix));
    text += "addtile\n";
    return text;
}

// Light reaching each grid point from the sun (255 lit, 0 in full shadow):
// a march toward the sun over the heights, softened by a 3x3 average.
std::vector<uint8_t> sun_light(const Terrain &t, const double sun[3])
{
    int n = t.grid_size;
    double horizontal = std::sqrt(sun[0] * sun[0] + sun[2] * sun[2]);
    std::vector<uint8_t> hard((size_t)n * n, 255);
    if (horizontal > 1e-6) {
        double sx = sun[0] / horizontal, sz = sun[2] / horizontal;
        double rise = sun[1] / horizontal * t.spacing;  // per step of one spacing
        double top = t.high_height;
        for (int j = 0; j < n; j++) {
            for (int i = 0; i < n; i++) {
                double h = t.heights[(size_t)j * n + i] + 0.05;
                double x = i, z = j;
                for (int step = 1; step < 400; step++) {
                    x += sx, z += sz, h += rise;
                    if (h > top || x < 0 || z < 0 || x > n - 1 || z > n - 1)
                        break;
                    int gi = (int)(x + 0.5), gj = (int)(z + 0.5);
                    if (t.heights[(size_t)gj * n + gi] > h) {
                        hard[(size_t)j * n + i] = 0;
                        break;
                    }
                }
            }
        }
    }
    std::vector<uint8_t> soft((size_t)n * n);
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            int sum = 0, count = 0;
            for (int dj = -1; dj <= 1; dj++)
                for (int di = -1; di <= 1; di++) {
                    int a = i + di, b = j + dj;
                    if (a < 0 || b < 0 || a >= n || b >= n)
                        continue;
                    sum += hard[(size_t)b * n + a];
                    count++;
                }
            soft[(size_t)j * n + i] = (uint8_t)(sum / count);
        }
    }
    return soft;
}

}  // namespace

TrackSummary build_track(DataSet *set, TrackDesign *design_in, const std::string &preview_dir)
{
    TrackDesign &design = *design_in;
    GroundCache ground_cache;  // shared textures enter the set once, whichever track comes first
    const std::string dir = design.id + "/";
    const int n = (1 << (design.exponent + 1)) + 1;
    const int tiles = 1 << design.exponent;
    const double spacing = design.spacing;
    const double extent = (n - 1) * spacing;

    settle_piece(design, &design.lap);
    settle_piece(design, &design.lead);
    // The start straight meets the lap on the lap's own ground.
    {
        const CourseSample &join = design.lap.samples[sample_at(design.lap, design.junction_s)];
        double lead_length = design.lead.length;
        for (CourseSample &c : design.lead.samples) {
            double w = dg_smoothstep((c.s - (lead_length - 80)) / 80);
            c.ground = dg_lerp(c.ground, join.ground, w);
        }
    }

    // --- heights -----------------------------------------------------------------
    Grid grid;
    grid.n = n;
    grid.spacing = spacing;
    grid.best.assign((size_t)n * n, 1e30f);
    grid.sample.assign((size_t)n * n, -1);
    grid.piece.assign((size_t)n * n, 0);
    for (int p = 0; p < 2; p++) {
        grid.piece_best[p].assign((size_t)n * n, 1e30f);
        grid.piece_sample[p].assign((size_t)n * n, -1);
    }
    rasterise(&grid, design.lap, 0, design.shoulder);
    rasterise(&grid, design.lead, 1, design.shoulder);

    std::vector<double> height((size_t)n * n);
    double lowest = 1e30, highest = -1e30;
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            double x = i * spacing, z = j * spacing;
            double natural = design.ground(x, z);
            // Each piece's surface here; where the start straight and the lap
            // both reach, they blend across 16 ft of the line where they are
            // equally near, so neither ends in a step at the other's edge.
            double surface[2] = {natural, natural}, distance[2] = {0, 0};
            bool near[2] = {false, false};
            size_t at = (size_t)j * n + i;
            for (int p = 0; p < 2; p++) {
                if (grid.piece_sample[p][at] < 0)
                    continue;
                CourseSpot spot;
                spot_on(design, grid, p, grid.piece_sample[p][at], i, j, &spot);
                const CourseSample &c = *spot.c;
                double track = c.ground + piece_profile(*spot.piece, spot.along) + lateral_height(c, spot.d);
                double ad = spot.d < 0 ? -spot.d : spot.d;
                double w = ad <= c.half_width ? 1 : 1 - dg_smoothstep((ad - c.half_width) / design.shoulder);
                surface[p] = dg_lerp(natural, track, w);
                distance[p] = std::sqrt((double)grid.piece_best[p][at]);
                near[p] = true;
            }
            double h = natural;
            if (near[0] && near[1])
                h = dg_lerp(surface[0], surface[1], dg_smoothstep((distance[0] - distance[1]) / 16 + 0.5));
            else if (near[0] || near[1])
                h = near[0] ? surface[0] : surface[1];
            height[(size_t)j * n + i] = h;
            lowest = h < lowest ? h : lowest;
            highest = h > highest ? h : highest;
        }
    }
    double low = dg_floor(lowest) - 1, high = dg_floor(highest) + 2;
    std::vector<uint8_t> hf;
    {
        std::string header = format("%d %.1f %.1f %.1f\n:", design.exponent, spacing, low, high);
        hf.assign(header.begin(), header.end());
    }
    Terrain *terrain_record = new Terrain();
    Terrain &terrain = *terrain_record;
    if (!terrain_allocate(&terrain, design.exponent, (float)spacing, (float)low, (float)high)) {
        fprintf(stderr, "zorvex-data: bad terrain size for %s\n", design.id.c_str());
        exit(1);
    }
    hf.reserve(hf.size() + (size_t)n * n * 2);
    for (size_t k = 0; k < (size_t)n * n; k++) {
        double u = dg_floor((height[k] - low) / (high - low) * 65535 + 0.5);
        uint16_t sample = (uint16_t)dg_clamp(u, 0, 65535);
        hf.push_back((uint8_t)(sample & 255));
        hf.push_back((uint8_t)(sample >> 8));
        terrain.heights[k] = (float)(low + sample * (high - low) * (1.0 / 65535));
    }
    add_file(set, dir + "terrain.hf", std::move(hf));

    // --- shadows and shading ---------------------------------------------------
    double sun_length = std::sqrt(design.sun_vector[0] * design.sun_vector[0] +
                                  design.sun_vector[1] * design.sun_vector[1] +
                                  design.sun_vector[2] * design.sun_vector[2]);
    double sun[3] = {design.sun_vector[0] / sun_length, design.sun_vector[1] / sun_length,
                     design.sun_vector[2] / sun_length};
    std::vector<uint8_t> light = sun_light(terrain, sun);
    {
        Picture shadows = make_picture(n, n, 1);
        shadows.pixels = light;
        add_file(set, dir + "shadows.pgm", encode_pnm(shadows));
    }
    // The game's own relighting gives the shading, so a later relight of a
    // deformed patch matches the baked file.
    Lighting saved_lighting = track_lighting;
    default_lighting(&track_lighting);
    for (int c = 0; c < 3; c++) {
        track_lighting.sun_vector[c] = (float)sun[c];
        track_lighting.sun_colour[c] = (float)design.sun_colour[c];
        track_lighting.ambient[c] = (float)design.ambient[c];
    }
    for (size_t k = 0; k < light.size(); k++)
        terrain.shadow[k] = (uint8_t)(255 - light[k]);
    terrain_relight(&terrain, 0, 0, n - 1, n - 1);
    track_lighting = saved_lighting;
    Picture shading = make_picture(n, n, 3);
    for (size_t k = 0; k < shading.pixels.size(); k++) {
        int v = terrain.shading[k] * 2 + 1;  // the loader halves it back
        shading.pixels[k] = (uint8_t)(v > 255 ? 255 : v);
    }
    add_file(set, dir + "shading.ppm", encode_pnm(shading));

    // --- surfaces and tile map ---------------------------------------------------
    GroundKind main_look = design.surfaces[SURF_MAIN].look, infield_look = design.surfaces[SURF_INFIELD].look;
    std::string tileinfo;
    for (int role = 0; role < SURF_ROLES; role++) {
        const SurfaceDef &s = design.surfaces[role];
        ground_picture(set, &ground_cache, s.look);
        tileinfo += tileinfo_entry(s, s, 0, std::string(ground_names[s.look]) + ".png");
    }
    const Picture &main_picture = ground_picture(set, &ground_cache, main_look);
    const Picture &infield_picture = ground_picture(set, &ground_cache, infield_look);
    for (int mask = 1; mask < 15; mask++) {
        std::string name = transition_name(main_look, infield_look, mask);
        if (!has_file(set, name))
            add_file(set, name, encode_png(transition_texture(main_picture, infield_picture, mask, 500 + mask)));
        int grass_corners = ((mask >> 3) & 1) + ((mask >> 2) & 1) + ((mask >> 1) & 1) + (mask & 1);
        tileinfo += tileinfo_entry(design.surfaces[SURF_MAIN], design.surfaces[SURF_INFIELD], grass_corners / 4.0,
                                   name);
    }
    add_text(set, dir + "tileinfo", tileinfo);

    // Corner classes on the even grid points: the tile corners.
    auto corner_class = [&](int i, int j) {
        CourseSpot spot;
        if (!course_spot(design, grid, i, j, &spot))
            return (int)SURF_INFIELD;
        const CourseSample &c = *spot.c;
        double ad = spot.d < 0 ? -spot.d : spot.d;
        if (ad > c.half_width + 0.5)
            return (int)SURF_INFIELD;
        if ((c.berm > 0 && spot.outward > 0.35 * c.half_width) || ad > 0.82 * c.half_width)
            return (int)SURF_EDGE;
        // The racing line: the middle of straights, the inside of turns.
        if (!c.turn ? ad < 0.4 * c.half_width : (spot.outward < -0.1 * c.half_width && spot.outward > -0.7 * c.half_width))
            return (int)SURF_LINE;
        return (int)SURF_MAIN;
    };
    std::vector<uint8_t> tilemap((size_t)tiles * tiles);
    for (int tj = 0; tj < tiles; tj++) {
        for (int ti = 0; ti < tiles; ti++) {
            int mask = 0;
            static const int corners[4][2] = {{0, 0}, {2, 0}, {0, 2}, {2, 2}};
            for (int k = 0; k < 4; k++)
                if (corner_class(2 * ti + corners[k][0], 2 * tj + corners[k][1]) == SURF_INFIELD)
                    mask |= 8 >> k;
            uint8_t type;
            if (mask == 15) {
                type = SURF_INFIELD;
            } else if (mask == 0) {
                int centre = corner_class(2 * ti + 1, 2 * tj + 1);
                type = (uint8_t)(centre == SURF_INFIELD ? SURF_MAIN : centre);
            } else {
                type = (uint8_t)(SURF_ROLES + mask - 1);
            }
            tilemap[(size_t)tj * tiles + ti] = type;
        }
    }
    add_file(set, dir + "tilemap", tilemap);

    // --- timing gates ---------------------------------------------------------------
    TrackSummary summary;
    summary.id = design.id;
    summary.lap_length = design.lap.length;
    auto surface_height = [&](double x, double z) { return (double)terrain_height_at(&terrain, (float)x, (float)z); };
    struct Gate {
        double x, y, z, dx, dz, radius;
    };
    std::vector<Gate> gates;
    auto gate_on = [&](const CoursePiece &piece, double s) {
        const CourseSample &c = piece.samples[sample_at(piece, s)];
        Gate g = {c.x, surface_height(c.x, c.z) + 3, c.z, c.tx, c.tz, c.half_width + 10};
        return g;
    };
    int loop_gates = (int)(design.lap.length / design.checkpoint_spacing + 0.5);
    for (int k = 1; k <= loop_gates; k++)
        gates.push_back(gate_on(design.lap, design.lap.length * k / loop_gates));
    const double gate_line = 12;     // distance along the start straight
    const double start_s = 9;        // the bikes' positions, 3 ft behind the gate line
    double lead_first = gate_line + 25, lead_last = design.lead.length - 8;
    int lead_gates = (int)((lead_last - lead_first) / design.checkpoint_spacing + 0.5) + 1;
    std::vector<int> first_lap;
    for (int k = 0; k < lead_gates; k++) {
        double s = lead_gates > 1 ? dg_lerp(lead_first, lead_last, (double)k / (lead_gates - 1)) : lead_first;
        first_lap.push_back((int)gates.size());
        gates.push_back(gate_on(design.lead, s));
    }
    for (int k = 1; k <= loop_gates; k++)
        if (design.lap.length * k / loop_gates > design.junction_s + 15)
            first_lap.push_back(k - 1);
    std::string tg = "startinggate:\n";
    const CourseSample &gate_sample = design.lead.samples[sample_at(design.lead, start_s)];
    double heading = dg_atan2(-gate_sample.tx, -gate_sample.tz);
    for (int k = 0; k < 40; k++) {
        double lateral = (k - 19.5) * 3.2;
        double x = gate_sample.x - gate_sample.tz * lateral, z = gate_sample.z + gate_sample.tx * lateral;
        tg += format("[%.4f %.4f %.4f] %.6f\n", x, surface_height(x, z), z, heading);
    }
    tg += "checkpoints:\n";
    for (const Gate &g : gates)
        tg += format("%.4f [%.4f %.4f %.4f] [%.6f %.6f %.6f]\n", g.radius, g.x, g.y, g.z, g.dx, 0.0, g.dz);
    tg += "firstlap:\n";
    for (int g : first_lap)
        tg += format("%d ", g);
    tg += "\nnormallap:\n";
    for (int k = 0; k < loop_gates; k++)
        tg += format("%d ", k);
    tg += "\n";
    add_text(set, dir + "timing_gates", tg);
    summary.checkpoints = (int)gates.size();
    summary.first_lap = (int)first_lap.size();
    summary.normal_lap = loop_gates;

    // --- furniture -------------------------------------------------------------------
    ClearanceMap clear = clearance_map(design, extent);
    auto lateral_point = [](const CourseSample &c, double d, double *x, double *z) {
        *x = c.x - c.tz * d;
        *z = c.z + c.tx * d;
    };
    auto along_angle = [](const CourseSample &c) { return dg_atan2(-c.tz, c.tx); };

    // Statues: hay bales round the outside of turns, tuff blocks along
    // straights, posts at the ends of the starting gate.
    std::string statues;
    const CoursePiece &lap = design.lap;
    for (size_t k = 0; k < lap.samples.size(); k += (size_t)(6 / SAMPLE_STEP)) {
        const CourseSample &c = lap.samples[k];
        if (!c.turn || (c.berm <= 0 && c.camber <= 0))
            continue;
        double x, z;
        lateral_point(c, c.outside * (c.half_width + design.shoulder * 0.5 + 2), &x, &z);
        if (clearance_at(clear, x, z) < 4 || x < 4 || z < 4 || x > extent - 4 || z > extent - 4)
            continue;
        statues += format("[ %.3f 0 %.3f ] %.5f @haybale.qm @haybale.png @haybale.shp\n", x, z, along_angle(c));
    }
    double block_step = design.stadium ? 14 : 48;
    for (size_t k = 0; k < lap.samples.size(); k += (size_t)(block_step / SAMPLE_STEP)) {
        const CourseSample &c = lap.samples[k];
        if (c.turn || piece_profile(lap, c.s) > 0.2)
            continue;
        for (int side = -1; side <= 1; side += 2) {
            double x, z;
            lateral_point(c, side * (c.half_width + 2.5), &x, &z);
            if (clearance_at(clear, x, z) < 1.5)
                continue;
            statues += format("[ %.3f 0 %.3f ] %.5f @tuffblock.qm @tuffblock.png @tuffblock.shp\n", x, z,
                              along_angle(c));
        }
    }
    {
        const CourseSample &c = design.lead.samples[sample_at(design.lead, gate_line)];
        for (int side = -1; side <= 1; side += 2) {
            double x, z;
            lateral_point(c, side * (20 * 3.2 + 1.2), &x, &z);
            statues += format("[ %.3f 0 %.3f ] %.5f @gatepost.qm @startgate.ppm @gatepost.shp\n", x, z,
                              along_angle(c));
        }
    }
    add_text(set, dir + "statues", statues);

    // Billboards: trees away from the course, banners beside straights,
    // fences along the start straight.
    std::string billboards;
    const double tree_cell = 32;
    for (int cj = 0; cj * tree_cell < extent; cj++) {
        for (int ci = 0; ci * tree_cell < extent; ci++) {
            uint32_t h = dg_hash(design.seed + 900, ci, cj);
            if (dg_unit(h) >= design.tree_rate)
                continue;
            double x = (ci + dg_unit(dg_hash(design.seed + 901, ci, cj))) * tree_cell;
            double z = (cj + dg_unit(dg_hash(design.seed + 902, ci, cj))) * tree_cell;
            if (clearance_at(clear, x, z) < 28 || x > extent || z > extent)
                continue;
            bool pine = design.pines ? dg_unit(dg_hash(design.seed + 903, ci, cj)) < 0.7
                                     : dg_unit(dg_hash(design.seed + 903, ci, cj)) < 0.2;
            double size = 22 + 20 * dg_unit(dg_hash(design.seed + 904, ci, cj));
            billboards += format("[ %.3f -0.5 %.3f ] %.2f 0.5 @%s\n", x, z, size, pine ? "tree-pine.png" : "tree-oak.png");
        }
    }
    if (!design.banners.empty()) {
        int banner = 0;
        for (size_t k = 0; k < lap.samples.size(); k += (size_t)(140 / SAMPLE_STEP)) {
            const CourseSample &c = lap.samples[k];
            if (c.turn)
                continue;
            double side = banner % 2 ? 1 : -1, x, z;
            lateral_point(c, side * (c.half_width + design.shoulder + 3), &x, &z);
            if (clearance_at(clear, x, z) < 6)
                continue;
            billboards += format("[ %.3f 0 %.3f ] 3.5 4 @%s\n", x, z, design.banners[banner % design.banners.size()].c_str());
            banner++;
        }
    }
    for (size_t k = (size_t)(4 / SAMPLE_STEP); k < design.lead.samples.size(); k += (size_t)(8 / SAMPLE_STEP)) {
        const CourseSample &c = design.lead.samples[k];
        if (c.s > design.lead.length - 60)
            break;
        for (int side = -1; side <= 1; side += 2) {
            double x, z;
            lateral_point(c, side * (c.half_width + 3), &x, &z);
            if (clearance_at(clear, x, z) < 2)
                continue;
            billboards += format("[ %.3f 0 %.3f ] 2 4 @fence.png\n", x, z);
        }
    }
    add_text(set, dir + "billboards", billboards);

    // Flaggers: the starter's board at the gate, the lap board at the
    // finish, a flagger on the blind side of every jump on the lap.
    std::string flaggers;
    {
        const CourseSample &c = design.lead.samples[sample_at(design.lead, gate_line)];
        double x0, z0, x1, z1;
        lateral_point(c, -(20 * 3.2 + 4), &x0, &z0);
        lateral_point(c, 20 * 3.2 + 4, &x1, &z1);
        flaggers += format("[ %.3f 0 %.3f ] [ %.3f 0 %.3f ] 1 6 13\n", x0, z0, x1, z1);
        flaggers += "@startboard-blank.png @startboard-30.png @startboard-side.png @startboard-drop.png "
                    "@startboard-down.png\n";
        const CourseSample &f = lap.samples[0];
        double fx, fz;
        lateral_point(f, -(f.half_width + 5), &fx, &fz);
        flaggers += format("[ %.3f 0 %.3f ] 6 1 @lapboard-laps.png @lapboard-2.png @lapboard-1.png @lapboard-finish.png\n",
                           fx, fz);
    }
    for (const PlacedObstacle &p : lap.obstacles) {
        if (!obstacle_is_jump(p.obstacle.kind))
            continue;
        const CourseSample &c = lap.samples[sample_at(lap, p.start + 20)];
        double x, z;
        lateral_point(c, (c.outside != 0 ? c.outside : 1) * (c.half_width + 6), &x, &z);
        if (clearance_at(clear, x, z) < 3)
            lateral_point(c, -(c.half_width + 6), &x, &z);
        int g = (int)(p.start / (design.lap.length / loop_gates));  // the gate before the jump
        auto clamp_gate = [&](int v) { return v < 0 ? 0 : (v >= loop_gates ? loop_gates - 1 : v); };
        flaggers += format("[ %.3f 0 %.3f ] 5.5 0.5 %d %d %d %d @flagger-idle.png @flagger-yellow.png\n", x, z,
                           clamp_gate(g - 1), clamp_gate(g), clamp_gate(g + 1), clamp_gate(g + 2));
    }
    add_text(set, dir + "flaggers", flaggers);

    // Cameras on towers beside the course, each serving the gates nearest to it.
    {
        struct Camera {
            double x, z;
        };
        std::vector<Camera> cameras;
        const int count = 10;
        for (int k = 0; k < count; k++) {
            const CourseSample &c = lap.samples[sample_at(lap, lap.length * (k + 0.5) / count)];
            double best_x = c.x, best_z = c.z, best_clear = -1;
            for (int side = -1; side <= 1; side += 2) {
                double x, z;
                lateral_point(c, side * (c.half_width + 30), &x, &z);
                double cl = clearance_at(clear, x, z);
                if (cl > best_clear)
                    best_clear = cl, best_x = x, best_z = z;
            }
            cameras.push_back({best_x, best_z});
        }
        const CourseSample &s0 = design.lead.samples[sample_at(design.lead, design.lead.length * 0.5)];
        double sx, sz;
        lateral_point(s0, s0.half_width + 30, &sx, &sz);
        cameras.push_back({sx, sz});
        std::vector<std::vector<int>> served(cameras.size());
        for (size_t g = 0; g < gates.size() && g < 256; g++) {
            size_t best = 0;
            double best_d = 1e30;
            for (size_t k = 0; k < cameras.size(); k++) {
                double dx = cameras[k].x - gates[g].x, dz = cameras[k].z - gates[g].z;
                if (dx * dx + dz * dz < best_d)
                    best_d = dx * dx + dz * dz, best = k;
            }
            served[best].push_back((int)g);
        }
        std::string text;
        for (size_t k = 0; k < cameras.size(); k++) {
            text += "fov 40\nautofovsize 14\n";
            if (!served[k].empty()) {
                text += "gate";
                for (int g : served[k])
                    text += format(" %d", g);
                text += "\n";
            }
            text += format("addcamera %.3f 14 %.3f\n", cameras[k].x, cameras[k].z);
        }
        add_text(set, dir + "cameras", text);
    }

    // Decals: the finish line and the line in front of the starting gate.
    {
        std::string text;
        const CourseSample &f = lap.samples[0];
        text += format("[ %.3f %.3f ] %.5f 3 %.3f @finishline.png\n", f.x, f.z, dg_atan2(-f.tx, -f.tz),
                       2 * f.half_width / 3);
        const CourseSample &g = design.lead.samples[sample_at(design.lead, gate_line + 2)];
        text += format("[ %.3f %.3f ] %.5f 1.5 %.3f @startline.png\n", g.x, g.z, dg_atan2(-g.tx, -g.tz),
                       40 * 3.2 / 1.5);
        add_text(set, dir + "decals", text);
    }

    // Lighting.
    {
        std::string text;
        text += "sun_vector " + vec3(design.sun_vector) + "\n";
        text += "sun_color " + vec3(design.sun_colour) + "\n";
        text += "ambient " + vec3(design.ambient) + "\n";
        text += "global_ambient " + vec3(design.global_ambient) + "\n";
        text += format("fog %s %.6f\n", vec3(design.fog_colour).c_str(), design.fog_density);
        text += "near_plane 0.25\n";
        text += format("far_plane %.1f\n", design.far_plane);
        text += "flare_element [ 0 1.6 ] [ 1 0.95 0.85 ] 0 @flare-glow.png\n";
        text += "flare_element [ 0.45 0.35 ] [ 0.55 0.7 1 ] 0 @flare-ring.png\n";
        text += "flare_element [ 0.8 0.18 ] [ 1 0.85 0.6 ] 0 @flare-disc.png\n";
        text += "flare_element [ 1.25 0.5 ] [ 0.6 1 0.7 ] 0 @flare-ring.png\n";
        text += "flare_vector " + vec3(sun) + "\n";
        add_text(set, dir + "lighting", text);
    }

    add_text(set, dir + "desc", design.title + "\n" + design.blurb);

    // --- the map and the preview -------------------------------------------------
    double type_colour[SURF_ROLES + 14][3];
    for (int role = 0; role < SURF_ROLES; role++)
        average_colour(ground_picture(set, &ground_cache, design.surfaces[role].look), type_colour[role]);
    for (int mask = 1; mask < 15; mask++) {
        int grass = ((mask >> 3) & 1) + ((mask >> 2) & 1) + ((mask >> 1) & 1) + (mask & 1);
        for (int c = 0; c < 3; c++)
            type_colour[SURF_ROLES + mask - 1][c] =
                dg_lerp(type_colour[SURF_MAIN][c], type_colour[SURF_INFIELD][c], grass / 4.0);
    }
    auto relief = [&](int size) {
        Picture p = make_picture(size, size, 3);
        for (int py = 0; py < size; py++) {
            for (int px = 0; px < size; px++) {
                int i = (int)((px + 0.5) * (n - 1) / size), j = (int)((py + 0.5) * (n - 1) / size);
                int ti = i / 2 < tiles ? i / 2 : tiles - 1, tj = j / 2 < tiles ? j / 2 : tiles - 1;
                const double *col = type_colour[tilemap[(size_t)tj * tiles + ti]];
                double bright = terrain.shading[((size_t)j * n + i) * 3 + 1] / 100.0;
                uint8_t *out = pixel_at(&p, px, py);
                for (int c = 0; c < 3; c++)
                    out[c] = to_byte(col[c] * bright);
            }
        }
        return p;
    };
    add_file(set, dir + "map.png", encode_png(relief(256)));

    if (!preview_dir.empty()) {
        Picture p = relief(n);
        auto dot = [&](double x, double z, int radius, const uint8_t rgb[3]) {
            int cx = (int)(x / spacing), cz = (int)(z / spacing);
            for (int dz = -radius; dz <= radius; dz++)
                for (int dx = -radius; dx <= radius; dx++)
                    if (dx * dx + dz * dz <= radius * radius && cx + dx >= 0 && cz + dz >= 0 && cx + dx < n &&
                        cz + dz < n) {
                        uint8_t *out = pixel_at(&p, cx + dx, cz + dz);
                        out[0] = rgb[0], out[1] = rgb[1], out[2] = rgb[2];
                    }
        };
        static const uint8_t red[3] = {230, 30, 30}, yellow[3] = {250, 220, 40}, blue[3] = {40, 80, 240};
        for (const Gate &g : gates) {
            for (int k = -8; k <= 8; k++)
                dot(g.x - g.dz * k * (g.radius / 8), g.z + g.dx * k * (g.radius / 8), 1, red);
            dot(g.x + g.dx * 4, g.z + g.dz * 4, 2, yellow);
        }
        for (int k = 0; k < 40; k++) {
            double lateral = (k - 19.5) * 3.2;
            dot(gate_sample.x - gate_sample.tz * lateral, gate_sample.z + gate_sample.tx * lateral, 1, blue);
        }
        std::vector<uint8_t> png = encode_png(p);
        std::string path = preview_dir + "/" + design.id + "-preview.png";
        FILE *file = fopen(path.c_str(), "wb");
        if (!file || fwrite(png.data(), 1, png.size(), file) != png.size() || fclose(file) != 0) {
            fprintf(stderr, "zorvex-data: can't write %s\n", path.c_str());
            exit(1);
        }
    }
    free_terrain(&terrain);
    delete terrain_record;
    return summary;
}
