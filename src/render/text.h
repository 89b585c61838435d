// Text drawing with the main font: ANSI colour escape sequences, batches of
// quads, the shadowed and aligned wrappers, and the overlay coordinate
// set-ups that text and widgets are drawn in.
#pragma once

struct Font;

// Text flags: passed to draw_text and changed by escape sequences on the way.
enum {
    TEXT_PALETTE_MASK = 15,   // palette index, used while TEXT_CALLER_COLOUR is clear
    TEXT_BOLD = 8,            // also the palette index's high bit
    TEXT_CALLER_COLOUR = 16,
    TEXT_SHADOW_PASS = 32,    // background codes 40-47 apply, 30-37 do not
    TEXT_NO_ESCAPES = 64,     // sequences are skipped, not interpreted
};

// RGB of the 16 palette entries; alpha always comes from the caller.
extern const float text_palette[16][3];

enum { TEXT_BATCH_QUADS = 256, TEXT_MAX_SGR_PARAMETERS = 64 };

// One batch of glyph quads as the vertex arrays take them: corners upper
// left, upper right, lower left, lower right; triangles 2,1,0 and 2,3,1.
struct TextBatch {
    float positions[TEXT_BATCH_QUADS * 4][3];
    float texcoords[TEXT_BATCH_QUADS * 4][2];
    float colours[TEXT_BATCH_QUADS * 4][4];
    unsigned short indices[TEXT_BATCH_QUADS * 6];
    int count;  // quads held
};

// True when the text is null, empty or holds only white space.
bool text_is_blank(const char *text);
// The flags after the parameters of one "ESC[...m" sequence (count 0 for none).
int apply_sgr_parameters(int flags, const int *parameters, int count);
// Reads the escape sequence at `text` (starting with ESC), interpreting a
// "ESC[...m" sequence into *flags unless TEXT_NO_ESCAPES is set. Returns
// its length, 0 when the text ends inside it.
int read_text_escape(const char *text, int *flags);
// The quad colour for the flags and the caller's colour.
void text_colour(int flags, float r, float g, float b, float a, float out[4]);
// Lays the text out in `font` from pen (0, 0), handing each full batch and
// the last partial one to `flush`. Returns the number of quads made.
int layout_text(const Font *font, float r, float g, float b, float a, const char *text, int flags,
                TextBatch *batch, void (*flush)(TextBatch *batch, void *context), void *context);

// Draws with the main font at the current origin of the modelview; one unit
// is one line. Leaves blending, texturing and modulation enabled. Blank
// text, or no font texture, draws nothing and touches no GL state.
void draw_text(float r, float g, float b, float a, const char *text, int flags);
void draw_text_colour(float r, float g, float b, float a, const char *text);
void draw_text_white(const char *text);
// The shadow is the text in black at half alpha, 1/16 line right and down.
void draw_text_shadowed(float r, float g, float b, float a, const char *text);
void draw_text_grey(const char *text);
void draw_text_centred(float r, float g, float b, float a, float x0, float x1, const char *text);
void draw_text_centred_shadowed(float r, float g, float b, float a, float x0, float x1, const char *text);
// Ends at x.
void draw_text_right(float r, float g, float b, float a, float x, const char *text);

// Quads drawn by draw_text and draw calls made for them since start-up
// (statistics; tests read them).
struct TextCounters {
    long long quads;
    long long batches;
};
extern TextCounters text_counters;

// What the overlays fit: the frustum half-extents at distance 1 that the
// projection set-up stores, and the window's client size in pixels that the
// main loop stores. Per process; written before each frame's overlays.
struct OverlayView {
    float hx, hy;
    int width, height;
};
extern OverlayView overlay_view;

// Pushes the modelview; one unit = one line, `lines` lines fill the window
// height, x = 0 at the left edge, the top line at y = 0..1.
void begin_text_overlay(float lines);
// Pushes the modelview for a 4:3 page centred in the window, moved by
// (x, y). `origin` gets the page origin in units from the window's top-left
// corner (y upward), `scale` the pixels per unit (y negative: rows go down).
void begin_page_overlay(float lines, float x, float y, float origin[2], float scale[2]);
void end_overlay();
// Moves the modelview by (dx, dy) and the caller's position with it.
void overlay_translate(float position[2], float dx, float dy);
