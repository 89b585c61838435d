// The heightfield terrain: loading, queries, deformation, relighting and the
// editor's writers.
#include "track/terrain.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/image.h"
#include "data/sha1.h"
#include "data/stream.h"
#include "platform/log.h"
#include "platform/message_log.h"
#include "track/lighting.h"
#include "track/track_graphics.h"

Terrain *current_terrain = nullptr;
int terrain_max_exponent = MAX_TERRAIN_EXPONENT;

// Far beyond any grid, still safe to convert to int: positions are clamped
// to this before the grid index is taken, so NaN and huge values cannot
// overflow the conversion. Heights there are the edge heights anyway.
static const float COORD_LIMIT = 1.0e9f;

static inline float clamp_coord(float u)
{
    u = u > -COORD_LIMIT ? u : -COORD_LIMIT;  // also maps NaN to the limit
    return u < COORD_LIMIT ? u : COORD_LIMIT;
}

static inline int clamp_index(int i, int last)
{
    return i < 0 ? 0 : (i > last ? last : i);
}

bool terrain_allocate(Terrain *terrain, int exponent, float spacing, float low, float high)
{
    if (exponent < 0 || exponent > terrain_max_exponent || !(spacing > 0) || !std::isfinite(spacing) ||
        !std::isfinite(low) || !std::isfinite(high))
        return false;
    int tiles = 1 << exponent;
    int n = 2 * tiles + 1;
    size_t points = (size_t)n * n;
    terrain->size_exponent = exponent;
    terrain->grid_size = n;
    terrain->tiles = tiles;
    terrain->spacing = spacing;
    terrain->inverse_spacing = 1.0f / spacing;
    terrain->double_spacing = 2 * spacing;
    terrain->extent = (float)(2 * tiles) * spacing;
    terrain->low_height = low;
    terrain->high_height = high;
    terrain->heights.assign(points, low);
    terrain->shading.assign(points * 3, 0);
    terrain->shadow.assign(points, 0);
    terrain->normal_map.clear();
    terrain->tile_map.assign((size_t)tiles * tiles, 0);
    return true;
}

static void reset_terrain(Terrain *terrain)
{
    terrain->size_exponent = 0;
    terrain->grid_size = 0;
    terrain->tiles = 0;
    terrain->spacing = 0;
    terrain->inverse_spacing = 0;
    terrain->double_spacing = 0;
    terrain->extent = 0;
    terrain->low_height = 0;
    terrain->high_height = 0;
    terrain->heights = {};
    terrain->shading = {};
    terrain->normal_map = {};
    terrain->shadow = {};
    terrain->tile_map = {};
    terrain->modified = 0;
    terrain->deformation_lock = 0;
    terrain->change_counter = 1;
    terrain->normal_map_flag = 0;
    terrain->surface_count = 0;
    for (SurfaceType &type : terrain->surfaces)
        default_surface_type(&type);
    terrain->decals = {};
    terrain->composition_kind = 0;
    terrain->ground_texture_size = 128;
    memset(terrain->texture_slots, 0, sizeof terrain->texture_slots);
    terrain->cached_cell_x = -1000000;
    terrain->cached_cell_z = -1000000;
    terrain->render = nullptr;
}

void free_terrain(Terrain *terrain)
{
    // The renderer's textures and level-of-detail state are released by the
    // terrain renderer together with `render` once it exists.
    reset_terrain(terrain);
}

// --- samples --------------------------------------------------------------

static void log_sample_digest(Sha1 *sha)
{
    uint8_t digest[20];
    sha1_final(sha, digest);
    if (debug_level == 2) {
        char hex[41];
        sha1_hex(digest, hex);
        vark_log("%s\n", hex);
    }
}

static void set_heights_from_samples(Terrain *terrain, size_t first, const uint16_t *samples, size_t count)
{
    float low = terrain->low_height;
    float range = terrain->high_height - low;
    float *out = terrain->heights.data() + first;
    for (size_t k = 0; k < count; k++)
        out[k] = (float)(low + (float)(samples[k] * range) * (1.0 / 65535));
}

// ":" samples follow the header; a short section leaves the rest at sample 0.
static void read_raw_samples(Terrain *terrain, DataStream *stream)
{
    size_t points = terrain->heights.size();
    Sha1 sha;
    sha1_init(&sha);
    enum { CHUNK = 32768 };
    static uint8_t bytes[CHUNK * 2];
    uint16_t samples[CHUNK];
    size_t done = 0;
    int odd = -1;  // a low byte waiting for its high byte
    while (done < points) {
        size_t want = points - done;
        if (want > CHUNK)
            want = CHUNK;
        size_t have = 0;
        if (odd >= 0)
            bytes[have++] = (uint8_t)odd;
        size_t got = stream_read(stream, bytes + have, want * 2 - have);
        if (got > 0)
            sha1_update(&sha, bytes + have, got);
        have += got;
        size_t whole = have / 2;
        for (size_t k = 0; k < whole; k++)
            samples[k] = (uint16_t)(bytes[2 * k] | bytes[2 * k + 1] << 8);
        set_heights_from_samples(terrain, done, samples, whole);
        done += whole;
        odd = (have & 1) ? bytes[have - 1] : -1;
        if (got == 0 || whole == 0)
            break;
    }
    // Missing samples count as 0, the low height.
    for (size_t k = done; k < points; k++)
        terrain->heights[k] = terrain->low_height;
    log_sample_digest(&sha);
}

// Samples from "terrain.png", its edges repeated or cropped to the grid.
static void read_png_samples(Terrain *terrain, const std::string &track_path)
{
    std::string name = track_path + "terrain.png";
    uint16_t *pixels = nullptr;
    int width = 0, height = 0;
    int n = terrain->grid_size;
    Sha1 sha;
    sha1_init(&sha);
    if (!load_png_gray16(name.c_str(), &pixels, &width, &height) || !pixels || width <= 0 || height <= 0) {
        free_gray16(pixels);
        for (float &h : terrain->heights)
            h = terrain->low_height;
        log_sample_digest(&sha);
        return;
    }
    std::vector<uint16_t> row(n);
    std::vector<uint8_t> bytes((size_t)n * 2);
    for (int j = 0; j < n; j++) {
        const uint16_t *source = pixels + (size_t)(j < height ? j : height - 1) * width;
        for (int i = 0; i < n; i++) {
            uint16_t u = source[i < width ? i : width - 1];
            row[i] = u;
            bytes[2 * i] = (uint8_t)u;
            bytes[2 * i + 1] = (uint8_t)(u >> 8);
        }
        sha1_update(&sha, bytes.data(), bytes.size());
        set_heights_from_samples(terrain, (size_t)j * n, row.data(), n);
    }
    free_gray16(pixels);
    log_sample_digest(&sha);
}

static bool read_heights(Terrain *terrain, const std::string &track_path)
{
    std::string name = track_path + "terrain.hf";
    DataStream *stream = stream_open(name.c_str(), "r");
    if (!stream) {
        post_messagef("Can't open '%.950s'", name.c_str());
        return false;
    }
    int exponent = 0;
    float spacing = 0, low = 0, high = 0;
    int fields = stream_scanf(stream, "%d %f %f %f ", &exponent, &spacing, &low, &high);
    if (fields < 4 || !terrain_allocate(terrain, exponent, spacing, low, high)) {
        // A size beyond what can sensibly be held, or a spacing that is not a
        // positive number, is as unusable as a missing field.
        post_message("Bad height field parameters");
        post_message("Error reading heights");
        stream_close(stream);
        return false;
    }
    if (stream_getc(stream) == ':')
        read_raw_samples(terrain, stream);
    else
        read_png_samples(terrain, track_path);
    stream_close(stream);
    return true;
}

// --- shading and shadows ---------------------------------------------------

static bool read_shading(Terrain *terrain, const std::string &track_path)
{
    bool doubled = true;
    std::string name = track_path + "shadingx2.ppm";
    DataStream *stream = stream_open(name.c_str(), "r");
    if (!stream) {
        doubled = false;
        name = track_path + "shading.ppm";
        stream = stream_open(name.c_str(), "r");
        if (!stream) {
            post_messagef("Can't open '%.950s'", name.c_str());
            return false;
        }
    }
    uint8_t *pixels = nullptr;
    int width = 0, height = 0;
    bool ok = read_rgb_image(stream, &pixels, &width, &height);
    stream_close(stream);
    if (!ok || !pixels) {
        free_image_pixels(pixels);
        post_message("Error reading shading");
        return false;
    }
    int n = terrain->grid_size;
    if (width != n || height != n) {
        free_image_pixels(pixels);
        char line[128];
        snprintf(line, sizeof line, "Bad shading dimensions (%dx%d)", width, height);
        post_message(line);
        return false;
    }
    size_t count = (size_t)n * n * 3;
    if (doubled) {
        memcpy(terrain->shading.data(), pixels, count);
    } else {
        for (size_t k = 0; k < count; k++)
            terrain->shading[k] = pixels[k] >> 1;
    }
    free_image_pixels(pixels);
    return true;
}

static bool read_shadows(Terrain *terrain, const std::string &track_path)
{
    std::string name = track_path + "shadows.pgm";
    DataStream *stream = stream_open(name.c_str(), "r");
    if (!stream)
        return true;  // optional: everything lit
    uint8_t *pixels = nullptr;
    int width = 0, height = 0;
    bool ok = read_pgm(stream, &pixels, &width, &height);
    stream_close(stream);
    if (!ok || !pixels) {
        free_image_pixels(pixels);
        post_message("Error reading shadows");
        return false;
    }
    int n = terrain->grid_size;
    if (width != n || height != n) {
        free_image_pixels(pixels);
        vark_log("Bad shadow dimensions (%dx%d)\n", width, height);
        return false;
    }
    size_t count = (size_t)n * n;
    for (size_t k = 0; k < count; k++)
        terrain->shadow[k] = (uint8_t)(255 - pixels[k]);
    free_image_pixels(pixels);
    return true;
}

// --- surfaces ----------------------------------------------------------------

static bool read_surfaces(Terrain *terrain, const std::string &track_path, SurfaceTextureMode mode)
{
    std::string name = track_path + "tileinfo";
    DataStream *stream = stream_open(name.c_str(), "r");
    bool ok;
    if (stream) {
        ok = read_tileinfo(terrain, stream, mode);
    } else {
        name = track_path + "texturelist";
        stream = stream_open(name.c_str(), "r");
        if (!stream) {
            post_messagef("Can't open '%.950s'", name.c_str());
            return false;
        }
        ok = read_texturelist(terrain, stream, mode);
    }
    stream_close(stream);
    if (!ok) {
        post_message("Error reading tileinfo");
        return false;
    }
    // The ground tile textures of the renderer are made here once it exists.
    name = track_path + "tilemap";
    stream = stream_open(name.c_str(), "r");
    if (!stream) {
        post_messagef("Can't open '%.950s'", name.c_str());
        return false;
    }
    read_tilemap(terrain, stream);
    stream_close(stream);
    return true;
}

int load_terrain(Terrain *terrain, const char *track_path, int texture_method)
{
    reset_terrain(terrain);
    std::string path = track_path;
    if (!read_heights(terrain, path)) {
        free_terrain(terrain);
        return 0;
    }
    // The level-of-detail data of the terrain renderer is built here, and the
    // composition kind and normal-map flag are chosen, once the renderer exists.
    // Without it nothing is composed: textures are only needed as images in
    // memory when the "Software" method is asked for.
    SurfaceTextureMode mode = SURFACE_TEXTURES_NONE;
    if (texture_method == TEXTURE_METHOD_SOFTWARE)
        mode = SURFACE_TEXTURES_IMAGE;
    else if (track_graphics.load_texture)
        mode = SURFACE_TEXTURES_GL;

    if (!read_shading(terrain, path) || !read_shadows(terrain, path)) {
        free_terrain(terrain);
        return 0;
    }
    if (debug_level)
        vark_log("%lu bytes texture memory used before ground tiles loaded\n", (unsigned long)texture_memory);
    if (!read_surfaces(terrain, path, mode)) {
        free_terrain(terrain);
        return 0;
    }
    if (debug_level)
        vark_log("%lu bytes texture memory used after ground tiles loaded\n", (unsigned long)texture_memory);
    if (terrain->normal_map_flag) {
        terrain->normal_map.assign(terrain->shading.size(), 0);
        int last = terrain->grid_size - 1;
        terrain_relight_normals(terrain, 0, 0, last, last);
    }
    // Low-detail ground textures and texture pools are made here by the
    // terrain renderer once it exists.
    if (debug_level)
        vark_log("%lu bytes texture memory used after low detail ground textures\n",
                 (unsigned long)texture_memory);
    read_decals(terrain, track_path, mode);
    return 1;
}

// --- queries -------------------------------------------------------------------

float terrain_height_at(const Terrain *terrain, float x, float z)
{
    float u = clamp_coord(x * terrain->inverse_spacing);
    float v = clamp_coord(z * terrain->inverse_spacing);
    float fi = floorf(u), fj = floorf(v);
    int gi = (int)fi, gj = (int)fj;
    float fu = u - fi, fv = v - fj;
    int n = terrain->grid_size, last = n - 1;
    int i0 = clamp_index(gi, last), i1 = clamp_index(gi + 1, last);
    const float *h = terrain->heights.data();
    const float *row0 = h + (size_t)clamp_index(gj, last) * n;
    const float *row1 = h + (size_t)clamp_index(gj + 1, last) * n;
    // Both triangle choices are made with selects rather than jumps: the
    // queries of a simulation step land on either side at random.
    bool same = ((gi ^ gj) & 1) == 0;
    int a = same ? i1 : i0, b = same ? i0 : i1;
    float wu = same ? 1 - fu : fu;
    bool second = wu + fv > 1;
    int p = second ? b : a, q = second ? a : b;
    const float *r0 = second ? row1 : row0, *r1 = second ? row0 : row1;
    float wz = second ? 1 - fv : fv;
    wu = second ? 1 - wu : wu;
    float h0 = r0[p];
    return h0 + wu * (r0[q] - h0) + wz * (r1[p] - h0);
}

void terrain_normal_at(const Terrain *terrain, float x, float z, float normal[3])
{
    float u = clamp_coord(x * terrain->inverse_spacing);
    float v = clamp_coord(z * terrain->inverse_spacing);
    float fi = floorf(u), fj = floorf(v);
    int gi = (int)fi, gj = (int)fj;
    float fu = u - fi, fv = v - fj;
    int a, b, j0, j1;
    float wu;
    if (((gi ^ gj) & 1) == 0) {
        a = gi + 1, b = gi, wu = 1 - fu;
    } else {
        a = gi, b = gi + 1, wu = fu;
    }
    int p, q;
    if (wu + fv <= 1) {
        p = a, q = b, j0 = gj, j1 = gj + 1;
    } else {
        p = b, q = a, j0 = gj + 1, j1 = gj;
    }
    float s = terrain->spacing;
    float h0 = terrain_grid_height(terrain, p, j0);
    // Edges from (p, j0) along x to (q, j0) and along z to (p, j1).
    float ex = (float)(q - p) * s, ey = terrain_grid_height(terrain, q, j0) - h0;
    float fy = terrain_grid_height(terrain, p, j1) - h0, fz = (float)(j1 - j0) * s;
    float nx = ey * fz, ny = -ex * fz, nz = ex * fy;
    if (ny < 0)
        nx = -nx, ny = -ny, nz = -nz;
    normal[0] = nx;
    normal[1] = ny;
    normal[2] = nz;
}

static inline void normalise(float v[3])
{
    float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0) {
        float k = 1.0f / length;
        v[0] *= k, v[1] *= k, v[2] *= k;
    }
}

void terrain_vertex_normal(const Terrain *terrain, int i, int j, float normal[3])
{
    static const int around[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}};
    float s = terrain->spacing;
    float kx = (float)i * s, ky = terrain_grid_height(terrain, i, j), kz = (float)j * s;
    float edge[8][3];
    for (int k = 0; k < 8; k++) {
        int di = around[k][0], dj = around[k][1];
        edge[k][0] = (float)(i + di) * s - kx;
        edge[k][1] = terrain_grid_height(terrain, i + di, j + dj) - ky;
        edge[k][2] = (float)(j + dj) * s - kz;
    }
    float sum[3] = {0, 0, 0};
    for (int k = 0; k < 8; k++) {
        const float *e1 = edge[k], *e2 = edge[(k + 1) & 7];
        float c[3] = {e2[1] * e1[2] - e2[2] * e1[1], e2[2] * e1[0] - e2[0] * e1[2], e2[0] * e1[1] - e2[1] * e1[0]};
        normalise(c);
        sum[0] += c[0], sum[1] += c[1], sum[2] += c[2];
    }
    normalise(sum);
    normal[0] = sum[0], normal[1] = sum[1], normal[2] = sum[2];
}

static inline uint8_t normal_byte(float v)
{
    int k = (int)(v * 127);
    k = k < -127 ? -127 : (k > 127 ? 127 : k);
    return (uint8_t)(k + 128);
}

static void clamp_rectangle(const Terrain *terrain, int *i0, int *j0, int *i1, int *j1)
{
    int last = terrain->grid_size - 1;
    *i0 = clamp_index(*i0, last), *j0 = clamp_index(*j0, last);
    *i1 = clamp_index(*i1, last), *j1 = clamp_index(*j1, last);
}

void terrain_relight_normals(Terrain *terrain, int i0, int j0, int i1, int j1)
{
    if (terrain->normal_map.size() != (size_t)terrain->grid_size * terrain->grid_size * 3)
        return;
    clamp_rectangle(terrain, &i0, &j0, &i1, &j1);
    int n = terrain->grid_size;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            size_t k = (size_t)j * n + i;
            float normal[3];
            terrain_vertex_normal(terrain, i, j, normal);
            uint8_t *out = &terrain->normal_map[k * 3];
            out[0] = normal_byte(normal[0]);
            out[1] = (uint8_t)(255 - terrain->shadow[k]);
            out[2] = normal_byte(normal[2]);
        }
    }
}

void terrain_relight(Terrain *terrain, int i0, int j0, int i1, int j1)
{
    if (terrain->grid_size <= 0)
        return;
    clamp_rectangle(terrain, &i0, &j0, &i1, &j1);
    const Lighting &light = track_lighting;
    int n = terrain->grid_size;
    bool with_normals = terrain->normal_map.size() == (size_t)n * n * 3;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            size_t k = (size_t)j * n + i;
            float normal[3];
            terrain_vertex_normal(terrain, i, j, normal);
            float w = normal[0] * light.sun_vector[0] + normal[1] * light.sun_vector[1] +
                      normal[2] * light.sun_vector[2];
            w = w < 0 ? 0 : (w > 1 ? 1 : w);
            float c = w * (1 - terrain->shadow[k] * (1.0f / 255));
            for (int ch = 0; ch < 3; ch++) {
                float value = (light.sun_colour[ch] * c + light.ambient[ch]) * 0.5f * 255;
                int byte = value >= 255 ? 255 : (value > 0 ? (int)value : 0);
                terrain->shading[k * 3 + ch] = (uint8_t)byte;
            }
            if (with_normals) {
                uint8_t *out = &terrain->normal_map[k * 3];
                out[0] = normal_byte(normal[0]);
                out[1] = (uint8_t)(255 - terrain->shadow[k]);
                out[2] = normal_byte(normal[2]);
            }
        }
    }
    // The ground textures over the rectangle are marked for recomposition
    // here (mark_ground_dirty) once the terrain renderer exists.
}

void terrain_stamp(Terrain *terrain, float x, float z, float radius, float amount)
{
    if (amount == 0 || terrain->grid_size <= 0)
        return;
    float inv = terrain->inverse_spacing;
    float r = radius * inv;
    float u = clamp_coord(x * inv), v = clamp_coord(z * inv);
    int64_t gi = (int64_t)floorf(u), gj = (int64_t)floorf(v);
    // Bounds in 64 bits: a huge radius only widens the square, which is cut
    // to the grid below anyway.
    float half_f = r > 0 ? ceilf(r) : 0;
    int64_t half = std::isfinite(half_f) && half_f < 2.0e9f ? (int64_t)half_f : (int64_t)2000000000;
    int64_t lo_i = gi - half + 1, hi_i = gi + half, lo_j = gj - half + 1, hi_j = gj + half;
    int n = terrain->grid_size;
    int64_t from_i = lo_i < 0 ? 0 : lo_i, to_i = hi_i > n - 1 ? n - 1 : hi_i;
    int64_t from_j = lo_j < 0 ? 0 : lo_j, to_j = hi_j > n - 1 ? n - 1 : hi_j;
    if (!terrain->deformation_lock) {
        for (int64_t j = from_j; j <= to_j; j++) {
            for (int64_t i = from_i; i <= to_i; i++) {
                float du = u - (float)i, dv = v - (float)j;
                float d = sqrtf(du * du + dv * dv);
                float weight = 0;
                if (!(d > r)) {
                    float t = d / r;
                    weight = 2 * t * t * t - 3 * t * t + 1;
                }
                float &h = terrain->heights[(size_t)j * n + i];
                float value = h + amount * weight;
                h = value;
                terrain->modified = 3;
                if (value > terrain->high_height)
                    terrain->high_height = value;
                if (value < terrain->low_height)
                    terrain->low_height = value;
            }
        }
    }
    auto to_int = [](int64_t k) { return (int)(k < -2000000000 ? -2000000000 : (k > 2000000000 ? 2000000000 : k)); };
    terrain_relight(terrain, to_int(lo_i), to_int(lo_j), to_int(hi_i), to_int(hi_j));
    terrain->change_counter++;
}

// --- editor writers --------------------------------------------------------------

bool write_terrain_heights(Terrain *terrain, const char *track_path)
{
    if (terrain->heights.empty())
        return false;
    float low = terrain->heights[0], high = terrain->heights[0];
    for (float h : terrain->heights) {
        low = h < low ? h : low;
        high = h > high ? h : high;
    }
    terrain->low_height = low;
    terrain->high_height = high;
    std::string name = std::string(track_path) + "terrain.hf";
    DataStream *stream = stream_open(name.c_str(), "w");
    if (!stream) {
        post_messagef("Can't open '%.950s'", name.c_str());
        return false;
    }
    stream_printf(stream, "%d %f %f %f\n", terrain->size_exponent, terrain->spacing, low, high);
    stream_close(stream);
    int n = terrain->grid_size;
    std::vector<uint16_t> samples((size_t)n * n);
    // A flat terrain has no range to scale by: every sample is 0.
    double range = (double)high - low;
    for (size_t k = 0; k < samples.size(); k++) {
        double u = range > 0 ? (terrain->heights[k] - low) / range * 65535 + 0.5 : 0;
        samples[k] = (uint16_t)(u >= 65535 ? 65535 : (u > 0 ? (int)u : 0));
    }
    name = std::string(track_path) + "terrain.png";
    return write_png_gray16(name.c_str(), samples.data(), n, n);
}

static bool write_ppm(const std::string &name, const Terrain *terrain, bool doubled)
{
    DataStream *stream = stream_open(name.c_str(), "w");
    if (!stream) {
        post_messagef("Can't open '%.950s'", name.c_str());
        return false;
    }
    int n = terrain->grid_size;
    stream_printf(stream, "P6\n%d %d\n255\n", n, n);
    bool ok = true;
    if (doubled) {
        std::vector<uint8_t> bytes(terrain->shading.size());
        for (size_t k = 0; k < bytes.size(); k++)
            bytes[k] = terrain->shading[k] >= 128 ? 255 : (uint8_t)(terrain->shading[k] * 2);
        ok = stream_write(stream, bytes.data(), bytes.size()) == bytes.size();
    } else {
        ok = stream_write(stream, terrain->shading.data(), terrain->shading.size()) == terrain->shading.size();
    }
    stream_close(stream);
    return ok;
}

bool write_terrain_shading(const Terrain *terrain, const char *track_path)
{
    if (terrain->shading.empty())
        return false;
    bool ok = write_ppm(std::string(track_path) + "shadingx2.ppm", terrain, false);
    return write_ppm(std::string(track_path) + "shading.ppm", terrain, true) && ok;
}
