// Rendering settings derived at start-up from the graphics items and the
// command line; read by texture loading, model drawing, terrain rendering,
// roost and the heads-up display. Per process: written during start-up only.
#pragma once

struct RenderSettings {
    int model_texture_reduction = 1;     // top mipmap levels dropped from model textures, 0..10
    int ground_texture_reduction = 1;    // first windowed ground texture level, 0..10
    int ground_texture_size = 128;       // texels per side of a composed ground texture, 32..1024
    float terrain_detail = 0.0025f;      // geometric tolerance of the terrain mesh
    float max_detail_distance = 70.0f;
    float max_detail_fade_distance = 75.0f;  // always max_detail_distance + 5
    float lod_bias = 0.0f;
    float lod_scale = 1.0f;
    int roost_frequency = 250;           // particles per wheel per tick times 100, 0..1000
    float erosion_rate = 0.0f;           // 0..100; 0 switches erosion off
    int texture_compression = 1;         // 0 never, 1 as the image asks, 2 always
    int reflections = 1;                 // 0 off, 1 on
    int xres = 640;                      // window size when windowed
    int yres = 480;

    // Switches from the command line that the drawing code reads.
    int mmx = 0;                         // vector inner loops of the software ground composition
    int plain_rendering = 0;             // "--fugly": flat shading, no sky box
    int no_vertex_arrays = 0;            // meshes sent in immediate mode
    int print_orientation = 0;           // first-person camera prints its orientation

    // Heads-up display toggles (also kept in the configuration file).
    int draw_fps = 0;
    int draw_time = 0;
    int draw_ping = 1;
    int draw_render_stats = 0;
};

extern RenderSettings render_settings;
