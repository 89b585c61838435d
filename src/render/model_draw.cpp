// Model drawing: vertex arrays or immediate mode, display lists, materials,
// skinning on the CPU or through the shaders, and the reflection pass.
#include "render/model_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "data/render_settings.h"
#include "render/renderer.h"
#include "render/shaders.h"

// The per-vertex attributes of one draw.
struct MeshArrays {
    const float *positions;
    const float *normals;
    const float *tangents;
    const float *texcoords;
    bool shader_attributes;  // tangents, and for skinned meshes weights and bones
};

static bool can_send_shader_attributes()
{
    return shaders_in_use && gl_ext.ClientActiveTextureARB && gl_ext.MultiTexCoord3fvARB &&
           renderer_info.texture_units >= 4;
}

static void send_immediate(const Model *m, const MeshArrays &a)
{
    bool skinned = a.shader_attributes && m->bone_count > 0;
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < m->nt * 3; i++) {
        int v = m->triangles[(size_t)i];
        if (a.shader_attributes)
            gl_ext.MultiTexCoord3fvARB(GL_TEXTURE1_ARB, a.tangents + v * 3);
        if (skinned) {
            const int32_t *b = &m->bone_indices[(size_t)v * 4];
            float bones[4] = {(float)b[0], (float)b[1], (float)b[2], (float)b[3]};
            gl_ext.MultiTexCoord4fvARB(GL_TEXTURE2_ARB, &m->bone_weights[(size_t)v * 4]);
            gl_ext.MultiTexCoord4fvARB(GL_TEXTURE3_ARB, bones);
        }
        glTexCoord2fv(a.texcoords + v * 2);
        glNormal3fv(a.normals + v * 3);
        glVertex3fv(a.positions + v * 3);
    }
    glEnd();
}

static void client_texcoords(GLenum unit, int size, GLenum type, const void *data)
{
    gl_ext.ClientActiveTextureARB(unit);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(size, type, 0, data);
}

static void client_texcoords_off(GLenum unit)
{
    gl_ext.ClientActiveTextureARB(unit);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

static void send_arrays(const Model *m, const MeshArrays &a)
{
    bool skinned = a.shader_attributes && m->bone_count > 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, a.positions);
    glNormalPointer(GL_FLOAT, 0, a.normals);
    if (a.shader_attributes) {
        client_texcoords(GL_TEXTURE1_ARB, 3, GL_FLOAT, a.tangents);
        if (skinned) {
            client_texcoords(GL_TEXTURE2_ARB, 4, GL_FLOAT, m->bone_weights.data());
            client_texcoords(GL_TEXTURE3_ARB, 4, GL_INT, m->bone_indices.data());
        }
        gl_ext.ClientActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, a.texcoords);
    glDrawElements(GL_TRIANGLES, m->nt * 3, GL_UNSIGNED_INT, m->triangles.data());
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (a.shader_attributes) {
        client_texcoords_off(GL_TEXTURE1_ARB);
        if (skinned) {
            client_texcoords_off(GL_TEXTURE2_ARB);
            client_texcoords_off(GL_TEXTURE3_ARB);
        }
        gl_ext.ClientActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

static void send_mesh(const Model *m, const MeshArrays &a)
{
    if (m->nv == 0 || m->nt == 0)
        return;
    if (render_settings.no_vertex_arrays)
        send_immediate(m, a);
    else
        send_arrays(m, a);
}

// The arrays to draw: the bind pose for skinning in the shader, else the
// current (possibly CPU-posed) copy.
static MeshArrays mesh_arrays(const Model *m, bool shader_skinning, const float *texcoords)
{
    size_t offset = shader_skinning && m->bone_count > 0 ? (size_t)m->nv * 3 : 0;
    return MeshArrays{m->positions.data() + offset, m->normals.data() + offset, m->tangents.data() + offset,
                      texcoords ? texcoords : m->texcoords.data(), shader_skinning && can_send_shader_attributes()};
}

void build_display_list(Model *m)
{
    bool allowed = shaders_in_use || (m->bone_count == 0 && m->shininess >= 0) || m->old_format;
    if (!allowed || m->display_list)
        return;
    GLuint list = glGenLists(1);
    if (!list)
        return;
    glNewList(list, GL_COMPILE);
    send_mesh(m, mesh_arrays(m, shaders_in_use, nullptr));
    glEndList();
    m->display_list = list;
}

void release_display_list(Model *m)
{
    if (m->display_list)
        glDeleteLists(m->display_list, 1);
    m->display_list = 0;
}

void model_draw_init()
{
    model_graphics.prepare = build_display_list;
    model_graphics.release = release_display_list;
}

void model_draw_shutdown()
{
    model_graphics.prepare = nullptr;
    model_graphics.release = nullptr;
}

// Draws one mesh: skinned meshes are posed first, on the CPU when no shader
// program is current. `texcoords` replaces the mesh's own (reflection mapping).
static void draw_one(Model *m, const BoneData *bones, bool shader_program, const float *texcoords)
{
    if (shader_program) {
        if (m->bone_count > 0 && bones)
            set_bones(bones->count, bones->centres, bones->translations, bones->rotations);
        else
            set_bones(0, nullptr, nullptr, nullptr);
    }
    bool cpu_posed = m->bone_count > 0 && !shader_program;
    if (m->display_list && !cpu_posed && !texcoords && (shader_program || m->bone_count == 0))
        glCallList(m->display_list);
    else
        send_mesh(m, mesh_arrays(m, shader_program, texcoords));
    frame_counters.model_vertices += m->nv;
    frame_counters.model_triangles += m->nt;
}

static float distance3(const float *a, const float *b)
{
    float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

static Model *choose_lod(Model *model, const float *model_position, const float *eye)
{
    float d = distance3(model_position, eye);
    return const_cast<Model *>(select_lod(model, d, render_settings.lod_bias, render_settings.lod_scale));
}

void draw_model(Model *model, const float model_position[3], const float eye[3], const BoneData *bones)
{
    if (!model)
        return;
    bool shader_program = shaders_in_use && current_program() != PROGRAM_FIXED;
    for (Model *m = choose_lod(model, model_position, eye); m; m = m->next) {
        if (m->shininess == -1)
            break;
        bool flat = m->shininess == -2;
        GLfloat global_ambient[4], light_ambient[4];
        if (flat) {
            static const GLfloat black[4] = {0, 0, 0, 1};
            GLfloat colour[4] = {m->colour[0], m->colour[1], m->colour[2], m->factor};
            glGetFloatv(GL_LIGHT_MODEL_AMBIENT, global_ambient);
            glGetLightfv(GL_LIGHT0, GL_AMBIENT, light_ambient);
            glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
            glLightfv(GL_LIGHT0, GL_AMBIENT, colour);
            glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, black);
            glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
            glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 1);
        } else {
            GLfloat specular[4] = {m->colour[0], m->colour[1], m->colour[2], m->factor};
            glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
            // GL refuses exponents above 128 and would keep the previous one.
            glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(m->shininess, 0.125f, 128.0f));
        }
        if (m->bone_count > 0 && !shader_program)
            skin_mesh(m, bones);
        draw_one(m, bones, shader_program, nullptr);
        if (flat) {
            static const GLfloat white[4] = {1, 1, 1, 1};
            glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global_ambient);
            glLightfv(GL_LIGHT0, GL_AMBIENT, light_ambient);
            glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
        }
    }
}

void draw_model_reflections(Model *model, const float model_position[3], const float eye[3], const float view[9],
                            const BoneData *bones)
{
    if (!model || !model->reflective)
        return;
    bool shader_program = shaders_in_use && current_program() != PROGRAM_FIXED;
    static std::vector<float> uv;  // scratch for the CPU mapping, reused frame to frame
    for (Model *m = choose_lod(model, model_position, eye); m; m = m->next) {
        if (m->shininess != -1)
            continue;
        glColor4f(m->factor * m->colour[0], m->factor * m->colour[1], m->factor * m->colour[2], 1);
        if (shader_program) {
            draw_one(m, bones, true, nullptr);
            continue;
        }
        if (m->bone_count > 0)
            skin_mesh(m, bones);
        uv.resize((size_t)m->nv * 2);
        env_map_coordinates(m, model_position, eye, view, uv.data());
        draw_one(m, bones, false, uv.data());
    }
}
