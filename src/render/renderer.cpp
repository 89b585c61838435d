// Renderer setup: driver strings, capability flags by exact extension word,
// and the extension entry points looked up at run time.
#include "render/renderer.h"

#include <cstdio>
#include <cstring>

#include "platform/gl_proc.h"
#include "platform/log.h"

RendererInfo renderer_info;
GlEntryPoints gl_ext;
FrameCounters frame_counters = {0, 0, 0};

enum Capability { CAP_MULTITEXTURE, CAP_FRAMEBUFFER, CAP_SHADER_OBJECTS, CAP_VERTEX_SHADER };

struct EntryPoint {
    const char *name;
    void **slot;
    Capability needed_by;
};

#define ENTRY(cap, fn) {"gl" #fn, (void **)&gl_ext.fn, cap}
static const EntryPoint entry_points[] = {
    ENTRY(CAP_MULTITEXTURE, ActiveTextureARB),
    ENTRY(CAP_MULTITEXTURE, ClientActiveTextureARB),
    ENTRY(CAP_MULTITEXTURE, MultiTexCoord2fARB),
    ENTRY(CAP_MULTITEXTURE, MultiTexCoord3fvARB),
    ENTRY(CAP_MULTITEXTURE, MultiTexCoord4fvARB),
    ENTRY(CAP_FRAMEBUFFER, GenFramebuffersEXT),
    ENTRY(CAP_FRAMEBUFFER, DeleteFramebuffersEXT),
    ENTRY(CAP_FRAMEBUFFER, BindFramebufferEXT),
    ENTRY(CAP_FRAMEBUFFER, FramebufferTexture2DEXT),
    ENTRY(CAP_FRAMEBUFFER, CheckFramebufferStatusEXT),
    ENTRY(CAP_FRAMEBUFFER, GenRenderbuffersEXT),
    ENTRY(CAP_FRAMEBUFFER, DeleteRenderbuffersEXT),
    ENTRY(CAP_FRAMEBUFFER, BindRenderbufferEXT),
    ENTRY(CAP_FRAMEBUFFER, RenderbufferStorageEXT),
    ENTRY(CAP_FRAMEBUFFER, FramebufferRenderbufferEXT),
    ENTRY(CAP_FRAMEBUFFER, GenerateMipmapEXT),
    ENTRY(CAP_SHADER_OBJECTS, CreateShaderObjectARB),
    ENTRY(CAP_SHADER_OBJECTS, ShaderSourceARB),
    ENTRY(CAP_SHADER_OBJECTS, CompileShaderARB),
    ENTRY(CAP_SHADER_OBJECTS, CreateProgramObjectARB),
    ENTRY(CAP_SHADER_OBJECTS, AttachObjectARB),
    ENTRY(CAP_SHADER_OBJECTS, DetachObjectARB),
    ENTRY(CAP_SHADER_OBJECTS, LinkProgramARB),
    ENTRY(CAP_SHADER_OBJECTS, UseProgramObjectARB),
    ENTRY(CAP_SHADER_OBJECTS, DeleteObjectARB),
    ENTRY(CAP_SHADER_OBJECTS, GetObjectParameterivARB),
    ENTRY(CAP_SHADER_OBJECTS, GetInfoLogARB),
    ENTRY(CAP_SHADER_OBJECTS, GetUniformLocationARB),
    ENTRY(CAP_SHADER_OBJECTS, Uniform1iARB),
    ENTRY(CAP_SHADER_OBJECTS, Uniform1fARB),
    ENTRY(CAP_SHADER_OBJECTS, Uniform3fvARB),
    ENTRY(CAP_SHADER_OBJECTS, Uniform4fvARB),
    ENTRY(CAP_SHADER_OBJECTS, UniformMatrix3fvARB),
    ENTRY(CAP_VERTEX_SHADER, VertexAttribPointerARB),
    ENTRY(CAP_VERTEX_SHADER, EnableVertexAttribArrayARB),
    ENTRY(CAP_VERTEX_SHADER, DisableVertexAttribArrayARB),
    ENTRY(CAP_VERTEX_SHADER, BindAttribLocationARB),
};
#undef ENTRY

bool has_extension(const char *list, const char *name)
{
    size_t length = name ? strlen(name) : 0;
    if (!list || length == 0)
        return false;
    for (const char *p = list; (p = strstr(p, name)) != nullptr; p++) {
        bool starts = p == list || p[-1] == ' ';
        bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends)
            return true;
    }
    return false;
}

void parse_gl_version(const char *version, int *major, int *minor)
{
    *major = 0, *minor = 0;
    int a, b;
    if (version && sscanf(version, "%d.%d", &a, &b) == 2)
        *major = a, *minor = b;
}

static std::string gl_string(GLenum which)
{
    const char *s = (const char *)glGetString(which);
    return s ? s : "NULL";
}

void renderer_init()
{
    RendererInfo &r = renderer_info;
    r = RendererInfo();
    r.vendor = gl_string(GL_VENDOR);
    r.renderer = gl_string(GL_RENDERER);
    r.version = gl_string(GL_VERSION);
    r.extensions = gl_string(GL_EXTENSIONS);
    parse_gl_version(r.version.c_str(), &r.version_major, &r.version_minor);
    const char *list = r.extensions.c_str();
    r.generate_mipmap = has_extension(list, "GL_SGIS_generate_mipmap");
    r.framebuffer_object = has_extension(list, "GL_EXT_framebuffer_object");
    r.multitexture = has_extension(list, "GL_ARB_multitexture");
    r.fragment_shader = has_extension(list, "GL_ARB_fragment_shader");
    r.vertex_shader = has_extension(list, "GL_ARB_vertex_shader");

    gl_ext = GlEntryPoints();
    bool complete[4] = {true, true, true, true};
    bool wanted[4] = {r.multitexture, r.framebuffer_object, r.fragment_shader || r.vertex_shader, r.vertex_shader};
    for (const EntryPoint &e : entry_points) {
        *e.slot = wanted[e.needed_by] ? vark_gl_proc_address(e.name) : nullptr;
        if (wanted[e.needed_by] && !*e.slot) {
            vark_log("OpenGL entry point %s is missing\n", e.name);
            complete[e.needed_by] = false;
        }
    }
    // An extension whose functions cannot be reached is as good as absent.
    r.multitexture = r.multitexture && complete[CAP_MULTITEXTURE];
    r.framebuffer_object = r.framebuffer_object && complete[CAP_FRAMEBUFFER];
    bool shaders_usable = complete[CAP_SHADER_OBJECTS];
    r.fragment_shader = r.fragment_shader && shaders_usable;
    r.vertex_shader = r.vertex_shader && shaders_usable && complete[CAP_VERTEX_SHADER];

    if (r.multitexture) {
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        r.texture_units = units;
        vark_log("%d texture units\n", units);
    }
}
