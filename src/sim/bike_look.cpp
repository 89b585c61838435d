// Appearance loading of a bike: part models by name, skins that fall back to
// the model's own textures, their normal and specular maps, and the plate.
#include "sim/bike_look.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "data/image.h"
#include "data/model.h"
#include "data/stream.h"
#include "platform/message_log.h"
#include "sim/bike_models.h"

BikeGraphics bike_graphics = {nullptr, nullptr, nullptr};

const BikeSkin bike_part_skin[BIKE_PART_COUNT] = {
    SKIN_BIKE,       SKIN_BIKE,       SKIN_BIKE,       SKIN_BIKE,       SKIN_BIKE,       SKIN_BIKE,
    SKIN_WHEELS,     SKIN_WHEELS,     SKIN_RIDER_BODY, SKIN_RIDER_BODY, SKIN_RIDER_BODY, SKIN_RIDER_HEAD,
};

// Per process until reset_bike_look_caches: kept sorted for binary search.
// Names that failed are not tried again, so a data set without riders costs
// one message and one search per file, not one per bike.
static std::vector<std::string> missing_names;

struct PlateColours {
    std::string texture_name;
    uint8_t background[3];
    uint8_t foreground[3];
};
static std::vector<PlateColours> plate_colour_cache;  // in reading order

void reset_bike_look_caches()
{
    missing_names.clear();
    plate_colour_cache.clear();
}

static bool known_missing(const std::string &name)
{
    return std::binary_search(missing_names.begin(), missing_names.end(), name);
}

// Records a missing file; true the first time, when it should be reported.
static bool note_missing(const std::string &name)
{
    auto at = std::lower_bound(missing_names.begin(), missing_names.end(), name);
    if (at != missing_names.end() && *at == name)
        return false;
    missing_names.insert(at, name);
    return true;
}

static void post_cant_load(const char *name)
{
    if (!note_missing(name))
        return;
    post_messagef("Warning: Can't load %.900s", name);
}

static Model *load_part_model(const char *name)
{
    if (!name || !*name || known_missing(name))
        return nullptr;
    Model *model = load_model(name);
    if (!model)
        post_cant_load(name);
    return model;
}

// Loads a texture through the installed loader. Headless nothing is loaded,
// and a texture counts as available when its file can be opened, so a skin
// that does not exist falls back the same way with or without a renderer.
static bool load_skin_texture(const std::string &name, unsigned *id)
{
    *id = 0;
    if (name.empty())
        return false;
    if (bike_graphics.load_texture) {
        *id = bike_graphics.load_texture(name.c_str());
        return *id != 0;
    }
    int drop = 0;
    DataStream *stream = stream_open(detail_drop_for(name.c_str(), &drop), "rb");
    if (!stream)
        return false;
    stream_close(stream);
    return true;
}

void skin_map_names(const char *texture_name, const char *suffix, std::string names[3])
{
    static const char *const extensions[3] = {".seq", ".png", ".ppm"};
    std::string base = texture_name ? texture_name : "";
    size_t dot = base.rfind('.');
    size_t slash = base.find_last_of("/@!");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        base.resize(dot);
    for (int i = 0; i < 3; i++)
        names[i] = base + suffix + extensions[i];
}

static unsigned load_skin_map(const std::string &texture_name, const char *suffix)
{
    std::string names[3];
    skin_map_names(texture_name.c_str(), suffix, names);
    for (const std::string &name : names)
        if (unsigned id = bike_graphics.load_texture(name.c_str()))
            return id;
    return 0;
}

// One colour after `marker`, if the option text has it with three numbers.
static void parse_colour(const char *options, const char *marker, uint8_t colour[3])
{
    const char *at = strstr(options, marker);
    if (!at)
        return;
    float v[3];
    if (sscanf(at + strlen(marker), "%f,%f,%f", &v[0], &v[1], &v[2]) != 3)
        return;
    for (int i = 0; i < 3; i++) {
        float c = v[i] > 0 ? v[i] : 0;  // NaN ends up 0
        c = c < 1 ? c : 1;
        colour[i] = (uint8_t)(c * 255);
    }
}

void parse_plate_colours(const char *options, uint8_t background[3], uint8_t foreground[3])
{
    if (!options)
        return;
    parse_colour(options, "[numberbackground:", background);
    parse_colour(options, "[numberforeground:", foreground);
}

static bool ends_with_png(const std::string &name)
{
    return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".png") == 0;
}

// Plate colours stored with a bike texture, read once per texture name.
static void plate_colours_of(const std::string &texture_name, uint8_t background[3], uint8_t foreground[3])
{
    for (const PlateColours &p : plate_colour_cache)
        if (p.texture_name == texture_name) {
            memcpy(background, p.background, 3);
            memcpy(foreground, p.foreground, 3);
            return;
        }
    PlateColours p = {texture_name, {255, 255, 255}, {0, 0, 0}};
    // Only PNG images carry option text.
    if (ends_with_png(texture_name)) {
        int drop = 0;
        DecodedImage image;
        if (read_png_image(detail_drop_for(texture_name.c_str(), &drop), &image))
            parse_plate_colours(image.options.c_str(), p.background, p.foreground);
        free_decoded_image(&image);
    }
    memcpy(background, p.background, 3);
    memcpy(foreground, p.foreground, 3);
    plate_colour_cache.push_back(std::move(p));
}

void load_bike_look(BikeLook *look, const BikeModel *m, const char *const skins[BIKE_SKIN_COUNT],
                    const char *plate_text)
{
    free_bike_look(look);
    const char *part_names[BIKE_PART_COUNT] = {
        m->frame_model,      m->side_plates_model,   m->fork_upper_model,  m->front_plate_model,
        m->fork_lower_model, m->swingarm_model,      m->front_wheel_model, m->rear_wheel_model,
        m->rider_body_model, m->rider_body_fp_model, m->rider_plate_model, m->rider_head_model,
    };
    const char *own_textures[BIKE_SKIN_COUNT] = {m->bike_texture, m->wheels_texture, m->rider_body_texture,
                                                 m->rider_head_texture};
    for (int i = 0; i < BIKE_PART_COUNT; i++)
        look->parts[i] = load_part_model(part_names[i]);

    for (int s = 0; s < BIKE_SKIN_COUNT; s++) {
        SkinLook &skin = look->skins[s];
        skin.requested = skins && skins[s] ? skins[s] : "";
        bool models_loaded = true;
        for (int i = 0; i < BIKE_PART_COUNT; i++)
            if (bike_part_skin[i] == s && !look->parts[i])
                models_loaded = false;
        bool skin_ok = false;
        if (!skin.requested.empty()) {
            skin_ok = load_skin_texture(skin.requested, &skin.texture) && models_loaded;
            // Models are shared by name whatever their skin, so falling back
            // changes only the texture they are drawn with.
            skin.fell_back = !skin_ok;
        }
        if (skin_ok) {
            skin.texture_name = skin.requested;
        } else {
            skin.texture_name = own_textures[s] ? own_textures[s] : "";
            if (!load_skin_texture(skin.texture_name, &skin.texture) && !skin.texture_name.empty()) {
                if (skin.requested.empty() || skin.requested == skin.texture_name) {
                    post_cant_load(skin.texture_name.c_str());
                } else if (note_missing(skin.requested + "\n" + skin.texture_name)) {
                    post_messagef("Warning: Can't load %.450s or %.450s", skin.requested.c_str(),
                                  skin.texture_name.c_str());
                }
            }
        }
        if (skin.texture && bike_graphics.load_texture) {
            skin.normal_map = load_skin_map(skin.texture_name, "_norm");
            skin.specular_map = load_skin_map(skin.texture_name, "_spec");
        }
    }

    plate_colours_of(look->skins[SKIN_BIKE].texture_name, look->plate_background, look->plate_foreground);
    if (bike_graphics.make_plate_texture) {
        char text[8];
        snprintf(text, sizeof text, "%.7s", plate_text ? plate_text : "");
        look->plate_texture = bike_graphics.make_plate_texture(text, PLATE_TEXTURE_SIZE, PLATE_TEXTURE_SIZE,
                                                               look->plate_foreground, look->plate_background);
    }
}

void free_bike_look(BikeLook *look)
{
    if (look->plate_texture && bike_graphics.release_texture)
        bike_graphics.release_texture(look->plate_texture);
    *look = BikeLook();
}
