// Start-up and shutdown of the game around the main loop.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/command_line.h"
#include "core/graphics_settings.h"

// Per process, set once by start-up.
extern LaunchSettings launch_settings;
extern GraphicsItems graphics_items;
extern uint8_t build_mark[20];     // SHA-1 of the build's identity; the demos' anti-tamper mark uses it
extern int fixed_file_flag;        // 1 when the fixed shape files are the shipped ones
extern int track_choice;           // selected entry of the track list
extern const char *start_track;    // track to race at start, or null
// The data-set digest the start-up check accepts: the build's own; tests
// that bring their own base archive point it at theirs.
extern const char *game_data_digest;

enum { STARTUP_CONTINUE = -1 };

// Start-up up to the point where the window opens. Returns STARTUP_CONTINUE,
// or the process exit code (0 or 1) after printing any message to `err`.
int start_up(int argc, char **argv, FILE *err);

// SHA-1 over the fixed shape files found among the data files; missing ones contribute nothing.
void compute_fixed_file_digest(char hex[41]);

// Releases what start-up made, in reverse order; returns the exit code.
int shut_down();

// The whole program: start-up, main loop, shutdown.
int game_main(int argc, char **argv);
