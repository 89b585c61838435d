// zorvex-data: builds the game's data set into OUTPUT_DIR/zzzz.saf: the
// generated tracks, objects, sky and images, plus every file under the
// project's data/ folder. The same sources always give the same bytes; the
// archive is then read back with the game's own readers.
//
// usage: zorvex-data [--previews DIR] OUTPUT_DIR
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "data/archive.h"
#include "datagen/bikes.h"
#include "datagen/datagen.h"
#include "datagen/hud.h"
#include "datagen/rider.h"
#include "datagen/sky.h"
#include "datagen/title.h"
#include "datagen/tracks.h"
#include "datagen/validate.h"

#ifndef ZV_DATA_SOURCE_DIR
#error "ZV_DATA_SOURCE_DIR names the data source folder"
#endif

namespace fs = std::filesystem;

namespace {

// Editor back-ups and version-control files are not data: skip hidden entries.
bool hidden(const fs::path &relative)
{
    for (const fs::path &part : relative)
        if (!part.empty() && part.native()[0] == '.')
            return true;
    return false;
}

bool read_file(const fs::path &path, std::vector<uint8_t> *bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The hand-written sources under data/, packed as they are.
bool add_sources(DataSet *set, const fs::path &source)
{
    std::error_code error;
    if (!fs::is_directory(source, error))
        return true;
    std::vector<fs::path> paths;
    fs::recursive_directory_iterator walk(source, error), end;
    for (; !error && walk != end; walk.increment(error)) {
        if (!walk->is_regular_file(error))
            continue;
        fs::path relative = walk->path().lexically_relative(source);
        if (!hidden(relative))
            paths.push_back(walk->path());
    }
    if (error) {
        fprintf(stderr, "zorvex-data: can't list %s: %s\n", source.c_str(), error.message().c_str());
        return false;
    }
    std::sort(paths.begin(), paths.end());
    for (const fs::path &path : paths) {
        std::vector<uint8_t> bytes;
        if (!read_file(path, &bytes)) {
            fprintf(stderr, "zorvex-data: can't read %s\n", path.c_str());
            return false;
        }
        add_file(set, path.lexically_relative(source).generic_string(), std::move(bytes));
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string previews, output;
    for (int k = 1; k < argc; k++) {
        if (!strcmp(argv[k], "--previews") && k + 1 < argc)
            previews = argv[++k];
        else if (output.empty() && argv[k][0] != '-')
            output = argv[k];
        else
            output.clear(), k = argc;
    }
    if (output.empty()) {
        fprintf(stderr, "usage: zorvex-data [--previews DIR] OUTPUT_DIR\n");
        return 2;
    }
    std::error_code error;
    fs::create_directories(output, error);
    if (!previews.empty())
        fs::create_directories(previews, error);

    DataSet set;
    std::vector<TrackSummary> tracks = build_tracks(&set, previews);
    build_sky(&set);
    build_hud(&set);
    build_bikes(&set);
    build_rider(&set);
    build_title(&set);
    if (!previews.empty())
        preview_bikes(&set, previews);
    if (!previews.empty())
        preview_rider(&set, previews);
    if (!add_sources(&set, ZV_DATA_SOURCE_DIR))
        return 1;
    std::sort(set.files.begin(), set.files.end(),
              [](const ArchiveInput &a, const ArchiveInput &b) { return a.name < b.name; });

    std::string archive = output + "/zzzz.saf";
    if (!archive_write(archive.c_str(), set.files)) {
        fprintf(stderr, "zorvex-data: can't write %s\n", archive.c_str());
        return 1;
    }
    if (!validate_bike_files(set) || !validate_data_set(output, set, tracks)) {
        fprintf(stderr, "zorvex-data: the data set in %s does not read back\n", archive.c_str());
        return 1;
    }
    return 0;
}
