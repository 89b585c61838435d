// Message boxes: always printed to standard error, shown only with a display.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_util.h"

// Sets the display variables for one case and puts the old values back.
struct DisplayEnv {
    std::string saved[3];
    bool had[3];
    static constexpr const char *names[3] = {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
    DisplayEnv(const char *driver, const char *display, const char *wayland)
    {
        const char *values[3] = {driver, display, wayland};
        for (int i = 0; i < 3; i++) {
            const char *old = getenv(names[i]);
            had[i] = old != nullptr;
            saved[i] = old ? old : "";
            set_env(names[i], values[i]);
        }
    }
    ~DisplayEnv()
    {
        for (int i = 0; i < 3; i++)
            set_env(names[i], had[i] ? saved[i].c_str() : nullptr);
    }
};

TEST(MessageBox, DisplayOnlyWithARealVideoDriverAndADisplay)
{
    struct Case {
        const char *driver, *display, *wayland;
        bool available;
    };
    const Case cases[] = {
        {"offscreen", ":0", "wayland-0", false},
        {"dummy", ":0", nullptr, false},
        {nullptr, nullptr, nullptr, false},
        {nullptr, "", "", false},
        {"x11", nullptr, nullptr, false},
        {nullptr, ":0", nullptr, true},
        {nullptr, nullptr, "wayland-0", true},
        {"x11", ":1", nullptr, true},
    };
    for (const Case &c : cases) {
        DisplayEnv env(c.driver, c.display, c.wayland);
        EXPECT_EQ(message_box_display_available(), c.available)
            << (c.driver ? c.driver : "-") << " " << (c.display ? c.display : "-") << " "
            << (c.wayland ? c.wayland : "-");
    }
}

TEST(MessageBox, HeadlessPrintsToStandardErrorWithoutBlocking)
{
    DisplayEnv env("dummy", ":0", nullptr);
    testing::internal::CaptureStderr();
    vark_message_box("Problem starting Zorvex", "Can't find game data\n");
    vark_message_box("Error", "Out of virtual memory");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Problem starting Zorvex: Can't find game data\nError: Out of virtual memory\n");
}
