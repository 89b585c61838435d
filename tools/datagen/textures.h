// Procedural pictures: seamless ground textures and their transition tiles,
// billboard sprites, object skins, boards, decals and small effect sprites.
#pragma once
#include <cstdint>
#include <string>

#include "datagen/image_out.h"

enum GroundKind {
    GROUND_DIRT,
    GROUND_HARDPACK,
    GROUND_LOAM,
    GROUND_GRASS,
    GROUND_SAND,
    GROUND_CLAY,
    GROUND_DEEPSAND,
    GROUND_FLOOR,
    GROUND_KINDS
};

// A seamless square ground texture (tiles with itself in both directions).
Picture ground_texture(GroundKind kind, uint32_t seed, int size);
// A transition tile: corners whose bit is set in `mask` show `second`, the
// others `first`. Mask bits from the most significant: corner (x0,z0),
// (x1,z0), (x0,z1), (x1,z1), x along the image columns and z along its rows.
Picture transition_texture(const Picture &first, const Picture &second, int mask, uint32_t seed);
// The average colour of a picture (for maps and previews).
void average_colour(const Picture &picture, double rgb[3]);

// Draws `text` with the glyph table, each glyph pixel a `scale` square.
void draw_text(Picture *picture, int x, int y, const std::string &text, int scale, const uint8_t rgba[4]);
int text_width(const std::string &text, int scale);
void fill_rect(Picture *picture, int x0, int y0, int x1, int y1, const uint8_t rgba[4]);

Picture tree_sprite(uint32_t seed, bool pine);
Picture banner_sprite(const std::string &text, const uint8_t background[3], const uint8_t foreground[3]);
Picture fence_sprite();
Picture flagger_sprite(const uint8_t flag[3], bool waving);
// A sign board with text (empty text: a blank board); `edge_on` draws the board turned sideways.
Picture board_sprite(const std::string &text, const uint8_t background[3], const uint8_t foreground[3], bool edge_on);
Picture checkered_board();
Picture haybale_skin();
Picture tuffblock_skin(const uint8_t colour[3]);
Picture startgate_skin();
Picture finish_line_decal();
Picture arrow_decal();
Picture roost_sprite();
Picture flare_sprite(int kind);
