// The game's window, renderer, fixed images and input bindings from start-up
// to shutdown, and the frames the main loop draws, presents, records and saves.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/main_loop.h"

struct VarkWindow;
struct VarkAxis;
struct VarkDisplayMode;

// One entry of the "Video Mode" choice; a size of 0 x 0 means the desktop's.
struct VideoMode {
    std::string name;
    int width;
    int height;
};

enum { VIDEO_MODE_DEFAULT_FULLSCREEN = 0, VIDEO_MODE_WINDOWED = 1 };

// Per process: built at start-up, lives until shutdown.
extern std::vector<VideoMode> video_modes;
// The "Video Mode" item (an index into video_modes); "Default Fullscreen"
// until the configuration file sets it.
extern int video_mode_choice;

// "Default Fullscreen", "Windowed", then "%dx%d" for every mode (ended by
// 0 x 0 x 0) that has the colour depth of the first one.
std::vector<VideoMode> build_video_modes(const VarkDisplayMode *modes);

// The HUD images loaded at start-up; 0 for one that could not be loaded.
struct HudImages {
    unsigned tach = 0;
    unsigned shifter = 0;
    unsigned pitboard = 0;
    unsigned title = 0;
};

// Event codes of the menu keys, looked up once by name; 0 when a name has no code.
struct MenuKeys {
    int up = 0, down = 0, left = 0, right = 0;
    int enter = 0, keypad_enter = 0, esc = 0, pause = 0;
    int cursor_left = 0, cursor_right = 0, page_up = 0, page_down = 0;
};

// Per process: from open_game_output to close_game_output.
struct GameOutput {
    VarkWindow *window = nullptr;
    bool renderer_ready = false;      // shaders built, model drawing hooked
    VarkAxis *cursor_x = nullptr;     // the pointer axes "cursor-x" and "cursor-y"
    VarkAxis *cursor_y = nullptr;
    int cursor[2] = {};               // pointer position as last read
    bool cursor_moved = false;        // the last read changed it
    HudImages hud;
    MenuKeys menu_keys;
    float field_of_view = 110;        // "Field Of View", degrees
    bool recording_video = false;     // "--record-video" and standard output still takes frames
    FILE *video_out = nullptr;        // standard output while recording
};
extern GameOutput game_output;

enum GameOutputStatus {
    GAME_OUTPUT_READY,      // window, renderer and bindings ready for the main loop
    GAME_OUTPUT_NO_WINDOW,  // no window could be opened: exit code 1
    GAME_OUTPUT_SHUT_DOWN,  // the window never became drawable or could not present: orderly shutdown
};

// What the player reads when no window can be opened.
extern const char no_display_message[];

// Start-up steps from opening the window to the first presented frame and
// the input bindings. Anything it made is released by close_game_output.
GameOutputStatus open_game_output();
// Releases the bindings, shaders, model drawing, textures, fonts and the window.
void close_game_output();

// Default key of a control binding item ("Throttle", "Screenshot", ...), or null.
const char *default_control_key(const char *item);
// Binds a control to a key or button name, else to an axis name (range
// 0.0625..0.9375 of its travel). False, leaving it unbound, when neither exists.
bool bind_control(VarkWindow *window, const char *name, ControlBinding *binding);
// The riding controls, hot keys and the "esc" code of the loop, from the default keys.
void bind_game_controls(VarkWindow *window, LoopState *state);
// Closes the axes bound to controls and unbinds everything.
void release_game_controls(LoopState *state);

// The platform clock and the window's event queue and axes.
LoopPlatform game_loop_platform(VarkWindow *window);
// Drawing, presenting, the pointer and screenshots; the other hooks stay
// empty until their subsystems exist.
LoopHooks game_loop_hooks();

// One frame: draws the current view, records it with "--record-video",
// presents it. False when presenting failed (the loop ends).
bool draw_game_frame(LoopState *state);
// Draws the current picture again and saves it as "@screenshot%03d.png".
bool save_game_screenshot(int number);
// Writes one P6 picture (RGB rows from the top) to `out`; false when it could not.
bool write_video_frame(FILE *out, const uint8_t *rgb, int width, int height);
