// The title screen: the game's name in large rounded letters over a
// hillside track, with a rider jumping one of our bikes, rendered from the
// data set's own models.
#include "datagen/title.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/model.h"
#include "datagen/bikes.h"
#include "datagen/glyphs.h"
#include "datagen/image_out.h"
#include "datagen/preview.h"
#include "datagen/rider.h"
#include "datagen/textures.h"
#include "sim/bike_models.h"

namespace {

const int WIDTH = 1024, HEIGHT = 512;

void blend(Picture *p, int x, int y, const double rgb[3], double alpha)
{
    if (x < 0 || y < 0 || x >= p->width || y >= p->height || alpha <= 0)
        return;
    alpha = alpha > 1 ? 1 : alpha;
    uint8_t *out = pixel_at(p, x, y);
    for (int c = 0; c < 3; c++)
        out[c] = to_byte(out[c] * (1 - alpha) + rgb[c] * alpha);
}

bool glyph_cell(char c, int column, int row)
{
    if (column < 0 || column > 4 || row < 0 || row > 6)
        return false;
    const uint8_t *rows = glyph_rows(c);
    return rows && (rows[row] >> (4 - column)) & 1;
}

// Whether a point of glyph space (cells; x right, y down) is inside the
// glyph drawn with a round pen: a disc on every set cell and a stroke to
// each set neighbour, diagonals included, so slanted strokes stay joined.
bool inside_glyph(char c, double gx, double gy)
{
    const double pen = 0.5;
    int column = (int)dg_floor(gx), row = (int)dg_floor(gy);
    for (int cy = row - 1; cy <= row + 1; cy++)
        for (int cx = column - 1; cx <= column + 1; cx++) {
            if (!glyph_cell(c, cx, cy))
                continue;
            double ax = cx + 0.5, ay = cy + 0.5;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    bool self = dx == 0 && dy == 0;
                    if (!self && !glyph_cell(c, cx + dx, cy + dy))
                        continue;
                    // Distance from the point to the segment from this cell's
                    // centre halfway to the neighbour's.
                    double bx = dx * 0.5, by = dy * 0.5, px = gx - ax, py = gy - ay;
                    double length = bx * bx + by * by;
                    double t = self ? 0 : dg_clamp((px * bx + py * by) / length, 0, 1);
                    double ex = px - t * bx, ey = py - t * by;
                    if (ex * ex + ey * ey <= pen * pen)
                        return true;
                }
        }
    return false;
}

// Coverage of `text` (4 x 4 samples a pixel) in a mask of the picture's
// size: glyphs `scale` pixels a cell, slanted forward by `slant`.
std::vector<double> text_mask(const std::string &text, int x0, int y0, double scale, double slant)
{
    std::vector<double> mask((size_t)WIDTH * HEIGHT, 0);
    double advance = 6 * scale;
    int right = (int)(x0 + advance * text.size() + slant * 7 * scale) + 2;
    int bottom = (int)(y0 + 7 * scale) + 2;
    for (int y = y0 - 2; y < bottom && y < HEIGHT; y++)
        for (int x = x0 - 2; x < right && x < WIDTH; x++) {
            if (x < 0 || y < 0)
                continue;
            int hits = 0;
            for (int sy = 0; sy < 4; sy++)
                for (int sx = 0; sx < 4; sx++) {
                    double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
                    double gy = (py - y0) / scale;
                    double gx = (px - x0 + slant * (py - (y0 + 7 * scale))) / scale;
                    int index = (int)dg_floor(gx / 6);
                    if (index < 0 || index >= (int)text.size())
                        continue;
                    hits += inside_glyph(text[(size_t)index], gx - 6 * index, gy);
                }
            mask[(size_t)y * WIDTH + x] = hits / 16.0;
        }
    return mask;
}

// The mask grown by `radius` pixels (the outline round the letters).
std::vector<double> grow(const std::vector<double> &mask, int radius)
{
    std::vector<double> out(mask.size(), 0);
    // Only round the covered box.
    int x0 = WIDTH, y0 = HEIGHT, x1 = -1, y1 = -1;
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++)
            if (mask[(size_t)y * WIDTH + x] > 0)
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    for (int y = std::max(0, y0 - radius); y <= std::min(HEIGHT - 1, y1 + radius); y++)
        for (int x = std::max(0, x0 - radius); x <= std::min(WIDTH - 1, x1 + radius); x++) {
            double best = 0;
            for (int dy = -radius; dy <= radius && best < 1; dy++)
                for (int dx = -radius; dx <= radius; dx++) {
                    int sx = x + dx, sy = y + dy;
                    if (dx * dx + dy * dy > radius * radius || sx < 0 || sy < 0 || sx >= WIDTH || sy >= HEIGHT)
                        continue;
                    double m = mask[(size_t)sy * WIDTH + sx];
                    best = m > best ? m : best;
                }
            out[(size_t)y * WIDTH + x] = best;
        }
    return out;
}

void draw_title_text(Picture *p, const std::string &text, int x0, int y0, double scale, double slant, int outline,
                     const double top[3], const double bottom[3])
{
    std::vector<double> fill = text_mask(text, x0, y0, scale, slant);
    std::vector<double> edge = grow(fill, outline);
    const double dark[3] = {24, 16, 12};
    int drop = outline + 2;
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++) {
            int sx = x - drop, sy = y - drop;
            if (sx >= 0 && sy >= 0)
                blend(p, x, y, dark, 0.45 * edge[(size_t)sy * WIDTH + sx]);
        }
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++) {
            size_t at = (size_t)y * WIDTH + x;
            blend(p, x, y, dark, edge[at]);
            double t = dg_clamp((y - y0) / (7 * scale), 0, 1);
            double colour[3];
            for (int c = 0; c < 3; c++)
                colour[c] = dg_lerp(top[c], bottom[c], t);
            // A bright band across the upper third, like a painted highlight.
            if (t > 0.18 && t < 0.3)
                for (double &c : colour)
                    c = dg_lerp(c, 255, 0.35);
            blend(p, x, y, colour, fill[at]);
        }
}

// Sky, distant ridges, and the near hill with the track and a tabletop.
double near_ground(double x)
{
    double base = HEIGHT * 0.8 - 30 * dg_sin(x * 0.006 + 0.4);
    // The tabletop's landing under the bike.
    double d = (x - WIDTH * 0.72) / 150;
    if (d > -1 && d < 1)
        base -= 55 * (1 - d * d) * (1 - d * d);
    return base;
}

void draw_landscape(Picture *p)
{
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++) {
            uint8_t *out = pixel_at(p, x, y);
            double t = (double)y / HEIGHT;
            double n = dg_fractal_noise(808, x, y, 48, 3);
            double far = HEIGHT * 0.58 - 50 * dg_sin(x * 0.004 + 1.3) - 18 * dg_sin(x * 0.017);
            double mid = HEIGHT * 0.66 - 36 * dg_sin(x * 0.007 + 2.1) - 10 * dg_sin(x * 0.031 + 0.5);
            double near = near_ground(x);
            double rgb[3];
            if (y < far) {
                rgb[0] = dg_lerp(70, 190, t * 1.4), rgb[1] = dg_lerp(125, 210, t * 1.4), rgb[2] = dg_lerp(205, 235, t);
                // A few soft clouds.
                double cloud = dg_fractal_noise(809, x * 0.5, y * 1.6, 90, 4);
                if (cloud > 0.58)
                    for (double &c : rgb)
                        c = dg_lerp(c, 250, dg_clamp((cloud - 0.58) * 4, 0, 0.8));
            } else if (y < mid) {
                rgb[0] = 96 + 20 * n, rgb[1] = 130 + 20 * n, rgb[2] = 120 + 10 * n;  // hazy ridge
            } else if (y < near) {
                rgb[0] = 60 + 40 * n, rgb[1] = 105 + 40 * n, rgb[2] = 45 + 20 * n;   // grass
            } else if (y < near + 16) {
                rgb[0] = 150 + 40 * n, rgb[1] = 108 + 30 * n, rgb[2] = 70 + 20 * n;  // track edge
            } else {
                rgb[0] = 125 + 50 * n, rgb[1] = 88 + 36 * n, rgb[2] = 58 + 24 * n;   // dirt
            }
            for (int c = 0; c < 3; c++)
                out[c] = to_byte(rgb[c]);
        }
}

// Draws an RGBA sprite turned by `angle` (radians, counter-clockwise on
// screen) with its centre at (cx, cy).
void draw_turned(Picture *p, const Picture &sprite, double cx, double cy, double angle)
{
    double ca = dg_cos(angle), sa = dg_sin(angle);
    double half_w = sprite.width / 2.0, half_h = sprite.height / 2.0;
    double reach = std::sqrt(half_w * half_w + half_h * half_h);
    for (int y = (int)(cy - reach); y <= (int)(cy + reach); y++)
        for (int x = (int)(cx - reach); x <= (int)(cx + reach); x++) {
            double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            double u = half_w + ca * dx - sa * dy - 0.5, v = half_h + sa * dx + ca * dy - 0.5;
            if (u < 0 || v < 0 || u >= sprite.width - 1 || v >= sprite.height - 1)
                continue;
            int iu = (int)u, iv = (int)v;
            double fu = u - iu, fv = v - iv, rgb[3] = {0, 0, 0}, alpha = 0;
            for (int k = 0; k < 4; k++) {
                int su = iu + (k & 1), sv = iv + (k >> 1);
                double weight = (k & 1 ? fu : 1 - fu) * (k >> 1 ? fv : 1 - fv);
                const uint8_t *texel = &sprite.pixels[((size_t)sv * sprite.width + su) * 4];
                double a = texel[3] / 255.0 * weight;
                for (int c = 0; c < 3; c++)
                    rgb[c] += texel[c] * a;
                alpha += a;
            }
            if (alpha > 0)
                for (double &c : rgb)
                    c /= alpha;
            blend(p, x, y, rgb, alpha);
        }
}

Picture rider_and_bike(const DataSet *set)
{
    const BikeModel &m = bike_models[0];
    std::string texture = m.bike_texture + 1;
    Picture skin = bike_skin_picture(texture.substr(0, texture.size() - strlen(".png")));
    Picture wheels = wheels_skin_picture(), plate = preview_plate("1");
    Picture gear = rider_gear_picture(0), helmet = rider_helmet_picture(0);
    PreviewScene scene;
    scene_add_bike(&scene, set, m, &skin, &wheels, &plate);
    scene_add_rider(&scene, set, m.rider_pos, &gear, &helmet, &plate);
    return render_cutout(scene.placed, 440, 380, -112, 8);
}

}  // namespace

void build_title(DataSet *set)
{
    Picture p = make_picture(WIDTH, HEIGHT, 3);
    draw_landscape(&p);
    // The jumper, nose up over the tabletop, and its shadow on the landing.
    const double shadow[3] = {40, 28, 20};
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++) {
            double d = (x - WIDTH * 0.74) / 150, e = (y - (near_ground(WIDTH * 0.74) + 14)) / 12;
            if (d * d + e * e < 1)
                blend(&p, x, y, shadow, 0.35 * (1 - d * d - e * e));
        }
    draw_turned(&p, rider_and_bike(set), WIDTH * 0.72, HEIGHT * 0.47, 0.2);
    const double amber_top[3] = {255, 214, 64}, amber_bottom[3] = {236, 112, 20};
    draw_title_text(&p, "ZORVEX", 40, 36, 17, 0.22, 5, amber_top, amber_bottom);
    const double white[3] = {250, 250, 250}, pale[3] = {215, 225, 235};
    draw_title_text(&p, "MOTOCROSS SIMULATOR", 48, 178, 4.2, 0.22, 2, white, pale);
    add_file(set, "title.png", encode_png(p));
}
