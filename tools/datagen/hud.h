// Fonts in the band format, and the HUD and title images.
#pragma once
#include <string>

#include "datagen/datagen.h"
#include "datagen/image_out.h"

// A band-format font of `chars` drawn from the glyph table: glyph pixels are
// scale_x by scale_y squares, `bold` thickens strokes by one pixel, and the
// picture is `width` wide (0: one band exactly as wide as the glyphs) with
// bands `band_height` high.
Picture band_font(const std::string &chars, int scale_x, int scale_y, bool bold, int width, int band_height);

void build_hud(DataSet *set);
