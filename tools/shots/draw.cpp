// Drawing the shots with the game's renderer: sky, ground, shadows, the
// lit models with their skins, labels in the game's font, the title view,
// and reading the pictures back into PNG files.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/image.h"
#include "data/model.h"
#include "platform/window.h"
#include "render/frame.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "render/text.h"
#include "shots.h"

namespace {

const float sky_top[3] = {0.33f, 0.55f, 0.84f};
const float sky_horizon[3] = {0.80f, 0.87f, 0.94f};
const float sun_colour[4] = {1.0f, 0.97f, 0.92f, 1};
const float light_ambient[4] = {0.42f, 0.42f, 0.45f, 1};
const float global_ambient[4] = {0.12f, 0.12f, 0.12f, 1};
const float white[4] = {1, 1, 1, 1};
const float black[4] = {0, 0, 0, 1};

constexpr float LABEL_LINES = 24;  // text lines in the height of a picture

void ortho_unit_square()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Horizon colour up to the horizon, then a gradient to the sky's top colour.
void draw_sky(double horizon)
{
    ortho_unit_square();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    float h = (float)std::fmin(std::fmax(horizon, 0.0), 1.0);
    float t = std::fmin((1 - h) / 0.5f, 1.0f);
    float top[3];
    for (int k = 0; k < 3; k++)
        top[k] = sky_horizon[k] + (sky_top[k] - sky_horizon[k]) * t;
    glBegin(GL_QUADS);
    glColor3fv(sky_horizon);
    glVertex2f(0, 0);
    glVertex2f(1, 0);
    glVertex2f(1, h);
    glVertex2f(0, h);
    glVertex2f(0, h);
    glVertex2f(1, h);
    glColor3fv(top);
    glVertex2f(1, 1);
    glVertex2f(0, 1);
    glEnd();
    glColor4fv(white);
}

void load_view_matrix(const View &v)
{
    float m[16] = {};
    for (int c = 0; c < 3; c++) {
        m[c * 4 + 0] = (float)v.right[c];
        m[c * 4 + 1] = (float)v.up[c];
        m[c * 4 + 2] = (float)v.back[c];
    }
    m[12] = (float)-(v.right[0] * v.eye[0] + v.right[1] * v.eye[1] + v.right[2] * v.eye[2]);
    m[13] = (float)-(v.up[0] * v.eye[0] + v.up[1] * v.eye[1] + v.up[2] * v.eye[2]);
    m[14] = (float)-(v.back[0] * v.eye[0] + v.back[1] * v.eye[1] + v.back[2] * v.eye[2]);
    m[15] = 1;
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(m);
}

// Colour texture on unit 0, the maps on units 1 and 2, and the program
// that uses what the skin has, as the bike drawing binds a skin.
void bind_skin(const Shots &shots, const Placed &p)
{
    unsigned texture = p.texture ? p.texture : shots.white_texture;
    if (!shaders_in_use || !gl_ext.ActiveTextureARB) {
        glBindTexture(GL_TEXTURE_2D, texture);
        use_program(PROGRAM_FIXED);
        return;
    }
    bool both = p.normal_map && p.specular_map;
    gl_ext.ActiveTextureARB(GL_TEXTURE2_ARB);
    glBindTexture(GL_TEXTURE_2D, both ? p.specular_map : 0);
    gl_ext.ActiveTextureARB(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, p.normal_map);
    gl_ext.ActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, texture);
    use_program(both ? PROGRAM_NORM_SPEC_LIT : p.normal_map ? PROGRAM_NORM_LIT : PROGRAM_LIT);
}

void unbind_maps()
{
    if (shaders_in_use && gl_ext.ActiveTextureARB) {
        for (GLenum unit : {GL_TEXTURE2_ARB, GL_TEXTURE1_ARB}) {
            gl_ext.ActiveTextureARB(unit);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        gl_ext.ActiveTextureARB(GL_TEXTURE0_ARB);
    }
    use_program(PROGRAM_FIXED);
}

void draw_part(const Scene &scene, const Placed &p, const View &view)
{
    BoneData bones = bones_of(scene, p);
    const float eye[3] = {(float)view.eye[0], (float)view.eye[1], (float)view.eye[2]};
    glPushMatrix();
    glTranslatef(p.position[0], p.position[1], p.position[2]);
    draw_model(p.model, p.position, eye, p.pose >= 0 ? &bones : nullptr);
    glPopMatrix();
}

// A checkered plane that fades into the horizon, so it shows no edge.
void draw_ground(const Shots &shots, const View &view, double ground_y)
{
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    use_program(PROGRAM_FIXED);
    glBindTexture(GL_TEXTURE_2D, shots.ground_texture);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, (float)(view.distance * 1.2));
    glFogf(GL_FOG_END, (float)(view.distance * 7));
    const float fog_colour[4] = {sky_horizon[0], sky_horizon[1], sky_horizon[2], 1};
    glFogfv(GL_FOG_COLOR, fog_colour);
    glEnable(GL_FOG);
    // Fog is computed per vertex, so the plane is a fine grid, not one quad.
    const int cells = 64;
    const double tile = 2;  // feet per checker square
    double extent = view.distance * 12, step = 2 * extent / cells;
    double x0 = std::round(view.eye[0] / tile) * tile - extent, z0 = std::round(view.eye[2] / tile) * tile - extent;
    glNormal3f(0, 1, 0);
    for (int row = 0; row < cells; row++) {
        glBegin(GL_QUAD_STRIP);  // counter-clockwise seen from above
        for (int col = 0; col <= cells; col++) {
            double x = x0 + col * step;
            for (int k = 0; k <= 1; k++) {
                double z = z0 + (row + k) * step;
                glTexCoord2d(x / (2 * tile), z / (2 * tile));
                glVertex3d(x, ground_y, z);
            }
        }
        glEnd();
    }
    glDisable(GL_FOG);
}

// Every part flattened along the sun onto the ground; the stencil keeps
// overlapping parts from darkening a pixel twice.
void draw_shadows(const Shots &shots, const Scene &scene, const View &view, const double sun[3], double ground_y)
{
    use_program(PROGRAM_FIXED);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);  // flattening turns half the faces round
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-2, -2);
    if (shots.stencil) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_EQUAL, 0, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    }
    glColor4f(0.12f, 0.1f, 0.08f, 0.42f);
    // p' = p - sun (p.y - ground) / sun.y, column-major.
    float sx = (float)(sun[0] / sun[1]), sz = (float)(sun[2] / sun[1]), g = (float)ground_y;
    const float shadow[16] = {1, 0, 0, 0, -sx, 0, -sz, 0, 0, 0, 1, 0, sx * g, g, sz * g, 1};
    glPushMatrix();
    glMultMatrixf(shadow);
    for (const Placed &p : scene.parts)
        draw_part(scene, p, view);
    glPopMatrix();
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glColor4fv(white);
}

// The scene's labels under their points and its caption, in the game's font.
void draw_labels(const Scene &scene, const View &view, int x, int y, int width, int height)
{
    if (scene.labels.empty() && scene.caption.empty())
        return;
    use_program(PROGRAM_FIXED);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    set_overlay_projection(width, height, 90);
    glViewport(x, y, width, height);
    float line_pixels = height / LABEL_LINES;
    begin_text_overlay(LABEL_LINES);
    float position[2] = {0, 0};
    if (!scene.caption.empty()) {
        overlay_translate(position, 0.5f, -0.5f);
        draw_text_shadowed(1, 1, 1, 1, scene.caption.c_str());
        overlay_translate(position, -position[0], -position[1]);
    }
    for (const Label &label : scene.labels) {
        double px, py;
        project(view, label.at, &px, &py);
        float cx = (float)(px * width / line_pixels), row = (float)((1 - py) * LABEL_LINES) + 0.6f;
        overlay_translate(position, 0, -row);
        draw_text_centred_shadowed(1, 1, 1, 1, cx - 10, cx + 10, label.text.c_str());
        overlay_translate(position, -position[0], -position[1]);
    }
    end_overlay();
    glDisable(GL_BLEND);
}

// One view of the scene into a viewport of the drawing buffer.
void draw_view(const Shots &shots, const Scene &scene, double azimuth, double elevation, int x, int y, int width,
               int height)
{
    View view = frame_view(scene, azimuth, elevation, (double)width / height);
    glViewport(x, y, width, height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    draw_sky(horizon_height(view));

    double near_plane = std::fmax(0.05, view.distance * 0.05), far_plane = view.distance * 20;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-view.tan_x * near_plane, view.tan_x * near_plane, -view.tan_y * near_plane, view.tan_y * near_plane,
              near_plane, far_plane);
    load_view_matrix(view);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    // The sun over the viewer's left shoulder, so the side facing the camera is lit.
    double sun[3];
    for (int k = 0; k < 3; k++)
        sun[k] = -0.45 * view.right[k] + 0.85 * view.up[k] + 0.55 * view.back[k];
    sun[1] = std::fmax(sun[1], 0.5);
    double length = std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]);
    for (double &c : sun)
        c /= length;
    const float sun_position[4] = {(float)sun[0], (float)sun[1], (float)sun[2], 0};
    glLightfv(GL_LIGHT0, GL_POSITION, sun_position);  // with the view matrix loaded: a world direction
    glLightfv(GL_LIGHT0, GL_DIFFUSE, sun_colour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, sun_colour);
    glLightfv(GL_LIGHT0, GL_AMBIENT, light_ambient);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global_ambient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // The lit programs apply fog by its density whether or not GL_FOG is on.
    glFogf(GL_FOG_DENSITY, 0);

    double ground_y = lowest_point(scene);
    draw_ground(shots, view, ground_y);
    draw_shadows(shots, scene, view, sun, ground_y);

    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.75f);
    for (const Placed &p : scene.parts) {
        bind_skin(shots, p);
        draw_part(scene, p, view);
    }
    unbind_maps();
    // The data set's models have no reflective materials, so there is no
    // reflection pass; draw_model_reflections with the sky's environment
    // texture goes here once some do.
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_SCISSOR_TEST);
    draw_labels(scene, view, x, y, width, height);
}

// Starts a frame of the supersampled size; false when the window gives none.
bool begin_shot(Shots *shots)
{
    for (int attempt = 0; attempt < 50; attempt++) {
        vark_pump_window(shots->window);
        VarkFrame *frame = vark_begin_frame(shots->window);
        if (!frame)
            continue;
        if (frame->width == shots->width * SUPERSAMPLE && frame->height == shots->height * SUPERSAMPLE) {
            frame_clear(frame->width, frame->height);
            return true;
        }
        fprintf(stderr, "zorvex-shots: the window is %dx%d, not %dx%d\n", frame->width, frame->height,
                shots->width * SUPERSAMPLE, shots->height * SUPERSAMPLE);
        vark_end_frame(shots->window);
        break;
    }
    shots->failed = true;
    return false;
}

void end_shot(Shots *shots, const char *file_name)
{
    uint8_t *big = read_frame_rgb(shots->width * SUPERSAMPLE, shots->height * SUPERSAMPLE);
    vark_end_frame(shots->window);
    std::string path = shots->out_dir + "/" + file_name;
    if (!big) {
        fprintf(stderr, "zorvex-shots: no memory to read back %s\n", file_name);
        shots->failed = true;
        return;
    }
    std::vector<uint8_t> pixels = downsample(big, shots->width, shots->height, SUPERSAMPLE);
    free(big);
    if (!write_png_rgb(path.c_str(), pixels.data(), shots->width, shots->height)) {
        fprintf(stderr, "zorvex-shots: can't write %s: %s\n", path.c_str(), last_image_error());
        shots->failed = true;
        return;
    }
    shots->written.push_back(path);
}

unsigned make_ground_texture()
{
    const int size = 64;
    uint8_t *pixels = alloc_image_pixels(size, size, 3);
    if (!pixels)
        return 0;
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            bool dark = (x < size / 2) != (y < size / 2);
            uint8_t *p = pixels + ((size_t)y * size + x) * 3;
            p[0] = dark ? 152 : 166, p[1] = dark ? 146 : 160, p[2] = dark ? 136 : 149;
        }
    build_mip_chain(pixels, size, size, 3);
    unsigned id = upload_texture(pixels, size, size, 3, TEXTURE_REPEAT_H | TEXTURE_REPEAT_V);
    free_image_pixels(pixels);
    return id;
}

unsigned make_white_texture()
{
    uint8_t *pixels = alloc_image_pixels(1, 1, 3);
    if (!pixels)
        return 0;
    memset(pixels, 255, 3);
    unsigned id = upload_texture(pixels, 1, 1, 3, 0);
    free_image_pixels(pixels);
    return id;
}

}  // namespace

void shots_gl_setup(Shots *shots)
{
    GLint stencil_bits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencil_bits);
    shots->stencil = stencil_bits > 0;
    shots->ground_texture = make_ground_texture();
    shots->white_texture = make_white_texture();
}

void shoot(Shots *shots, const Scene &scene, double azimuth, double elevation, const char *file_name)
{
    if (!begin_shot(shots))
        return;
    draw_view(*shots, scene, azimuth, elevation, 0, 0, shots->width * SUPERSAMPLE, shots->height * SUPERSAMPLE);
    end_shot(shots, file_name);
}

void shoot_pair(Shots *shots, const Scene &scene, const double views[2][2], const char *file_name)
{
    if (!begin_shot(shots))
        return;
    int width = shots->width * SUPERSAMPLE, half = width / 2, height = shots->height * SUPERSAMPLE;
    draw_view(*shots, scene, views[0][0], views[0][1], 0, 0, half, height);
    draw_view(*shots, scene, views[1][0], views[1][1], half, 0, width - half, height);
    end_shot(shots, file_name);
}

void shoot_title(Shots *shots)
{
    unsigned title = load_texture("!@title.png");
    if (!title) {
        fprintf(stderr, "zorvex-shots: can't load title.png\n");
        shots->failed = true;
        return;
    }
    if (!begin_shot(shots))
        return;
    use_program(PROGRAM_FIXED);
    ortho_unit_square();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, title);
    // Image rows run from the top, so t = 0 is the top edge.
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(0, 0);
    glTexCoord2f(1, 1);
    glVertex2f(1, 0);
    glTexCoord2f(1, 0);
    glVertex2f(1, 1);
    glTexCoord2f(0, 0);
    glVertex2f(0, 1);
    glEnd();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    end_shot(shots, "title.png");
}

std::vector<uint8_t> downsample(const uint8_t *big, int width, int height, int factor)
{
    std::vector<uint8_t> out((size_t)width * height * 3);
    int area = factor * factor;
    size_t big_row = (size_t)width * factor * 3;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int dy = 0; dy < factor; dy++)
                    for (int dx = 0; dx < factor; dx++)
                        sum += big[(size_t)(y * factor + dy) * big_row + (size_t)(x * factor + dx) * 3 + c];
                out[((size_t)y * width + x) * 3 + c] = (uint8_t)((sum + area / 2) / area);
            }
    return out;
}
