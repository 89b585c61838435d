// Track and demo discovery from the list of known data files.
#include "core/game_lists.h"

#include <cstring>
#include <strings.h>
#include <utility>

#include "data/stream.h"

TrackList track_list;
DemoList demo_list;

namespace {

bool ends_with(const char *text, const char *suffix)
{
    size_t length = strlen(text), suffix_length = strlen(suffix);
    return length >= suffix_length && strcmp(text + length - suffix_length, suffix) == 0;
}

const char *const terrain_suffixes[] = {
    "/terrain.hf", "/terrain.hf.gz", "/terrain.hf.scram", "/terrain.hf.gz.scram",
};

// Longest display name kept from a desc file.
const size_t MAX_TRACK_NAME = 255;

} // namespace

bool read_track_desc(const char *directory, std::string *line)
{
    std::string name = std::string("@") + directory + "/desc";
    DataStream *stream = stream_open(name.c_str(), "r");
    if (!stream)
        return false;
    line->clear();
    for (int c; (c = stream_getc(stream)) > 0 && c != '\r' && c != '\n';) {
        if (line->size() < MAX_TRACK_NAME)
            line->push_back((char)c);
    }
    stream_close(stream);
    return true;
}

void build_track_list(const char *const *names, TrackDescReader read_desc, TrackList *list)
{
    list->directories.clear();
    list->names.clear();
    for (; names && *names; names++) {
        const char *name = *names;
        bool terrain = false;
        for (const char *suffix : terrain_suffixes)
            terrain = terrain || ends_with(name, suffix);
        if (!terrain)
            continue;
        std::string directory(name, strrchr(name, '/') - name);
        // A terrain present in several variants is still one track.
        bool known = false;
        for (const std::string &listed : list->directories)
            known = known || listed == directory;
        if (known)
            continue;
        std::string display;
        if (!read_desc || !read_desc(directory.c_str(), &display))
            display = directory;
        list->directories.push_back(directory);
        list->names.push_back(display);
    }

    size_t count = list->names.size();
    for (size_t i = 0; i < count; i++)
        for (size_t j = i + 1; j < count; j++)
            if (strcasecmp(list->names[j].c_str(), list->names[i].c_str()) < 0) {
                std::swap(list->names[i], list->names[j]);
                std::swap(list->directories[i], list->directories[j]);
            }
}

void build_demo_list(const char *const *names, DemoList *list)
{
    list->files.clear();
    list->names.clear();
    list->page = 0;
    for (; names && *names; names++) {
        const char *name = *names;
        if (strncmp(name, "demos/", 6) != 0 || !ends_with(name, ".zvdemo"))
            continue;
        const char *start = strrchr(name, '/') + 1;
        const char *end = strrchr(name, '.');
        list->files.push_back(name);
        list->names.push_back(std::string(start, end > start ? end - start : 0));
    }
}

int find_track(const TrackList &list, const char *directory)
{
    for (size_t i = 0; i < list.directories.size(); i++)
        if (list.directories[i] == directory)
            return (int)i;
    return -1;
}
