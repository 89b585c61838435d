// Fonts: each band's first row carries the separator colour at column 0 and
// at the left edge of every glyph; the glyphs of a band fill it exactly to
// the right edge, so every glyph's rectangle is its own. HUD pictures are
// drawn with the same glyphs.
#include "datagen/hud.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "datagen/glyphs.h"
#include "datagen/textures.h"

namespace {

const uint8_t SEPARATOR[4] = {255, 0, 255, 255};

// Columns the glyph uses (0..4), a space-like glyph counts as 3 wide.
void glyph_columns(char c, int *first, int *last)
{
    const uint8_t *rows = glyph_rows(c);
    int bits = 0;
    for (int r = 0; r < 7; r++)
        bits |= rows[r];
    *first = 5, *last = -1;
    for (int b = 0; b < 5; b++)
        if (bits & (0x10 >> b)) {
            *first = *first < b ? *first : b;
            *last = b;
        }
    if (*last < 0)
        *first = 1, *last = 3;
}

}  // namespace

Picture band_font(const std::string &chars, int scale_x, int scale_y, bool bold, int width, int band_height)
{
    struct Cell {
        char c;
        int first, last;
        int w;
    };
    std::vector<std::vector<Cell>> bands(1);
    int used = 0;
    bool fit = width <= 0;  // one band exactly as wide as its glyphs
    if (fit) {
        width = 0;
        for (char c : chars) {
            int first, last;
            glyph_columns(c, &first, &last);
            width += (last - first + 1) * scale_x + (bold ? 1 : 0) + 2 * (scale_x / 2) + 2;
        }
    }
    // Balanced bands: every band about as full as the others, so the spare
    // width spread over each band stays a pixel or so per glyph.
    int total = 0;
    for (char c : chars) {
        int first, last;
        glyph_columns(c, &first, &last);
        total += (last - first + 1) * scale_x + (bold ? 1 : 0) + 2 * (scale_x / 2) + 2;
    }
    int band_count = (total + width - 1) / width;
    int target = (total + band_count - 1) / band_count;
    for (char c : chars) {
        Cell cell;
        cell.c = c;
        glyph_columns(c, &cell.first, &cell.last);
        cell.w = (cell.last - cell.first + 1) * scale_x + (bold ? 1 : 0) + 2 * (scale_x / 2) + 2;
        if (used + cell.w > width || (used >= target && (int)bands.size() < band_count)) {
            bands.emplace_back();
            used = 0;
        }
        bands.back().push_back(cell);
        used += cell.w;
    }
    Picture p = make_picture(width, band_height * (int)bands.size(), 4);
    // Transparent white everywhere: the text colour comes from the caller.
    for (size_t k = 0; k < p.pixels.size(); k += 4)
        p.pixels[k] = p.pixels[k + 1] = p.pixels[k + 2] = 255;
    int top = (band_height - 7 * scale_y) / 2 + (band_height >= 16 ? 1 : 0);
    for (size_t b = 0; b < bands.size(); b++) {
        std::vector<Cell> &band = bands[b];
        int total = 0;
        for (const Cell &cell : band)
            total += cell.w;
        // Spread what is left over the band so that its glyphs end at the right edge.
        int spare = width - total;
        for (size_t k = 0; spare > 0; k = (k + 1) % band.size(), spare--)
            band[k].w++;
        int x = 0, y0 = (int)b * band_height;
        for (const Cell &cell : band) {
            // Column 0 starts the band; later marks start glyphs.
            uint8_t *mark = pixel_at(&p, x, y0);
            for (int c = 0; c < 4; c++)
                mark[c] = SEPARATOR[c];
            const uint8_t *rows = glyph_rows(cell.c);
            int left = x + (cell.w - (cell.last - cell.first + 1) * scale_x - (bold ? 1 : 0)) / 2;
            for (int r = 0; r < 7; r++)
                for (int col = cell.first; col <= cell.last; col++) {
                    if (!(rows[r] & (0x10 >> col)))
                        continue;
                    for (int dy = 0; dy < scale_y; dy++)
                        for (int dx = 0; dx < scale_x + (bold ? 1 : 0); dx++) {
                            int px = left + (col - cell.first) * scale_x + dx, py = y0 + top + r * scale_y + dy;
                            if (px >= 0 && px < width && py > y0 && py < y0 + band_height)
                                pixel_at(&p, px, py)[3] = 255;
                        }
                }
            x += cell.w;
        }
    }
    return p;
}

void build_hud(DataSet *set)
{
    std::string printable;
    for (int c = 33; c <= 126; c++)
        printable += (char)c;
    add_file(set, "font.png", encode_png(band_font(printable, 3, 3, false, 512, 32)));
    add_file(set, "numbers.png", encode_png(band_font("0123456789", 9, 10, true, 0, 80)));
    add_file(set, "numbers-condensed.png", encode_png(band_font("0123456789", 5, 10, true, 0, 80)));

    const uint8_t white[4] = {245, 245, 245, 255}, red[4] = {220, 30, 30, 255}, black[4] = {12, 12, 14, 255};
    const uint8_t grey[4] = {90, 90, 96, 255}, amber[4] = {250, 190, 40, 255};
    // Tachometer: a round dial, ticks every 1000 rpm up to 14, red from 11.
    {
        const int s = 256;
        Picture p = make_picture(s, s, 4);
        double c = s / 2.0;
        for (int y = 0; y < s; y++)
            for (int x = 0; x < s; x++) {
                double dx = x + 0.5 - c, dy = y + 0.5 - c, r = std::sqrt(dx * dx + dy * dy);
                uint8_t *out = pixel_at(&p, x, y);
                if (r < c - 2) {
                    bool rim = r > c - 10;
                    out[0] = rim ? 160 : 20, out[1] = rim ? 160 : 20, out[2] = rim ? 168 : 24;
                    out[3] = 230;
                }
            }
        for (int k = 0; k <= 14; k++) {
            double a = DG_PI * (0.75 + 1.5 * k / 14);  // from lower left, clockwise over the top
            double ca = dg_cos(a), sa = dg_sin(a);
            for (double r = c - 40; r < c - 14; r += 0.5) {
                int x = (int)(c + ca * r), y = (int)(c + sa * r);
                for (int t = -1; t <= 1; t++) {
                    uint8_t *out = pixel_at(&p, x + (k % 2 ? 0 : t), y);
                    const uint8_t *col = k >= 11 ? red : white;
                    for (int ch = 0; ch < 4; ch++)
                        out[ch] = col[ch];
                }
            }
            std::string label = format("%d", k);
            if (k % 2 == 0) {
                int lx = (int)(c + ca * (c - 58)) - text_width(label, 2) / 2, ly = (int)(c + sa * (c - 58)) - 7;
                draw_text(&p, lx, ly, label, 2, k >= 11 ? red : white);
            }
        }
        draw_text(&p, (s - text_width("X1000 RPM", 2)) / 2, s - 70, "X1000 RPM", 2, amber);
        add_file(set, "tach.png", encode_png(p));
    }
    // Shifter: the gear pattern with neutral between first and second.
    {
        const int s = 128;
        Picture p = make_picture(s, s, 4);
        fill_rect(&p, 4, 4, s - 4, s - 4, black);
        fill_rect(&p, 16, 62, s - 16, 66, grey);
        for (int k = 0; k < 3; k++)
            fill_rect(&p, 24 + k * 38, 24, 28 + k * 38, 104, grey);
        const char *gears[6] = {"1", "3", "5", "2", "4", "6"};
        for (int k = 0; k < 6; k++)
            draw_text(&p, 20 + (k % 3) * 38, k < 3 ? 8 : 108, gears[k], 2, white);
        draw_text(&p, 56, 56, "N", 2, amber);
        add_file(set, "shifter.png", encode_png(p));
    }
    // Pitboard: a dark board on a post; the writing goes on rows 0.1875 to 0.875.
    {
        const int s = 256;
        Picture p = make_picture(s, s, 4);
        fill_rect(&p, 8, 44, s - 8, 228, white);
        fill_rect(&p, 14, 50, s - 14, 222, black);
        fill_rect(&p, 120, 228, 136, s, grey);
        add_file(set, "pitboard.png", encode_png(p));
    }
}
