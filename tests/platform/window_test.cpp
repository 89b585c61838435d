// Display modes, and a real window with its GL context (offscreen under CTest).
#include "platform/window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "platform/log.h"
#include "platform/virtual_joystick.h"
#include "test_util.h"

// The GL driver that SDL loads keeps one-time allocations and is unloaded
// again before exit, so its frames have no names: only SDL's show, and only
// with full unwinding through the driver's frames.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libSDL2\n";
}

namespace {

// The log of this test process; chosen before the first message.
const std::string &log_path()
{
    static TempDir dir;
    static std::string path = [] {
        std::string file = dir.file("log.txt");
        set_env("VARK_LOGFILE", file.c_str());
        // Every device kind: the system mouse joins the roll call too.
        set_env("VARK_OPTIONS", "[dinputsticksonly:no]");
        return file;
    }();
    return path;
}

bool log_has(const std::string &text)
{
    return read_file_bytes(log_path()).find(text) != std::string::npos;
}

}  // namespace

TEST(DisplayModes, ListSkipsOtherDepthsAndRefreshRates)
{
    log_path();
    const DisplayModeInfo desktop = {1280, 1024, 32, 60};
    const DisplayModeInfo modes[] = {
        {1024, 768, 32, 60}, {1024, 768, 32, 75}, {800, 600, 12, 60},
        {1280, 1024, 32, 85}, {640, 480, 16, 60},
    };
    std::vector<VarkDisplayMode> list = build_display_mode_list(&desktop, modes, 5);
    ASSERT_EQ(list.size(), 4u);
    const int expected[][3] = {{1280, 1024, 32}, {1024, 768, 32}, {640, 480, 16}, {0, 0, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(list[i].width, expected[i][0]);
        EXPECT_EQ(list[i].height, expected[i][1]);
        EXPECT_EQ(list[i].bits, expected[i][2]);
    }
    EXPECT_TRUE(log_has("Registry mode is 1280x1024x32@60hz\n"));
    EXPECT_TRUE(log_has("Found mode 1024x768x32@60hz\n"));
    EXPECT_FALSE(log_has("Found mode 1024x768x32@75hz"));
    EXPECT_TRUE(log_has("Found mode 800x600x12@60hz (ignored)\n"));

    const DisplayModeInfo odd_desktop = {1920, 1080, 30, 50};
    list = build_display_mode_list(&odd_desktop, modes, 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].width, 1024);
    EXPECT_TRUE(log_has("Registry mode is 1920x1080x30@50hz (ignored)\n"));
}

TEST(DisplayModes, FullScreenChoice)
{
    const VarkDisplayMode modes[] = {{800, 600, 32}, {1024, 768, 32}, {1280, 1024, 32}, {0, 0, 0}};
    struct Case {
        int width, height, chosen_width, chosen_height;
    };
    const Case cases[] = {
        {1000, 700, 1024, 768}, {2000, 2000, 1600, 1200}, {800, 600, 800, 600},
        {801, 600, 1024, 768},  {0, 600, 1600, 1200},     {1280, 1, 1280, 1024},
    };
    for (const Case &c : cases) {
        VarkDisplayMode chosen = choose_fullscreen_mode(modes, c.width, c.height, 1600, 1200);
        EXPECT_EQ(chosen.width, c.chosen_width) << c.width << "x" << c.height;
        EXPECT_EQ(chosen.height, c.chosen_height) << c.width << "x" << c.height;
    }
    // Equal excess: the first listed mode wins.
    const VarkDisplayMode tie[] = {{1100, 700, 32}, {1000, 800, 32}, {0, 0, 0}};
    EXPECT_EQ(choose_fullscreen_mode(tie, 1000, 700, 1600, 1200).width, 1100);
}

TEST(Window, OpensDrawsAndClosesWithGlContext)
{
    log_path();
    VarkWindow *window = vark_open_gl_window("Zorvex test", 320, 240, 24, 0, 24, 0, 0);
    ASSERT_NE(window, nullptr) << vark_last_error() << "\n" << read_file_bytes(log_path());
    EXPECT_NE(window->gl.context, nullptr);
    EXPECT_EQ(window->flags & (VARK_WINDOW_GL | VARK_WINDOW_ALWAYS), VARK_WINDOW_GL | VARK_WINDOW_ALWAYS);
    EXPECT_EQ(window->flags & VARK_WINDOW_FULLSCREEN, 0);
    EXPECT_EQ(window->title, "Zorvex test");

    VarkFrame *frame = vark_begin_frame(window);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->x, 0);
    EXPECT_EQ(frame->width, 320);
    EXPECT_EQ(frame->height, 240);
    EXPECT_EQ(vark_begin_frame(window), nullptr);  // one frame at a time
    EXPECT_TRUE(vark_end_frame(window));
    EXPECT_FALSE(vark_end_frame(window));

    // The display-mode list exists and ends with (0, 0, 0).
    const VarkDisplayMode *modes = vark_display_modes();
    int count = 0;
    while (modes[count].width || modes[count].height || modes[count].bits)
        count++;
    EXPECT_LE(count, 1000);

    // The cursor device and its aliases are there.
    VarkAxis *cursor_x = vark_open_axis(window, "cursor-x");
    ASSERT_NE(cursor_x, nullptr);
    vark_read_axis(cursor_x);
    vark_close_axis(cursor_x);

    // The close button's event, through the window system's own queue.
    int code = 0;
    bool pressed = false;
    while (vark_next_event(window, &code, &pressed)) {
    }
    ASSERT_TRUE(vark_request_close(window));
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, 0xDEAD);
    EXPECT_TRUE(pressed);
    // A termination signal asks the same way, so a game run by a script
    // can be told to close.
    raise(SIGTERM);
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, 0xDEAD);
    // The window stays open and drawable.
    frame = vark_begin_frame(window);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(vark_end_frame(window));

    vark_close_gl_window(window);
    const char *lines[] = {"Options:\n", "threaded: [off]\n", "Creating window\n", "Creating OpenGL context\n",
                           "Deleting OpenGL context\n", "Destroying window\n", "Window shutdown complete\n"};
    for (const char *line : lines)
        EXPECT_TRUE(log_has(line)) << line;
}

TEST(Window, SwitchesBetweenWindowedAndFullScreen)
{
    log_path();
    VarkWindow *window = vark_open_gl_window("Zorvex test", 320, 240, 32, 0, 16, 8, 0);
    ASSERT_NE(window, nullptr) << vark_last_error();

    ASSERT_TRUE(vark_set_display_mode(window, 400, 300, 0));
    EXPECT_EQ(window->flags & VARK_WINDOW_FULLSCREEN, 0);
    EXPECT_EQ(window->width, 400);
    EXPECT_EQ(window->height, 300);

    ASSERT_TRUE(vark_set_display_mode(window, 0, 0, VARK_FULLSCREEN_REQUEST));
    EXPECT_NE(window->flags & VARK_WINDOW_FULLSCREEN, 0);
    EXPECT_EQ(window->screen_width, window->desktop_width);
    EXPECT_EQ(window->screen_height, window->desktop_height);
    VarkFrame *frame = vark_begin_frame(window);
    ASSERT_NE(frame, nullptr);
    EXPECT_GT(frame->width, 0);
    EXPECT_TRUE(vark_end_frame(window));

    ASSERT_TRUE(vark_set_display_mode(window, 320, 240, 0));
    EXPECT_EQ(window->flags & VARK_WINDOW_FULLSCREEN, 0);
    vark_close_gl_window(window);
}

TEST(Window, JoysticksJoinTheRollCall)
{
    log_path();
    VirtualJoystick *first = vark_virtual_joystick_attach("Joystick 1", 2, 12);
    VirtualJoystick *second = vark_virtual_joystick_attach("Joystick 1", 3, 4);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    VarkWindow *window = vark_open_gl_window("Zorvex test", 320, 240, 24, 0, 16, 0, 0);
    ASSERT_NE(window, nullptr) << vark_last_error();

    const char *expected[] = {"Joystick1 axis 0", "Joystick1 axis 1", "Joystick1#2 axis 0", "Joystick1#2 axis 1",
                              "Joystick1#2 axis 2"};
    const char *const *names = vark_axis_names(window);
    for (int i = 0; i < 5; i++)
        ASSERT_STREQ(names[i], expected[i]);
    EXPECT_EQ(names[5], nullptr);
    EXPECT_TRUE(log_has("Adding axis \"Joystick1#2 axis 2\"\n"));

    // Axes through the built-in alias, full range clamped to -32767.
    VarkAxis *x = vark_open_axis(window, "joystick-a-x");
    ASSERT_NE(x, nullptr);
    int code = 0;
    bool pressed = false;
    ASSERT_TRUE(vark_virtual_joystick_set_axis(first, 0, -32768));
    while (vark_next_event(window, &code, &pressed)) {
    }
    EXPECT_EQ(vark_read_axis(x), -32767);
    ASSERT_TRUE(vark_virtual_joystick_set_axis(first, 0, 12000));
    while (vark_next_event(window, &code, &pressed)) {
    }
    EXPECT_EQ(vark_read_axis(x), 12000);
    vark_close_axis(x);

    // Buttons become events once named; others stay quiet.
    int button3 = -1;
    ASSERT_TRUE(vark_key_code(window, &button3, "Joystick1 button 3"));
    ASSERT_TRUE(vark_virtual_joystick_set_button(second, 1, true));
    ASSERT_TRUE(vark_virtual_joystick_set_button(first, 3, true));
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, button3);
    EXPECT_TRUE(pressed);
    EXPECT_STREQ(vark_key_name(window, code), "Joystick1 button 3");
    EXPECT_FALSE(vark_next_event(window, &code, &pressed));
    ASSERT_TRUE(vark_virtual_joystick_set_button(first, 3, false));
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, button3);
    EXPECT_FALSE(pressed);

    vark_close_gl_window(window);
    EXPECT_TRUE(log_has("Killing Joystick1#2\n"));
    vark_virtual_joystick_detach(second);
    vark_virtual_joystick_detach(first);
}

TEST(Window, MouseDevice)
{
    log_path();
    VarkWindow *window = vark_open_gl_window("Zorvex test", 320, 240, 24, 0, 16, 0, 0);
    ASSERT_NE(window, nullptr) << vark_last_error();
    VarkAxis *x = vark_open_axis(window, "mouse-x");
    VarkAxis *wheel = vark_open_axis(window, "Mouse axis 2");
    ASSERT_NE(x, nullptr);
    ASSERT_NE(wheel, nullptr);
    vark_window_mouse_motion(window, 5, 1, 0);
    vark_window_mouse_motion(window, 7, 1, -1);
    EXPECT_EQ(vark_read_axis(x), 12);
    EXPECT_EQ(vark_read_axis(x), 0);
    EXPECT_EQ(vark_read_axis(wheel), -120);
    vark_close_axis(x);
    vark_close_axis(wheel);

    int left = 0, code = 0;
    bool pressed = false;
    while (vark_next_event(window, &code, &pressed)) {
    }
    ASSERT_TRUE(vark_key_code(window, &left, "mouse-left"));
    EXPECT_STREQ(vark_key_name(window, left), "Mouse button 0");
    vark_window_mouse_button(window, 1, true, vark_time_ms());
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, 0x2000);
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, left);
    EXPECT_TRUE(pressed);
    // The right button is the mouse device's button 1.
    vark_window_mouse_button(window, 3, true, vark_time_ms());
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, 0x2002);
    // Once a button of the device is named, all its buttons report.
    ASSERT_TRUE(vark_next_event(window, &code, &pressed));
    EXPECT_EQ(code, left + 1);
    EXPECT_FALSE(vark_next_event(window, &code, &pressed));
    vark_close_gl_window(window);
}

TEST(Window, InputOnlyContextDrawsNothing)
{
    VarkWindow *context = vark_open_input_context();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(vark_begin_frame(context), nullptr);
    EXPECT_FALSE(vark_end_frame(context));
    EXPECT_FALSE(vark_set_display_mode(context, 640, 480, 0));
    // Without a window a close request is queued directly.
    EXPECT_TRUE(vark_request_close(context));
    int code = 0;
    bool pressed = false;
    ASSERT_TRUE(vark_next_event(context, &code, &pressed));
    EXPECT_EQ(code, 0xDEAD);
    vark_close_input_context(context);
}
