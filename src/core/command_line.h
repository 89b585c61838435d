// The command line: launch settings for one run and the option table that fills them.
#pragma once
#include <cstdio>

struct RenderSettings;

// Filled by the command line; per process. Texts point into argv. Yes/no
// settings are ints (0 or 1) so that one table can set them all.
struct LaunchSettings {
    const char *demo_file = nullptr;     // demo to play
    const char *track = nullptr;         // track directory to load at start
    const char *server = nullptr;        // server address ("zorvex:" removed)
    const char *password = nullptr;
    int colour_depth = 16;
    int depth_bits = 16;
    float lock_fps = 0;                  // frames per second; 0 = off
    int no_sound = 0;
    const char *audio_record_file = nullptr;
    int record_video = 0;                // frames to standard output
    int warp = 0;                        // fast-forward
    int draw_paused = 1;                 // draw the "Paused" text
    int draw_hud = 1;
    int gl_finish = 0;
    float chase_center[3] = {0.0f, 2.52f, 0.52f};  // chase-camera target, bike coordinates
    int debug_level = 0;
    int practice = 0;                    // every robot rides as "tester"
    int learn = 0;                       // riding-line learning
    int editor = 0;
    int accurate_skip = 0;
    int rotate_lineup = 0;
    int fake_loss = 0;                   // percent of datagrams dropped
    float fake_lag = 0;                  // seconds
};

// Statuses besides an exit code.
enum {
    COMMAND_LINE_CONTINUE = -1,          // parsed; start the game
    COMMAND_LINE_OPEN_HOME = -2,         // "--open-home": open the home directory, then exit 0
};

// Parses argv[1..argc-1] into `launch` and `render` (which hold their
// defaults or earlier values). Messages go to `err` and, for the MMX note, to
// the log. Returns an exit code (1 after an error) or one of the statuses above.
int parse_command_line(int argc, char **argv, LaunchSettings *launch, RenderSettings *render, FILE *err);
