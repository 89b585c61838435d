// Read-back of the data set through the game's readers: the images, models
// and shapes one by one, then every track through the track loader.
#include "datagen/validate.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "data/file_index.h"
#include "data/image.h"
#include "data/model.h"
#include "data/search_path.h"
#include "data/stream.h"
#include "race/gates.h"
#include "race/series.h"
#include "sim/bike_models.h"
#include "sim/shape.h"
#include "track/furniture.h"
#include "track/lighting.h"
#include "track/terrain.h"
#include "track/track.h"

namespace {

bool ends_with(const std::string &text, const char *tail)
{
    size_t n = strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

struct Checker {
    const DataSet *set;
    std::set<std::string> names;
    int failures = 0;

    void fail(const std::string &file, const std::string &problem)
    {
        fprintf(stderr, "zorvex-data: %s: %s\n", file.c_str(), problem.c_str());
        failures++;
    }

    // A name a track refers to ("@x" or "x") must be a member of the set.
    void referenced(const std::string &track_file, const std::string &name)
    {
        if (name.empty())
            return;
        std::string member = name[0] == '@' ? name.substr(1) : name;
        if (!names.count(member))
            fail(track_file, "names '" + name + "', which the data set does not have");
    }
};

void check_member(Checker *check, const std::string &name)
{
    std::string data_name = "@" + name;
    if (ends_with(name, ".png")) {
        DecodedImage image;
        if (!read_png_image(data_name.c_str(), &image))
            check->fail(name, std::string("the PNG reader refuses it: ") + last_image_error());
        free_decoded_image(&image);
    } else if (ends_with(name, ".pgm")) {
        DataStream *stream = stream_open(data_name.c_str(), "r");
        uint8_t *pixels = nullptr;
        int width = 0, height = 0;
        if (!stream || !read_pgm(stream, &pixels, &width, &height))
            check->fail(name, std::string("the PGM reader refuses it: ") + last_image_error());
        free_image_pixels(pixels);
        if (stream)
            stream_close(stream);
    } else if (ends_with(name, ".ppm")) {
        ImageFile file;
        if (read_image_file(data_name.c_str(), &file) != IMAGE_FILE_IMAGE)
            check->fail(name, std::string("the image reader refuses it: ") + last_image_error());
        free_image_file(&file);
    } else if (ends_with(name, ".qm")) {
        Model *model = load_model(data_name.c_str());
        if (!model || model->nv <= 0 || model->nt <= 0)
            check->fail(name, "the model reader refuses it");
    } else if (ends_with(name, ".shp")) {
        const CollisionShape *shape = load_shape(data_name.c_str());
        if (!shape || shape->spheres.empty())
            check->fail(name, "the shape reader refuses it");
    }
}

void check_track(Checker *check, const TrackSummary &summary)
{
    const std::string dir = summary.id + "/";
    requested_track_id = summary.id;
    if (!load_track()) {
        check->fail(dir + "terrain.hf", "the track loader refuses the track");
        free_track();
        return;
    }
    const Terrain *terrain = current_terrain;
    if (terrain->surface_count != SURF_ROLES + 14)
        check->fail(dir + "tileinfo", "defines " + std::to_string(terrain->surface_count) + " surface types");
    for (uint8_t type : terrain->tile_map)
        if (type >= terrain->surface_count) {
            check->fail(dir + "tilemap", "paints an undefined surface type");
            break;
        }
    for (int k = 0; k < terrain->surface_count; k++) {
        check->referenced(dir + "tileinfo", terrain->surfaces[k].texture_name);
        for (const RoostKind &roost : terrain->surfaces[k].roost)
            if (roost.kind)
                check->referenced(dir + "tileinfo", roost.texture_name);
    }
    const GateTables &g = gate_tables;
    if ((int)g.checkpoints.size() != summary.checkpoints || g.first_lap != summary.first_lap ||
        g.normal_lap != summary.normal_lap || g.starts.size() != 40)
        check->fail(dir + "timing_gates", "does not read back as written");
    for (const StartPosition &start : g.starts) {
        check->referenced(dir + "timing_gates", start.model);
        check->referenced(dir + "timing_gates", start.texture);
        check->referenced(dir + "timing_gates", start.shape);
    }
    const Furniture &f = track_furniture;
    for (size_t k = PARTICLE_BILLBOARDS; k < f.billboards.size(); k++)
        check->referenced(dir + "billboards", f.billboards[k].texture_name);
    if (f.billboards.size() <= PARTICLE_BILLBOARDS)
        check->fail(dir + "billboards", "holds no billboard");
    size_t gate_objects = g.starts.size();
    if (f.statues.size() <= gate_objects)
        check->fail(dir + "statues", "holds no statue");
    for (const Statue &statue : f.statues) {
        check->referenced(dir + "statues", statue.model_name);
        check->referenced(dir + "statues", statue.texture_name);
        check->referenced(dir + "statues", statue.shape_name);
    }
    if (f.starting_gate.billboard < 0 || f.lap_board.billboard < 0 || f.flaggers.empty())
        check->fail(dir + "flaggers", "lacks the starting gate, the lap board or the flaggers");
    for (const std::string &name : f.starting_gate.texture_names)
        check->referenced(dir + "flaggers", name);
    for (const std::string &name : f.lap_board.texture_names)
        check->referenced(dir + "flaggers", name);
    for (const Flagger &flagger : f.flaggers)
        for (const std::string &name : flagger.texture_names)
            check->referenced(dir + "flaggers", name);
    if (f.cameras.empty())
        check->fail(dir + "cameras", "holds no camera");
    for (const Decal &decal : terrain->decals)
        check->referenced(dir + "decals", decal.texture_name);
    for (const std::string &name : track_lighting.sky)
        check->referenced(dir + "lighting", name);
    check->referenced(dir + "lighting", track_lighting.sky_env);
    if (track_lighting.flares.empty())
        check->fail(dir + "lighting", "has no lens flare");
    for (const LensFlare &flare : track_lighting.flares)
        for (int k = 0; k < flare.element_count; k++)
            check->referenced(dir + "lighting", flare.elements[k].texture_name);
    free_track();
}

}  // namespace

bool validate_data_set(const std::string &data_dir, const DataSet &set, const std::vector<TrackSummary> &tracks)
{
    // Only the new set is visible: the data directory, and a home directory
    // that does not exist, so no user's files can stand in for ours.
    setenv("ZV_HOME", data_dir.c_str(), 1);
    setenv("XDG_DATA_HOME", (data_dir + "/.zorvex-data-no-home").c_str(), 1);
    data_search_path_reset();
    file_index_reset();

    Checker check;
    check.set = &set;
    for (const ArchiveInput &file : set.files)
        check.names.insert(file.name);
    for (const ArchiveInput &file : set.files)
        check_member(&check, file.name);
    int listed = find_tracks();
    for (const TrackSummary &summary : tracks) {
        bool found = false;
        for (int k = 0; k < listed; k++)
            found = found || summary.id == track_id(k);
        if (!found)
            check.fail(summary.id + "/terrain.hf", "is not found by the track discovery");
    }
    std::vector<std::string> track_ids;
    for (int k = 0; k < listed; k++)
        track_ids.push_back(track_id(k));
    for (const ArchiveInput &file : set.files) {
        if (!ends_with(file.name, ".series"))
            continue;
        DataStream *stream = stream_open(("@" + file.name).c_str(), "r");
        Series series;
        std::string reason = "cannot be opened";
        if (!stream || !parse_series(stream, track_ids, &series, &reason))
            check.fail(file.name, "the series reader refuses it: " + reason);
        if (stream)
            stream_close(stream);
    }
    for (const TrackSummary &summary : tracks)
        check_track(&check, summary);
    free_model_cache();
    clear_shape_cache();
    free_image_cache();
    file_index_reset();
    data_search_path_reset();
    return check.failures == 0;
}

bool validate_bike_files(const DataSet &set)
{
    Checker check;
    check.set = &set;
    for (const ArchiveInput &file : set.files)
        check.names.insert(file.name);
    for (const BikeModel &m : bike_models) {
        std::string who = std::string("bike model ") + m.name;
        const char *const names[] = {m.frame_model,        m.frame_shape,         m.bike_texture,
                                     m.fork_upper_model,   m.fork_upper_shape,    m.fork_lower_model,
                                     m.fork_lower_shape,   m.swingarm_model,      m.swingarm_shape,
                                     m.front_wheel_model,  m.front_wheel_shape,   m.rear_wheel_model,
                                     m.rear_wheel_shape,   m.wheels_texture,      m.rider_head_model,
                                     m.rider_head_texture, m.rider_body_model,    m.rider_body_fp_model,
                                     m.rider_shape,        m.rider_body_texture,  m.side_plates_model,
                                     m.front_plate_model,  m.rider_plate_model};
        for (const char *name : names)
            check.referenced(who, name ? name : "");
    }
    return check.failures == 0;
}
