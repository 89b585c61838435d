// Procedural pictures. Everything is computed from integer hashes and plain
// arithmetic, so the pixels are the same on every machine.
#include "datagen/textures.h"

#include <cmath>

#include "datagen/datagen.h"
#include "datagen/glyphs.h"

struct GroundLook {
    double base[3];
    double dark[3];     // colour of the low noise values
    double speck[3];    // pebbles, stones or flowers
    double cell;        // noise cell in texels at 128
    double speck_rate;
    double streaks;     // strength of lines along z (tyre tracks, grass blades)
};

static const GroundLook looks[GROUND_KINDS] = {
    // dirt: prepared brown dirt with small stones
    {{132, 96, 64}, {96, 66, 42}, {170, 150, 128}, 32, 0.010, 0.10},
    // hardpack: pale, dry, polished by tyres
    {{156, 122, 86}, {126, 96, 66}, {186, 170, 150}, 48, 0.004, 0.25},
    // soft loam: dark, moist, lumpy
    {{88, 62, 42}, {58, 40, 28}, {118, 92, 70}, 16, 0.020, 0.0},
    // grass
    {{78, 118, 52}, {52, 86, 34}, {150, 160, 80}, 24, 0.006, 0.45},
    // sand
    {{206, 182, 134}, {176, 150, 106}, {228, 214, 180}, 24, 0.015, 0.05},
    // stadium clay: red-brown, smooth
    {{142, 84, 56}, {110, 62, 42}, {168, 120, 96}, 40, 0.005, 0.15},
    // deep sand: pale, rippled
    {{222, 200, 152}, {184, 160, 116}, {240, 228, 196}, 12, 0.020, 0.0},
    // stadium floor: grey packed base outside the track
    {{120, 116, 108}, {96, 92, 86}, {150, 146, 138}, 48, 0.003, 0.05},
};

Picture ground_texture(GroundKind kind, uint32_t seed, int size)
{
    const GroundLook &look = looks[kind];
    Picture p = make_picture(size, size, 3);
    double cell = look.cell * size / 128.0;
    int period = (int)(size / cell + 0.5);
    if (period < 1)
        period = 1;
    cell = (double)size / period;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            double n = dg_fractal_noise(seed, x, y, cell, 4, period);
            double fine = dg_value_noise(seed + 101, x, y, 2.0, size / 2);
            double t = dg_clamp((n - 0.25) * 2, 0, 1);
            double rgb[3];
            for (int c = 0; c < 3; c++)
                rgb[c] = dg_lerp(look.dark[c], look.base[c], t) * (0.9 + 0.2 * fine);
            if (look.streaks > 0) {
                // Lines along the rows' direction (z): tyre tracks or blades.
                double line = dg_value_noise(seed + 202, x, 0, 2.0, size / 2) *
                              dg_value_noise(seed + 203, x, y, size / 4.0, 4);
                for (double &v : rgb)
                    v *= 1 - look.streaks * 0.3 + look.streaks * 0.6 * line;
            }
            if (dg_unit(dg_hash(seed + 303, x, y)) < look.speck_rate) {
                for (int c = 0; c < 3; c++)
                    rgb[c] = look.speck[c] * (0.85 + 0.3 * fine);
            }
            uint8_t *out = pixel_at(&p, x, y);
            for (int c = 0; c < 3; c++)
                out[c] = to_byte(rgb[c]);
        }
    }
    return p;
}

Picture transition_texture(const Picture &first, const Picture &second, int mask, uint32_t seed)
{
    int size = first.width;
    Picture p = make_picture(size, size, 3);
    double corner[4];
    for (int k = 0; k < 4; k++)
        corner[k] = (mask >> (3 - k)) & 1 ? 1.0 : 0.0;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            double u = (x + 0.5) / size, v = (y + 0.5) / size;
            double w = dg_lerp(dg_lerp(corner[0], corner[1], u), dg_lerp(corner[2], corner[3], u), v);
            // A ragged edge: noise moves the threshold.
            double jitter = dg_fractal_noise(seed, x, y, size / 8.0, 3, 8) - 0.5;
            double t = dg_smoothstep((w - 0.5 + 0.35 * jitter) * 6 + 0.5);
            const uint8_t *a = &first.pixels[((size_t)y * size + x) * 3];
            const uint8_t *b = &second.pixels[((size_t)y * size + x) * 3];
            uint8_t *out = pixel_at(&p, x, y);
            for (int c = 0; c < 3; c++)
                out[c] = to_byte(dg_lerp(a[c], b[c], t));
        }
    }
    return p;
}

void average_colour(const Picture &picture, double rgb[3])
{
    double sum[3] = {0, 0, 0};
    size_t count = (size_t)picture.width * picture.height;
    for (size_t k = 0; k < count; k++)
        for (int c = 0; c < 3; c++)
            sum[c] += picture.pixels[k * picture.channels + c];
    for (int c = 0; c < 3; c++)
        rgb[c] = count ? sum[c] / count : 0;
}

static void put(Picture *p, int x, int y, const uint8_t rgba[4])
{
    if (x < 0 || y < 0 || x >= p->width || y >= p->height)
        return;
    uint8_t *out = pixel_at(p, x, y);
    for (int c = 0; c < p->channels && c < 4; c++)
        out[c] = p->channels == 1 ? rgba[3] : rgba[c];
}

void fill_rect(Picture *picture, int x0, int y0, int x1, int y1, const uint8_t rgba[4])
{
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            put(picture, x, y, rgba);
}

int text_width(const std::string &text, int scale)
{
    return text.empty() ? 0 : (int)text.size() * 6 * scale - scale;
}

void draw_text(Picture *picture, int x, int y, const std::string &text, int scale, const uint8_t rgba[4])
{
    for (size_t k = 0; k < text.size(); k++) {
        const uint8_t *rows = glyph_rows(text[k]);
        int gx = x + (int)k * 6 * scale;
        for (int r = 0; r < 7; r++)
            for (int b = 0; b < 5; b++)
                if (rows[r] & (0x10 >> b))
                    fill_rect(picture, gx + b * scale, y + r * scale, gx + (b + 1) * scale, y + (r + 1) * scale, rgba);
    }
}

Picture tree_sprite(uint32_t seed, bool pine)
{
    const int w = 64, h = 128;
    Picture p = make_picture(w, h, 4);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            double fx = (x + 0.5 - w / 2.0) / (w / 2.0);  // -1..1
            double fy = 1 - (y + 0.5) / h;                // 0 bottom .. 1 top
            uint8_t *out = pixel_at(&p, x, y);
            double n = dg_fractal_noise(seed, x, y, 8, 3);
            bool trunk = fy < 0.3 && fx > -0.09 && fx < 0.09;
            double crown;
            if (pine) {
                double width = (1 - fy) * 1.05;  // a cone from the base of the crown
                crown = fy > 0.12 ? width - (fx < 0 ? -fx : fx) : -1;
            } else {
                double cx = fx / 0.9, cy = (fy - 0.6) / 0.4;
                crown = 1 - (cx * cx + cy * cy);
            }
            crown += (n - 0.5) * 0.35;
            if (crown > 0) {
                double light = 0.7 + 0.5 * n + 0.25 * fx * -1;
                double base[3] = {pine ? 34.0 : 52.0, pine ? 78.0 : 104.0, pine ? 40.0 : 36.0};
                for (int c = 0; c < 3; c++)
                    out[c] = to_byte(base[c] * light);
                out[3] = 255;
            } else if (trunk) {
                out[0] = to_byte(90 * (0.8 + 0.4 * n));
                out[1] = to_byte(64 * (0.8 + 0.4 * n));
                out[2] = to_byte(40 * (0.8 + 0.4 * n));
                out[3] = 255;
            } else {
                // Transparent texels keep a foliage colour so filtering does not darken the edge.
                out[0] = 40, out[1] = 80, out[2] = 36, out[3] = 0;
            }
        }
    }
    return p;
}

Picture banner_sprite(const std::string &text, const uint8_t background[3], const uint8_t foreground[3])
{
    const int w = 256, h = 64;
    Picture p = make_picture(w, h, 4);
    const uint8_t bg[4] = {background[0], background[1], background[2], 255};
    const uint8_t fg[4] = {foreground[0], foreground[1], foreground[2], 255};
    const uint8_t pole[4] = {200, 200, 205, 255};
    fill_rect(&p, 0, 0, w, h, bg);
    fill_rect(&p, 0, 0, w, 4, fg);
    fill_rect(&p, 0, h - 4, w, h, fg);
    int scale = 5;
    while (scale > 1 && text_width(text, scale) > w - 16)
        scale--;
    draw_text(&p, (w - text_width(text, scale)) / 2, (h - 7 * scale) / 2, text, scale, fg);
    fill_rect(&p, 0, 0, 3, h, pole);
    fill_rect(&p, w - 3, 0, w, h, pole);
    return p;
}

Picture fence_sprite()
{
    const int w = 128, h = 32;
    Picture p = make_picture(w, h, 4);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            uint8_t *out = pixel_at(&p, x, y);
            // Orange plastic mesh: diamond holes between diagonal strands.
            int a = (x + y) % 8, b = (x - y + 64) % 8;
            bool strand = a < 2 || b < 2 || y < 2 || y >= h - 2;
            bool post = x % 64 < 3;
            if (post) {
                out[0] = 110, out[1] = 90, out[2] = 60, out[3] = 255;
            } else if (strand) {
                out[0] = 240, out[1] = 110, out[2] = 20, out[3] = 255;
            } else {
                out[0] = 240, out[1] = 110, out[2] = 20, out[3] = 0;
            }
        }
    }
    return p;
}

Picture flagger_sprite(const uint8_t flag[3], bool waving)
{
    const int w = 32, h = 64;
    Picture p = make_picture(w, h, 4);
    const uint8_t skin[4] = {220, 180, 140, 255}, shirt[4] = {230, 120, 20, 255}, trousers[4] = {50, 50, 70, 255};
    const uint8_t stick[4] = {120, 100, 70, 255};
    const uint8_t cloth[4] = {flag[0], flag[1], flag[2], 255};
    for (int k = 0; k < w * h; k++)
        p.pixels[(size_t)k * 4 + 3] = 0;
    fill_rect(&p, 12, 6, 19, 13, skin);      // head
    fill_rect(&p, 10, 13, 21, 34, shirt);    // body
    fill_rect(&p, 11, 34, 15, 62, trousers); // legs
    fill_rect(&p, 17, 34, 21, 62, trousers);
    if (waving) {
        fill_rect(&p, 20, 4, 22, 16, stick);  // arm up with the flag pole
        fill_rect(&p, 22, 2, 31, 11, cloth);
    } else {
        fill_rect(&p, 6, 14, 10, 30, shirt);  // arm down, flag rolled
        fill_rect(&p, 6, 30, 8, 44, stick);
        fill_rect(&p, 4, 36, 8, 42, cloth);
    }
    return p;
}

Picture board_sprite(const std::string &text, const uint8_t background[3], const uint8_t foreground[3], bool edge_on)
{
    const int w = 64, h = 64;
    Picture p = make_picture(w, h, 4);
    const uint8_t post[4] = {90, 90, 95, 255};
    const uint8_t bg[4] = {background[0], background[1], background[2], 255};
    const uint8_t fg[4] = {foreground[0], foreground[1], foreground[2], 255};
    fill_rect(&p, 30, 32, 34, 64, post);
    if (edge_on) {
        fill_rect(&p, 29, 2, 35, 34, bg);
        return p;
    }
    fill_rect(&p, 4, 4, 60, 36, bg);
    int scale = 3;
    while (scale > 1 && text_width(text, scale) > 52)
        scale--;
    draw_text(&p, (w - text_width(text, scale)) / 2, 20 - 7 * scale / 2, text, scale, fg);
    return p;
}

Picture checkered_board()
{
    const int w = 64, h = 64;
    Picture p = make_picture(w, h, 4);
    const uint8_t post[4] = {90, 90, 95, 255}, black[4] = {10, 10, 10, 255}, white[4] = {245, 245, 245, 255};
    fill_rect(&p, 30, 32, 34, 64, post);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 7; x++)
            fill_rect(&p, 4 + x * 8, 4 + y * 8, 12 + x * 8, 12 + y * 8, (x + y) % 2 ? black : white);
    return p;
}

Picture haybale_skin()
{
    const int s = 64;
    Picture p = make_picture(s, s, 3);
    for (int y = 0; y < s; y++) {
        for (int x = 0; x < s; x++) {
            double straw = dg_value_noise(77, x * 0.5, y * 6.0, 3.0);
            double n = dg_fractal_noise(78, x, y, 8, 3);
            double light = 0.75 + 0.3 * straw + 0.15 * n;
            bool twine = (y % 32) >= 14 && (y % 32) < 16;
            uint8_t *out = pixel_at(&p, x, y);
            out[0] = to_byte((twine ? 150 : 214) * light);
            out[1] = to_byte((twine ? 90 : 184) * light);
            out[2] = to_byte((twine ? 40 : 100) * light);
        }
    }
    return p;
}

Picture tuffblock_skin(const uint8_t colour[3])
{
    const int s = 64;
    Picture p = make_picture(s, s, 3);
    for (int y = 0; y < s; y++) {
        for (int x = 0; x < s; x++) {
            double n = dg_value_noise(91, x, y, 4.0);
            bool stripe = (x / 16) % 2 == 1;
            uint8_t *out = pixel_at(&p, x, y);
            for (int c = 0; c < 3; c++)
                out[c] = to_byte((stripe ? 235.0 : colour[c]) * (0.92 + 0.08 * n));
        }
    }
    return p;
}

Picture startgate_skin()
{
    const int s = 64;
    Picture p = make_picture(s, s, 3);
    for (int y = 0; y < s; y++) {
        for (int x = 0; x < s; x++) {
            double n = dg_value_noise(93, x, y, 3.0);
            uint8_t *out = pixel_at(&p, x, y);
            bool frame = x < 4 || x >= s - 4 || y < 4 || y >= s - 4;
            bool grip = (x + y) % 6 < 2;
            double v = frame ? 150 : (grip ? 120 : 175);
            out[0] = to_byte(v * (0.9 + 0.1 * n));
            out[1] = to_byte(v * (0.9 + 0.1 * n));
            out[2] = to_byte((v + 8) * (0.9 + 0.1 * n));
        }
    }
    return p;
}

Picture finish_line_decal()
{
    const int w = 64, h = 16;
    Picture p = make_picture(w, h, 4);
    const uint8_t black[4] = {15, 15, 15, 230}, white[4] = {240, 240, 240, 230};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 8; x++)
            fill_rect(&p, x * 8, y * 8, x * 8 + 8, y * 8 + 8, (x + y) % 2 ? black : white);
    return p;
}

Picture arrow_decal()
{
    const int s = 64;
    Picture p = make_picture(s, s, 4);
    for (int y = 0; y < s; y++) {
        for (int x = 0; x < s; x++) {
            uint8_t *out = pixel_at(&p, x, y);
            double fx = (x + 0.5) / s - 0.5, fy = (y + 0.5) / s;
            bool head = fy < 0.45 && (fx < 0 ? -fx : fx) < fy * 0.9;
            bool shaft = fy >= 0.45 && fy < 0.95 && (fx < 0 ? -fx : fx) < 0.12;
            out[0] = 245, out[1] = 245, out[2] = 235;
            out[3] = head || shaft ? 200 : 0;
        }
    }
    return p;
}

Picture roost_sprite()
{
    const int s = 32;
    Picture p = make_picture(s, s, 4);
    for (int y = 0; y < s; y++) {
        for (int x = 0; x < s; x++) {
            double fx = (x + 0.5) / s * 2 - 1, fy = (y + 0.5) / s * 2 - 1;
            double r = fx * fx + fy * fy + (dg_fractal_noise(55, x, y, 6, 2) - 0.5) * 0.6;
            uint8_t *out = pixel_at(&p, x, y);
            // White clumps: the surface's roost colour tints them.
            double shade = 0.75 + 0.25 * dg_value_noise(56, x, y, 3);
            out[0] = out[1] = out[2] = to_byte(255 * shade);
            out[3] = r < 0.8 ? to_byte(255 * dg_smoothstep((0.8 - r) * 4)) : 0;
        }
    }
    return p;
}

Picture flare_sprite(int kind)
{
    const int s = 64;
    Picture p = make_picture(s, s, 3);
    for (int y = 0; y < s; y++) {
        for (int x = 0; x < s; x++) {
            double fx = (x + 0.5) / s * 2 - 1, fy = (y + 0.5) / s * 2 - 1;
            double r2 = fx * fx + fy * fy;
            double v;
            if (kind == 0) {
                v = r2 < 1 ? (1 - r2) * (1 - r2) : 0;          // soft glow
            } else if (kind == 1) {
                double r = std::sqrt(r2);
                v = r < 1 ? dg_clamp(1 - (r - 0.8 < 0 ? 0.8 - r : r - 0.8) * 8, 0, 1) * 0.8 : 0;  // ring
            } else {
                v = r2 < 0.7 ? 0.6 * (1 - r2 / 0.7) : 0;        // disc
            }
            uint8_t *out = pixel_at(&p, x, y);
            out[0] = out[1] = out[2] = to_byte(255 * v);
        }
    }
    return p;
}
