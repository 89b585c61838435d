// The graphics item values the derived rendering settings are computed from,
// until the menus own the items themselves.
#pragma once

struct RenderSettings;

// Item values as the menus hold them: numbers as doubles, choices as indices.
struct GraphicsItems {
    double ground_geometric_detail = 50;   // "Ground Geometric Detail", 0..100
    double ground_texture_levels = 9;      // "Ground Texture Levels", 0..10
    int ground_texture_resolution = 2;     // "Ground Texture Resolution": 32x32 .. 1024x1024
    double model_geometric_detail = 50;    // "Model Geometric Detail", 0..100
    double model_texture_detail = 9;       // "Model Texture Detail", 0..10
    double roost_density = 250;            // "Roost Density", 0..1000
    int compress_textures = 1;             // "Compress Textures": No, Yes, Always
    int enable_reflections = 1;            // "Enable Reflections": No, Yes
};

// Sets the items of the "Use Compatibility Settings" preset that the derived
// settings depend on; start-up applies it before the configuration is read.
// (Rendering method, shader, mipmap and lens-flare items join with the menus.)
void apply_compatibility_preset(GraphicsItems *items);

// Sets the derived fields of `settings` from the items; the command-line
// switches and the window size are left alone.
void compute_render_settings(const GraphicsItems &items, RenderSettings *settings);
