// A small depth-buffered rasteriser for the previews.
#include "datagen/preview.h"

#include <cmath>
#include <cstdio>

#include "data/model.h"
#include "datagen/datagen.h"

Picture render_preview(const std::vector<PlacedModel> &models, int width, int height, double yaw, double pitch)
{
    double cy = dg_cos(yaw * DG_PI / 180), sy = dg_sin(yaw * DG_PI / 180);
    double cp = dg_cos(pitch * DG_PI / 180), sp = dg_sin(pitch * DG_PI / 180);
    // View: turn about y, then tilt about x; screen x right, y down, depth toward the viewer.
    auto view = [&](const double p[3], double out[3]) {
        double x = cy * p[0] - sy * p[2], z = sy * p[0] + cy * p[2];
        double y = cp * p[1] - sp * z;
        z = sp * p[1] + cp * z;
        out[0] = x, out[1] = -y, out[2] = z;
    };
    // Fit the view box.
    double lo[2] = {1e30, 1e30}, hi[2] = {-1e30, -1e30};
    for (const PlacedModel &m : models)
        for (const Model *mesh = m.model; mesh; mesh = mesh->next)
            for (int v = 0; v < mesh->nv; v++) {
                double p[3] = {mesh->positions[v * 3] + m.offset[0], mesh->positions[v * 3 + 1] + m.offset[1],
                               mesh->positions[v * 3 + 2] + m.offset[2]}, s[3];
                view(p, s);
                for (int k = 0; k < 2; k++)
                    lo[k] = s[k] < lo[k] ? s[k] : lo[k], hi[k] = s[k] > hi[k] ? s[k] : hi[k];
            }
    double scale = 0.9 * std::fmin(width / (hi[0] - lo[0] + 1e-9), height / (hi[1] - lo[1] + 1e-9));
    double cx = (lo[0] + hi[0]) / 2, cyy = (lo[1] + hi[1]) / 2;
    Picture picture = make_picture(width, height, 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint8_t *out = pixel_at(&picture, x, y);
            out[0] = (uint8_t)(150 + 60 * y / height), out[1] = (uint8_t)(170 + 50 * y / height), out[2] = 200;
        }
    std::vector<double> depth((size_t)width * height, -1e30);
    const double light[3] = {0.45, 0.75, 0.5};
    for (const PlacedModel &m : models) {
        for (const Model *mesh = m.model; mesh; mesh = mesh->next) {
            for (int t = 0; t < mesh->nt; t++) {
                double s[3][3], w[3][3], uv[3][2];
                for (int k = 0; k < 3; k++) {
                    int v = mesh->triangles[t * 3 + k];
                    for (int c = 0; c < 3; c++)
                        w[k][c] = mesh->positions[v * 3 + c] + m.offset[c];
                    view(w[k], s[k]);
                    s[k][0] = (s[k][0] - cx) * scale + width / 2.0;
                    s[k][1] = (s[k][1] - cyy) * scale + height / 2.0;
                    uv[k][0] = mesh->texcoords[v * 2];
                    uv[k][1] = mesh->texcoords[v * 2 + 1];
                }
                double e1[3] = {w[1][0] - w[0][0], w[1][1] - w[0][1], w[1][2] - w[0][2]};
                double e2[3] = {w[2][0] - w[0][0], w[2][1] - w[0][1], w[2][2] - w[0][2]};
                double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
                double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                if (length <= 0)
                    continue;
                double lit = (n[0] * light[0] + n[1] * light[1] + n[2] * light[2]) / length;
                lit = 0.45 + 0.55 * (lit < 0 ? -lit * 0.3 : lit);
                double area = (s[1][0] - s[0][0]) * (s[2][1] - s[0][1]) - (s[2][0] - s[0][0]) * (s[1][1] - s[0][1]);
                if (area == 0)
                    continue;
                int x0 = (int)std::fmax(0, std::floor(std::fmin(s[0][0], std::fmin(s[1][0], s[2][0]))));
                int x1 = (int)std::fmin(width - 1, std::ceil(std::fmax(s[0][0], std::fmax(s[1][0], s[2][0]))));
                int y0 = (int)std::fmax(0, std::floor(std::fmin(s[0][1], std::fmin(s[1][1], s[2][1]))));
                int y1 = (int)std::fmin(height - 1, std::ceil(std::fmax(s[0][1], std::fmax(s[1][1], s[2][1]))));
                for (int y = y0; y <= y1; y++)
                    for (int x = x0; x <= x1; x++) {
                        double px = x + 0.5, py = y + 0.5;
                        double b0 = ((s[1][0] - px) * (s[2][1] - py) - (s[2][0] - px) * (s[1][1] - py)) / area;
                        double b1 = ((s[2][0] - px) * (s[0][1] - py) - (s[0][0] - px) * (s[2][1] - py)) / area;
                        double b2 = 1 - b0 - b1;
                        if (b0 < 0 || b1 < 0 || b2 < 0)
                            continue;
                        double z = b0 * s[0][2] + b1 * s[1][2] + b2 * s[2][2];
                        double &slot = depth[(size_t)y * width + x];
                        if (z <= slot)
                            continue;
                        slot = z;
                        uint8_t colour[3] = {160, 160, 160};
                        if (m.skin) {
                            double u = b0 * uv[0][0] + b1 * uv[1][0] + b2 * uv[2][0];
                            double v = b0 * uv[0][1] + b1 * uv[1][1] + b2 * uv[2][1];
                            int tx = (int)dg_clamp(u * m.skin->width, 0, m.skin->width - 1);
                            int ty = (int)dg_clamp(v * m.skin->height, 0, m.skin->height - 1);
                            const uint8_t *texel = &m.skin->pixels[((size_t)ty * m.skin->width + tx) * m.skin->channels];
                            colour[0] = texel[0], colour[1] = texel[1], colour[2] = texel[2];
                        }
                        uint8_t *out = pixel_at(&picture, x, y);
                        for (int c = 0; c < 3; c++)
                            out[c] = to_byte(colour[c] * lit);
                    }
            }
        }
    }
    return picture;
}

bool write_picture_file(const std::string &path, const Picture &picture)
{
    std::vector<uint8_t> png = encode_png(picture);
    FILE *file = fopen(path.c_str(), "wb");
    bool ok = file && fwrite(png.data(), 1, png.size(), file) == png.size();
    if (file && fclose(file) != 0)
        ok = false;
    if (!ok)
        fprintf(stderr, "zorvex-data: can't write %s\n", path.c_str());
    return ok;
}
