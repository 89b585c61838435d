// Track furniture: reading, placing and writing billboards, statues,
// flaggers and cameras, and the statue grid.
#include "track/furniture.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/stream.h"
#include "platform/log.h"
#include "platform/message_log.h"
#include "track/terrain.h"
#include "track/text_scan.h"
#include "track/track_graphics.h"

Furniture track_furniture;

static const float TWO_PI = 6.28318530717958647692f;

static uint32_t furniture_texture(const std::string &name)
{
    return name.empty() ? 0 : track_texture(name.c_str());
}

static float ground(const Terrain *terrain, float x, float z)
{
    return terrain && !terrain->heights.empty() ? terrain_height_at(terrain, x, z) : 0.0f;
}

static std::string name_or_empty(const char *name)
{
    if (!name || !strcmp(name, "null"))
        return std::string();
    return name;
}

void clear_furniture()
{
    Furniture &f = track_furniture;
    f.billboards.clear();
    f.statues.clear();
    f.flaggers.clear();
    f.billboards.reserve(16);
    f.statues.reserve(16);
    f.flaggers.reserve(16);
    f.starting_gate = StartingGate{};
    f.starting_gate.billboard = -1;
    f.lap_board = LapBoard{};
    f.lap_board.billboard = -1;
    f.cameras.clear();
    for (int &camera : f.camera_by_gate)
        camera = -1;
    for (std::vector<int> &cell : f.statue_cells) {
        cell.clear();
        cell.reserve(16);
    }
}

// --- billboards ---------------------------------------------------------------

static int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Splits "#rrggbb#name" into the colour and the name; false when `text` has no prefix.
static bool colour_prefix(const char *text, uint8_t colour[3], const char **name)
{
    if (strlen(text) < 8 || text[0] != '#' || text[7] != '#')
        return false;
    int digits[6];
    for (int k = 0; k < 6; k++)
        if ((digits[k] = hex_digit(text[1 + k])) < 0)
            return false;
    for (int k = 0; k < 3; k++)
        colour[k] = (uint8_t)(digits[2 * k] * 16 + digits[2 * k + 1]);
    *name = text + 8;
    return true;
}

int add_billboard(const Terrain *terrain, float x, float offset, float z, float height, float width_factor,
                  const char *texture)
{
    Billboard b;
    b.x = x;
    b.offset = offset;
    b.z = z;
    b.y = ground(terrain, x, z) + offset;
    b.height = height;
    b.width_factor = width_factor;
    b.sort_key = 0;
    b.colour[0] = b.colour[1] = b.colour[2] = b.colour[3] = 255;
    const char *name = texture ? texture : "";
    colour_prefix(name, b.colour, &name);
    b.texture_name = name;
    b.texture = furniture_texture(b.texture_name);
    track_furniture.billboards.push_back(b);
    return (int)track_furniture.billboards.size() - 1;
}

void replace_billboard(const Terrain *terrain, int index)
{
    if (index < 0 || (size_t)index >= track_furniture.billboards.size())
        return;
    Billboard &b = track_furniture.billboards[index];
    b.y = ground(terrain, b.x, b.z) + b.offset;
}

void read_billboards(const Terrain *terrain, const char *name)
{
    DataStream *stream = stream_open(name, "r");
    if (!stream)
        return;
    float x, offset, z, height, width;
    char texture[1024];
    while (stream_scanf(stream, "[ %f %f %f ] %f %f %1023s ", &x, &offset, &z, &height, &width, texture) == 6)
        add_billboard(terrain, x, offset, z, height, width, texture);
    stream_close(stream);
}

bool write_billboards(const char *name)
{
    DataStream *stream = stream_open(name, "w");
    if (!stream) {
        post_message("Can't open 'billboards'\n");
        return false;
    }
    for (const Billboard &b : track_furniture.billboards) {
        if (b.texture_name.empty())
            continue;
        stream_printf(stream, "[%f %f %f] %f %f ", b.x, b.offset, b.z, b.height, b.width_factor);
        if (b.colour[0] != 255 || b.colour[1] != 255 || b.colour[2] != 255)
            stream_printf(stream, "#%02x%02x%02x#%s\n", b.colour[0], b.colour[1], b.colour[2], b.texture_name.c_str());
        else
            stream_printf(stream, "%s\n", b.texture_name.c_str());
    }
    stream_close(stream);
    return true;
}

// --- statues ------------------------------------------------------------------------

void statue_orientation(const Terrain *terrain, float x, float z, float angle, float m[9])
{
    if (!(angle < 3.25f)) {
        static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        memcpy(m, identity, sizeof identity);
        return;
    }
    float c = cosf(angle), s = sinf(angle);
    // Turn about the vertical.
    float turn[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
    if (angle <= -TWO_PI || !terrain || terrain->heights.empty()) {
        memcpy(m, turn, sizeof turn);
        return;
    }
    // Up axis along the ground normal from three nearby heights, reached by
    // the smallest rotation from the vertical.
    float h0 = terrain_height_at(terrain, x, z);
    float h1 = terrain_height_at(terrain, x + 1, z);
    float h2 = terrain_height_at(terrain, x, z + 1);
    float n[3] = {-(h1 - h0), 1, -(h2 - h0)};
    float length = sqrtf(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    n[0] /= length, n[1] /= length, n[2] /= length;
    // Rotation taking (0,1,0) to n: axis (n.z, 0, -n.x), cosine n.y.
    float ax = n[2], az = -n[0];
    float sine = sqrtf(ax * ax + az * az), cosine = n[1];
    float tilt[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (sine > 1e-12f) {
        ax /= sine, az /= sine;
        float t = 1 - cosine;
        tilt[0] = t * ax * ax + cosine;
        tilt[1] = -sine * az;
        tilt[2] = t * ax * az;
        tilt[3] = sine * az;
        tilt[4] = cosine;
        tilt[5] = -sine * ax;
        tilt[6] = t * ax * az;
        tilt[7] = sine * ax;
        tilt[8] = t * az * az + cosine;
    }
    for (int r = 0; r < 3; r++)
        for (int k = 0; k < 3; k++)
            m[r * 3 + k] = tilt[r * 3] * turn[k] + tilt[r * 3 + 1] * turn[3 + k] + tilt[r * 3 + 2] * turn[6 + k];
}

std::vector<std::string> statue_map_names(const std::string &texture, const std::string &model, const char *suffix)
{
    static const char *const endings[3] = {".seq", ".png", ".ppm"};
    std::vector<std::string> names;
    if (!texture.empty()) {
        bool repeat = texture.find("-repeat") != std::string::npos;
        size_t cut = repeat ? texture.rfind('-') : texture.rfind('.');
        std::string stem = texture.substr(0, cut);
        for (const char *ending : endings)
            names.push_back(stem + suffix + (repeat ? "-repeat" : "") + ending);
    }
    if (!model.empty()) {
        size_t dot = model.rfind('.');
        size_t slash = model.rfind('/');
        std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? model.substr(0, dot)
                                                                                                 : model;
        for (const char *ending : endings)
            names.push_back(stem + suffix + ending);
    }
    return names;
}

static uint32_t first_texture(const std::vector<std::string> &names)
{
    for (const std::string &name : names)
        if (uint32_t id = track_texture(name.c_str()))
            return id;
    return 0;
}

int add_statue(const Terrain *terrain, float x, float offset, float z, float angle, const char *model,
               const char *texture, const char *shape)
{
    Statue s;
    s.model = nullptr;
    s.shape = nullptr;
    s.shape_radius = 0;
    s.texture = s.normal_texture = s.specular_texture = 0;
    s.model_name = name_or_empty(model);
    s.texture_name = name_or_empty(texture);
    s.shape_name = name_or_empty(shape);
    s.x = x;
    s.z = z;
    s.offset = offset;
    s.angle = angle;
    s.touched_tick = -1;
    if (track_graphics.load_texture && !s.model_name.empty() && !s.texture_name.empty()) {
        // The model itself is loaded here once the model reader exists.
        s.texture = track_texture(s.texture_name.c_str());
        if (track_graphics.shaders_in_use) {
            s.normal_texture = first_texture(statue_map_names(s.texture_name, s.model_name, "_norm"));
            s.specular_texture = first_texture(statue_map_names(s.texture_name, s.model_name, "_spec"));
        }
    }
    if (!s.shape_name.empty()) {
        // The collision shape is read here once the shape reader exists; until
        // then only its presence is checked.
        DataStream *file = stream_open(s.shape_name.c_str(), "r");
        if (file) {
            stream_close(file);
        } else {
            post_messagef("Warning: missing shape file %.900s", s.shape_name.c_str());
        }
    }
    track_furniture.statues.push_back(s);
    int index = (int)track_furniture.statues.size() - 1;
    replace_statue(terrain, index);
    return index;
}

void replace_statue(const Terrain *terrain, int index)
{
    if (index < 0 || (size_t)index >= track_furniture.statues.size())
        return;
    Statue &s = track_furniture.statues[index];
    s.y = ground(terrain, s.x, s.z) + s.offset;
    statue_orientation(terrain, s.x, s.z, s.angle, s.orientation);
    s.scale_power = s.angle >= 3.25f ? powf(2.0f, s.angle) : 0.0f;
}

void read_statues(const Terrain *terrain, const char *name)
{
    DataStream *stream = stream_open(name, "r");
    if (!stream)
        return;
    float x, offset, z, angle;
    char model[1024], texture[1024], shape[1024];
    while (stream_scanf(stream, "[ %f %f %f ] %f %1023s %1023s %1023s ", &x, &offset, &z, &angle, model, texture,
                        shape) == 7)
        add_statue(terrain, x, offset, z, angle, model, texture, shape);
    stream_close(stream);
}

static const char *null_name(const std::string &name)
{
    return name.empty() ? "null" : name.c_str();
}

bool write_statues(const char *name)
{
    DataStream *stream = stream_open(name, "w");
    if (!stream) {
        post_message("Can't open 'statues'\n");
        return false;
    }
    for (const Statue &s : track_furniture.statues)
        stream_printf(stream, "[%f %f %f] %f %s %s %s\n", s.x, s.offset, s.z, s.angle, null_name(s.model_name),
                      null_name(s.texture_name), null_name(s.shape_name));
    stream_close(stream);
    return true;
}

// --- statue grid ------------------------------------------------------------------------

int statue_cell(float v, float extent)
{
    float cell = floorf((v / extent - 0.125f) * (4.0f / 3.0f) * 8);
    if (!(cell > 0))
        return 0;
    return cell > 7 ? 7 : (int)cell;
}

void rebuild_statue_grid(float extent)
{
    Furniture &f = track_furniture;
    for (std::vector<int> &cell : f.statue_cells)
        cell.clear();
    if (!(extent > 0))
        return;
    for (size_t k = 0; k < f.statues.size(); k++) {
        const Statue &s = f.statues[k];
        if (!s.shape)
            continue;
        int c0 = statue_cell(s.x - s.shape_radius, extent), c1 = statue_cell(s.x + s.shape_radius, extent);
        int r0 = statue_cell(s.z - s.shape_radius, extent), r1 = statue_cell(s.z + s.shape_radius, extent);
        for (int r = r0; r <= r1; r++)
            for (int c = c0; c <= c1; c++)
                f.statue_cells[r * STATUE_GRID + c].push_back((int)k);
    }
}

// --- flaggers --------------------------------------------------------------------------

static bool read_names(DataStream *stream, std::string *names, uint32_t *textures, int count)
{
    char name[1024];
    for (int k = 0; k < count; k++) {
        if (stream_scanf(stream, " %1023s ", name) != 1)
            return false;
        names[k] = name;
        textures[k] = furniture_texture(names[k]);
    }
    return true;
}

void read_flaggers(const Terrain *terrain, const char *name, int gate_count)
{
    DataStream *stream = stream_open(name, "r");
    if (!stream)
        return;
    Furniture &f = track_furniture;
    StartingGate gate = f.starting_gate;
    float *a = gate.start, *b = gate.end;
    if (stream_scanf(stream, " [ %f %f %f ] [ %f %f %f ] %f %f %f ", &a[0], &a[1], &a[2], &b[0], &b[1], &b[2],
                     &gate.width, &gate.height, &gate.duration) != 9 ||
        !read_names(stream, gate.texture_names, gate.textures, 5)) {
        stream_close(stream);
        return;
    }
    // The gate's sprite stands at its start position (absolute height); it
    // is as wide as the gate.
    float factor = gate.height != 0 ? gate.width / gate.height : 1.0f;
    gate.billboard = add_billboard(nullptr, a[0], a[1], a[2], gate.height, factor, gate.texture_names[0].c_str());
    f.starting_gate = gate;

    float p[3], height, width;
    LapBoard board = f.lap_board;
    if (stream_scanf(stream, " [ %f %f %f ] %f %f ", &p[0], &p[1], &p[2], &height, &width) != 5 ||
        !read_names(stream, board.texture_names, board.textures, 4)) {
        stream_close(stream);
        return;
    }
    board.billboard = add_billboard(terrain, p[0], p[1], p[2], height, width, board.texture_names[0].c_str());
    f.lap_board = board;

    for (;;) {
        Flagger flagger;
        int *g = flagger.gates;
        if (stream_scanf(stream, " [ %f %f %f ] %f %f %d %d %d %d", &p[0], &p[1], &p[2], &height, &width, &g[0],
                         &g[1], &g[2], &g[3]) != 9 ||
            !read_names(stream, flagger.texture_names, flagger.textures, 2))
            break;
        for (int k = 0; k < 4; k++)
            g[k] = g[k] < -1 ? -1 : (g[k] > gate_count - 1 ? gate_count - 1 : g[k]);
        flagger.billboard = add_billboard(terrain, p[0], p[1], p[2], height, width, flagger.texture_names[0].c_str());
        f.flaggers.push_back(flagger);
    }
    stream_close(stream);
}

// --- cameras --------------------------------------------------------------------------------

static void pending_camera_defaults(TrackCamera *camera)
{
    *camera = TrackCamera{};
    camera->fov = 90;
    camera->framing = 0;
}

void read_cameras(const Terrain *terrain, const char *name)
{
    DataStream *stream = stream_open(name, "r");
    if (!stream)
        return;
    Furniture &f = track_furniture;
    TrackCamera pending;
    pending_camera_defaults(&pending);
    char line[1024];
    while (stream_gets(stream, line, sizeof line)) {
        const char *p = skip_space(line);
        const char *word = p;
        while (*p && !isspace((unsigned char)*p))
            p++;
        std::string key(word, (size_t)(p - word));
        float v[3];
        if (key == "fov") {
            if (scan_real(&p, &v[0]))
                pending.fov = fabsf(v[0]);
        } else if (key == "autofovsize") {
            if (scan_real(&p, &v[0]))
                pending.framing = fabsf(v[0]);
        } else if (key == "gate") {
            int gate;
            while (scan_int(&p, &gate) && gate >= 0 && gate <= 255)
                f.camera_by_gate[gate] = (int)f.cameras.size();
        } else if (key == "addcamera") {
            if (scan_real(&p, &v[0]) && scan_real(&p, &v[1]) && scan_real(&p, &v[2])) {
                pending.x = v[0];
                pending.y = ground(terrain, v[0], v[2]) + v[1];
                pending.z = v[2];
                f.cameras.push_back(pending);
                pending_camera_defaults(&pending);
            }
        }
    }
    stream_close(stream);
    if (debug_level)
        vark_log("%d cameras found\n", (int)f.cameras.size());
}
