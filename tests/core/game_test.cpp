// The game's window, renderer and frames: the video mode list, the default
// bindings, video frames, the binary opening its window and closing on the
// close event, and screenshots read back from the files the game wrote.
#include "core/game_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <set>
#include <string>
#include <vector>

#include "core/main_loop.h"
#include "core/startup.h"
#include "data/file_index.h"
#include "data/image.h"
#include "data/search_path.h"
#include "data/render_settings.h"
#include "game_run.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/message_log.h"
#include "platform/window.h"
#include "render/frame.h"
#include "render/text.h"
#include "test_util.h"

// The GL driver that SDL loads keeps one-time allocations; what shows of
// them is SDL's part, the rest stays referenced while the driver is loaded
// (see pin_loaded_libraries).
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libSDL2\n";
}

namespace {

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// A home directory holding one loose track, so that start-up finds a track
// while the data set itself comes from beside the executable.
void write_track_fixture(const TempDir &home)
{
    home.write("Zorvex/rabbithill/terrain.hf", "not read at start-up");
    home.write("Zorvex/rabbithill/desc", "Rabbit Hill\n");
}

TEST(VideoModes, ListHoldsTheModesOfTheFirstModesDepth)
{
    const VarkDisplayMode none[] = {{0, 0, 0}};
    const VarkDisplayMode modes[] = {
        {1024, 768, 32}, {800, 600, 32}, {640, 480, 16}, {1280, 1024, 32}, {0, 0, 0},
    };
    struct Case {
        const VarkDisplayMode *modes;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {nullptr, {"Default Fullscreen", "Windowed"}},
        {none, {"Default Fullscreen", "Windowed"}},
        {modes, {"Default Fullscreen", "Windowed", "1024x768", "800x600", "1280x1024"}},
        {modes + 2, {"Default Fullscreen", "Windowed", "640x480"}},
    };
    for (const Case &c : cases) {
        std::vector<VideoMode> list = build_video_modes(c.modes);
        std::vector<std::string> names;
        for (const VideoMode &mode : list)
            names.push_back(mode.name);
        EXPECT_EQ(names, c.names);
    }
    std::vector<VideoMode> list = build_video_modes(modes);
    EXPECT_EQ(list[0].width, 0);  // the desktop's size
    EXPECT_EQ(list[3].width, 800);
    EXPECT_EQ(list[3].height, 600);
}

TEST(Controls, DefaultKeysBindEveryControlToItsOwnKey)
{
    VarkWindow *context = vark_open_input_context();
    ASSERT_NE(context, nullptr);
    LoopState state;
    bind_game_controls(context, &state);

    std::set<uint32_t> codes;
    for (const ControlBinding &binding : state.riding_bindings) {
        EXPECT_EQ(binding.kind, BINDING_KEY);
        codes.insert(binding.code);
    }
    for (const ControlBinding &binding : state.hot_keys) {
        EXPECT_EQ(binding.kind, BINDING_KEY);
        codes.insert(binding.code);
    }
    EXPECT_EQ(codes.size(), (size_t)RIDING_CONTROL_COUNT + (size_t)HOT_KEY_COUNT);

    int code = 0;
    ASSERT_TRUE(vark_key_code(context, &code, "right ctrl"));
    EXPECT_EQ(state.riding_bindings[8].code, (uint32_t)code);  // "Sit/Dab"
    ASSERT_TRUE(vark_key_code(context, &code, "s"));
    EXPECT_EQ(state.hot_keys[HOT_KEY_SCREENSHOT].code, (uint32_t)code);

    ControlBinding binding;
    EXPECT_FALSE(bind_control(context, "no such key", &binding));
    EXPECT_EQ(binding.kind, BINDING_NONE);
    EXPECT_FALSE(bind_control(context, nullptr, &binding));

    release_game_controls(&state);
    EXPECT_EQ(state.hot_keys[HOT_KEY_SCREENSHOT].kind, BINDING_NONE);
    vark_close_input_context(context);
}

TEST(VideoFrames, P6PictureFollowsTheHeader)
{
    TempDir dir;
    std::string path = dir.file("frame.ppm");
    FILE *out = fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    const uint8_t rgb[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_TRUE(write_video_frame(out, rgb, 2, 2));
    EXPECT_TRUE(write_video_frame(out, rgb, 1, 1));
    fclose(out);
    std::string expected = std::string("P6\n2 2\n255\n") + std::string((const char *)rgb, 12) +
                           std::string("P6\n1 1\n255\n") + std::string((const char *)rgb, 3);
    EXPECT_EQ(read_file_bytes(path), expected);

    EXPECT_FALSE(write_video_frame(nullptr, rgb, 2, 2));
    FILE *full = fopen("/dev/full", "wb");
    if (full) {
        EXPECT_FALSE(write_video_frame(full, rgb, 2, 2));  // a reader that takes nothing more
        fclose(full);
    }
}

TEST(GameBinary, StartsDrawsAndClosesOnTheCloseEvent)
{
    TempDir home;
    write_track_fixture(home);
    GameRunOptions options;
    options.home = home.path;
    options.close_after_log = "GL_EXTENSIONS: ";
    GameRun run = run_game_binary(ZV_GAME, {"--nosound"}, options);

    EXPECT_FALSE(run.timed_out) << run.log;
    EXPECT_TRUE(run.close_sent) << run.err << run.log;
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.signal, 0);
    // The shutdown sleeps one second; far more means it hung somewhere.
    EXPECT_LT(run.seconds_after_close, 15.0);
    for (const char *line : {"GL_VENDOR: ", "GL_RENDERER: ", "GL_VERSION: ", "GL_EXTENSIONS: GL_"})
        EXPECT_TRUE(contains(run.log, line)) << line << "\n" << run.log;
    EXPECT_FALSE(contains(run.log, "GL_VENDOR: NULL")) << run.log;
    EXPECT_TRUE(contains(run.log, "Creating window\n")) << run.log;
    EXPECT_TRUE(contains(run.log, "Deleting OpenGL context\n")) << run.log;
    EXPECT_TRUE(contains(run.log, "Window shutdown complete\n")) << run.log;
    EXPECT_FALSE(contains(run.err, "no window")) << run.err;
}

TEST(GameBinary, NoDisplaySaysHowToRunHeadless)
{
    TempDir home;
    write_track_fixture(home);
    GameRunOptions options;
    options.home = home.path;
    options.video_driver = "no-such-driver";
    GameRun run = run_game_binary(ZV_GAME, {"--nosound"}, options);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "No display could be opened")) << run.err;
    EXPECT_TRUE(contains(run.err, "SDL_VIDEODRIVER=offscreen")) << run.err;
    EXPECT_TRUE(contains(run.err, "xvfb-run")) << run.err;
}

// Keeps every library loaded now, the GL driver among them, for the rest of
// the process: what the driver keeps for the process then stays referenced
// at exit instead of looking leaked once closing the window unloads it.
void pin_loaded_libraries()
{
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            if (info->dlpi_name && info->dlpi_name[0])
                ((std::vector<std::string> *)data)->push_back(info->dlpi_name);
            return 0;
        },
        &names);
    for (const std::string &name : names)
        dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);  // never closed
}

// A font whose glyphs are solid white blocks of 8 x 8 pixels: text shows as
// white bars one line high.
void write_block_font(const TempDir &home)
{
    const int width = 1024, height = 8;
    std::vector<uint8_t> rgb((size_t)width * height * 3, 255);
    for (int x = 0; x < width; x += 8) {  // separators in the top row, the top-left pixel first
        rgb[(size_t)x * 3 + 1] = 0;
        rgb[(size_t)x * 3 + 2] = 0;
    }
    home.write("Zorvex/font.png", "");
    ASSERT_TRUE(write_png_rgb(home.file("Zorvex/font.png").c_str(), rgb.data(), width, height));
}

struct Picture {
    DecodedImage image;
    ~Picture() { free_decoded_image(&image); }
    const uint8_t *pixel(int x, int y) const
    {
        return image.pixels + ((size_t)y * image.width + x) * image.channels;
    }
};

bool is_clear_colour(const uint8_t *p)
{
    return p[0] == 50 && p[1] == 153 && p[2] == 204;
}

void press(VarkWindow *window, const char *key)
{
    int code = 0;
    ASSERT_TRUE(vark_key_code(window, &code, key)) << key;
    long long now = vark_time_ms();
    ASSERT_TRUE(vark_queue_event(window, code, true, now));
    ASSERT_TRUE(vark_queue_event(window, code, false, now));
}

// Runs loop passes until the file exists or a pass limit is reached.
bool run_until_file(const LoopPlatform &platform, const LoopHooks &hooks, const std::string &path)
{
    for (int pass = 0; pass < 200 && !file_exists(path); pass++)
        if (!main_loop_pass(&loop_state, &platform, &hooks))
            return false;
    return file_exists(path);
}

// The game in this process: start-up, the window, then loop passes that
// take injected key events as the player would give them.
TEST(GameWindow, ScreenshotKeySavesThePictureAndPauseShowsOnIt)
{
    TempDir home;
    set_env("XDG_DATA_HOME", home.path.c_str());
    set_env("ZV_HOME", nullptr);
    set_env("VARK_LOGFILE", nullptr);
    write_track_fixture(home);
    write_block_font(home);
    // Start-up chooses the log and the search paths as if the process had just begun.
    vark_log_reset_for_tests();
    data_search_path_reset();
    file_index_reset();
    const char *args[] = {"game_tests", "--nosound", "--width", "320", "--height", "240", nullptr};
    ASSERT_EQ(start_up(6, (char **)args, stderr), STARTUP_CONTINUE);
    video_mode_choice = VIDEO_MODE_WINDOWED;
    ASSERT_EQ(open_game_output(), GAME_OUTPUT_READY);
    VarkWindow *window = game_output.window;
    ASSERT_NE(window, nullptr);
    pin_loaded_libraries();

    std::string log = read_file_bytes(home.file("Zorvex/lastlog.txt"));
    EXPECT_TRUE(contains(log, "GL_VENDOR: ")) << log;
    const struct {
        unsigned texture;
        const char *name;
    } images[] = {{game_output.hud.tach, "!@tach.png"},
                  {game_output.hud.shifter, "!@shifter.png"},
                  {game_output.hud.pitboard, "!@pitboard.png"},
                  {game_output.hud.title, "!@title.png"}};
    for (const auto &image : images)  // loaded, or missing and said so
        EXPECT_TRUE(image.texture != 0 || contains(log, std::string("Can't load \"") + image.name + "\""))
            << image.name;

    // Riding the followed local bike with no menu: the hot keys are live.
    LoopPlatform platform = game_loop_platform(window);
    LoopHooks hooks = game_loop_hooks();
    hooks.track_loaded = [] { return true; };
    hooks.slot_has_bike = [](int) { return true; };
    hooks.slot_is_local = [](int) { return true; };
    loop_state.menu_page = -1;
    main_loop_begin(&loop_state, &platform);

    press(window, "s");
    std::string first = home.file("Zorvex/screenshot001.png");
    ASSERT_TRUE(run_until_file(platform, hooks, first));
    EXPECT_STREQ(message_log_line(0), "Saved \"screenshot001.png\"");
    {
        Picture picture;
        ASSERT_TRUE(read_png_image("@screenshot001.png", &picture.image));
        ASSERT_EQ(picture.image.width, 320);
        ASSERT_EQ(picture.image.height, 240);
        ASSERT_GE(picture.image.channels, 3);
        EXPECT_TRUE(is_clear_colour(picture.pixel(0, 0)));
        EXPECT_TRUE(is_clear_colour(picture.pixel(150, 120)));
        EXPECT_TRUE(is_clear_colour(picture.pixel(319, 239)));
    }

    // "Paused" is drawn centred in white: six glyph blocks across the middle line.
    press(window, "pause");
    press(window, "s");
    std::string second = home.file("Zorvex/screenshot002.png");
    ASSERT_TRUE(run_until_file(platform, hooks, second));
    EXPECT_TRUE(loop_state.paused);
    {
        Picture picture;
        ASSERT_TRUE(read_png_image("@screenshot002.png", &picture.image));
        ASSERT_EQ(picture.image.width, 320);
        const uint8_t *middle = picture.pixel(150, 120);
        EXPECT_GT(middle[0], 200) << (int)middle[0] << " " << (int)middle[1] << " " << (int)middle[2];
        EXPECT_GT(middle[2], 200);
        EXPECT_TRUE(is_clear_colour(picture.pixel(150, 60)));   // above the line
        EXPECT_TRUE(is_clear_colour(picture.pixel(20, 120)));   // left of the text
        EXPECT_TRUE(is_clear_colour(picture.pixel(300, 120)));  // right of it
    }

    // Video frames go out unpaused, whole and in picture order.
    press(window, "pause");
    for (int pass = 0; pass < 200 && loop_state.paused; pass++)
        ASSERT_TRUE(main_loop_pass(&loop_state, &platform, &hooks));
    ASSERT_FALSE(loop_state.paused);
    std::string video_path = home.file("video.ppm");
    FILE *video = fopen(video_path.c_str(), "wb");
    ASSERT_NE(video, nullptr);
    game_output.recording_video = true;
    game_output.video_out = video;
    EXPECT_TRUE(main_loop_pass(&loop_state, &platform, &hooks));
    EXPECT_TRUE(main_loop_pass(&loop_state, &platform, &hooks));
    game_output.recording_video = false;
    game_output.video_out = nullptr;
    fclose(video);
    const std::string header = "P6\n320 240\n255\n";
    const size_t frame_bytes = header.size() + 320 * 240 * 3;
    std::string frames = read_file_bytes(video_path);
    ASSERT_EQ(frames.size(), 2 * frame_bytes);
    EXPECT_EQ(frames.substr(0, header.size()), header);
    EXPECT_EQ(frames.substr(frame_bytes, header.size()), header);
    EXPECT_TRUE(is_clear_colour((const uint8_t *)frames.data() + header.size()));

    // Read-back rows start at the top of the picture: text on the top line
    // shows in the first rows.
    ASSERT_NE(vark_begin_frame(window), nullptr);
    frame_clear(320, 240);
    set_overlay_projection(320, 240, 110);
    begin_text_overlay(20);
    draw_text_white("Paused");
    end_overlay();
    uint8_t *rgb = read_frame_rgb(320, 240);
    ASSERT_NE(rgb, nullptr);
    const uint8_t *top = rgb + (6 * 320 + 4) * 3, *bottom = rgb + (233 * 320 + 4) * 3;
    EXPECT_GT(top[0], 200);
    EXPECT_TRUE(is_clear_colour(bottom));
    free(rgb);
    EXPECT_TRUE(vark_end_frame(window));

    // The window's close event ends the loop.
    ASSERT_TRUE(vark_request_close(window));
    bool running = true;
    for (int pass = 0; pass < 200 && running; pass++)
        running = main_loop_pass(&loop_state, &platform, &hooks);
    EXPECT_FALSE(running);
    EXPECT_TRUE(loop_state.quit);

    close_game_output();
    EXPECT_EQ(game_output.window, nullptr);
    log = read_file_bytes(home.file("Zorvex/lastlog.txt"));
    EXPECT_TRUE(contains(log, "Window shutdown complete\n")) << log;
    vark_log(nullptr);
}

} // namespace
