// Renderer setup: the driver's strings and capabilities, and the extension
// entry points looked up from the current context.
#pragma once
#include <string>

#include <GL/gl.h>
#include <GL/glext.h>

struct RendererInfo {
    std::string vendor = "NULL";      // "NULL" when the driver gives none
    std::string renderer = "NULL";
    std::string version = "NULL";
    std::string extensions = "NULL";
    int version_major = 0;            // from "%d.%d" of the version; 0 when it does not parse
    int version_minor = 0;
    bool generate_mipmap = false;     // GL_SGIS_generate_mipmap
    bool framebuffer_object = false;  // GL_EXT_framebuffer_object
    bool multitexture = false;        // GL_ARB_multitexture
    bool fragment_shader = false;     // GL_ARB_fragment_shader (with shader objects)
    bool vertex_shader = false;       // GL_ARB_vertex_shader (with shader objects)
    int texture_units = 1;            // queried only with multitexture
};

// Per process: filled by renderer_init once the context exists.
extern RendererInfo renderer_info;

// Extension entry points; null until renderer_init found them. A capability
// flag is cleared when an entry point of its extension is missing.
struct GlEntryPoints {
    // GL_ARB_multitexture
    PFNGLACTIVETEXTUREARBPROC ActiveTextureARB;
    PFNGLCLIENTACTIVETEXTUREARBPROC ClientActiveTextureARB;
    PFNGLMULTITEXCOORD2FARBPROC MultiTexCoord2fARB;
    PFNGLMULTITEXCOORD3FVARBPROC MultiTexCoord3fvARB;
    PFNGLMULTITEXCOORD4FVARBPROC MultiTexCoord4fvARB;
    // GL_EXT_framebuffer_object
    PFNGLGENFRAMEBUFFERSEXTPROC GenFramebuffersEXT;
    PFNGLDELETEFRAMEBUFFERSEXTPROC DeleteFramebuffersEXT;
    PFNGLBINDFRAMEBUFFEREXTPROC BindFramebufferEXT;
    PFNGLFRAMEBUFFERTEXTURE2DEXTPROC FramebufferTexture2DEXT;
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC CheckFramebufferStatusEXT;
    PFNGLGENRENDERBUFFERSEXTPROC GenRenderbuffersEXT;
    PFNGLDELETERENDERBUFFERSEXTPROC DeleteRenderbuffersEXT;
    PFNGLBINDRENDERBUFFEREXTPROC BindRenderbufferEXT;
    PFNGLRENDERBUFFERSTORAGEEXTPROC RenderbufferStorageEXT;
    PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC FramebufferRenderbufferEXT;
    PFNGLGENERATEMIPMAPEXTPROC GenerateMipmapEXT;
    // GL_ARB_shader_objects
    PFNGLCREATESHADEROBJECTARBPROC CreateShaderObjectARB;
    PFNGLSHADERSOURCEARBPROC ShaderSourceARB;
    PFNGLCOMPILESHADERARBPROC CompileShaderARB;
    PFNGLCREATEPROGRAMOBJECTARBPROC CreateProgramObjectARB;
    PFNGLATTACHOBJECTARBPROC AttachObjectARB;
    PFNGLDETACHOBJECTARBPROC DetachObjectARB;
    PFNGLLINKPROGRAMARBPROC LinkProgramARB;
    PFNGLUSEPROGRAMOBJECTARBPROC UseProgramObjectARB;
    PFNGLDELETEOBJECTARBPROC DeleteObjectARB;
    PFNGLGETOBJECTPARAMETERIVARBPROC GetObjectParameterivARB;
    PFNGLGETINFOLOGARBPROC GetInfoLogARB;
    PFNGLGETUNIFORMLOCATIONARBPROC GetUniformLocationARB;
    PFNGLUNIFORM1IARBPROC Uniform1iARB;
    PFNGLUNIFORM1FARBPROC Uniform1fARB;
    PFNGLUNIFORM3FVARBPROC Uniform3fvARB;
    PFNGLUNIFORM4FVARBPROC Uniform4fvARB;
    PFNGLUNIFORMMATRIX3FVARBPROC UniformMatrix3fvARB;
    // GL_ARB_vertex_shader
    PFNGLVERTEXATTRIBPOINTERARBPROC VertexAttribPointerARB;
    PFNGLENABLEVERTEXATTRIBARRAYARBPROC EnableVertexAttribArrayARB;
    PFNGLDISABLEVERTEXATTRIBARRAYARBPROC DisableVertexAttribArrayARB;
    PFNGLBINDATTRIBLOCATIONARBPROC BindAttribLocationARB;
};

// Per process: filled by renderer_init.
extern GlEntryPoints gl_ext;

// Per-frame drawing counters for the render statistics; the scene resets them.
struct FrameCounters {
    int model_vertices;
    int model_triangles;
    int program_switches;
};
extern FrameCounters frame_counters;

// True when the space-separated `list` holds exactly the word `name`.
bool has_extension(const char *list, const char *name);
// Major and minor number of a version string ("%d.%d"); both 0 when it does not parse.
void parse_gl_version(const char *version, int *major, int *minor);

// Reads the driver strings, capability flags and entry points of the current
// context; logs the texture units when multitexture exists.
void renderer_init();
