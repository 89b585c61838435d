// The seven GLSL programs in ARB shader objects, the program switch cache and
// the uniforms for the environment matrix and the bones.
#include "render/shaders.h"

#include <algorithm>
#include <vector>

#include "platform/log.h"
#include "render/renderer.h"

bool shaders_in_use = false;

enum Uniform { U_NBONES, U_BONE_C, U_BONE_T, U_BONE_R, U_ENVMAT, UNIFORM_COUNT };
static const char *const uniform_names[UNIFORM_COUNT] = {"nbones", "bone_c", "bone_t", "bone_r", "envmat"};

struct ProgramSlot {
    GLhandleARB program;
    GLhandleARB vertex;
    GLhandleARB fragment;
    GLint uniforms[UNIFORM_COUNT];  // -1 until looked up (or absent)
    bool looked_up[UNIFORM_COUNT];
};

// Per process: from build_shaders to destroy_shaders.
static ProgramSlot slots[PROGRAM_SLOTS];
static int current_slot = 0;

// --- shader sources ----------------------------------------------------------------------

static const char *const header = "#define MAX_BONE 10\n";

// Skinning vertex shader shared by the lit and reflecting programs.
static const char *const skinned_vertex = R"(
uniform int nbones;
uniform vec3 bone_c[MAX_BONE];
uniform vec3 bone_t[MAX_BONE];
uniform mat3 bone_r[MAX_BONE];
varying vec3 eye_position;
varying vec3 eye_normal;
varying vec3 eye_tangent;

void add_bone(float w, float index, inout vec3 p, inout vec3 n, inout vec3 t)
{
    int b = int(index + 0.5);
    if (w == 0.0 || b < 0 || b >= nbones || b >= MAX_BONE)
        return;
    mat3 r = bone_r[b];
    p += w * (r * (gl_Vertex.xyz - bone_c[b]) + bone_t[b]);
    n += w * (r * gl_Normal);
    t += w * (r * gl_MultiTexCoord1.xyz);
}

void main()
{
    vec4 p = gl_Vertex;
    vec3 n = gl_Normal;
    vec3 t = gl_MultiTexCoord1.xyz;
    if (nbones > 0) {
        vec3 sp = vec3(0.0), sn = vec3(0.0), st = vec3(0.0);
        vec4 w = gl_MultiTexCoord2, b = gl_MultiTexCoord3;
        add_bone(w.x, b.x, sp, sn, st);
        add_bone(w.y, b.y, sp, sn, st);
        add_bone(w.z, b.z, sp, sn, st);
        add_bone(w.w, b.w, sp, sn, st);
        p = vec4(sp, 1.0);
        n = sn;
        t = st;
    }
    vec4 eye = gl_ModelViewMatrix * p;
    eye_position = eye.xyz;
    eye_normal = gl_NormalMatrix * n;
    eye_tangent = (gl_ModelViewMatrix * vec4(t, 0.0)).xyz;
    gl_Position = gl_ProjectionMatrix * eye;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_BackColor = gl_Color;
}
)";

// Terms shared by the lighting fragment shaders.
static const char *const lighting = R"(
varying vec3 eye_position;

void light_factors(vec3 N, out float ndl, out float rdl)
{
    vec3 L = normalize(gl_LightSource[0].position.xyz);
    ndl = dot(N, L);
    rdl = max(dot(reflect(normalize(eye_position), N), L), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
}

vec4 ambient_term(bool with_global)
{
    vec4 a = gl_FrontMaterial.ambient * gl_LightSource[0].ambient;
    if (with_global)
        a += gl_LightModel.ambient * gl_FrontMaterial.ambient;
    a.a = min(a.a, 1.0);
    return a;
}

vec4 diffuse_term()
{
    return gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;
}

vec4 fog(vec4 c)
{
    float z = gl_FragCoord.z / gl_FragCoord.w;
    float f = clamp(exp2(-gl_Fog.density * z * 1.442695), 0.0, 1.0);
    // Fog tints the colour only; the alpha stays for blending.
    return vec4(mix(gl_Fog.color.rgb, c.rgb, f), c.a);
}
)";

// The shading normal from the normal map in the (T, B, N) frame.
static const char *const normal_map = R"(
uniform sampler2D nmap;
varying vec3 eye_normal;
varying vec3 eye_tangent;

vec3 mapped_normal(vec2 uv)
{
    vec3 m = texture2D(nmap, uv).rgb * 2.0 - 1.0;
    vec3 N = normalize(eye_normal);
    vec3 T = eye_tangent - N * dot(N, eye_tangent);
    float length_t = length(T);
    if (length_t > 0.0)
        T /= length_t;
    else
        T = normalize(cross(N, abs(N.x) < 0.9 ? vec3(1.0, 0.0, 0.0) : vec3(0.0, 1.0, 0.0)));
    vec3 B = cross(N, T);
    return normalize(T * m.x + B * m.y + N * m.z);
}
)";

static const char *const environment = R"(
uniform mat3 envmat;

vec2 environment_uv(vec3 N)
{
    vec3 r = normalize(envmat * reflect(eye_position, N));
    float h = length(r.xz);
    vec2 direction = h > 0.0 ? r.xz / h : vec2(1.0, 0.0);
    return direction * (acos(clamp(r.y, -1.0, 1.0)) / 6.2831853) + 0.5;
}
)";

static const char *const lit_fragment = R"(
uniform sampler2D tex;
varying vec3 eye_normal;

void main()
{
    vec3 N = normalize(eye_normal);
    float ndl, rdl;
    light_factors(N, ndl, rdl);
    vec4 texel = texture2D(tex, gl_TexCoord[0].st);
    vec4 c = (ambient_term(true) + diffuse_term() * ndl) * texel +
             gl_FrontMaterial.specular * gl_LightSource[0].specular * pow(rdl, gl_FrontMaterial.shininess);
    gl_FragColor = fog(c);
}
)";

static const char *const norm_lit_fragment = R"(
uniform sampler2D tex;

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 N = mapped_normal(uv);
    float ndl, rdl;
    light_factors(N, ndl, rdl);
    vec4 c = (ambient_term(true) + diffuse_term() * ndl) * texture2D(tex, uv) +
             gl_FrontMaterial.specular * gl_LightSource[0].specular * pow(rdl, gl_FrontMaterial.shininess);
    gl_FragColor = fog(c);
}
)";

static const char *const norm_spec_lit_fragment = R"(
uniform sampler2D tex;
uniform sampler2D smap;

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 N = mapped_normal(uv);
    float ndl, rdl;
    light_factors(N, ndl, rdl);
    vec4 s = texture2D(smap, uv);
    float exponent = s.a * 128.0 + 0.125;
    if (exponent >= 127.875)
        exponent = gl_FrontMaterial.shininess;
    vec4 c = (ambient_term(true) + diffuse_term() * ndl) * texture2D(tex, uv) +
             vec4(s.rgb, 1.0) * gl_LightSource[0].specular * pow(rdl, exponent);
    gl_FragColor = fog(c);
}
)";

static const char *const env_fragment = R"(
uniform sampler2D tex;
varying vec3 eye_normal;

void main()
{
    gl_FragColor = texture2D(tex, environment_uv(normalize(eye_normal))) * gl_Color;
}
)";

static const char *const norm_env_fragment = R"(
uniform sampler2D tex;

void main()
{
    vec3 N = mapped_normal(gl_TexCoord[0].st);
    gl_FragColor = texture2D(tex, environment_uv(N)) * gl_Color;
}
)";

static const char *const terrain_vertex = R"(
varying vec3 eye_position;

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    eye_position = eye.xyz;
    gl_Position = gl_ProjectionMatrix * eye;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_BackColor = gl_Color;
}
)";

static const char *const terrain_fragment = R"(
uniform sampler2D tex;
uniform sampler2D nmap;
uniform sampler2D smap;

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec4 m = texture2D(nmap, uv);
    float x = m.r * 2.0 - 1.0;
    float z = m.b * 2.0 - 1.0;
    float g = m.g;
    vec3 N = normalize(gl_NormalMatrix * vec3(x, sqrt(max(1.0 - x * x - z * z, 0.0)), z));
    float ndl, rdl;
    light_factors(N, ndl, rdl);
    vec4 s = texture2D(smap, uv);
    vec4 c = (ambient_term(false) + diffuse_term() * ndl * g) * texture2D(tex, uv) +
             s.r * gl_LightSource[0].specular * pow(rdl, s.g * 128.0 + 0.125) * g;
    gl_FragColor = fog(c);
}
)";

static const char *const terrain_normals_vertex = R"(
void main()
{
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_TextureMatrix[1] * gl_Vertex;
    gl_FrontColor = gl_Color;
}
)";

static const char *const terrain_normals_fragment = R"(
uniform sampler2D tex;
uniform sampler2D base;

void main()
{
    vec4 detail = texture2D(tex, gl_TexCoord[0].st);
    vec3 d = detail.rgb.xzy * 2.0 - 1.0;
    d.x = -d.x;
    // Turn the detail's horizontal part to follow the texture's s axis on screen.
    vec2 s_axis = vec2(dFdx(gl_TexCoord[0].s), dFdy(gl_TexCoord[0].s));
    float length_s = length(s_axis);
    s_axis = length_s > 0.0 ? s_axis / length_s : vec2(1.0, 0.0);
    d = vec3(d.x * s_axis.x - d.z * s_axis.y, d.y, d.x * s_axis.y + d.z * s_axis.x);

    vec4 b = texture2DProj(base, gl_TexCoord[1]);
    float bx = b.r * 2.0 - 1.0;
    float bz = b.b * 2.0 - 1.0;
    vec3 bn = vec3(bx, sqrt(max(1.0 - bx * bx - bz * bz, 0.0)), bz);
    vec3 fz = cross(vec3(1.0, 0.0, 0.0), bn);
    fz = length(fz) > 0.0 ? normalize(fz) : vec3(0.0, 0.0, 1.0);
    vec3 fx = cross(bn, fz);
    vec3 n = fx * d.x + bn * d.y + fz * d.z;

    float h = length(n.xz);
    if (h > 126.0 / 128.0)
        n = vec3(n.x, 0.0, n.z) * (126.0 / 128.0 / h);
    gl_FragColor = vec4((n.x + 1.0) * 0.5, b.g, (n.z + 1.0) * 0.5, detail.a);
}
)";

struct ProgramSource {
    const char *name;
    const char *vertex[2];    // pieces after the header; null ends early
    const char *fragment[4];
};

// Slots 1..7 in order.
static const ProgramSource program_sources[PROGRAM_SLOTS - 1] = {
    {"lit", {skinned_vertex, nullptr}, {lighting, lit_fragment, nullptr, nullptr}},
    {"env", {skinned_vertex, nullptr}, {lighting, environment, env_fragment, nullptr}},
    {"norm_lit", {skinned_vertex, nullptr}, {lighting, normal_map, norm_lit_fragment, nullptr}},
    {"norm_env", {skinned_vertex, nullptr}, {lighting, normal_map, environment, norm_env_fragment}},
    {"norm_spec_lit", {skinned_vertex, nullptr}, {lighting, normal_map, norm_spec_lit_fragment, nullptr}},
    {"terrain_normals", {terrain_normals_vertex, nullptr}, {terrain_normals_fragment, nullptr, nullptr, nullptr}},
    {"terrain", {terrain_vertex, nullptr}, {lighting, terrain_fragment, nullptr, nullptr}},
};

// --- building ----------------------------------------------------------------------------

static void log_info(GLhandleARB object, const char *what, const char *program)
{
    GLint length = 0;
    gl_ext.GetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 1)
        return;
    std::vector<char> text((size_t)length + 1, '\0');
    GLsizei got = 0;
    gl_ext.GetInfoLogARB(object, length, &got, text.data());
    if (text[0])
        vark_log("%s for %s:\n%s\n", what, program, text.data());
}

static GLhandleARB compile(GLenum kind, const char *const *pieces, int count, const char *what, const char *program)
{
    const GLcharARB *sources[5];
    int n = 0;
    sources[n++] = header;
    for (int i = 0; i < count && pieces[i]; i++)
        sources[n++] = pieces[i];
    GLhandleARB shader = gl_ext.CreateShaderObjectARB(kind);
    if (!shader)
        return 0;
    gl_ext.ShaderSourceARB(shader, n, sources, nullptr);
    gl_ext.CompileShaderARB(shader);
    log_info(shader, what, program);
    GLint ok = 0;
    gl_ext.GetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    if (!ok) {
        gl_ext.DeleteObjectARB(shader);
        return 0;
    }
    return shader;
}

static void clear_slot(ProgramSlot *s)
{
    s->program = s->vertex = s->fragment = 0;
    for (int u = 0; u < UNIFORM_COUNT; u++) {
        s->uniforms[u] = -1;
        s->looked_up[u] = false;
    }
}

static void delete_slot(ProgramSlot *s)
{
    if (s->program) {
        if (s->vertex)
            gl_ext.DetachObjectARB(s->program, s->vertex);
        if (s->fragment)
            gl_ext.DetachObjectARB(s->program, s->fragment);
        gl_ext.DeleteObjectARB(s->program);
    }
    if (s->vertex)
        gl_ext.DeleteObjectARB(s->vertex);
    if (s->fragment)
        gl_ext.DeleteObjectARB(s->fragment);
    clear_slot(s);
}

static bool build_program(int slot)
{
    const ProgramSource &src = program_sources[slot - 1];
    ProgramSlot *s = &slots[slot];
    s->vertex = compile(GL_VERTEX_SHADER_ARB, src.vertex, 2, "vertex shader status", src.name);
    if (!s->vertex)
        return false;
    s->fragment = compile(GL_FRAGMENT_SHADER_ARB, src.fragment, 4, "fragment shader status", src.name);
    if (!s->fragment)
        return false;
    s->program = gl_ext.CreateProgramObjectARB();
    if (!s->program)
        return false;
    gl_ext.AttachObjectARB(s->program, s->vertex);
    gl_ext.AttachObjectARB(s->program, s->fragment);
    gl_ext.LinkProgramARB(s->program);
    log_info(s->program, "link status", src.name);
    GLint ok = 0;
    gl_ext.GetObjectParameterivARB(s->program, GL_OBJECT_LINK_STATUS_ARB, &ok);
    return ok != 0;
}

static void set_sampler(int slot, const char *name, int unit)
{
    use_program(slot);
    GLint location = gl_ext.GetUniformLocationARB(slots[slot].program, name);
    if (location >= 0)
        gl_ext.Uniform1iARB(location, unit);
}

bool build_shaders()
{
    for (ProgramSlot &s : slots)
        clear_slot(&s);
    current_slot = 0;
    if (!renderer_info.vertex_shader || !renderer_info.fragment_shader)
        return false;
    for (int slot = 1; slot < PROGRAM_SLOTS; slot++) {
        if (!build_program(slot)) {
            for (int k = 1; k <= slot; k++)
                delete_slot(&slots[k]);
            return false;
        }
    }
    static const struct {
        int slot;
        const char *name;
        int unit;
    } samplers[] = {
        {PROGRAM_NORM_LIT, "nmap", 1},      {PROGRAM_NORM_ENV, "nmap", 1}, {PROGRAM_NORM_SPEC_LIT, "nmap", 1},
        {PROGRAM_TERRAIN, "nmap", 1},       {PROGRAM_NORM_SPEC_LIT, "smap", 2}, {PROGRAM_TERRAIN, "smap", 2},
        {PROGRAM_TERRAIN_NORMALS, "base", 1},
    };
    for (const auto &s : samplers)
        set_sampler(s.slot, s.name, s.unit);
    use_program(PROGRAM_FIXED);
    return true;
}

// --- switching and uniforms ----------------------------------------------------------------

void use_program(int slot)
{
    if (slot < 0 || slot >= PROGRAM_SLOTS || slot == current_slot)
        return;
    if (gl_ext.UseProgramObjectARB)
        gl_ext.UseProgramObjectARB(slots[slot].program);
    current_slot = slot;
    frame_counters.program_switches++;
}

int current_program()
{
    return current_slot;
}

unsigned program_handle(int slot)
{
    return slot > 0 && slot < PROGRAM_SLOTS ? slots[slot].program : 0;
}

const char *program_name(int slot)
{
    if (slot == 0)
        return "fixed";
    return slot > 0 && slot < PROGRAM_SLOTS ? program_sources[slot - 1].name : nullptr;
}

static GLint uniform_location(int slot, Uniform u)
{
    ProgramSlot *s = &slots[slot];
    if (!s->program)
        return -1;
    if (!s->looked_up[u]) {
        s->uniforms[u] = gl_ext.GetUniformLocationARB(s->program, uniform_names[u]);
        s->looked_up[u] = true;
    }
    return s->uniforms[u];
}

static void transpose3(const float *m, float *out)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            out[c * 3 + r] = m[r * 3 + c];
}

void set_env_matrix(const float matrix[9])
{
    if (!slots[PROGRAM_ENV].program)
        return;
    float columns[9];
    transpose3(matrix, columns);
    for (int slot : {PROGRAM_ENV, PROGRAM_NORM_ENV}) {
        use_program(slot);
        GLint location = uniform_location(slot, U_ENVMAT);
        if (location >= 0)
            gl_ext.UniformMatrix3fvARB(location, 1, GL_FALSE, columns);
    }
    use_program(PROGRAM_FIXED);
}

void set_bones(int count, const float *centres, const float *translations, const float *rotations)
{
    int slot = current_slot;
    if (slot < 1 || !slots[slot].program)
        return;
    count = std::clamp(count, 0, (int)SHADER_MAX_BONES);
    if (!centres || !translations || !rotations)
        count = 0;
    GLint location = uniform_location(slot, U_NBONES);
    if (location >= 0)
        gl_ext.Uniform1iARB(location, count);
    if (count == 0)
        return;
    if ((location = uniform_location(slot, U_BONE_C)) >= 0)
        gl_ext.Uniform3fvARB(location, count, centres);
    if ((location = uniform_location(slot, U_BONE_T)) >= 0)
        gl_ext.Uniform3fvARB(location, count, translations);
    if ((location = uniform_location(slot, U_BONE_R)) >= 0) {
        float columns[9 * SHADER_MAX_BONES];
        for (int b = 0; b < count; b++)
            transpose3(rotations + b * 9, columns + b * 9);
        gl_ext.UniformMatrix3fvARB(location, count, GL_FALSE, columns);
    }
}

void destroy_shaders()
{
    if (gl_ext.UseProgramObjectARB && current_slot != 0)
        gl_ext.UseProgramObjectARB(0);
    current_slot = 0;
    if (gl_ext.DeleteObjectARB)
        for (int slot = 1; slot < PROGRAM_SLOTS; slot++)
            delete_slot(&slots[slot]);
    shaders_in_use = false;
}
