// The OpenGL side of the game's frames: the state set once the context
// exists, clearing, the overlay projection and reading the picture back.
#pragma once
#include <cstdint>

// Clear colour of every frame (and of the title view while nothing else is drawn).
constexpr float FRAME_CLEAR_COLOUR[4] = {0.196078f, 0.6f, 0.8f, 0.0f};

// After renderer_init: logs the driver strings ("GL_VENDOR: ..." and the
// rest), clears the colour buffer, sets the clear colour, back-face culling,
// byte-aligned pixel rows, and flat shading when `flat_shading`.
void frame_gl_setup(bool flat_shading);

// Starts a frame of width x height pixels: viewport and a cleared colour and depth buffer.
void frame_clear(int width, int height);

// Projection for the text and page overlays while no scene sets its own:
// `fov_degrees` is the horizontal angle of a 4:3 picture. Stores the
// half-extents at distance 1 and the pixel size in overlay_view.
void set_overlay_projection(int width, int height, float fov_degrees);

// Waits until the driver has finished drawing ("--glfinish").
void frame_finish();

// The drawing buffer as RGB bytes, rows from the top of the picture down
// (malloc'd, release with free), or null when there is no room or no size.
uint8_t *read_frame_rgb(int width, int height);
