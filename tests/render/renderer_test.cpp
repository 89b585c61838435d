// Renderer setup and the shader programs, in a real context (offscreen under CTest).
#include "render/renderer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/gl_proc.h"
#include "platform/log.h"
#include "render/shaders.h"
#include "render_test_util.h"
#include "test_util.h"

// The GL driver that SDL loads keeps one-time allocations and is unloaded
// again before exit, so its frames have no names: only SDL's show.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libSDL2\n";
}

namespace {

TEST(RendererStrings, ExtensionsMatchWholeWordsOnly)
{
    struct Case {
        const char *list;
        const char *name;
        bool found;
    } cases[] = {
        {"GL_ARB_vertex_shader", "GL_ARB_vertex_shader", true},
        {"GL_A GL_ARB_vertex_shader GL_B", "GL_ARB_vertex_shader", true},
        {"GL_A GL_ARB_vertex_shader", "GL_ARB_vertex_shader", true},
        {"GL_ARB_vertex_shader_tessellator", "GL_ARB_vertex_shader", false},
        {"GL_ARB_vertex_shader_extra GL_ARB_vertex_shader", "GL_ARB_vertex_shader", true},
        {"XGL_ARB_vertex_shader", "GL_ARB_vertex_shader", false},
        {"GL_ARB_multitexture GL_EXT_framebuffer_object", "GL_ARB_multi", false},
        {"", "GL_ARB_multitexture", false},
        {"NULL", "GL_ARB_multitexture", false},
        {"GL_ARB_multitexture", "", false},
        {nullptr, "GL_ARB_multitexture", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(has_extension(c.list, c.name), c.found) << (c.list ? c.list : "(null)") << " / " << c.name;
}

TEST(RendererStrings, VersionNumbers)
{
    struct Case {
        const char *version;
        int major, minor;
    } cases[] = {
        {"1.4.0 Vendor build 6.14", 1, 4},
        {"4.5 (Compatibility Profile) Mesa 22.3.6", 4, 5},
        {"2.1", 2, 1},
        {"NULL", 0, 0},
        {"3", 0, 0},
        {"", 0, 0},
        {nullptr, 0, 0},
    };
    for (const Case &c : cases) {
        int major = -1, minor = -1;
        parse_gl_version(c.version, &major, &minor);
        EXPECT_EQ(major, c.major) << (c.version ? c.version : "(null)");
        EXPECT_EQ(minor, c.minor) << (c.version ? c.version : "(null)");
    }
}

TEST(Renderer, InitReadsTheDriver)
{
    ASSERT_TRUE(gl_context()) << vark_last_error();
    EXPECT_NE(renderer_info.vendor, "NULL");
    EXPECT_NE(renderer_info.renderer, "NULL");
    EXPECT_GE(renderer_info.version_major, 1);
    EXPECT_TRUE(renderer_info.multitexture);
    EXPECT_TRUE(renderer_info.vertex_shader);
    EXPECT_TRUE(renderer_info.fragment_shader);
    EXPECT_GE(renderer_info.texture_units, 4);
    EXPECT_NE(gl_ext.ActiveTextureARB, nullptr);
    EXPECT_NE(gl_ext.CreateShaderObjectARB, nullptr);
    EXPECT_NE(test_log().find(std::to_string(renderer_info.texture_units) + " texture units\n"), std::string::npos);
}

TEST(Shaders, SevenProgramsCompileAndLink)
{
    ASSERT_TRUE(gl_context());
    ASSERT_TRUE(shaders_in_use) << test_log();
    const char *names[PROGRAM_SLOTS] = {"fixed",    "lit",           "env",             "norm_lit",
                                        "norm_env", "norm_spec_lit", "terrain_normals", "terrain"};
    for (int slot = 0; slot < PROGRAM_SLOTS; slot++) {
        EXPECT_STREQ(program_name(slot), names[slot]);
        if (slot == 0)
            continue;
        EXPECT_NE(program_handle(slot), 0u) << names[slot];
        for (int other = 1; other < slot; other++)
            EXPECT_NE(program_handle(slot), program_handle(other));
    }
    EXPECT_EQ(program_handle(0), 0u);
    EXPECT_EQ(program_handle(PROGRAM_SLOTS), 0u);
    EXPECT_EQ(current_program(), PROGRAM_FIXED);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    // Compiling and linking leaves no complaint in the log.
    EXPECT_EQ(test_log().find("status for"), std::string::npos) << test_log();
}

TEST(Shaders, UseProgramCountsOnlyRealSwitches)
{
    ASSERT_TRUE(gl_context());
    ASSERT_TRUE(shaders_in_use);
    use_program(PROGRAM_FIXED);
    frame_counters.program_switches = 0;
    struct Step {
        int slot;
        int switches;  // counted so far
        int current;
    } steps[] = {
        {PROGRAM_LIT, 1, PROGRAM_LIT},     {PROGRAM_LIT, 1, PROGRAM_LIT},     {PROGRAM_TERRAIN, 2, PROGRAM_TERRAIN},
        {PROGRAM_FIXED, 3, PROGRAM_FIXED}, {PROGRAM_FIXED, 3, PROGRAM_FIXED}, {-1, 3, PROGRAM_FIXED},
        {PROGRAM_SLOTS, 3, PROGRAM_FIXED}, {PROGRAM_ENV, 4, PROGRAM_ENV},
    };
    for (const Step &s : steps) {
        use_program(s.slot);
        EXPECT_EQ(frame_counters.program_switches, s.switches) << s.slot;
        EXPECT_EQ(current_program(), s.current) << s.slot;
        GLint bound = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &bound);
        EXPECT_EQ((unsigned)bound, program_handle(s.current)) << s.slot;
    }
    use_program(PROGRAM_FIXED);
}

TEST(Shaders, EnvironmentMatrixAndBonesReachTheUniforms)
{
    ASSERT_TRUE(gl_context());
    ASSERT_TRUE(shaders_in_use);
    auto get_float = (PFNGLGETUNIFORMFVARBPROC)vark_gl_proc_address("glGetUniformfvARB");
    auto get_int = (PFNGLGETUNIFORMIVARBPROC)vark_gl_proc_address("glGetUniformivARB");
    ASSERT_NE(get_float, nullptr);
    ASSERT_NE(get_int, nullptr);

    const float rows[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    set_env_matrix(rows);
    EXPECT_EQ(current_program(), PROGRAM_FIXED);
    for (int slot : {PROGRAM_ENV, PROGRAM_NORM_ENV}) {
        GLint location = gl_ext.GetUniformLocationARB(program_handle(slot), "envmat");
        ASSERT_GE(location, 0);
        float columns[9] = {};
        get_float(program_handle(slot), location, columns);
        const float expected[9] = {1, 4, 7, 2, 5, 8, 3, 6, 9};
        for (int i = 0; i < 9; i++)
            EXPECT_EQ(columns[i], expected[i]) << program_name(slot) << " " << i;
    }

    float centres[3 * 12], translations[3 * 12], rotations[9 * 12];
    for (int i = 0; i < 3 * 12; i++)
        centres[i] = (float)i, translations[i] = (float)-i;
    for (int i = 0; i < 9 * 12; i++)
        rotations[i] = (float)(i % 9);
    use_program(PROGRAM_NORM_SPEC_LIT);
    GLhandleARB program = program_handle(PROGRAM_NORM_SPEC_LIT);
    struct Case {
        int count, stored;
    } cases[] = {{2, 2}, {12, 10}, {0, 0}, {-3, 0}};
    for (const Case &c : cases) {
        set_bones(c.count, centres, translations, rotations);
        GLint nbones = -1;
        get_int(program, gl_ext.GetUniformLocationARB(program, "nbones"), &nbones);
        EXPECT_EQ(nbones, c.stored) << c.count;
    }
    set_bones(2, centres, translations, rotations);
    float value[9];
    get_float(program, gl_ext.GetUniformLocationARB(program, "bone_c[1]"), value);
    EXPECT_EQ(value[0], 3);
    EXPECT_EQ(value[2], 5);
    get_float(program, gl_ext.GetUniformLocationARB(program, "bone_t[1]"), value);
    EXPECT_EQ(value[1], -4);
    // Row-major in, the shader's column order out.
    get_float(program, gl_ext.GetUniformLocationARB(program, "bone_r[1]"), value);
    const float expected[9] = {0, 3, 6, 1, 4, 7, 2, 5, 8};
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(value[i], expected[i]) << i;
    use_program(PROGRAM_FIXED);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

// Runs last in this file: afterwards the programs are rebuilt for the drawing tests.
TEST(Shaders, DestroyAndRebuild)
{
    ASSERT_TRUE(gl_context());
    use_program(PROGRAM_LIT);
    destroy_shaders();
    EXPECT_FALSE(shaders_in_use);
    EXPECT_EQ(current_program(), PROGRAM_FIXED);
    for (int slot = 1; slot < PROGRAM_SLOTS; slot++)
        EXPECT_EQ(program_handle(slot), 0u);
    GLint bound = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &bound);
    EXPECT_EQ(bound, 0);

    // Without the shader extensions nothing is built.
    RendererInfo saved = renderer_info;
    renderer_info.vertex_shader = false;
    EXPECT_FALSE(build_shaders());
    EXPECT_EQ(program_handle(PROGRAM_LIT), 0u);
    renderer_info = saved;

    shaders_in_use = build_shaders();
    EXPECT_TRUE(shaders_in_use);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
