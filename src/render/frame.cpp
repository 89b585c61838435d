// The OpenGL side of the game's frames: start-up state, clearing, the
// overlay projection and reading the picture back.
#include "render/frame.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "platform/log.h"
#include "render/renderer.h"
#include "render/text.h"

void frame_gl_setup(bool flat_shading)
{
    vark_log("GL_VENDOR: %s\n", renderer_info.vendor.c_str());
    vark_log("GL_RENDERER: %s\n", renderer_info.renderer.c_str());
    vark_log("GL_VERSION: %s\n", renderer_info.version.c_str());
    vark_log("GL_EXTENSIONS: %s\n", renderer_info.extensions.c_str());

    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(FRAME_CLEAR_COLOUR[0], FRAME_CLEAR_COLOUR[1], FRAME_CLEAR_COLOUR[2], FRAME_CLEAR_COLOUR[3]);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (flat_shading)
        glShadeModel(GL_FLAT);
}

void frame_clear(int width, int height)
{
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void set_overlay_projection(int width, int height, float fov_degrees)
{
    if (width < 1 || height < 1)
        return;
    double half_angle = fov_degrees * std::numbers::pi / 360;
    double aspect = (double)width / height;
    double hx, hy;
    if (aspect > 4.0 / 3) {
        hy = std::tan(half_angle) * 0.75;
        hx = hy * aspect;
    } else {
        hx = std::tan(half_angle);
        hy = hx / aspect;
    }
    // The overlays lie at distance 1, between these planes.
    const double near_plane = 0.5, far_plane = 4;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-hx * near_plane, hx * near_plane, -hy * near_plane, hy * near_plane, near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    overlay_view.hx = (float)hx;
    overlay_view.hy = (float)hy;
    overlay_view.width = width;
    overlay_view.height = height;
}

void frame_finish()
{
    glFinish();
}

uint8_t *read_frame_rgb(int width, int height)
{
    if (width < 1 || height < 1)
        return nullptr;
    size_t row = (size_t)width * 3;
    uint8_t *pixels = (uint8_t *)malloc(row * (size_t)height);
    if (!pixels)
        return nullptr;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    // OpenGL gives the bottom row first; pictures start at the top.
    uint8_t *swap = (uint8_t *)malloc(row);
    if (!swap) {
        free(pixels);
        return nullptr;
    }
    for (int top = 0, bottom = height - 1; top < bottom; top++, bottom--) {
        memcpy(swap, pixels + (size_t)top * row, row);
        memcpy(pixels + (size_t)top * row, pixels + (size_t)bottom * row, row);
        memcpy(pixels + (size_t)bottom * row, swap, row);
    }
    free(swap);
    return pixels;
}
