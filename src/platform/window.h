// The game's window with its OpenGL context, display modes and frame lock.
#pragma once
#include <string>
#include <vector>

#include "platform/input.h"

struct SDL_Window;
struct VarkMutex;
union SDL_Event;

enum {
    VARK_WINDOW_GL = 2,
    VARK_WINDOW_THREADED = 4,
    VARK_WINDOW_FULLSCREEN = 8,
    VARK_WINDOW_ALWAYS = 16,
};

// Flags of vark_open_gl_window and vark_set_display_mode: the low 8 bits
// are the colour depth.
enum { VARK_DEPTH_MASK = 0xFF, VARK_FULLSCREEN_REQUEST = 0x200 };

// What vark_begin_frame hands out; x and the two spare fields are always 0.
struct VarkFrame {
    int x;
    int width;
    int height;
    int spare1;
    int spare2;
};

// One display mode; the list ends with (0, 0, 0).
struct VarkDisplayMode {
    int width;
    int height;
    int bits;
};

struct VarkGl {
    void *context;  // the OpenGL context
    int color_bits, alpha_bits, depth_bits, stencil_bits, accum_bits;  // what was asked for
};

// One per window; a context opened with vark_open_input_context has no
// window and no GL part.
struct VarkWindow {
    SDL_Window *window;
    unsigned window_id;
    VarkFrame frame;
    int width, height;                // client size, kept up to date by size events
    int depth;
    int screen_width, screen_height;  // the full-screen display mode
    std::string title;
    VarkMutex *frame_lock;            // held from begin to end of a frame and by mode switches
    std::vector<VarkDevice *> devices;  // in the order they were added
    std::vector<const char *> device_names;  // null-ended
    std::vector<const char *> axis_names;    // null-ended once the window is open
    VarkMutex *event_lock;
    VarkEventQueue events;
    bool closing;
    bool suspended;
    int flags;
    VarkGl gl;
    bool drawing;        // between vark_begin_frame and vark_end_frame
    bool desktop_known;  // the desktop mode below could be read
    int desktop_width, desktop_height;
    unsigned sdl_subsystems;  // what this window initialised, to quit again
};

// Opens the window with an OpenGL compatibility context; flags: colour depth
// in the low 8 bits, VARK_FULLSCREEN_REQUEST. A size of 0 means the desktop's.
VarkWindow *vark_open_gl_window(const char *title, int width, int height, int flags, int alpha_bits,
                                int depth_bits, int stencil_bits, int accumulation_bits);
void vark_close_gl_window(VarkWindow *context);

// The frame to draw, holding the frame lock, or null (minimised, hidden,
// suspended) without holding it.
VarkFrame *vark_begin_frame(VarkWindow *context);
// Swaps the buffers and releases the frame lock.
bool vark_end_frame(VarkWindow *context);

// Switches to full-screen operation (VARK_FULLSCREEN_REQUEST) or to a window
// of that client size.
bool vark_set_display_mode(VarkWindow *context, int width, int height, int flags);

// The display modes of the first display, ended by (0, 0, 0); built on first use.
const VarkDisplayMode *vark_display_modes();

// A mode as the display reports it, for building the list.
struct DisplayModeInfo {
    int width, height, bits, refresh;
};
// Builds the list from the desktop mode (or null) and the enumerated
// modes, logging each; no duplicates of (width, height, bits).
std::vector<VarkDisplayMode> build_display_mode_list(const DisplayModeInfo *desktop, const DisplayModeInfo *modes,
                                                      int count);
// The full-screen size for a request: the smallest listed mode at least
// that large, else the desktop size.
VarkDisplayMode choose_fullscreen_mode(const VarkDisplayMode *modes, int width, int height, int desktop_width,
                                       int desktop_height);

// Dispatches all waiting window-system events into the context's queue.
void vark_pump_window(VarkWindow *context);
// Turns one SDL event into queued events and window changes.
void vark_handle_sdl_event(VarkWindow *context, const SDL_Event *event);
// What one key, a typed text (UTF-8) or a mouse button gives as events;
// keys and buttons are numbered as SDL numbers them.
void vark_window_key(VarkWindow *context, int sdl_scancode, bool pressed, long long time_ms);
void vark_window_text(VarkWindow *context, const char *text, long long time_ms);
void vark_window_mouse_button(VarkWindow *context, int sdl_button, bool pressed, long long time_ms);
// Mouse motion in pixels and wheel notches, for the mouse device's relative axes.
void vark_window_mouse_motion(VarkWindow *context, int dx, int dy, int wheel_notches);
// Posts a close request to the window as its close button does; it arrives
// as the 0xDEAD event at the next event fetch.
bool vark_request_close(VarkWindow *context);
