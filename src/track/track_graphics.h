// How a track's textures are made. The renderer installs its texture loader
// when a GL context exists; headless processes leave it null, and then no
// texture is loaded and only the names are kept.
#pragma once

struct TrackGraphics {
    unsigned (*load_texture)(const char *name);  // null without a GL context
    bool shaders_in_use;
};

// Per process: set by the renderer at start-up.
extern TrackGraphics track_graphics;

// A texture through the installed loader; 0 without one or when it fails.
unsigned track_texture(const char *name);
