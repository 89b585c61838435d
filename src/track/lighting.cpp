// Reading the track's "lighting" file.
#include "track/lighting.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/stream.h"
#include "platform/message_log.h"
#include "track/text_scan.h"
#include "track/track_graphics.h"

Lighting track_lighting;

static const char *const SKY_DEFAULTS[5] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm", "@sky-w.ppm", "@sky-u.ppm"};

static void set3(float *v, float a, float b, float c)
{
    v[0] = a, v[1] = b, v[2] = c;
}

static void normalise_sun(Lighting *lighting)
{
    float *v = lighting->sun_vector;
    float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    // A zero or broken vector would light nothing and poison every shade.
    if (!(length > 0) || !std::isfinite(length))
        set3(v, 1, 1, 1), length = sqrtf(3.0f);
    v[0] /= length, v[1] /= length, v[2] /= length;
}

void default_lighting(Lighting *lighting)
{
    set3(lighting->sun_vector, 1, 1, 1);
    normalise_sun(lighting);
    set3(lighting->sun_colour, 1, 1, 1);
    set3(lighting->ambient, 0.5f, 0.5f, 0.5f);
    set3(lighting->global_ambient, 0.2f, 0.2f, 0.2f);
    lighting->near_plane = 0.25f;
    lighting->far_plane = 5000;
    lighting->dynamic_lighting = 0;
    for (int k = 0; k < 5; k++)
        lighting->sky[k].clear();
    lighting->sky_env = "@sky-env.ppm";
    set3(lighting->fog_colour, 0, 0, 0);
    lighting->fog_density = 0;
    lighting->flares.clear();
}

static bool vector_value(const char *value, float *out)
{
    float v[3];
    const char *p = value;
    if (!scan_bracket(&p, v, 3))
        return false;
    memcpy(out, v, sizeof v);
    return true;
}

static void add_element(LensFlare *flare, const char *value)
{
    if (flare->element_count >= FLARE_ELEMENTS)
        return;
    float two[2], colour[3], extra;
    const char *p = value;
    if (!scan_bracket(&p, two, 2) || !scan_bracket(&p, colour, 3) || !scan_real(&p, &extra))
        return;
    p = skip_space(p);
    if (!*p)
        return;
    FlareElement &e = flare->elements[flare->element_count++];
    e.placement = two[0];
    e.size = two[1];
    memcpy(e.colour, colour, sizeof colour);
    e.extra = extra;
    const char *end = p;
    while (*end && !isspace((unsigned char)*end) && end - p < 1023)
        end++;
    e.texture_name.assign(p, (size_t)(end - p));
    e.texture = track_texture(e.texture_name.c_str());
}

static void empty_flare(LensFlare *flare)
{
    *flare = LensFlare{};
}

void read_lighting(Lighting *lighting, const char *path)
{
    default_lighting(lighting);
    DataStream *stream = stream_open(path, "r");
    if (stream) {
        LensFlare pending;
        empty_flare(&pending);
        char line[1024];
        while (stream_gets(stream, line, sizeof line)) {
            char *p = line;
            while (*p == ' ' || *p == '\t')
                p++;
            char *word = p;
            while (*p && *p != ' ' && *p != '\t')
                p++;
            std::string key(word, (size_t)(p - word));
            // The value: the rest of the line without surrounding white space.
            const char *value = skip_space(p);
            std::string text(value);
            while (!text.empty() && isspace((unsigned char)text.back()))
                text.pop_back();
            while (!key.empty() && isspace((unsigned char)key.back()))
                key.pop_back();
            const char *v = text.c_str();
            float number;
            int integer;
            if (key.empty()) {
                continue;
            } else if (key == "sun_vector") {
                vector_value(v, lighting->sun_vector);
            } else if (key == "sun_color") {
                vector_value(v, lighting->sun_colour);
            } else if (key == "ambient") {
                vector_value(v, lighting->ambient);
            } else if (key == "global_ambient") {
                vector_value(v, lighting->global_ambient);
            } else if (key.size() == 5 && key.compare(0, 4, "sky_") == 0 && strchr("neswu", key[4])) {
                lighting->sky[strchr("neswu", key[4]) - "neswu"] = text;
            } else if (key == "sky_env") {
                lighting->sky_env = text;
            } else if (key == "flare_element") {
                add_element(&pending, v);
            } else if (key == "flare_point" || key == "flare_vector") {
                if (vector_value(v, pending.position)) {
                    pending.type = key == "flare_vector";
                    lighting->flares.push_back(pending);
                    empty_flare(&pending);
                }
            } else if (key == "fog") {
                float colour[3], density;
                const char *q = v;
                if (scan_bracket(&q, colour, 3) && scan_real(&q, &density)) {
                    memcpy(lighting->fog_colour, colour, sizeof colour);
                    lighting->fog_density = density;
                }
            } else if (key == "dynamic_lighting") {
                const char *q = v;
                if (scan_int(&q, &integer))
                    lighting->dynamic_lighting = integer > 0;
            } else if (key == "near_plane") {
                const char *q = v;
                if (scan_real(&q, &number))
                    lighting->near_plane = number;
            } else if (key == "far_plane") {
                const char *q = v;
                if (scan_real(&q, &number))
                    lighting->far_plane = number;
            } else {
                char message[1024];
                snprintf(message, sizeof message, "Error reading lighting: Unknown identifier '%.950s'\n",
                         key.c_str());
                post_message(message);
                break;
            }
        }
        stream_close(stream);
    }
    float &near_plane = lighting->near_plane, &far_plane = lighting->far_plane;
    near_plane = near_plane > 0.0009765625f ? near_plane : 0.0009765625f;  // also catches NaN
    near_plane = near_plane < 0.875f ? near_plane : 0.875f;
    far_plane = far_plane > near_plane ? far_plane : near_plane;
    far_plane = far_plane < 1048576.0f ? far_plane : 1048576.0f;
    normalise_sun(lighting);
    for (int k = 0; k < 5; k++)
        if (lighting->sky[k].empty())
            lighting->sky[k] = SKY_DEFAULTS[k];
    // The renderer sets up exponential fog from fog_colour and fog_density.
}
