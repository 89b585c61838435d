// A 5x7 pixel glyph table of our own for the 94 printable ASCII
// characters: the fonts, banners, boards and HUD images are drawn from it.
#pragma once
#include <cstdint>

// Seven rows of five bits each (bit 4 leftmost); all zero for unknown characters.
const uint8_t *glyph_rows(char c);
