// A bike's appearance: its part models, the four skins with their fallbacks,
// normal and specular maps, and the number plate. Models and plate colours
// are found headless; textures come through `bike_graphics`, which the
// renderer installs while a GL context exists.
#pragma once
#include <cstdint>
#include <string>

struct BikeModel;
struct Model;

enum BikePart {
    PART_FRAME,
    PART_SIDE_PLATES,
    PART_FORK_UPPER,
    PART_FRONT_PLATE,
    PART_FORK_LOWER,
    PART_SWINGARM,
    PART_FRONT_WHEEL,
    PART_REAR_WHEEL,
    PART_RIDER_BODY,
    PART_RIDER_BODY_FP,
    PART_RIDER_PLATE,
    PART_RIDER_HEAD,
    BIKE_PART_COUNT
};
enum BikeSkin { SKIN_BIKE, SKIN_WHEELS, SKIN_RIDER_BODY, SKIN_RIDER_HEAD, BIKE_SKIN_COUNT };

enum { PLATE_TEXTURE_SIZE = 128 };

struct SkinLook {
    std::string requested;     // the skin's data name asked for; empty for none
    std::string texture_name;  // in use: `requested`, or the model's own texture after a fallback
    bool fell_back = false;    // a skin was asked for but could not be used
    unsigned texture = 0;      // GL ids; 0 when not loaded (always headless)
    unsigned normal_map = 0;
    unsigned specular_map = 0;
};

struct BikeLook {
    // Owned by the model cache; null when the file could not be loaded.
    Model *parts[BIKE_PART_COUNT] = {};
    SkinLook skins[BIKE_SKIN_COUNT];
    uint8_t plate_background[3] = {255, 255, 255};
    uint8_t plate_foreground[3] = {0, 0, 0};
    unsigned plate_texture = 0;  // owned by the bike; 0 headless
};

// The GL half installs these while a context exists; headless they are null
// and no texture is loaded.
struct BikeGraphics {
    unsigned (*load_texture)(const char *name);  // cached; 0 when it cannot be loaded
    unsigned (*make_plate_texture)(const char *text, int width, int height, const uint8_t foreground[3],
                                   const uint8_t background[3]);
    void (*release_texture)(unsigned id);        // for textures made by make_plate_texture
};
// Per process: set by the renderer at start-up.
extern BikeGraphics bike_graphics;

// The skin each part model is drawn with.
extern const BikeSkin bike_part_skin[BIKE_PART_COUNT];

// Fills `look` for `model`: part models, skins (data names or null, indexed
// by BikeSkin) with their fallbacks, maps, plate colours and plate texture.
// Missing files are posted once per name ("Warning: Can't load ...") and
// never fail the bike.
void load_bike_look(BikeLook *look, const BikeModel *model, const char *const skins[BIKE_SKIN_COUNT],
                    const char *plate_text);
// Releases what the look owns (the plate texture) and clears it.
void free_bike_look(BikeLook *look);

// Plate colours from a texture's option text: "[numberbackground:r,g,b]" and
// "[numberforeground:r,g,b]", components clamped to 0..1, scaled by 255 and
// truncated. Colours not given are left as they are.
void parse_plate_colours(const char *options, uint8_t background[3], uint8_t foreground[3]);

// The three names tried for a skin's normal (`suffix` "_norm") or specular
// ("_spec") map, in order: the suffix inserted before the extension, with
// ".seq", ".png" and ".ppm".
void skin_map_names(const char *texture_name, const char *suffix, std::string names[3]);

// Forgets the missing files already reported and the plate colours read
// (tests, and a change of data set).
void reset_bike_look_caches();
