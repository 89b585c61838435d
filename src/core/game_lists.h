// The track and demo lists, built once at start-up from the known data files.
#pragma once
#include <string>
#include <vector>

// Parallel arrays sorted by display name; per process.
struct TrackList {
    std::vector<std::string> directories;
    std::vector<std::string> names;
};

// Parallel arrays in data-name order; per process.
struct DemoList {
    std::vector<std::string> files;   // data names, each beginning with "demos/"
    std::vector<std::string> names;   // file name without directory and extension
    int page = 0;                     // playback list page, 20 names each
};

extern TrackList track_list;
extern DemoList demo_list;

// Reads the first line of a track's "desc"; false when there is no such file.
typedef bool (*TrackDescReader)(const char *directory, std::string *line);

// Tracks are the directories holding a terrain ("terrain.hf" or one of its
// variants); each directory is listed once, named by its desc or by itself.
void build_track_list(const char *const *names, TrackDescReader read_desc, TrackList *list);
// The data-file reader of "@<directory>/desc": up to CR, LF, NUL or the end.
bool read_track_desc(const char *directory, std::string *line);

void build_demo_list(const char *const *names, DemoList *list);

// Index of the track with that directory, or -1.
int find_track(const TrackList &list, const char *directory);
