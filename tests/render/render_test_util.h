// One real window and GL context per test process (offscreen under CTest),
// with the renderer set up, and the log it writes.
#pragma once
#include <string>

#include "platform/log.h"
#include "platform/window.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "test_util.h"

inline const std::string &test_log_path()
{
    static TempDir dir;
    static std::string path = [] {
        std::string file = dir.file("log.txt");
        set_env("VARK_LOGFILE", file.c_str());
        vark_log("\x13" "FLUSH");  // every message reaches the file at once
        return file;
    }();
    return path;
}

inline std::string test_log()
{
    return read_file_bytes(test_log_path());
}

// The window stays open for the rest of the process; null when none opens.
inline VarkWindow *gl_context()
{
    static VarkWindow *window = [] {
        test_log_path();
        VarkWindow *w = vark_open_gl_window("Zorvex render test", 64, 64, 24, 8, 24, 0, 0);
        if (w) {
            renderer_init();
            shaders_in_use = build_shaders();
        }
        return w;
    }();
    return window;
}
