// A small depth-buffered rasteriser for the previews.
#include "datagen/preview.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/model.h"
#include "datagen/datagen.h"
#include "datagen/textures.h"

namespace {

// base^exponent by squaring: the same bits everywhere, since a render may
// end up in the data set.
double power(double base, int exponent)
{
    double result = 1;
    for (; exponent > 0; exponent >>= 1, base *= base)
        if (exponent & 1)
            result *= base;
    return result;
}

Picture render(const std::vector<PlacedModel> &models, int width, int height, double yaw, double pitch, bool cutout)
{
    double cy = dg_cos(yaw * DG_PI / 180), sy = dg_sin(yaw * DG_PI / 180);
    double cp = dg_cos(pitch * DG_PI / 180), sp = dg_sin(pitch * DG_PI / 180);
    // View: turn about y, then tilt about x; x right, y up, z toward the viewer.
    auto turn = [&](const double p[3], double out[3]) {
        double x = cy * p[0] - sy * p[2], z = sy * p[0] + cy * p[2];
        double y = cp * p[1] - sp * z;
        z = sp * p[1] + cp * z;
        out[0] = x, out[1] = y, out[2] = z;
    };
    // Rendered at twice the size and averaged down, for smooth edges.
    const int ss = 2;
    int w = width * ss, h = height * ss;
    // Fit the view box.
    double lo[2] = {1e30, 1e30}, hi[2] = {-1e30, -1e30};
    for (const PlacedModel &m : models)
        for (const Model *mesh = m.model; mesh; mesh = mesh->next)
            for (int v = 0; v < mesh->nv; v++) {
                double p[3] = {mesh->positions[v * 3] + m.offset[0], mesh->positions[v * 3 + 1] + m.offset[1],
                               mesh->positions[v * 3 + 2] + m.offset[2]}, s[3];
                turn(p, s);
                s[1] = -s[1];
                for (int k = 0; k < 2; k++)
                    lo[k] = s[k] < lo[k] ? s[k] : lo[k], hi[k] = s[k] > hi[k] ? s[k] : hi[k];
            }
    double scale = 0.9 * std::fmin(w / (hi[0] - lo[0] + 1e-9), h / (hi[1] - lo[1] + 1e-9));
    double cx = (lo[0] + hi[0]) / 2, cyy = (lo[1] + hi[1]) / 2;
    std::vector<double> colour_buffer((size_t)w * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            double *out = &colour_buffer[((size_t)y * w + x) * 3];
            out[0] = 150 + 60.0 * y / h, out[1] = 170 + 50.0 * y / h, out[2] = 200;
        }
    std::vector<double> depth((size_t)w * h, -1e30);
    // A key light from over the viewer's left shoulder and a dim fill from the right.
    double key[3] = {-0.45, 0.65, 0.62}, fill[3] = {0.7, -0.1, 0.4};
    for (double *l : {key, fill}) {
        double length = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
        for (int k = 0; k < 3; k++)
            l[k] /= length;
    }
    double half[3] = {key[0], key[1], key[2] + 1};
    double half_length = std::sqrt(half[0] * half[0] + half[1] * half[1] + half[2] * half[2]);
    for (double &c : half)
        c /= half_length;
    for (const PlacedModel &m : models) {
        for (const Model *mesh = m.model; mesh; mesh = mesh->next) {
            bool smooth = (int)mesh->normals.size() >= mesh->nv * 3;
            double shine = mesh->shininess > 1 ? mesh->shininess : 1, gloss = mesh->colour[0];
            for (int t = 0; t < mesh->nt; t++) {
                double s[3][3], w3[3][3], uv[3][2], n[3][3], vsp[3][3];
                for (int k = 0; k < 3; k++) {
                    int v = mesh->triangles[t * 3 + k];
                    for (int c = 0; c < 3; c++)
                        w3[k][c] = mesh->positions[v * 3 + c] + m.offset[c];
                    turn(w3[k], s[k]);
                    for (int c = 0; c < 3; c++)
                        vsp[k][c] = s[k][c];
                    s[k][0] = (s[k][0] - cx) * scale + w / 2.0;
                    s[k][1] = (-s[k][1] - cyy) * scale + h / 2.0;
                    uv[k][0] = mesh->texcoords[v * 2];
                    uv[k][1] = mesh->texcoords[v * 2 + 1];
                    if (smooth) {
                        double wn[3] = {mesh->normals[v * 3], mesh->normals[v * 3 + 1], mesh->normals[v * 3 + 2]};
                        turn(wn, n[k]);
                    }
                }
                double e1[3] = {vsp[1][0] - vsp[0][0], vsp[1][1] - vsp[0][1], vsp[1][2] - vsp[0][2]};
                double e2[3] = {vsp[2][0] - vsp[0][0], vsp[2][1] - vsp[0][1], vsp[2][2] - vsp[0][2]};
                double fn[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                e1[0] * e2[1] - e1[1] * e2[0]};
                double length = std::sqrt(fn[0] * fn[0] + fn[1] * fn[1] + fn[2] * fn[2]);
                if (length <= 0)
                    continue;
                for (double &c : fn)
                    c /= length;
                if (!smooth)
                    for (int k = 0; k < 3; k++)
                        for (int c = 0; c < 3; c++)
                            n[k][c] = fn[c];
                double area = (s[1][0] - s[0][0]) * (s[2][1] - s[0][1]) - (s[2][0] - s[0][0]) * (s[1][1] - s[0][1]);
                if (area == 0)
                    continue;
                int x0 = (int)std::fmax(0, std::floor(std::fmin(s[0][0], std::fmin(s[1][0], s[2][0]))));
                int x1 = (int)std::fmin(w - 1, std::ceil(std::fmax(s[0][0], std::fmax(s[1][0], s[2][0]))));
                int y0 = (int)std::fmax(0, std::floor(std::fmin(s[0][1], std::fmin(s[1][1], s[2][1]))));
                int y1 = (int)std::fmin(h - 1, std::ceil(std::fmax(s[0][1], std::fmax(s[1][1], s[2][1]))));
                for (int y = y0; y <= y1; y++)
                    for (int x = x0; x <= x1; x++) {
                        double px = x + 0.5, py = y + 0.5;
                        double b0 = ((s[1][0] - px) * (s[2][1] - py) - (s[2][0] - px) * (s[1][1] - py)) / area;
                        double b1 = ((s[2][0] - px) * (s[0][1] - py) - (s[0][0] - px) * (s[2][1] - py)) / area;
                        double b2 = 1 - b0 - b1;
                        if (b0 < 0 || b1 < 0 || b2 < 0)
                            continue;
                        double z = b0 * s[0][2] + b1 * s[1][2] + b2 * s[2][2];
                        double &slot = depth[(size_t)y * w + x];
                        if (z <= slot)
                            continue;
                        slot = z;
                        double colour[3] = {160, 160, 160};
                        if (m.skin) {
                            double u = b0 * uv[0][0] + b1 * uv[1][0] + b2 * uv[2][0];
                            double v = b0 * uv[0][1] + b1 * uv[1][1] + b2 * uv[2][1];
                            int tx = (int)dg_clamp(u * m.skin->width, 0, m.skin->width - 1);
                            int ty = (int)dg_clamp(v * m.skin->height, 0, m.skin->height - 1);
                            size_t at = ((size_t)ty * m.skin->width + tx) * m.skin->channels;
                            const uint8_t *texel = &m.skin->pixels[at];
                            colour[0] = texel[0], colour[1] = texel[1], colour[2] = texel[2];
                        }
                        double nn[3];
                        for (int c = 0; c < 3; c++)
                            nn[c] = b0 * n[0][c] + b1 * n[1][c] + b2 * n[2][c];
                        double nl = std::sqrt(nn[0] * nn[0] + nn[1] * nn[1] + nn[2] * nn[2]);
                        if (nl > 0)
                            for (double &c : nn)
                                c /= nl;
                        if (nn[2] < 0 && fn[2] < 0)   // a back face seen through an open shell
                            for (double &c : nn)
                                c = -c;
                        double diffuse = std::fmax(0, nn[0] * key[0] + nn[1] * key[1] + nn[2] * key[2]);
                        double soft = std::fmax(0, nn[0] * fill[0] + nn[1] * fill[1] + nn[2] * fill[2]);
                        double lit = 0.32 + 0.75 * diffuse + 0.2 * soft;
                        double facing = std::fmax(0, nn[0] * half[0] + nn[1] * half[1] + nn[2] * half[2]);
                        double spec = gloss * power(facing, (int)(shine + 0.5)) * 255;
                        double *out = &colour_buffer[((size_t)y * w + x) * 3];
                        for (int c = 0; c < 3; c++)
                            out[c] = colour[c] * lit + spec;
                    }
            }
        }
    }
    // A cut-out keeps the covered samples only, with their share as alpha.
    Picture picture = make_picture(width, height, cutout ? 4 : 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint8_t *out = pixel_at(&picture, x, y);
            int covered = 0;
            double sum[3] = {0, 0, 0};
            for (int dy = 0; dy < ss; dy++)
                for (int dx = 0; dx < ss; dx++) {
                    size_t at = ((size_t)(y * ss + dy)) * w + (x * ss + dx);
                    if (cutout && depth[at] == -1e30)
                        continue;
                    covered++;
                    for (int c = 0; c < 3; c++)
                        sum[c] += colour_buffer[at * 3 + c];
                }
            for (int c = 0; c < 3; c++)
                out[c] = covered ? to_byte(sum[c] / covered) : 0;
            if (cutout)
                out[3] = to_byte(255.0 * covered / (ss * ss));
        }
    return picture;
}

}  // namespace

Picture render_preview(const std::vector<PlacedModel> &models, int width, int height, double yaw, double pitch)
{
    return render(models, width, height, yaw, pitch, false);
}

Picture render_cutout(const std::vector<PlacedModel> &models, int width, int height, double yaw, double pitch)
{
    return render(models, width, height, yaw, pitch, true);
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

PreviewScene::~PreviewScene()
{
    for (Model *model : loaded)
        free_model(model);
}

bool scene_add(PreviewScene *scene, const DataSet *set, const std::string &name, const float at[3],
               const Picture *skin)
{
    for (const ArchiveInput &file : set->files) {
        if (file.name != name)
            continue;
        Model *model = parse_model((const char *)file.bytes.data(), file.bytes.size(), name.c_str());
        if (!model)
            return false;
        scene->loaded.push_back(model);
        scene->placed.push_back({model, {at[0], at[1], at[2]}, skin});
        return true;
    }
    return false;
}

Picture preview_plate(const char *number)
{
    Picture plate = make_picture(64, 64, 3);
    for (uint8_t &b : plate.pixels)
        b = 238;
    const uint8_t digits[4] = {18, 18, 18, 255};
    int scale = strlen(number) > 2 ? 4 : 7;
    draw_text(&plate, (64 - text_width(number, scale)) / 2, (64 - 7 * scale) / 2, number, scale, digits);
    return plate;
}
