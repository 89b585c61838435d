// Message boxes for start-up failures, also printed to standard error.
#pragma once

// Prints "caption: text" to standard error, then shows a modal message box
// when a display is available.
void vark_message_box(const char *caption, const char *text);

// True when the environment names a display that a message box can appear
// on: not SDL's offscreen or dummy video driver, and DISPLAY or WAYLAND_DISPLAY set.
bool message_box_display_available();
