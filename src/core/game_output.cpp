// The game's window, renderer, fixed images and input bindings, and the
// frames the main loop draws, presents, records and saves.
#include "core/game_output.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "core/startup.h"
#include "data/image.h"
#include "data/model.h"
#include "data/render_settings.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "render/bike_textures.h"
#include "render/font.h"
#include "render/frame.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "render/text.h"
#include "render/texture.h"

std::vector<VideoMode> video_modes;
int video_mode_choice = VIDEO_MODE_DEFAULT_FULLSCREEN;
GameOutput game_output;

const char no_display_message[] =
    "No display could be opened, so the game has no window to draw in.\n"
    "To run it without a display, set SDL_VIDEODRIVER=offscreen, or start it under xvfb-run.\n";

namespace {

struct DefaultKey {
    const char *item;
    const char *key;
};

// Control binding items and their keys until the configuration file binds them.
const DefaultKey default_keys[] = {
    {"Throttle", "x"},        {"Front Brake", "c"},     {"Rear Brake", "v"},     {"Left", "left"},
    {"Right", "right"},       {"Clutch", "z"},          {"Upshift", "up"},       {"Downshift", "down"},
    {"Sit/Dab", "right ctrl"}, {"Back up", "b"},        {"Lean Forward", "n"},   {"Lean Backward", "m"},
    {"Pause", "pause"},       {"Step", "."},            {"Rewind", "\\"},        {"Skip", "/"},
    {"Previous Bike", "["},   {"Next Bike", "]"},       {"Chat", "t"},           {"Screenshot", "s"},
};

const char *const hud_image_names[4] = {"!@tach.png", "!@shifter.png", "!@pitboard.png", "!@title.png"};

// Lines of text that fill the window height for the centred notices.
constexpr float NOTICE_LINES = 20;

// How long start-up waits for a drawable window: 161 checks 1/16 s apart.
constexpr int DRAWABLE_CHECKS = 161;

void log_key_failure(const char *item, const char *name)
{
    vark_log("Can't bind \"%s\" to \"%s\"\n", item, name);
}

int menu_key_code(VarkWindow *window, const char *name)
{
    int code = 0;
    if (!vark_key_code(window, &code, name)) {
        log_key_failure("menu", name);
        return 0;
    }
    return code;
}

void bind_menu_keys(VarkWindow *window, MenuKeys *keys)
{
    keys->up = menu_key_code(window, "up");
    keys->down = menu_key_code(window, "down");
    keys->left = menu_key_code(window, "left");
    keys->right = menu_key_code(window, "right");
    keys->enter = menu_key_code(window, "enter");
    keys->keypad_enter = menu_key_code(window, "keypad enter");
    keys->esc = menu_key_code(window, "esc");
    keys->pause = menu_key_code(window, "pause");
    keys->cursor_left = menu_key_code(window, "cursor-left");
    keys->cursor_right = menu_key_code(window, "cursor-right");
    keys->page_up = menu_key_code(window, "page up");
    keys->page_down = menu_key_code(window, "page down");
}

bool windowed()
{
    return video_mode_choice == VIDEO_MODE_WINDOWED;
}

void draw_centred_notice(const char *text)
{
    float position[2] = {0, 0};
    begin_text_overlay(NOTICE_LINES);
    float width = overlay_view.hy > 0 ? NOTICE_LINES * overlay_view.hx / overlay_view.hy : 0;
    // The line between y and y + 1 whose middle is the window's.
    overlay_translate(position, 0, -(NOTICE_LINES - 1) / 2);
    draw_text_centred(1, 1, 1, 1, 0, width, text);
    end_overlay();
}

void record_video_frame(int width, int height)
{
    uint8_t *pixels = read_frame_rgb(width, height);
    if (!pixels)
        return;  // no room this frame: it is left out
    if (!write_video_frame(game_output.video_out, pixels, width, height)) {
        vark_log("Video recording stopped: standard output takes no more frames\n");
        game_output.recording_video = false;
    }
    free(pixels);
}

// Everything of the frame up to presenting it.
void draw_game_picture(const LoopState *state, int width, int height, bool record)
{
    if (windowed()) {
        render_settings.xres = width;
        render_settings.yres = height;
    }
    frame_clear(width, height);
    set_overlay_projection(width, height, game_output.field_of_view);
    // The view of the current mode (scene, cameras, title screen) and the
    // status overlay are drawn here once they exist.

    if (record && game_output.recording_video && !state->paused && state->view_mode != VIEW_TITLE)
        record_video_frame(width, height);

    if (state->paused && launch_settings.draw_paused)
        draw_centred_notice("Paused");
    // The warm-up notice comes with the network client, the menus after it.
}

bool read_pointer_axis(VarkAxis *axis, int *value)
{
    if (!axis)
        return false;
    int now = vark_read_axis(axis);
    bool moved = now != *value;
    *value = now;
    return moved;
}

void read_pointer(LoopState *)
{
    bool moved_x = read_pointer_axis(game_output.cursor_x, &game_output.cursor[0]);
    bool moved_y = read_pointer_axis(game_output.cursor_y, &game_output.cursor[1]);
    game_output.cursor_moved = moved_x || moved_y;
    // The menus take the pointer here (the page is told, or the widget under it takes the focus).
}

bool next_event_before(void *context, uint32_t *code, bool *pressed, long seconds, long microseconds)
{
    int value = 0;
    if (!vark_next_event_before((VarkWindow *)context, &value, pressed, seconds, microseconds))
        return false;
    *code = (uint32_t)value;
    return true;
}

bool next_event(void *context, uint32_t *code, bool *pressed)
{
    int value = 0;
    if (!vark_next_event((VarkWindow *)context, &value, pressed))
        return false;
    *code = (uint32_t)value;
    return true;
}

int read_axis(void *axis)
{
    return axis ? vark_read_axis((VarkAxis *)axis) : 0;
}

// Steps 16 to 18 run inside the first frame, which step 19 presents.
VarkFrame *wait_for_drawable(VarkWindow *window)
{
    for (int check = 0; check < DRAWABLE_CHECKS; check++) {
        vark_pump_window(window);
        VarkFrame *frame = vark_begin_frame(window);
        if (frame && frame->width > 0 && frame->height > 0)
            return frame;
        if (frame)
            vark_end_frame(window);
        vark_sleep(0, 62500);
    }
    return nullptr;
}

void load_hud_images(HudImages *hud)
{
    unsigned *slots[4] = {&hud->tach, &hud->shifter, &hud->pitboard, &hud->title};
    for (int i = 0; i < 4; i++) {
        *slots[i] = load_texture(hud_image_names[i]);
        if (!*slots[i])
            vark_log("Can't load \"%s\"\n", hud_image_names[i]);
    }
}

} // namespace

std::vector<VideoMode> build_video_modes(const VarkDisplayMode *modes)
{
    std::vector<VideoMode> list = {{"Default Fullscreen", 0, 0}, {"Windowed", 0, 0}};
    if (!modes || modes[0].width == 0)
        return list;
    int depth = modes[0].bits;
    for (const VarkDisplayMode *mode = modes; mode->width != 0 || mode->height != 0 || mode->bits != 0; mode++) {
        if (mode->bits != depth)
            continue;
        char name[32];
        snprintf(name, sizeof name, "%dx%d", mode->width, mode->height);
        list.push_back({name, mode->width, mode->height});
    }
    return list;
}

const char *default_control_key(const char *item)
{
    for (const DefaultKey &entry : default_keys)
        if (strcmp(entry.item, item) == 0)
            return entry.key;
    return nullptr;
}

bool bind_control(VarkWindow *window, const char *name, ControlBinding *binding)
{
    *binding = ControlBinding{};
    if (!name)
        return false;
    int code = 0;
    if (vark_key_code(window, &code, name)) {
        binding->kind = BINDING_KEY;
        binding->code = (uint32_t)code;
        return true;
    }
    if (VarkAxis *axis = vark_open_axis(window, name)) {
        binding->kind = BINDING_AXIS;
        binding->axis = axis;
        binding->low = 0.0625;
        binding->high = 0.9375;
        return true;
    }
    return false;
}

void bind_game_controls(VarkWindow *window, LoopState *state)
{
    for (int i = 0; i < RIDING_CONTROL_COUNT; i++) {
        const char *item = riding_controls[i].item;
        const char *key = default_control_key(item);
        if (!bind_control(window, key, &state->riding_bindings[i]))
            log_key_failure(item, key ? key : "");
    }
    for (int i = 0; i < HOT_KEY_COUNT; i++) {
        const char *item = hot_key_items[i];
        const char *key = default_control_key(item);
        if (!bind_control(window, key, &state->hot_keys[i]))
            log_key_failure(item, key ? key : "");
    }
}

void release_game_controls(LoopState *state)
{
    for (ControlBinding &binding : state->riding_bindings) {
        if (binding.kind == BINDING_AXIS && binding.axis)
            vark_close_axis((VarkAxis *)binding.axis);
        binding = ControlBinding{};
    }
    for (ControlBinding &binding : state->hot_keys) {
        if (binding.kind == BINDING_AXIS && binding.axis)
            vark_close_axis((VarkAxis *)binding.axis);
        binding = ControlBinding{};
    }
}

GameOutputStatus open_game_output()
{
    // 14. The window, in the chosen video mode.
    if (video_modes.empty())
        video_modes = build_video_modes(vark_display_modes());
    if (video_mode_choice < 0 || video_mode_choice >= (int)video_modes.size())
        video_mode_choice = VIDEO_MODE_DEFAULT_FULLSCREEN;
    int width = render_settings.xres, height = render_settings.yres;
    int flags = launch_settings.colour_depth & VARK_DEPTH_MASK;
    if (!windowed()) {
        width = video_modes[(size_t)video_mode_choice].width;
        height = video_modes[(size_t)video_mode_choice].height;
        flags |= VARK_FULLSCREEN_REQUEST;
    }
    game_output.window = vark_open_gl_window("Zorvex", width, height, flags, 0, launch_settings.depth_bits, 0, 0);
    if (!game_output.window) {
        vark_message_box("Problem starting Zorvex", no_display_message);
        return GAME_OUTPUT_NO_WINDOW;
    }
    VarkWindow *window = game_output.window;

    // 15. Sound output: the readback device with the audio record file, else
    //     the default device unless "--nosound" -- when the sound subsystem exists.

    // 16. A drawable client area.
    VarkFrame *frame = wait_for_drawable(window);
    if (!frame)
        return GAME_OUTPUT_SHUT_DOWN;

    // 17. Renderer.
    renderer_init();
    shaders_in_use = build_shaders();
    model_draw_init();
    bike_textures_init();
    game_output.renderer_ready = true;
    frame_gl_setup(render_settings.plain_rendering != 0);

    // 18. Fonts and the HUD images; missing ones are logged and left out.
    load_fonts();
    load_hud_images(&game_output.hud);

    // 19. The first frame, then the input bindings.
    frame_clear(frame->width, frame->height);
    if (!vark_end_frame(window))
        return GAME_OUTPUT_SHUT_DOWN;
    game_output.cursor_x = vark_open_axis(window, "cursor-x");
    game_output.cursor_y = vark_open_axis(window, "cursor-y");
    if (!game_output.cursor_x || !game_output.cursor_y)
        vark_log("Can't open the pointer axes\n");
    bind_game_controls(window, &loop_state);
    bind_menu_keys(window, &game_output.menu_keys);
    if (game_output.menu_keys.esc)
        loop_state.esc_code = (uint32_t)game_output.menu_keys.esc;

    if (launch_settings.record_video) {
        game_output.recording_video = true;
        game_output.video_out = stdout;
        // A reader that goes away ends the recording, not the game.
        signal(SIGPIPE, SIG_IGN);
    }
    return GAME_OUTPUT_READY;
}

void close_game_output()
{
    release_game_controls(&loop_state);
    if (game_output.cursor_x)
        vark_close_axis(game_output.cursor_x);
    if (game_output.cursor_y)
        vark_close_axis(game_output.cursor_y);
    game_output.cursor_x = game_output.cursor_y = nullptr;

    // GL objects go while their context still exists.
    if (game_output.renderer_ready) {
        bike_textures_shutdown();
        free_model_cache();
        destroy_shaders();
        model_draw_shutdown();
        free_textures();
        game_output.renderer_ready = false;
    }
    free_font(&main_font);
    free_font(&numbers_font);
    free_font(&condensed_numbers_font);
    game_output.hud = HudImages{};

    if (game_output.window) {
        vark_close_gl_window(game_output.window);
        game_output.window = nullptr;
    }
    game_output.recording_video = false;
    game_output.video_out = nullptr;
}

LoopPlatform game_loop_platform(VarkWindow *window)
{
    LoopPlatform platform = default_loop_platform();
    platform.event_context = window;
    platform.next_event_before = next_event_before;
    platform.next_event = next_event;
    platform.read_axis = read_axis;
    return platform;
}

LoopHooks game_loop_hooks()
{
    LoopHooks hooks = {};
    hooks.draw_frame = draw_game_frame;
    hooks.pointer = read_pointer;
    hooks.save_screenshot = save_game_screenshot;
    return hooks;
}

bool draw_game_frame(LoopState *state)
{
    VarkFrame *frame = vark_begin_frame(game_output.window);
    if (!frame)
        return true;  // minimised, hidden or switching modes: nothing to draw now
    draw_game_picture(state, frame->width, frame->height, true);
    if (launch_settings.gl_finish)
        frame_finish();
    return vark_end_frame(game_output.window);
}

bool save_game_screenshot(int number)
{
    VarkFrame *frame = vark_begin_frame(game_output.window);
    if (!frame)
        return false;
    // The buffer a swap left behind holds no defined picture: draw it again.
    int width = frame->width, height = frame->height;
    draw_game_picture(&loop_state, width, height, false);
    uint8_t *pixels = read_frame_rgb(width, height);
    bool saved = false;
    if (pixels) {
        char name[32];
        snprintf(name, sizeof name, "@screenshot%03d.png", number);
        saved = write_png_rgb(name, pixels, width, height);
        free(pixels);
    }
    vark_end_frame(game_output.window);
    return saved;
}

bool write_video_frame(FILE *out, const uint8_t *rgb, int width, int height)
{
    if (!out || !rgb || width < 1 || height < 1)
        return false;
    if (fprintf(out, "P6\n%d %d\n255\n", width, height) < 0)
        return false;
    size_t bytes = (size_t)width * 3 * (size_t)height;
    if (fwrite(rgb, 1, bytes, out) != bytes)
        return false;
    return fflush(out) == 0;
}
