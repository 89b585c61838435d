// Sky faces: a haze-to-blue gradient with soft clouds, continuous across
// the four side faces (each covers a quarter turn) and the top.
#include "datagen/sky.h"

#include <cmath>

#include "datagen/image_out.h"

namespace {

const int FACE = 256;

// Colour of the sky in direction (x, y, z), y up.
void sky_colour(double x, double y, double z, uint8_t out[3])
{
    double length = std::sqrt(x * x + y * y + z * z);
    x /= length, y /= length, z /= length;
    double up = y < 0 ? 0 : y;
    static const double horizon[3] = {200, 214, 228}, zenith[3] = {70, 120, 200}, ground[3] = {120, 118, 110};
    double rgb[3];
    if (y < 0) {
        for (int c = 0; c < 3; c++)
            rgb[c] = dg_lerp(horizon[c], ground[c], dg_smoothstep(-y * 8));
    } else {
        double t = 1 - (1 - up) * (1 - up);
        for (int c = 0; c < 3; c++)
            rgb[c] = dg_lerp(horizon[c], zenith[c], t);
        // Clouds on a plane overhead, thinning toward the horizon.
        double px = x / (up + 0.08) * 400, pz = z / (up + 0.08) * 400;
        double cloud = dg_fractal_noise(4242, px, pz, 600, 4);
        double cover = dg_smoothstep((cloud - 0.52) * 5) * dg_smoothstep(up * 6);
        for (int c = 0; c < 3; c++)
            rgb[c] = dg_lerp(rgb[c], 245, cover * 0.85);
    }
    for (int c = 0; c < 3; c++)
        out[c] = to_byte(rgb[c]);
}

// Face directions: the centre of the face and its right and down axes.
struct FaceAxes {
    const char *name;
    double centre[3], right[3], down[3];
};

const FaceAxes faces[5] = {
    {"sky-n.ppm", {0, 0, -1}, {1, 0, 0}, {0, -1, 0}},
    {"sky-e.ppm", {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
    {"sky-s.ppm", {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},
    {"sky-w.ppm", {-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},
    {"sky-u.ppm", {0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
};

}  // namespace

void build_sky(DataSet *set)
{
    for (const FaceAxes &f : faces) {
        Picture p = make_picture(FACE, FACE, 3);
        for (int y = 0; y < FACE; y++) {
            for (int x = 0; x < FACE; x++) {
                double u = (x + 0.5) / FACE * 2 - 1, v = (y + 0.5) / FACE * 2 - 1;
                double d[3];
                for (int c = 0; c < 3; c++)
                    d[c] = f.centre[c] + u * f.right[c] + v * f.down[c];
                sky_colour(d[0], d[1], d[2], pixel_at(&p, x, y));
            }
        }
        add_file(set, f.name, encode_pnm(p));
    }
    // The environment map: an angular map of the whole sky seen from inside.
    Picture env = make_picture(FACE, FACE, 3);
    for (int y = 0; y < FACE; y++) {
        for (int x = 0; x < FACE; x++) {
            double u = (x + 0.5) / FACE * 2 - 1, v = (y + 0.5) / FACE * 2 - 1;
            double r = std::sqrt(u * u + v * v);
            double a = r * DG_PI;  // angle from straight up
            double s = r > 0 ? dg_sin(a) / r : 0;
            sky_colour(u * s, dg_cos(a), v * s, pixel_at(&env, x, y));
        }
    }
    add_file(set, "sky-env.ppm", encode_pnm(env));
    Picture white = make_picture(4, 4, 3);
    for (uint8_t &b : white.pixels)
        b = 255;
    add_file(set, "colors/white.png", encode_png(white));
}
