// Surface types from tileinfo or texturelist, texture codes, the tile map and
// the position-to-surface lookup.
#include "track/surface.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/image.h"
#include "data/stream.h"
#include "platform/message_log.h"
#include "track/terrain.h"
#include "track/text_scan.h"
#include "track/track_graphics.h"

static const float SIM_STEP = 1.0f / 128;

void default_roost_kind(RoostKind *roost)
{
    roost->kind = 0;
    roost->texture = 0;
    roost->texture_name = "@roost.png";
    roost->count = 10.0f;
    roost->dig = 1.0f;
    roost->slip_threshold = 4.0f;
    roost->slow_angle = 1.5707964f;
    roost->fast_angle = 0.19634955f;
    roost->slow_speed = 0.0f;
    roost->fast_speed = 64.0f;
    roost->size = 0.25f;
    roost->grow = 4.0f;
    roost->drag = 0.5f;
    roost->vscale = 1.0f;
    roost->randomize = 15.0f;
    for (int k = 0; k < 4; k++)
        roost->colour[k] = 255;
    roost->fade[0] = roost->fade[1] = roost->fade[2] = 0;
    roost->fade[3] = -2;
}

void default_surface_type(SurfaceType *type)
{
    type->texture = 0;
    type->image = nullptr;
    type->image_width = type->image_height = type->image_channels = 0;
    type->texture_name.clear();
    type->texture_code = 0;
    for (int k = 0; k < CURVE_POINTS; k++) {
        type->friction[k] = 1.0f;
        type->friction_key[k] = k == 0 ? 1.0f : 0.0f;
        type->roll_a[k] = 5.0f;
        type->roll_b[k] = 15.0f;
        type->roll_key[k] = k == 0 ? 1.0f : 0.0f;
    }
    for (RoostKind &roost : type->roost)
        default_roost_kind(&roost);
    type->erode_depth = 1.0f;
    type->erode_lower = 50.0f;
    type->erode_upper = 150.0f;
    type->erode_displacement = 2.0f;
    type->erode_radius = 4.0f;
    type->erode_max_slope = 0.25f;
    type->erode_off_speed = 10.0f;
    type->erode_on_speed = 15.0f;
}

static void warn(const char *text)
{
    post_message(text);
}

static void load_surface_texture(SurfaceType *type, const char *name, SurfaceTextureMode mode)
{
    type->texture_name = name;
    type->texture = 0;
    type->image = nullptr;
    type->image_width = type->image_height = type->image_channels = 0;
    if (mode == SURFACE_TEXTURES_GL) {
        type->texture = track_texture(name);
    } else if (mode == SURFACE_TEXTURES_IMAGE) {
        const uint8_t *pixels = nullptr;
        int width = 0, height = 0, channels = 0;
        if (load_image(name, &pixels, &width, &height, &channels)) {
            type->image = pixels;
            type->image_width = width;
            type->image_height = height;
            type->image_channels = channels;
        }
    }
}

static void load_roost_texture(RoostKind *roost, const char *name, SurfaceTextureMode mode)
{
    roost->texture_name = name;
    // Roost sprites are drawn by the renderer: only a GL context wants them.
    roost->texture = mode == SURFACE_TEXTURES_GL ? track_texture(name) : 0;
}

// --- tileinfo -------------------------------------------------------------------

struct PendingType {
    SurfaceType type;
    int friction_points;
    int roll_points;
    int roost_kinds;
};

static void reset_pending(PendingType *pending)
{
    default_surface_type(&pending->type);
    pending->friction_points = 0;
    pending->roll_points = 0;
    pending->roost_kinds = 0;
}

// Name of a type for the texture codes: from the last "/" (kept), else the
// name without a leading "@".
static std::string matching_name(const std::string &texture)
{
    size_t slash = texture.rfind('/');
    if (slash != std::string::npos)
        return texture.substr(slash);
    if (!texture.empty() && texture[0] == '@')
        return texture.substr(1);
    return texture;
}

// Sorts the first `count` points by key (insertion sort: stable, and safe
// with any float values).
static void sort_points(float *key, float *a, float *b, int count)
{
    for (int i = 1; i < count; i++) {
        float k = key[i], va = a[i], vb = b ? b[i] : 0;
        int j = i - 1;
        while (j >= 0 && key[j] > k) {
            key[j + 1] = key[j];
            a[j + 1] = a[j];
            if (b)
                b[j + 1] = b[j];
            j--;
        }
        key[j + 1] = k;
        a[j + 1] = va;
        if (b)
            b[j + 1] = vb;
    }
}

static void add_type(Terrain *terrain, PendingType *pending)
{
    SurfaceType &type = pending->type;
    // Curves with no point given keep the single default point.
    if (pending->friction_points)
        sort_points(type.friction_key, type.friction, nullptr, pending->friction_points);
    if (pending->roll_points)
        sort_points(type.roll_key, type.roll_a, type.roll_b, pending->roll_points);
    terrain->surfaces[terrain->surface_count++] = type;
    reset_pending(pending);
}

// Truncates toward zero and keeps the low eight bits (0 for values that are not finite).
static uint8_t low_byte(double value)
{
    if (!std::isfinite(value))
        return 0;
    double whole = fmod(trunc(value), 256.0);
    return (uint8_t)((int)whole & 255);
}

enum RoostField { RF_TEXTURE, RF_SPLASH, RF_FLOAT, RF_COLOUR, RF_FADE };

struct RoostItem {
    const char *prefix;
    RoostField field;
    float RoostKind::*value;  // RF_FLOAT
    int channel;              // RF_COLOUR, RF_FADE
};

static const RoostItem roost_items[] = {
    {"texture=", RF_TEXTURE, nullptr, 0},
    {"splash=", RF_SPLASH, nullptr, 0},
    {"count=", RF_FLOAT, &RoostKind::count, 0},
    {"dig=", RF_FLOAT, &RoostKind::dig, 0},
    {"slip_threshold=", RF_FLOAT, &RoostKind::slip_threshold, 0},
    {"slow_angle=", RF_FLOAT, &RoostKind::slow_angle, 0},
    {"fast_angle=", RF_FLOAT, &RoostKind::fast_angle, 0},
    {"slow_speed=", RF_FLOAT, &RoostKind::slow_speed, 0},
    {"fast_speed=", RF_FLOAT, &RoostKind::fast_speed, 0},
    {"size=", RF_FLOAT, &RoostKind::size, 0},
    {"grow=", RF_FLOAT, &RoostKind::grow, 0},
    {"drag=", RF_FLOAT, &RoostKind::drag, 0},
    {"vscale=", RF_FLOAT, &RoostKind::vscale, 0},
    {"randomize=", RF_FLOAT, &RoostKind::randomize, 0},
    {"r=", RF_COLOUR, nullptr, 0},
    {"g=", RF_COLOUR, nullptr, 1},
    {"b=", RF_COLOUR, nullptr, 2},
    {"a=", RF_COLOUR, nullptr, 3},
    {"fade_r=", RF_FADE, nullptr, 0},
    {"fade_g=", RF_FADE, nullptr, 1},
    {"fade_b=", RF_FADE, nullptr, 2},
    {"fade_a=", RF_FADE, nullptr, 3},
};

static bool is_roost_separator(char c)
{
    return c == ' ' || c == '\f' || c == '\n' || c == '\r' || c == '\t' || c == '\b';
}

static void apply_roost_item(RoostKind *roost, const std::string &item, SurfaceTextureMode mode)
{
    for (const RoostItem &entry : roost_items) {
        size_t length = strlen(entry.prefix);
        if (item.compare(0, length, entry.prefix) != 0)
            continue;
        const char *text = item.c_str() + length;
        if (entry.field == RF_TEXTURE) {
            load_roost_texture(roost, text, mode);
            return;
        }
        float value = 0;
        const char *p = text;
        // The leading part of the value is converted; no number reads as 0.
        bool ok = scan_real(&p, &value);
        if (!ok)
            value = 0;
        if (entry.field == RF_SPLASH) {
            if (value != 0)
                roost->kind = 2;
            return;
        }
        if (!ok) {
            char line[64];
            snprintf(line, sizeof line, "tileinfo warning: bad %.*s\n", (int)length - 1, entry.prefix);
            warn(line);
        }
        if (entry.field == RF_FLOAT)
            roost->*entry.value = value;
        else if (entry.field == RF_COLOUR)
            roost->colour[entry.channel] = low_byte(value);
        else
            roost->fade[entry.channel] = (int8_t)low_byte((double)value * SIM_STEP);
        return;
    }
    char line[96];
    snprintf(line, sizeof line, "tileinfo warning: unknown roost parameter '%.40s'\n", item.c_str());
    warn(line);
}

static void parse_roost(PendingType *pending, const char *argument, SurfaceTextureMode mode)
{
    if (pending->roost_kinds >= ROOST_KINDS) {
        warn("tileinfo warning: too many roost types\n");
        return;
    }
    RoostKind *roost = &pending->type.roost[pending->roost_kinds++];
    default_roost_kind(roost);
    roost->kind = 1;
    const char *p = argument;
    for (;;) {
        while (*p && is_roost_separator(*p))
            p++;
        if (!*p)
            break;
        std::string item;
        while (*p && !is_roost_separator(*p)) {
            if (*p == '"') {
                p++;
                while (*p && *p != '"')
                    item += *p++;
                if (*p == '"')
                    p++;
            } else {
                item += *p++;
            }
        }
        apply_roost_item(roost, item, mode);
    }
}

struct ErodeKey {
    const char *keyword;
    float SurfaceType::*value;
};

static const ErodeKey erode_keys[] = {
    {"erode_depth", &SurfaceType::erode_depth},
    {"erode_lower", &SurfaceType::erode_lower},
    {"erode_upper", &SurfaceType::erode_upper},
    {"erode_displacement", &SurfaceType::erode_displacement},
    {"erode_radius", &SurfaceType::erode_radius},
    {"erode_max_slope", &SurfaceType::erode_max_slope},
    {"erode_off_speed", &SurfaceType::erode_off_speed},
    {"erode_on_speed", &SurfaceType::erode_on_speed},
};

static void parse_tileinfo_line(Terrain *terrain, PendingType *pending, char *line, SurfaceTextureMode mode)
{
    char *p = line;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        p++;
    if (!*p)
        return;
    char *keyword = p;
    while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
        p++;
    std::string key(keyword, (size_t)(p - keyword));
    while (*p == ' ' || *p == '\t')
        p++;
    char *end = p;
    while (*end && *end != '\r' && *end != '\n')
        end++;
    *end = 0;
    const char *argument = p;
    SurfaceType &type = pending->type;

    if (key == "addtile") {
        add_type(terrain, pending);
    } else if (key == "texture") {
        load_surface_texture(&type, argument, mode);
    } else if (key == "friction") {
        if (pending->friction_points >= CURVE_POINTS) {
            warn("tileinfo warning: too many friction points\n");
            return;
        }
        float coefficient, k;
        const char *q = argument;
        if (!scan_real(&q, &coefficient) || !scan_real(&q, &k)) {
            warn("tileinfo warning: bad friction parameters\n");
            return;
        }
        int n = pending->friction_points++;
        type.friction[n] = coefficient < 0 ? 0 : coefficient;
        type.friction_key[n] = k < MIN_CURVE_KEY ? MIN_CURVE_KEY : k;
    } else if (key == "roll_resist") {
        if (pending->roll_points >= CURVE_POINTS) {
            warn("tileinfo warning: too many roll_resist points\n");
            return;
        }
        float a, b, k;
        const char *q = argument;
        if (!scan_real(&q, &a) || !scan_real(&q, &b) || !scan_real(&q, &k)) {
            warn("tileinfo warning: bad roll_resist parameters\n");
            return;
        }
        int n = pending->roll_points++;
        type.roll_a[n] = a < 0 ? 0 : a;
        type.roll_b[n] = b < 0 ? 0 : b;
        type.roll_key[n] = k < MIN_CURVE_KEY ? MIN_CURVE_KEY : k;
    } else if (key == "roost") {
        parse_roost(pending, argument, mode);
    } else {
        for (const ErodeKey &erode : erode_keys) {
            if (key != erode.keyword)
                continue;
            float value;
            const char *q = argument;
            if (scan_real(&q, &value)) {
                type.*erode.value = value;
            } else {
                char text[64];
                snprintf(text, sizeof text, "tileinfo warning: bad %s\n", erode.keyword);
                warn(text);
            }
            return;
        }
        char text[1024];
        snprintf(text, sizeof text, "tileinfo warning: Unknown identifier '%.950s'\n", key.c_str());
        warn(text);
    }
}

bool read_tileinfo(Terrain *terrain, DataStream *stream, SurfaceTextureMode mode)
{
    if (!stream)
        return false;
    terrain->surface_count = 0;
    for (SurfaceType &type : terrain->surfaces)
        default_surface_type(&type);
    PendingType *pending = new PendingType;
    reset_pending(pending);
    char line[1024];
    while (terrain->surface_count < MAX_SURFACE_TYPES && stream_gets(stream, line, sizeof line))
        parse_tileinfo_line(terrain, pending, line, mode);
    delete pending;
    compute_texture_codes(terrain);
    return true;
}

// --- texturelist -----------------------------------------------------------------

bool read_texturelist(Terrain *terrain, DataStream *stream, SurfaceTextureMode mode)
{
    if (!stream)
        return false;
    terrain->surface_count = 0;
    for (SurfaceType &type : terrain->surfaces)
        default_surface_type(&type);
    char line[1023];
    while (terrain->surface_count < MAX_SURFACE_TYPES && stream_gets(stream, line, sizeof line)) {
        const char *p = skip_space(line);
        if (!*p)
            continue;
        float friction = 1.0f, a = 5.0f, b = 15.0f;
        const char *q = p;
        float v0, v1, v2;
        if (scan_real(&q, &v0) && scan_real(&q, &v1) && scan_real(&q, &v2)) {
            friction = v0, a = v1, b = v2;
            p = skip_space(q);
        }
        std::string name(p);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        SurfaceType &type = terrain->surfaces[terrain->surface_count++];
        default_surface_type(&type);
        load_surface_texture(&type, ("@" + name).c_str(), mode);
        for (int k = 0; k < CURVE_POINTS; k++) {
            type.friction[k] = friction;
            type.roll_a[k] = a;
            type.roll_b[k] = b;
        }
        type.roost[0].kind = 1;
    }
    compute_texture_codes(terrain);
    return true;
}

// --- texture codes -------------------------------------------------------------------

static std::string up_to(const std::string &text, char c)
{
    size_t at = text.find(c);
    return at == std::string::npos ? text : text.substr(0, at);
}

// First type whose name up to its first "." is `stem`; -1 when none. A
// leading "/" of the type's name is ignored when `stem` has none, so types
// named with a directory are found as the second texture too.
static int find_type(const std::vector<std::string> &names, const std::string &stem)
{
    for (size_t i = 0; i < names.size(); i++) {
        std::string own = up_to(names[i], '.');
        if (own == stem || (!own.empty() && own[0] == '/' && stem.size() && stem[0] != '/' &&
                            own.compare(1, std::string::npos, stem) == 0))
            return (int)i;
    }
    return -1;
}

void compute_texture_codes(Terrain *terrain)
{
    int count = terrain->surface_count;
    std::vector<std::string> names(count);
    for (int t = 0; t < count; t++)
        names[t] = matching_name(terrain->surfaces[t].texture_name);
    for (int t = 0; t < count; t++) {
        const std::string &name = names[t];
        int32_t code = t * 65536 + t * 256;
        size_t dash = name.find('-');
        if (dash != std::string::npos) {
            int i = -1;
            std::string first = name.substr(0, dash);
            for (int k = 0; k < count && i < 0; k++)
                if (up_to(names[k], '.') == first)
                    i = k;
            if (i >= 0) {
                std::string rest = name.substr(dash + 1);
                if (rest.size() >= 4 && rest.compare(0, 3, "alt") == 0 && isdigit((unsigned char)rest[3])) {
                    code = i * 65536 + i * 256;
                } else {
                    size_t dash2 = rest.find('-');
                    int j = dash2 == std::string::npos ? -1 : find_type(names, rest.substr(0, dash2));
                    if (j < 0) {
                        code = (int32_t)0xFFFFFF00u;
                    } else {
                        code = i * 65536 + j * 256;
                        std::string mask = rest.substr(dash2 + 1, 4);
                        int m = 0;
                        bool binary = mask.size() == 4;
                        for (char c : mask) {
                            binary = binary && (c == '0' || c == '1');
                            m = m * 2 + (c == '1');
                        }
                        if (binary)
                            code += m;
                    }
                }
            }
        }
        terrain->surfaces[t].texture_code = code;
    }
}

// --- tile map --------------------------------------------------------------------------

bool read_tilemap(Terrain *terrain, DataStream *stream)
{
    size_t size = (size_t)terrain->tiles * terrain->tiles;
    terrain->tile_map.assign(size, 0);
    size_t got = stream ? stream_read(stream, terrain->tile_map.data(), size) : 0;
    // A short file leaves the rest of the map at type 0.
    uint8_t last = (uint8_t)(terrain->surface_count - 1);
    if (terrain->surface_count > 0) {
        for (uint8_t &b : terrain->tile_map)
            if (b > last)
                b = last;
    } else {
        for (uint8_t &b : terrain->tile_map)
            b = last;
    }
    return got == size;
}

bool write_tilemap(const Terrain *terrain, const char *path)
{
    DataStream *stream = stream_open(path, "w");
    if (!stream)
        return false;
    bool ok = stream_write(stream, terrain->tile_map.data(), terrain->tile_map.size()) == terrain->tile_map.size();
    stream_close(stream);
    return ok;
}

int surface_at(const Terrain *terrain, float x, float z)
{
    float k = 0.5f * terrain->inverse_spacing;
    float top = (float)(terrain->tiles - 1);
    float u = x * k, v = z * k;
    u = u > 0 ? u : 0;
    u = u < top ? u : top;
    v = v > 0 ? v : 0;
    v = v < top ? v : top;
    int ti = (int)u, tj = (int)v;
    return terrain->tile_map[(size_t)tj * terrain->tiles + ti];
}
