// Drawing models in a real context: every drawing path puts the skinned mesh
// in the same place, flat-colour materials put the lighting back, and the
// reflection mapping on the CPU agrees with the "env" program.
#include "render/model_draw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/render_settings.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "render_test_util.h"

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba pixel(int x, int y)
{
    unsigned char p[4] = {0, 0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgba{p[0], p[1], p[2], p[3]};
}

GLuint texture(int width, int height, const unsigned char *rgba)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return id;
}

// A 64x64 view on [-1, 1]^2 with a white texture on unit 0, no fog, no lighting.
void reset_view(bool perspective)
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (perspective)
        glFrustum(-1, 1, -1, 1, 1, 10);
    else
        glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glFogf(GL_FOG_DENSITY, 0);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

Model *parse(const char *text)
{
    return parse_model(text, strlen(text), "drawn.qm");
}

// A quad of half-size 0.25 around the origin facing +z, every vertex on bone 0.
const char *skinned_quad =
    "QM2 1 rig\n"
    "1 1 0 0 0 4 2\n"
    "-0.25 -0.25 0  0 0 1  0 0  1\n"
    " 0.25 -0.25 0  0 0 1  1 0  1\n"
    " 0.25  0.25 0  0 0 1  1 1  1\n"
    "-0.25  0.25 0  0 0 1  0 1  1\n"
    "0 1 2  0 2 3\n";

TEST(ModelDraw, EveryPathPutsTheSkinnedQuadWhereTheBoneMovedIt)
{
    ASSERT_TRUE(gl_context());
    ASSERT_TRUE(shaders_in_use);
    static const unsigned char white[4] = {255, 255, 255, 255};
    GLuint tex = texture(1, 1, white);

    const float centre[3] = {0, 0, 0}, translation[3] = {0.5f, 0, 0};
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    BoneData bones;
    bones.count = 1;
    bones.centres = centre;
    bones.translations = translation;
    bones.rotations = identity;
    const float origin[3] = {0, 0, 0}, eye[3] = {0, 0, 5};

    struct Case {
        int program;
        int no_vertex_arrays;
        bool display_list;
    } cases[] = {
        {PROGRAM_FIXED, 0, false}, {PROGRAM_FIXED, 1, false}, {PROGRAM_LIT, 0, false},
        {PROGRAM_LIT, 1, false},   {PROGRAM_LIT, 0, true},    {PROGRAM_LIT, 1, true},
        {PROGRAM_FIXED, 0, true},  // a list compiled for the shaders is not used without them
    };
    int saved_arrays = render_settings.no_vertex_arrays;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(program_name(c.program)) + (c.no_vertex_arrays ? " immediate" : " arrays") +
                     (c.display_list ? " list" : ""));
        render_settings.no_vertex_arrays = c.no_vertex_arrays;
        Model *m = parse(skinned_quad);
        ASSERT_NE(m, nullptr);
        if (c.display_list) {
            build_display_list(m);
            EXPECT_NE(m->display_list, 0u);
        }
        reset_view(false);
        use_program(c.program);
        frame_counters.model_vertices = frame_counters.model_triangles = 0;
        draw_model(m, origin, eye, &bones);
        use_program(PROGRAM_FIXED);
        EXPECT_EQ(frame_counters.model_vertices, 4);
        EXPECT_EQ(frame_counters.model_triangles, 2);
        EXPECT_GT(pixel(48, 32).g, 100);  // x = 0.5: where the bone moved the quad
        EXPECT_LT(pixel(32, 32).g, 10);   // x = 0: where it was
        EXPECT_LT(pixel(60, 32).g, 10);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        release_display_list(m);
        free_model(m);
    }
    render_settings.no_vertex_arrays = saved_arrays;
    glDeleteTextures(1, &tex);
}

TEST(ModelDraw, FlatColourMeshPutsTheLightingBack)
{
    ASSERT_TRUE(gl_context());
    reset_view(false);
    const GLfloat global[4] = {0.1f, 0.2f, 0.3f, 1}, light[4] = {0.4f, 0.5f, 0.6f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global);
    glLightfv(GL_LIGHT0, GL_AMBIENT, light);
    Model *m = parse(
        "QM1\n"
        "-2 0.5 1 0 0 3 1\n"
        "0 0 0 0 0 1 0 0  1 0 0 0 0 1 1 0  0 1 0 0 0 1 0 1\n"
        "0 1 2\n"
        "8 0 0.2 0.3 0.4 3 1\n"
        "0 0 0 0 0 1 0 0  1 0 0 0 0 1 1 0  0 1 0 0 0 1 0 1\n"
        "0 1 2\n");
    ASSERT_NE(m, nullptr);
    const float origin[3] = {0, 0, 0};
    draw_model(m, origin, origin, nullptr);
    GLfloat value[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, value);
    for (int i = 0; i < 4; i++)
        EXPECT_FLOAT_EQ(value[i], global[i]);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, value);
    for (int i = 0; i < 4; i++)
        EXPECT_FLOAT_EQ(value[i], light[i]);
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, value);
    for (int i = 0; i < 4; i++)
        EXPECT_FLOAT_EQ(value[i], 1);
    // The second mesh set its specular colour and exponent.
    glGetMaterialfv(GL_BACK, GL_SPECULAR, value);
    EXPECT_FLOAT_EQ(value[0], 0.2f);
    EXPECT_FLOAT_EQ(value[3], 1);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, value);
    EXPECT_FLOAT_EQ(value[0], 8);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    free_model(m);
}

TEST(ModelDraw, ReflectionsOnTheCpuAgreeWithTheEnvProgram)
{
    ASSERT_TRUE(gl_context());
    ASSERT_TRUE(shaders_in_use);
    // The lower half of the environment map is blue, the upper half red.
    static const unsigned char halves[8] = {0, 0, 255, 255, 255, 0, 0, 255};
    GLuint tex = texture(1, 2, halves);
    // A mirror of half-size 1 three units in front of the eye, and a dull
    // mesh that the reflection pass leaves out.
    Model *m = parse(
        "QM1\n"
        "4 1 1 1 1 3 1\n"
        "-9 -9 -3  0 0 1  0 0  -8 -9 -3  0 0 1  0 0  -9 -8 -3  0 0 1  0 0\n"
        "0 1 2\n"
        "-1 1 1 1 1 4 2\n"
        "-1 -1 -3  0 0 1  0 0\n"
        " 1 -1 -3  0 0 1  0 0\n"
        " 1  1 -3  0 0 1  0 0\n"
        "-1  1 -3  0 0 1  0 0\n"
        "0 1 2  0 2 3\n");
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(m->reflective);
    const float origin[3] = {0, 0, 0};
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float flipped[9] = {1, 0, 0, 0, 1, 0, 0, 0, -1};  // sends the reflection to -z

    struct Case {
        const float *view;
        bool red;
    } cases[] = {{identity, true}, {flipped, false}};
    for (const Case &c : cases) {
        for (int program : {PROGRAM_FIXED, PROGRAM_ENV}) {
            SCOPED_TRACE(std::string(program_name(program)) + (c.red ? " identity" : " flipped"));
            reset_view(true);
            set_env_matrix(c.view);
            use_program(program);
            frame_counters.model_vertices = 0;
            draw_model_reflections(m, origin, origin, c.view, nullptr);
            use_program(PROGRAM_FIXED);
            EXPECT_EQ(frame_counters.model_vertices, 4);  // the mirror only
            Rgba p = pixel(32, 32);
            EXPECT_EQ(p.r > 200, c.red) << p.r << " " << p.b;
            EXPECT_EQ(p.b > 200, !c.red) << p.r << " " << p.b;
            EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        }
    }
    glDeleteTextures(1, &tex);
    free_model(m);
}

TEST(ModelDraw, LoadedModelsGetDisplayListsThroughTheCacheHooks)
{
    ASSERT_TRUE(gl_context());
    ASSERT_TRUE(shaders_in_use);
    TempDir dir;
    std::string path = dir.write("old.qm",
                                 "3 1\n"
                                 "0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n"
                                 "0 1 2\n");
    model_draw_init();
    Model *m = load_model(path.c_str());
    ASSERT_NE(m, nullptr);
    GLuint list = m->display_list;
    EXPECT_NE(list, 0u);
    EXPECT_TRUE(glIsList(list));
    free_model_cache();
    EXPECT_FALSE(glIsList(list));
    model_draw_shutdown();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
