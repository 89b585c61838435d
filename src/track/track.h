// The track list, and loading and releasing the requested track.
#pragma once
#include <cstdint>
#include <string>

// Per process: the requested ground-texture method (TEXTURE_METHOD_*), from
// the "Terrain Rendering Method" setting.
extern int track_texture_method;

// Finds every track through the data layer and sorts the list by display
// name; returns the count. discover_tracks does the same at start-up and
// ends the program with "No tracks found" when there is none.
int find_tracks();
void discover_tracks();
int track_count();
const char *track_id(int index);
const char *track_display_name(int index);

// Per track: set by menus, the command line, the network and the console.
extern std::string requested_track_id;
// After a load: the list's own spelling of the requested id, or the request.
extern std::string current_track_id;
// SHA-1 over the files that define the racing surface; valid after a load.
extern uint8_t track_digest[20];

// Loads the requested track: 1 on success; 0 clears both ids (the caller
// still calls free_track).
int load_track();
void free_track();
