// The game's window with its OpenGL context on SDL, its events and devices.
#include "platform/window.h"

#include <SDL.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/log.h"

static bool depth_supported(int bits)
{
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

std::vector<VarkDisplayMode> build_display_mode_list(const DisplayModeInfo *desktop, const DisplayModeInfo *modes,
                                                      int count)
{
    std::vector<VarkDisplayMode> list;
    if (desktop) {
        if (depth_supported(desktop->bits)) {
            list.push_back({desktop->width, desktop->height, desktop->bits});
            vark_log("Registry mode is %dx%dx%d@%dhz\n", desktop->width, desktop->height, desktop->bits,
                     desktop->refresh);
        } else {
            vark_log("Registry mode is %dx%dx%d@%dhz (ignored)\n", desktop->width, desktop->height, desktop->bits,
                     desktop->refresh);
        }
    }
    for (int i = 0; i < count; i++) {
        const DisplayModeInfo &mode = modes[i];
        if (!depth_supported(mode.bits)) {
            vark_log("Found mode %dx%dx%d@%dhz (ignored)\n", mode.width, mode.height, mode.bits, mode.refresh);
            continue;
        }
        bool known = false;
        for (const VarkDisplayMode &entry : list)
            known = known || (entry.width == mode.width && entry.height == mode.height && entry.bits == mode.bits);
        if (known)
            continue;
        list.push_back({mode.width, mode.height, mode.bits});
        vark_log("Found mode %dx%dx%d@%dhz\n", mode.width, mode.height, mode.bits, mode.refresh);
    }
    list.push_back({0, 0, 0});
    return list;
}

VarkDisplayMode choose_fullscreen_mode(const VarkDisplayMode *modes, int width, int height, int desktop_width,
                                       int desktop_height)
{
    VarkDisplayMode chosen = {desktop_width, desktop_height, 0};
    if (width == 0 || height == 0)
        return chosen;
    int best = -1;
    for (const VarkDisplayMode *mode = modes; mode->width || mode->height || mode->bits; mode++) {
        if (mode->width < width || mode->height < height)
            continue;
        int excess = mode->width + mode->height - width - height;
        if (best < 0 || excess < best) {
            best = excess;
            chosen = *mode;
        }
    }
    return chosen;
}

static DisplayModeInfo mode_info(const SDL_DisplayMode &mode)
{
    return {mode.w, mode.h, (int)SDL_BITSPERPIXEL(mode.format), mode.refresh_rate};
}

const VarkDisplayMode *vark_display_modes()
{
    // Per process: built once and never freed.
    static std::vector<VarkDisplayMode> *list = nullptr;
    if (list)
        return list->data();
    static const VarkDisplayMode empty[] = {{0, 0, 0}};
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return empty;
    SDL_DisplayMode sdl_mode;
    DisplayModeInfo desktop = {};
    bool have_desktop = SDL_GetDesktopDisplayMode(0, &sdl_mode) == 0;
    if (have_desktop)
        desktop = mode_info(sdl_mode);
    std::vector<DisplayModeInfo> modes;
    for (int i = 0; SDL_GetDisplayMode(0, i, &sdl_mode) == 0; i++)
        modes.push_back(mode_info(sdl_mode));
    list = new std::vector<VarkDisplayMode>(
        build_display_mode_list(have_desktop ? &desktop : nullptr, modes.data(), (int)modes.size()));
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return list->data();
}

// The frame lock guards drawing against mode switches. SDL runs the window
// on the drawing thread, so a switch asked for in the middle of a frame is
// already serialised with it and must not wait for the lock it holds.
static void lock_frame(VarkWindow *context)
{
    if (!context->drawing)
        vark_mutex_lock(context->frame_lock);
}

static void unlock_frame(VarkWindow *context)
{
    if (!context->drawing)
        vark_mutex_unlock(context->frame_lock);
}

static void read_desktop(VarkWindow *context)
{
    SDL_DisplayMode desktop;
    context->desktop_known = SDL_GetDesktopDisplayMode(0, &desktop) == 0;
    context->desktop_width = context->desktop_known ? desktop.w : 640;
    context->desktop_height = context->desktop_known ? desktop.h : 480;
}

// Chooses and sets the full-screen mode; the desktop mode is kept when it
// already has the chosen size.
static void enter_fullscreen(VarkWindow *context, int width, int height)
{
    read_desktop(context);
    VarkDisplayMode mode =
        choose_fullscreen_mode(vark_display_modes(), width, height, context->desktop_width, context->desktop_height);
    context->screen_width = mode.width;
    context->screen_height = mode.height;
    SDL_DisplayMode desktop;
    if (context->desktop_known && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w == mode.width &&
        desktop.h == mode.height) {
        SDL_SetWindowFullscreen(context->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        // Only the size changes: depth and refresh rate stay the desktop's.
        SDL_DisplayMode wanted = {};
        if (context->desktop_known)
            wanted = desktop;
        wanted.w = mode.width;
        wanted.h = mode.height;
        SDL_SetWindowDisplayMode(context->window, &wanted);
        SDL_SetWindowFullscreen(context->window, SDL_WINDOW_FULLSCREEN);
    }
    context->width = mode.width;
    context->height = mode.height;
    context->flags |= VARK_WINDOW_FULLSCREEN;
}

static void enter_windowed(VarkWindow *context, int width, int height)
{
    context->flags &= ~VARK_WINDOW_FULLSCREEN;
    SDL_SetWindowFullscreen(context->window, 0);
    if (width == 0 || height == 0) {
        read_desktop(context);
        width = context->desktop_width;
        height = context->desktop_height;
    }
    SDL_SetWindowSize(context->window, width, height);
    SDL_SetWindowPosition(context->window, 0, 0);
    SDL_ShowWindow(context->window);
    context->width = width;
    context->height = height;
}

bool vark_set_display_mode(VarkWindow *context, int width, int height, int flags)
{
    if (!context || !context->window)
        return false;
    lock_frame(context);
    context->suspended = true;
    if (flags & VARK_FULLSCREEN_REQUEST) {
        context->flags &= ~VARK_WINDOW_FULLSCREEN;
        enter_fullscreen(context, width, height);
    } else {
        enter_windowed(context, width, height);
    }
    context->suspended = false;
    unlock_frame(context);
    return true;
}

// ---- devices ----

struct SdlJoystick {
    SDL_Joystick *joystick;
    SDL_JoystickID instance;
};

static int joystick_read_axis(VarkDevice *device, int axis)
{
    // SDL's state is as fresh as the last event pump, which runs at every event fetch.
    int value = SDL_JoystickGetAxis(((SdlJoystick *)device->impl)->joystick, axis);
    return value < -32767 ? -32767 : value;
}

static void joystick_destroy(VarkDevice *device)
{
    SdlJoystick *joystick = (SdlJoystick *)device->impl;
    SDL_JoystickClose(joystick->joystick);
    delete joystick;
}

static const VarkDeviceOps joystick_ops = {nullptr, nullptr, nullptr, joystick_read_axis, nullptr, joystick_destroy};

// The system mouse as a device with relative axes (x, y, wheel) and buttons
// left, right, middle, X1, X2; fed from the window's events.
static const VarkDeviceOps mouse_ops = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

static int cursor_read_axis(VarkDevice *, int axis)
{
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    return axis == 0 ? x : y;
}

static const VarkDeviceOps cursor_ops = {nullptr, nullptr, nullptr, cursor_read_axis, nullptr, nullptr};

static void set_up_joystick(VarkWindow *context, int index)
{
    const char *instance = SDL_JoystickNameForIndex(index);
    if (!instance)
        instance = "Joystick";
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
    vark_log("%s (%s)\n", instance, guid);

    SDL_Joystick *joystick = SDL_JoystickOpen(index);
    if (!joystick) {
        vark_log("Can't create \"%s\"\n", instance);
        return;
    }
    int axes = SDL_JoystickNumAxes(joystick);
    int buttons = SDL_JoystickNumButtons(joystick);
    if (axes < 0 || buttons < 0) {
        vark_log("Can't get device caps\n");
        SDL_JoystickClose(joystick);
        return;
    }
    if (axes == 0 && buttons == 0) {
        vark_log("Ignoring Dunsel device\n");
        SDL_JoystickClose(joystick);
        return;
    }
    vark_log("%d axes, %d keys\n", axes, buttons);
    if (axes > VARK_AXIS_LIMIT) {
        vark_log("Wow! This thing has a lot of axes!\nThe first ignored axis is called \"axis %d\"\n",
                 VARK_AXIS_LIMIT);
        axes = VARK_AXIS_LIMIT;
    }
    if (buttons > VARK_BUTTON_LIMIT) {
        vark_log("Wow! This thing has a lot of buttons!\nThe first ignored button is called \"button %d\"\n",
                 VARK_BUTTON_LIMIT);
        buttons = VARK_BUTTON_LIMIT;
    }
    for (int i = 0; i < axes; i++)
        vark_log("axis %d is %s\n", i, "absolute");

    SdlJoystick *impl = new SdlJoystick{joystick, SDL_JoystickInstanceID(joystick)};
    VarkDevice *device = vark_add_device(context, instance, axes, buttons, false, &joystick_ops, impl, true);
    if (!device) {
        vark_log("Out of memory\n");
        SDL_JoystickClose(joystick);
        delete impl;
    }
}

static void roll_call(VarkWindow *context)
{
    if (!vark_option_flag("dinput", true)) {
        vark_log("DirectInput disabled\n");
        vark_define_builtin_aliases(false);
        return;
    }
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        vark_define_builtin_aliases(false);
        return;
    }
    context->sdl_subsystems |= SDL_INIT_JOYSTICK;
    bool sticks_only = vark_option_flag("dinputsticksonly", true);
    vark_log("DirectInput roll call...\n");
    if (!sticks_only) {
        vark_log("%s (%s)\n", "Mouse", "system mouse");
        vark_log("%d axes, %d keys\n", 3, 5);
        for (int i = 0; i < 3; i++)
            vark_log("axis %d is %s\n", i, "relative");
        vark_add_device(context, "Mouse", 3, 5, true, &mouse_ops, nullptr, true);
    }
    for (int i = 0; i < SDL_NumJoysticks(); i++)
        set_up_joystick(context, i);
    vark_log("End of DirectInput roll call\n");
    vark_define_builtin_aliases(true);
}

static VarkDevice *device_with_ops(VarkWindow *context, const VarkDeviceOps *ops)
{
    for (VarkDevice *device : context->devices)
        if (device->ops == ops)
            return device;
    return nullptr;
}

static VarkDevice *joystick_device(VarkWindow *context, SDL_JoystickID instance)
{
    for (VarkDevice *device : context->devices)
        if (device->ops == &joystick_ops && ((SdlJoystick *)device->impl)->instance == instance)
            return device;
    return nullptr;
}

// ---- events ----

// The character a key gives that SDL's text input leaves out.
static int control_character(SDL_Scancode scancode)
{
    switch (scancode) {
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_ESCAPE: return 27;
    default: return 0;
    }
}

void vark_window_key(VarkWindow *context, int sdl_scancode, bool pressed, long long time_ms)
{
    int scan_code = scan_code_from_sdl(sdl_scancode);
    if (scan_code)
        vark_queue_event(context, VARK_KEY_BASE + scan_code, pressed, time_ms);
    int character = control_character((SDL_Scancode)sdl_scancode);
    if (pressed && character)
        vark_queue_event(context, character, true, time_ms);
}

void vark_window_text(VarkWindow *context, const char *text, long long time)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p) {
        int length = *p < 0x80 ? 1 : (*p & 0xE0) == 0xC0 ? 2 : (*p & 0xF0) == 0xE0 ? 3 : (*p & 0xF8) == 0xF0 ? 4 : 1;
        int code = length == 1 ? *p : *p & (0x3F >> (length - 1));
        bool valid = *p < 0x80 || length > 1;
        for (int i = 1; i < length && valid; i++) {
            if ((p[i] & 0xC0) != 0x80)
                valid = false;
            else
                code = (code << 6) | (p[i] & 0x3F);
        }
        if (length == 2 && code < 0x80)
            valid = false;  // overlong
        if (!valid) {
            p++;
            continue;
        }
        if (code <= 255)
            vark_queue_event(context, code, true, time);
        p += length;
    }
}

static int mouse_button_code(int button)
{
    switch (button) {
    case SDL_BUTTON_LEFT: return VARK_MOUSE_LEFT;
    case SDL_BUTTON_MIDDLE: return VARK_MOUSE_MIDDLE;
    case SDL_BUTTON_RIGHT: return VARK_MOUSE_RIGHT;
    default: return 0;
    }
}

// Button numbers of the mouse device, in the system mouse's order.
static int mouse_device_button(int button)
{
    switch (button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
    }
}

void vark_window_mouse_button(VarkWindow *context, int sdl_button, bool pressed, long long time_ms)
{
    int code = mouse_button_code(sdl_button);
    if (code)
        vark_queue_event(context, code, pressed, time_ms);
    if (VarkDevice *mouse = device_with_ops(context, &mouse_ops))
        vark_device_button_entry(mouse, mouse_device_button(sdl_button), pressed, time_ms, vark_time_ms());
}

void vark_window_mouse_motion(VarkWindow *context, int dx, int dy, int wheel_notches)
{
    VarkDevice *mouse = device_with_ops(context, &mouse_ops);
    if (!mouse)
        return;
    vark_device_axis_entry(mouse, 0, dx);
    vark_device_axis_entry(mouse, 1, dy);
    // A wheel notch counts 120, as wheel deltas do elsewhere.
    vark_device_axis_entry(mouse, 2, wheel_notches * 120);
}

static void handle_window_event(VarkWindow *context, const SDL_WindowEvent &event, long long time)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        // The game decides whether to quit; the window stays.
        vark_queue_event(context, VARK_CLOSE, true, time);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        lock_frame(context);
        context->width = event.data1;
        context->height = event.data2;
        vark_log("WM_SIZE message %dx%d\n", event.data1, event.data2);
        unlock_frame(context);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        // SDL gives the full-screen mode back on deactivation and sets it
        // again here; the window only needs to come to the front.
        if (context->flags & VARK_WINDOW_FULLSCREEN)
            SDL_RaiseWindow(context->window);
        break;
    default:
        break;
    }
}

void vark_handle_sdl_event(VarkWindow *context, const SDL_Event *event)
{
    // SDL's time stamps count milliseconds from its start; the age of an
    // event carries it onto the platform clock.
    long long now = vark_time_ms();
    Uint32 age = SDL_GetTicks() - event->common.timestamp;
    long long time = age < 0x80000000u ? now - (long long)age : now;

    switch (event->type) {
    case SDL_QUIT:
        // A termination signal or the session ending: treated as the close button.
        vark_queue_event(context, VARK_CLOSE, true, time);
        break;
    case SDL_WINDOWEVENT:
        if (event->window.windowID == context->window_id)
            handle_window_event(context, event->window, time);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        vark_window_key(context, event->key.keysym.scancode, event->type == SDL_KEYDOWN, time);
        break;
    case SDL_TEXTINPUT:
        vark_window_text(context, event->text.text, time);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        vark_window_mouse_button(context, event->button.button, event->type == SDL_MOUSEBUTTONDOWN, time);
        break;
    case SDL_MOUSEMOTION:
        vark_window_mouse_motion(context, event->motion.xrel, event->motion.yrel, 0);
        break;
    case SDL_MOUSEWHEEL:
        vark_window_mouse_motion(context, 0, 0,
                                 event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y);
        break;
    case SDL_JOYAXISMOTION:
        if (VarkDevice *device = joystick_device(context, event->jaxis.which))
            vark_device_axis_entry(device, event->jaxis.axis, event->jaxis.value < -32767 ? -32767 : event->jaxis.value);
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        if (VarkDevice *device = joystick_device(context, event->jbutton.which))
            vark_device_button_entry(device, event->jbutton.button, event->jbutton.state == SDL_PRESSED, time, now);
        break;
    default:
        break;
    }
}

void vark_pump_window(VarkWindow *context)
{
    if (!context->window)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        vark_handle_sdl_event(context, &event);
}

bool vark_request_close(VarkWindow *context)
{
    if (!context)
        return false;
    if (!context->window)
        return vark_queue_event(context, VARK_CLOSE, true, vark_time_ms());
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = context->window_id;
    return SDL_PushEvent(&event) == 1;
}

// ---- opening and closing ----

static void set_gl_attributes(int depth, int alpha_bits, int depth_bits, int stencil_bits, int accumulation_bits)
{
    SDL_GL_ResetAttributes();
    int red = 0, green = 0, blue = 0;
    switch (depth) {
    case 8: red = 3, green = 3, blue = 2; break;
    case 15: red = 5, green = 5, blue = 5; break;
    case 16: red = 5, green = 6, blue = 5; break;
    case 24:
    case 32: red = 8, green = 8, blue = 8; break;  // 32 is 24 colour bits
    default: break;
    }
    if (red) {
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue);
    }
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha_bits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencil_bits);
    int accum = (accumulation_bits + 3) / 4;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// Undoes what opening made, in reverse; the GL context is already gone.
static void destroy_window(VarkWindow *context)
{
    context->closing = true;
    vark_mutex_destroy(context->frame_lock);
    context->frame_lock = nullptr;
    if (!context->devices.empty()) {
        vark_log("Closing input devices\n");
        vark_close_devices(context);
    }
    if (context->window) {
        SDL_StopTextInput();
        vark_log("Destroying window\n");
        if (context->flags & VARK_WINDOW_FULLSCREEN)
            SDL_SetWindowFullscreen(context->window, 0);
        SDL_DestroyWindow(context->window);
        context->window = nullptr;
        vark_log("Window shutdown complete\n");
    }
    if (context->sdl_subsystems)
        SDL_QuitSubSystem(context->sdl_subsystems);
    vark_close_input_context(context);
}

static bool options_logged = false;

VarkWindow *vark_open_gl_window(const char *title, int width, int height, int flags, int alpha_bits,
                                int depth_bits, int stencil_bits, int accumulation_bits)
{
    // A close request must stay an event; SDL would also turn it into quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        vark_log("%s\n", SDL_GetError());
        vark_error("Can't initialise the video system\n");
        return nullptr;
    }
    vark_display_modes();
    if (!options_logged) {
        // SDL keeps the window on the thread that made it, so "threaded"
        // only shows in the log: events are always pumped by the caller.
        bool threaded = vark_option_flag("threaded", false);
        vark_log("Options:\n");
        vark_log("%10s [%s]\n", "threaded:", threaded ? "on" : "off");
        options_logged = true;
    }
    VarkWindow *context = vark_open_input_context();
    if (!context) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    context->sdl_subsystems = SDL_INIT_VIDEO;
    context->frame_lock = vark_mutex_create();
    if (!context->frame_lock) {
        destroy_window(context);
        return nullptr;
    }
    context->title = title ? title : "";
    context->depth = flags & VARK_DEPTH_MASK;
    context->gl.color_bits = context->depth == 32 ? 24 : context->depth;
    context->gl.alpha_bits = alpha_bits;
    context->gl.depth_bits = depth_bits;
    context->gl.stencil_bits = stencil_bits;
    context->gl.accum_bits = accumulation_bits;

    read_desktop(context);
    if (width == 0 || height == 0) {
        width = context->desktop_width;
        height = context->desktop_height;
    }
    context->width = width;
    context->height = height;

    vark_log("Choosing pixel format\n");
    set_gl_attributes(context->depth, alpha_bits, depth_bits, stencil_bits, accumulation_bits);
    vark_log("Creating window\n");
    Uint32 window_flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    context->window = SDL_CreateWindow(context->title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                       width, height, window_flags);
    if (!context->window && accumulation_bits > 0) {
        // The closest format: accumulation buffers are the first thing drivers lack.
        vark_log("%s\n", SDL_GetError());
        vark_log("No suitable pixel formats found\n");
        set_gl_attributes(context->depth, alpha_bits, depth_bits, stencil_bits, 0);
        context->window = SDL_CreateWindow(context->title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                           SDL_WINDOWPOS_UNDEFINED, width, height, window_flags);
    }
    if (!context->window) {
        vark_log("%s\n", SDL_GetError());
        vark_error("Can't create window!\n");
        destroy_window(context);
        return nullptr;
    }
    context->window_id = SDL_GetWindowID(context->window);

    if (flags & VARK_FULLSCREEN_REQUEST)
        enter_fullscreen(context, width, height);
    SDL_ShowWindow(context->window);

    SDL_SetWindowData(context->window, "vark", context);
    if (SDL_GetWindowData(context->window, "vark") != context) {
        vark_error("Can't set window user data\n");
        destroy_window(context);
        return nullptr;
    }
    SDL_RaiseWindow(context->window);
    SDL_DisableScreenSaver();
    SDL_StartTextInput();

    roll_call(context);
    vark_add_device(context, "cursor", 2, 0, false, &cursor_ops, nullptr, false);
    vark_fix_device_names(context);

    vark_log("Creating OpenGL context\n");
    context->gl.context = SDL_GL_CreateContext(context->window);
    if (!context->gl.context) {
        vark_log("%s\n", SDL_GetError());
        vark_log("Couldn't create OpenGL context\n");
        destroy_window(context);
        return nullptr;
    }
    context->flags |= VARK_WINDOW_GL | VARK_WINDOW_ALWAYS;
    return context;
}

void vark_close_gl_window(VarkWindow *context)
{
    if (!context)
        return;
    if (context->gl.context) {
        vark_log("Deleting OpenGL context\n");
        SDL_GL_MakeCurrent(context->window, nullptr);
        SDL_GL_DeleteContext(context->gl.context);
        context->gl.context = nullptr;
    }
    destroy_window(context);
}

VarkFrame *vark_begin_frame(VarkWindow *context)
{
    if (!context || !context->gl.context || !context->window || context->drawing)
        return nullptr;
    if (SDL_GetWindowFlags(context->window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED))
        return nullptr;
    vark_mutex_lock(context->frame_lock);
    if (context->suspended) {
        vark_mutex_unlock(context->frame_lock);
        return nullptr;
    }
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(context->window, &width, &height);
    context->frame.x = 0;
    context->frame.width = width > 0 ? width : context->width;
    context->frame.height = height > 0 ? height : context->height;
    context->frame.spare1 = 0;
    context->frame.spare2 = 0;
    context->drawing = true;
    return &context->frame;
}

bool vark_end_frame(VarkWindow *context)
{
    if (!context || !context->drawing)
        return false;
    SDL_GL_SwapWindow(context->window);
    context->drawing = false;
    vark_mutex_unlock(context->frame_lock);
    return true;
}
