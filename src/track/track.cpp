// Track discovery, and loading and releasing a track in its fixed order.
#include "track/track.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/file_index.h"
#include "data/image.h"
#include "data/sha1.h"
#include "data/stream.h"
#include "platform/log.h"
#include "race/gates.h"
#include "track/furniture.h"
#include "track/lighting.h"
#include "track/terrain.h"
#include "track/track_graphics.h"

int track_texture_method = TEXTURE_METHOD_DIRECT;
TrackGraphics track_graphics = {nullptr, false};

unsigned track_texture(const char *name)
{
    return track_graphics.load_texture ? track_graphics.load_texture(name) : 0;
}

std::string requested_track_id;
std::string current_track_id;
uint8_t track_digest[20];

// Per process: built once at start-up.
static std::vector<std::string> track_ids;
static std::vector<std::string> track_names;

// The map texture of the loaded track (0 when none or not uploaded).
static uint32_t map_texture;

static bool ends_with(const char *text, const char *tail)
{
    size_t a = strlen(text), b = strlen(tail);
    return a >= b && !strcmp(text + a - b, tail);
}

static int compare_lower(const std::string &a, const std::string &b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t k = 0; k < n; k++) {
        int ca = tolower((unsigned char)a[k]), cb = tolower((unsigned char)b[k]);
        if (ca != cb)
            return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

static std::string display_name(const std::string &id)
{
    std::string name = "@" + id + "/desc";
    DataStream *stream = stream_open(name.c_str(), "r");
    if (!stream)
        return id;
    std::string text;
    int c;
    while ((c = stream_getc(stream)) > 0 && c != '\r' && c != '\n' && text.size() < 1023)
        text += (char)c;
    stream_close(stream);
    return text;
}

int find_tracks()
{
    static const char *const markers[] = {"/terrain.hf", "/terrain.hf.gz", "/terrain.hf.scram", "/terrain.hf.gz.scram"};
    track_ids.clear();
    track_names.clear();
    track_ids.reserve(16);
    const char *const *names = data_file_names();
    for (int k = 0; names && names[k]; k++) {
        for (const char *marker : markers) {
            if (ends_with(names[k], marker)) {
                const char *slash = strrchr(names[k], '/');
                track_ids.emplace_back(names[k], (size_t)(slash - names[k]));
                break;
            }
        }
    }
    for (const std::string &id : track_ids)
        track_names.push_back(display_name(id));
    // Pairwise exchange sort: every later, smaller name is swapped into place i.
    size_t count = track_ids.size();
    for (size_t i = 0; i < count; i++) {
        for (size_t j = i + 1; j < count; j++) {
            if (compare_lower(track_names[j], track_names[i]) < 0) {
                std::swap(track_names[i], track_names[j]);
                std::swap(track_ids[i], track_ids[j]);
            }
        }
    }
    if (debug_level)
        for (size_t i = 0; i < count; i++)
            vark_log("%s -> %s\n", track_ids[i].c_str(), track_names[i].c_str());
    return (int)count;
}

void discover_tracks()
{
    if (find_tracks() == 0) {
        fputs("No tracks found\n", stderr);
        exit(1);
    }
}

int track_count()
{
    return (int)track_ids.size();
}

const char *track_id(int index)
{
    return index >= 0 && (size_t)index < track_ids.size() ? track_ids[index].c_str() : nullptr;
}

const char *track_display_name(int index)
{
    return index >= 0 && (size_t)index < track_names.size() ? track_names[index].c_str() : nullptr;
}

// Adds the raw bytes of a data file to the digest in 1024-byte blocks; a
// missing file adds nothing.
static void digest_file(Sha1 *sha, const std::string &name)
{
    DataStream *stream = stream_open(name.c_str(), "r");
    if (!stream)
        return;
    uint8_t block[1024];
    size_t got;
    while ((got = stream_read(stream, block, sizeof block)) > 0)
        sha1_update(sha, block, got);
    stream_close(stream);
}

static void log_texture_memory(const char *when)
{
    if (debug_level)
        vark_log("%lu bytes texture memory used after %s creation\n", (unsigned long)texture_memory, when);
}

int load_track()
{
    current_track_id = requested_track_id;
    for (const std::string &id : track_ids)
        if (id == requested_track_id)
            current_track_id = id;
    std::string path = "@" + current_track_id + "/";

    Sha1 sha;
    sha1_init(&sha);
    clear_furniture();
    // With a window the renderer shows "Loading track..." here once it exists.
    static const char *const surface_files[] = {"terrain.hf", "terrain.png", "texturelist", "tilemap", "tileinfo"};
    for (const char *file : surface_files)
        digest_file(&sha, path + file);
    if (debug_level)
        vark_log("Loading '%s'\n", path.c_str());
    read_lighting(&track_lighting, (path + "lighting").c_str());

    if (!current_terrain)
        current_terrain = new Terrain();
    if (!load_terrain(current_terrain, path.c_str(), track_texture_method)) {
        requested_track_id.clear();
        current_track_id.clear();
        return 0;
    }
    Terrain *terrain = current_terrain;
    log_texture_memory("hf");

    digest_file(&sha, path + "timing_gates");
    read_timing_gates((path + "timing_gates").c_str());
    // Each starting position gets its starting-gate object, 3 units ahead.
    for (StartPosition &start : gate_tables.starts) {
        float gx = start.x - 3 * sinf(start.heading), gz = start.z - 3 * cosf(start.heading);
        float offset = start.y - terrain_height_at(terrain, gx, gz);
        start.object = add_statue(terrain, gx, offset, gz, start.heading, start.model.c_str(), start.texture.c_str(),
                                  start.shape.c_str());
    }

    // Placeholder billboards for the dirt particles; the particle pool takes
    // their numbers 0..1999 once it exists.
    for (int k = 0; k < PARTICLE_BILLBOARDS; k++)
        add_billboard(nullptr, 0, 0, 0, 1, 1, "");

    read_flaggers(terrain, (path + "flaggers").c_str(), (int)gate_tables.checkpoints.size());
    log_texture_memory("flagger");
    read_billboards(terrain, (path + "billboards").c_str());
    log_texture_memory("billboard");
    digest_file(&sha, path + "statues");
    read_statues(terrain, (path + "statues").c_str());
    log_texture_memory("statue");

    map_texture = track_texture((path + "map.png").c_str());
    rebuild_statue_grid(terrain->extent);
    // The track editor prepares its view of the new track here once it exists.

    std::vector<std::string> models;
    for (const Statue &statue : track_furniture.statues) {
        if (statue.model_name.empty())
            continue;
        bool seen = false;
        for (const std::string &m : models)
            seen = seen || m == statue.model_name;
        if (!seen) {
            models.push_back(statue.model_name);
            digest_file(&sha, statue.model_name);
        }
    }
    uint8_t digest[20];
    sha1_final(&sha, digest);
    read_cameras(terrain, (path + "cameras").c_str());
    memcpy(track_digest, digest, sizeof digest);
    return 1;
}

void free_track()
{
    vark_log("Deallocating track\n");
    // The track editor releases its state here once it exists.
    clear_timing_gates();
    // Statues hold no model references until the model reader is used here.
    clear_furniture();
    map_texture = 0;
    if (current_terrain) {
        free_terrain(current_terrain);
        delete current_terrain;
        current_terrain = nullptr;
    }
    vark_log("Finished deallocating track\n");
}
