// Text drawing: escape sequences, quad batches through client-side vertex
// arrays, the wrappers and the overlay set-ups.
#include "render/text.h"

#include <GL/gl.h>

#include "render/font.h"

const float text_palette[16][3] = {
    {0, 0, 0},       {0.75f, 0, 0},    {0, 0.75f, 0},    {0.75f, 0.75f, 0},
    {0, 0, 0.75f},   {0.75f, 0, 0.75f}, {0, 0.75f, 0.75f}, {0.75f, 0.75f, 0.75f},
    {0, 0, 0},       {1, 0, 0},        {0, 1, 0},        {1, 1, 0},
    {0, 0, 1},       {1, 0, 1},        {0, 1, 1},        {1, 1, 1},
};

TextCounters text_counters;
OverlayView overlay_view = {1.0f, 0.75f, 640, 480};

bool text_is_blank(const char *text)
{
    if (!text)
        return true;
    for (; *text; text++)
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r' && *text != '\v' && *text != '\f')
            return false;
    return true;
}

int apply_sgr_parameters(int flags, const int *parameters, int count)
{
    if (count == 0)
        return TEXT_CALLER_COLOUR | (flags & TEXT_SHADOW_PASS);
    for (int i = 0; i < count; i++) {
        int n = parameters[i];
        // The shadow pass stays one through every code: a reset or a
        // background colour must not let later foreground codes colour it.
        if (n == 0)
            flags = TEXT_CALLER_COLOUR | (flags & TEXT_SHADOW_PASS);
        else if (n == 1)
            flags |= TEXT_BOLD;
        else if (n == 22)
            flags &= ~TEXT_BOLD;
        else if (n >= 30 && n <= 37 && !(flags & TEXT_SHADOW_PASS))
            flags = (n - 30) | (flags & TEXT_BOLD);
        else if (n >= 40 && n <= 47 && (flags & TEXT_SHADOW_PASS))
            flags = (n - 40) | (flags & TEXT_BOLD) | TEXT_SHADOW_PASS;
    }
    return flags;
}

int read_text_escape(const char *text, int *flags)
{
    int length = escape_sequence_length(text);
    if (length == 0 || (*flags & TEXT_NO_ESCAPES) || text[1] != '[')
        return length;
    int parameters[TEXT_MAX_SGR_PARAMETERS];
    int count = 0, value = 0;
    bool any = false;
    for (int i = 2; i < length - 1; i++) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            if (value < 100000)
                value = value * 10 + (c - '0');
            any = true;
        } else if (c == ';') {
            if (count < TEXT_MAX_SGR_PARAMETERS)
                parameters[count++] = value;
            value = 0;
            any = true;
        }
    }
    if (any && count < TEXT_MAX_SGR_PARAMETERS)
        parameters[count++] = value;
    if (text[length - 1] == 'm')
        *flags = apply_sgr_parameters(*flags, parameters, count);
    return length;
}

void text_colour(int flags, float r, float g, float b, float a, float out[4])
{
    if (flags & TEXT_CALLER_COLOUR) {
        out[0] = r, out[1] = g, out[2] = b;
        if (flags & TEXT_BOLD)
            for (int k = 0; k < 3; k++)
                out[k] = out[k] + 0.25f > 1 ? 1 : out[k] + 0.25f;
    } else {
        const float *entry = text_palette[flags & TEXT_PALETTE_MASK];
        out[0] = entry[0], out[1] = entry[1], out[2] = entry[2];
    }
    out[3] = a;
}

static void add_quad(TextBatch *batch, const Font *font, unsigned char c, float x, float y, const float colour[4])
{
    const float *glyph = font->glyphs[c];
    float right = x + font->advance[c];
    const float corners[4][5] = {
        {x, y + 1, glyph[0], glyph[1]},
        {right, y + 1, glyph[2], glyph[1]},
        {x, y, glyph[0], glyph[3]},
        {right, y, glyph[2], glyph[3]},
    };
    int base = batch->count * 4;
    for (int k = 0; k < 4; k++) {
        float *p = batch->positions[base + k];
        p[0] = corners[k][0], p[1] = corners[k][1], p[2] = 0;
        batch->texcoords[base + k][0] = corners[k][2];
        batch->texcoords[base + k][1] = corners[k][3];
        for (int j = 0; j < 4; j++)
            batch->colours[base + k][j] = colour[j];
    }
    static const unsigned short order[6] = {2, 1, 0, 2, 3, 1};
    for (int k = 0; k < 6; k++)
        batch->indices[batch->count * 6 + k] = (unsigned short)(base + order[k]);
    batch->count++;
}

int layout_text(const Font *font, float r, float g, float b, float a, const char *text, int flags,
                TextBatch *batch, void (*flush)(TextBatch *batch, void *context), void *context)
{
    batch->count = 0;
    int quads = 0;
    float x = 0, y = 0;
    for (const char *p = text ? text : ""; *p;) {
        unsigned char c = (unsigned char)*p;
        if (c == 27) {
            int length = read_text_escape(p, &flags);
            if (length == 0)
                break;
            p += length;
            continue;
        }
        p++;
        if (c == ' ') {
            x += font->advance[c];
        } else if (c == '\r') {
            x = 0;
        } else if (c == '\n') {
            y -= 1;
            x = 0;
        } else if (c == '\t') {
            x = tab_stop(font, x);
        } else {
            float colour[4];
            text_colour(flags, r, g, b, a, colour);
            add_quad(batch, font, c, x, y, colour);
            quads++;
            x += font->advance[c];
            if (batch->count == TEXT_BATCH_QUADS) {
                flush(batch, context);
                batch->count = 0;
            }
        }
    }
    if (batch->count > 0)
        flush(batch, context);
    batch->count = 0;
    return quads;
}

static void draw_batch(TextBatch *batch, void *)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, batch->positions);
    glTexCoordPointer(2, GL_FLOAT, 0, batch->texcoords);
    glColorPointer(4, GL_FLOAT, 0, batch->colours);
    glDrawElements(GL_TRIANGLES, 6 * batch->count, GL_UNSIGNED_SHORT, batch->indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    text_counters.batches++;
    text_counters.quads += batch->count;
}

// The one batch every text is drawn from: no allocation per call.
static TextBatch text_batch;

static bool text_drawable(const char *text)
{
    return main_font.texture != 0 && !text_is_blank(text);
}

void draw_text(float r, float g, float b, float a, const char *text, int flags)
{
    if (!text_drawable(text))
        return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, main_font.texture);
    layout_text(&main_font, r, g, b, a, text, flags, &text_batch, draw_batch, nullptr);
}

void draw_text_colour(float r, float g, float b, float a, const char *text)
{
    draw_text(r, g, b, a, text, TEXT_CALLER_COLOUR);
}

void draw_text_white(const char *text)
{
    draw_text(1, 1, 1, 1, text, TEXT_CALLER_COLOUR);
}

static void draw_shadow(float a, const char *text)
{
    glPushMatrix();
    glTranslatef(1.0f / 16, -1.0f / 16, 0);
    draw_text(0, 0, 0, a * 0.5f, text, TEXT_CALLER_COLOUR | TEXT_SHADOW_PASS);
    glPopMatrix();
}

void draw_text_shadowed(float r, float g, float b, float a, const char *text)
{
    if (!text_drawable(text))
        return;
    draw_shadow(a, text);
    draw_text(r, g, b, a, text, TEXT_CALLER_COLOUR);
}

void draw_text_grey(const char *text)
{
    draw_text_shadowed(0.75f, 0.75f, 0.75f, 1, text);
}

// Draws moved right by dx, with or without the shadow.
static void draw_text_moved(float r, float g, float b, float a, float dx, const char *text, bool shadow)
{
    if (!text_drawable(text))
        return;
    glPushMatrix();
    glTranslatef(dx, 0, 0);
    if (shadow)
        draw_shadow(a, text);
    draw_text(r, g, b, a, text, TEXT_CALLER_COLOUR);
    glPopMatrix();
}

void draw_text_centred(float r, float g, float b, float a, float x0, float x1, const char *text)
{
    draw_text_moved(r, g, b, a, x0 + ((x1 - x0) - text_width(text)) / 2, text, false);
}

void draw_text_centred_shadowed(float r, float g, float b, float a, float x0, float x1, const char *text)
{
    draw_text_moved(r, g, b, a, x0 + ((x1 - x0) - text_width(text)) / 2, text, true);
}

void draw_text_right(float r, float g, float b, float a, float x, const char *text)
{
    draw_text_moved(r, g, b, a, x - text_width(text), text, true);
}

// --- overlays -----------------------------------------------------------------------

static float positive_lines(float lines)
{
    return lines > 0 ? lines : 1;
}

void begin_text_overlay(float lines)
{
    float u = 2 * overlay_view.hy / positive_lines(lines);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(-overlay_view.hx, overlay_view.hy - u, -1);
    glScalef(u, u, u);
}

void begin_page_overlay(float lines, float x, float y, float origin[2], float scale[2])
{
    const OverlayView &v = overlay_view;
    lines = positive_lines(lines);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    float u;
    if (v.hy > 0 && v.hx / v.hy > 4.0f / 3) {
        glTranslatef(-v.hy * 4 / 3, v.hy, -1);
        u = 2 * v.hy / lines;
        origin[0] = x + (v.hx - v.hy * 4 / 3) / u;
        origin[1] = y;
        scale[0] = (float)v.height / lines;
        scale[1] = -(float)v.height / lines;
    } else {
        glTranslatef(-v.hx, 0.75f * v.hx, -1);
        u = 1.5f * v.hx / lines;
        origin[0] = x;
        origin[1] = y - (v.hy - 0.75f * v.hx) / u;
        scale[0] = (float)v.width / (lines * 4 / 3);
        scale[1] = -(float)v.width / (lines * 4 / 3);
    }
    glScalef(u, u, u);
    glTranslatef(x, y, 0);
}

void end_overlay()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void overlay_translate(float position[2], float dx, float dy)
{
    glTranslatef(dx, dy, 0);
    position[0] += dx;
    position[1] += dy;
}
