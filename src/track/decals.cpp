// Reading and writing the track's "decals" file.
#include "track/decals.h"

#include <cmath>
#include <string>

#include "data/image.h"
#include "data/stream.h"
#include "track/terrain.h"
#include "track/track_graphics.h"

// Name with its extension (from the last ".") replaced by `ending`.
static std::string replace_extension(const std::string &name, const char *ending)
{
    size_t dot = name.rfind('.');
    size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + ending;
    return name.substr(0, dot) + ending;
}

static uint32_t first_texture(const std::string &name, const char *a, const char *b)
{
    uint32_t id = track_texture(replace_extension(name, a).c_str());
    return id ? id : track_texture(replace_extension(name, b).c_str());
}

void read_decals(Terrain *terrain, const char *track_path, int mode)
{
    std::string path = std::string(track_path) + "decals";
    DataStream *stream = stream_open(path.c_str(), "r");
    if (!stream)
        return;
    float x, z, angle, width, ratio;
    char texture[1024];
    while (stream_scanf(stream, "[ %f %f ] %f %f %f %1023s ", &x, &z, &angle, &width, &ratio, texture) == 6) {
        Decal d = {};
        d.x = x, d.z = z, d.angle = angle, d.width = width, d.length_ratio = ratio;
        d.sin_angle = sinf(angle);
        d.cos_angle = cosf(angle);
        d.texture_name = texture;
        if (mode == SURFACE_TEXTURES_IMAGE) {
            if (!load_image(texture, &d.image, &d.image_width, &d.image_height, &d.image_channels))
                continue;  // a decal without its picture is dropped
        } else if (mode == SURFACE_TEXTURES_GL) {
            if (!(d.texture = track_texture(texture)))
                continue;
        }
        if (terrain->normal_map_flag) {
            d.normal_texture = first_texture(d.texture_name, "_tnorm.png", "_tnorm.ppm");
            d.specular_texture = first_texture(d.texture_name, "_tspec.png", "_tspec.ppm");
        }
        terrain->decals.push_back(d);
        // The renderer's decal buckets take the new decal here once they exist.
    }
    stream_close(stream);
}

bool write_decals(const Terrain *terrain, const char *path)
{
    DataStream *stream = stream_open(path, "w");
    if (!stream)
        return false;
    for (const Decal &d : terrain->decals)
        stream_printf(stream, "[%f %f] %f %f %f %s\n", d.x, d.z, d.angle, d.width, d.length_ratio,
                      d.texture_name.c_str());
    stream_close(stream);
    return true;
}
