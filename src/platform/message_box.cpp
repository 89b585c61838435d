// Message boxes for start-up failures, also printed to standard error.
#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool env_set(const char *name)
{
    const char *value = getenv(name);
    return value && value[0];
}

bool message_box_display_available()
{
    const char *driver = getenv("SDL_VIDEODRIVER");
    if (driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0))
        return false;
    return env_set("DISPLAY") || env_set("WAYLAND_DISPLAY");
}

void vark_message_box(const char *caption, const char *text)
{
    if (!caption)
        caption = "";
    if (!text)
        text = "";
    size_t length = strlen(text);
    bool ends_in_newline = length > 0 && text[length - 1] == '\n';
    fprintf(stderr, ends_in_newline ? "%s: %s" : "%s: %s\n", caption, text);
    fflush(stderr);
    // Headless runs (tests, CI) must never wait for a box nobody can click.
    if (!message_box_display_available())
        return;
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr) != 0)
        fprintf(stderr, "Can't show a message box: %s\n", SDL_GetError());
}
