// Helpers of the text tests: tiny font images built in memory, and a real
// window (offscreen under CTest) with a projection the overlays fit.
#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "data/image.h"
#include "platform/log.h"
#include "platform/window.h"
#include "render/font.h"
#include "render/text.h"

// Separator colour of the fixture fonts.
static const uint8_t FONT_SEPARATOR[4] = {255, 0, 255, 255};

// An RGBA font image `width` wide: one band per entry of `bands`, each
// `band_height` rows, holding glyphs of the listed widths from x = 0 (the
// last one reaches the right edge). Glyph pixels are `ink`; markers sit in
// the first row of every band. Returned with room for the mipmap chain.
inline uint8_t *make_font_image(int width, int band_height, const std::vector<std::vector<int>> &bands,
                                const uint8_t ink[4])
{
    int height = band_height * (int)bands.size();
    uint8_t *pixels = alloc_image_pixels(width, height, 4);
    for (int i = 0; i < width * height; i++)
        memcpy(pixels + 4 * i, ink, 4);
    for (size_t b = 0; b < bands.size(); b++) {
        uint8_t *row = pixels + (size_t)b * band_height * width * 4;
        int x = 0;
        for (int w : bands[b]) {
            memcpy(row + 4 * x, FONT_SEPARATOR, 4);
            x += w;
        }
    }
    return pixels;
}

// A font of two bands 8 pixels high, 32 wide: "A" 0-8, "B" 8-16, "C" 16-32
// in the first, "-" 0-4 and "D" 4-32 in the second. Opaque white ink.
// Advances: A, B 1; C 2; "-" and the space 0.5; D 3.5.
inline Font layout_font()
{
    const uint8_t white[4] = {255, 255, 255, 255};
    uint8_t *pixels = make_font_image(32, 8, {{8, 8, 16}, {4, 28}}, white);
    Font font;
    build_font(&font, pixels, 32, 16, "ABC-D");
    return font;
}

// Glyph rectangle of `c` in whole pixels of a font image.
struct PixelGlyph {
    int left, top, right, bottom;
};
inline PixelGlyph pixel_glyph(const Font &font, unsigned char c)
{
    const float *g = font.glyphs[c];
    return {(int)(g[0] * font.width + 0.5f), (int)(g[1] * font.height + 0.5f), (int)(g[2] * font.width + 0.5f),
            (int)(g[3] * font.height + 0.5f)};
}

// The window of the drawing tests, open for the rest of the process.
constexpr int TEXT_TEST_WIDTH = 320, TEXT_TEST_HEIGHT = 240;
inline VarkWindow *text_test_window()
{
    static VarkWindow *window = vark_open_gl_window("Zorvex text test", TEXT_TEST_WIDTH, TEXT_TEST_HEIGHT, 24, 8,
                                                    24, 0, 0);
    return window;
}

// A projection with the frustum's half-extents at distance 1 as the
// overlays expect them, the modelview cleared, the frame cleared to `grey`.
inline void begin_text_test_frame(float grey = 0)
{
    const float hx = 0.5f, hy = hx * TEXT_TEST_HEIGHT / TEXT_TEST_WIDTH;
    glViewport(0, 0, TEXT_TEST_WIDTH, TEXT_TEST_HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float near_plane = 0.5f;
    glFrustum(-hx * near_plane, hx * near_plane, -hy * near_plane, hy * near_plane, near_plane, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glClearColor(grey, grey, grey, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    overlay_view = {hx, hy, TEXT_TEST_WIDTH, TEXT_TEST_HEIGHT};
}

// RGBA of the pixel in column x, row y counted from the window's top.
struct Rgba {
    int r, g, b, a;
};
inline Rgba read_pixel(int x, int y)
{
    uint8_t p[4] = {};
    glFinish();
    glReadPixels(x, TEXT_TEST_HEIGHT - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

// Makes `font` (built from pixels) the main font, with its level 0 as a
// linear-filtered texture.
inline void use_as_main_font(Font &font)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, font.width, font.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, font.pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    main_font = font;
    main_font.pixels = nullptr;
    main_font.texture = name;
}

// The layout font as the main font while the object lives.
struct MainFontForTest {
    Font font = layout_font();
    MainFontForTest() { use_as_main_font(font); }
    ~MainFontForTest()
    {
        GLuint name = main_font.texture;
        if (name)
            glDeleteTextures(1, &name);
        main_font = Font{};
        free_font(&font);
    }
};
