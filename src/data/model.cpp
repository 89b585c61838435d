// Model files: ".qm" text meshes (QM1, QM2 with bone weights, and the old
// header-less format), tangents, level-of-detail variants and the cache.
#include "data/model.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/file_index.h"
#include "data/image.h"
#include "data/render_settings.h"
#include "data/stream.h"
#include "data/stream_local.h"
#include "platform/log.h"
#include "platform/message_log.h"

ModelGraphics model_graphics = {nullptr, nullptr};

// Per process: every loaded model in loading order, tagged with its generation.
// The cache lives as long as the process and is never destroyed at exit, so
// models still cached then stay reachable instead of showing as leaks.
static std::vector<Model *> &cached_models()
{
    static std::vector<Model *> *list = new std::vector<Model *>;
    return *list;
}

static const float tiny_tangent = 1.0f / 1048576.0f;  // 2^-20

// --- reading ----------------------------------------------------------------------------

// Bytes the stream can still deliver (its source is a memory buffer of known size).
static uint64_t bytes_left(const DataStream *s)
{
    uint64_t left = s->position < s->limit ? s->limit - s->position : 0;
    return left + (s->pushback >= 0 ? 1 : 0);
}

// Whether `numbers` white-space separated numbers can still fit in the stream.
static bool numbers_fit(const DataStream *s, int64_t numbers)
{
    return numbers <= 0 || (uint64_t)numbers <= (bytes_left(s) + 1) / 2;
}

// Puts a positive weight of `bone` into the four slots: it replaces the
// smallest slot when it is larger. True when an influence had to be dropped.
static bool add_bone_weight(float *weights, int32_t *bones, int bone, float weight)
{
    int smallest = 0;
    for (int k = 1; k < MODEL_BONE_SLOTS; k++)
        if (weights[k] < weights[smallest])
            smallest = k;
    bool dropped = weights[smallest] > 0;
    // A fifth influence smaller than the four kept is the one that goes.
    if (weight > weights[smallest]) {
        weights[smallest] = weight;
        bones[smallest] = bone;
    }
    return dropped;
}

static void normalise_bone_weights(float *weights)
{
    double sum = 0;
    for (int k = 0; k < MODEL_BONE_SLOTS; k++)
        sum += weights[k];
    for (int k = 0; k < MODEL_BONE_SLOTS; k++)
        weights[k] = sum > 0 && std::isfinite(sum) ? (float)(weights[k] / sum) : 0.25f;
}

enum MeshResult { MESH_READ, MESH_END, MESH_BROKEN };

// Reads one mesh; `bones` is the weights per vertex (QM2), `old_format` the
// header-less layout. On MESH_BROKEN `why` says what was wrong.
static MeshResult read_mesh(DataStream *s, const char *name, int bones, bool old_format, Model **out,
                            const char **why)
{
    float shininess = 32, factor = 1, colour[3] = {1, 1, 1};
    int nv = 0, nt = 0;
    if (old_format) {
        if (stream_scanf(s, " %d %d", &nv, &nt) != 2) {
            *why = "not a model file";
            return MESH_BROKEN;
        }
    } else {
        int got = stream_scanf(s, " %f %f %f %f %f %d %d", &shininess, &factor, &colour[0], &colour[1], &colour[2],
                               &nv, &nt);
        if (got == -1 && bytes_left(s) == 0)
            return MESH_END;
        if (got != 7) {
            *why = "mesh header cannot be read";
            return MESH_BROKEN;
        }
    }
    if (nv < 0 || nt < 0) {
        *why = "negative vertex or triangle count";
        return MESH_BROKEN;
    }
    if (!numbers_fit(s, (int64_t)nv * (8 + bones) + (int64_t)nt * 3)) {
        *why = "vertex and triangle counts exceed the file";
        return MESH_BROKEN;
    }

    Model *m = new Model();
    m->name = name;
    m->nv = nv;
    m->nt = nt;
    m->bone_count = bones;
    m->old_format = old_format;
    m->shininess = shininess;
    m->factor = shininess >= 0 ? 1.0f : factor;
    for (int i = 0; i < 3; i++)
        m->colour[i] = colour[i];
    m->reflective = shininess == -1;
    size_t copies = bones > 0 ? 2 : 1;
    m->positions.assign((size_t)nv * 3 * copies, 0.0f);
    m->normals.assign((size_t)nv * 3 * copies, 0.0f);
    m->tangents.assign((size_t)nv * 3 * copies, 0.0f);
    m->texcoords.assign((size_t)nv * 2, 0.0f);
    if (bones > 0) {
        m->bone_weights.assign((size_t)nv * MODEL_BONE_SLOTS, 0.0f);
        m->bone_indices.assign((size_t)nv * MODEL_BONE_SLOTS, 0);
    }
    m->triangles.assign((size_t)nt * 3, 0);

    bool warned = false;
    for (int i = 0; i < nv; i++) {
        float *p = &m->positions[(size_t)i * 3], *n = &m->normals[(size_t)i * 3], *t = &m->texcoords[(size_t)i * 2];
        if (stream_scanf(s, " %f %f %f %f %f %f %f %f", &p[0], &p[1], &p[2], &n[0], &n[1], &n[2], &t[0], &t[1]) != 8) {
            *why = "vertex cannot be read";
            delete m;
            return MESH_BROKEN;
        }
        t[1] = 1 - t[1];
        for (int b = 0; b < bones; b++) {
            float w;
            if (stream_scanf(s, " %f", &w) != 1) {
                *why = "bone weight cannot be read";
                delete m;
                return MESH_BROKEN;
            }
            if (!(w > 0) || !std::isfinite(w))
                continue;
            if (add_bone_weight(&m->bone_weights[(size_t)i * 4], &m->bone_indices[(size_t)i * 4], b, w) && !warned) {
                post_messagef("Warning: vertex with more than 4 bone influences in '%.900s'", name);
                warned = true;
            }
        }
        if (bones > 0)
            normalise_bone_weights(&m->bone_weights[(size_t)i * 4]);
    }
    for (int i = 0; i < nt; i++) {
        int32_t *tri = &m->triangles[(size_t)i * 3];
        int a, b, c;
        if (stream_scanf(s, " %d %d %d", &a, &b, &c) != 3) {
            *why = "triangle cannot be read";
            delete m;
            return MESH_BROKEN;
        }
        // Indices past the vertex list would send the drawing outside the arrays.
        if (a < 0 || b < 0 || c < 0 || a >= nv || b >= nv || c >= nv) {
            *why = "triangle names a vertex that does not exist";
            delete m;
            return MESH_BROKEN;
        }
        tri[0] = a, tri[1] = b, tri[2] = c;
    }
    if (bones > 0) {
        size_t half = (size_t)nv * 3;
        std::copy(m->positions.begin(), m->positions.begin() + (ptrdiff_t)half, m->positions.begin() + (ptrdiff_t)half);
        std::copy(m->normals.begin(), m->normals.begin() + (ptrdiff_t)half, m->normals.begin() + (ptrdiff_t)half);
    }
    compute_tangents(m);
    *out = m;
    return MESH_READ;
}

// Reads a whole model from a stream over a buffer of known size.
static Model *read_model(DataStream *s, const char *bytes, size_t size, const char *name)
{
    size_t start = 0;
    while (start < size && isspace((unsigned char)bytes[start]))
        start++;
    bool has_header = size - start >= 2 && bytes[start] == 'Q' && bytes[start + 1] == 'M';
    int bones = 0;
    if (has_header) {
        int version = 0;
        if (stream_scanf(s, " QM%d", &version) != 1 || (version != 1 && version != 2)) {
            post_messagef("Error: '%.900s' is a model of an unknown version", name);
            return nullptr;
        }
        if (version == 2) {
            char word[1024];
            if (stream_scanf(s, " %d %1023s", &bones, word) != 2 || bones < 0) {
                post_messagef("Error: '%.900s' has no usable bone count", name);
                return nullptr;
            }
        }
    }

    Model *first = nullptr, *last = nullptr;
    for (int index = 0;; index++) {
        Model *mesh = nullptr;
        const char *why = "";
        MeshResult r = read_mesh(s, name, bones, !has_header, &mesh, &why);
        if (r == MESH_END)
            break;
        if (r == MESH_BROKEN) {
            if (!first) {
                post_messagef("Error: can't read model '%.900s': %s", name, why);
                return nullptr;
            }
            // Meshes run until one cannot be read whole; a partial one is dropped.
            vark_log("Model '%.900s': mesh %d dropped (%s)\n", name, index + 1, why);
            break;
        }
        if (!first)
            first = mesh;
        else
            last->next = mesh;
        last = mesh;
        if (mesh->reflective)
            first->reflective = true;
        if (!has_header)
            break;  // the old format holds one mesh
    }
    if (!first)
        post_messagef("Error: can't read model '%.900s': no mesh", name);
    return first;
}

Model *parse_model(const char *bytes, size_t size, const char *name)
{
    if (!name)
        name = "";
    if (!bytes || size == 0) {
        post_messagef("Error: can't read model '%.900s': empty file", name);
        return nullptr;
    }
    if (size > MODEL_FILE_MAX_BYTES) {
        post_messagef("Error: can't read model '%.900s': file too large", name);
        return nullptr;
    }
    FILE *file = fmemopen((void *)bytes, size, "rb");
    if (!file) {
        post_messagef("Error: can't read model '%.900s'", name);
        return nullptr;
    }
    DataStream *s = stream_new(file, 0, (uint32_t)size);
    Model *model = read_model(s, bytes, size, name);
    stream_close(s);
    return model;
}

// Reads the file of a model name; null when it cannot be opened or read.
static Model *read_model_file(const char *name)
{
    DataStream *s = stream_open(name, "rb");
    if (!s) {
        vark_log("Can't open model '%.900s'\n", name);
        return nullptr;
    }
    std::vector<char> bytes;
    char chunk[16384];
    size_t got;
    bool too_large = false;
    while ((got = stream_read(s, chunk, sizeof chunk)) > 0) {
        if (bytes.size() + got > MODEL_FILE_MAX_BYTES) {
            too_large = true;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    stream_close(s);
    if (too_large) {
        post_messagef("Error: can't read model '%.900s': file too large", name);
        return nullptr;
    }
    return parse_model(bytes.data(), bytes.size(), name);
}

// --- tangents ----------------------------------------------------------------------------

static void sub3(const float *a, const float *b, float *out)
{
    out[0] = a[0] - b[0], out[1] = a[1] - b[1], out[2] = a[2] - b[2];
}

static void cross3(const float *a, const float *b, float *out)
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

static float dot3(const float *a, const float *b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void triangle_tangent(const float p0[3], const float p1[3], const float p2[3], const float t0[2], const float t1[2],
                      const float t2[2], float tangent[3])
{
    float e1[3], e2[3];
    sub3(p1, p0, e1);
    sub3(p2, p0, e2);
    float ds1 = t1[0] - t0[0], dt1 = t1[1] - t0[1];
    float ds2 = t2[0] - t0[0], dt2 = t2[1] - t0[1];
    float det = ds1 * dt2 - ds2 * dt1;
    if (std::fabs(det) >= tiny_tangent) {
        float b[3], tb[3], face[3];
        for (int i = 0; i < 3; i++) {
            tangent[i] = (e1[i] * dt2 - e2[i] * dt1) / det;
            b[i] = (e2[i] * ds1 - e1[i] * ds2) / det;
        }
        cross3(tangent, b, tb);
        cross3(e1, e2, face);
        if (!(dot3(tb, face) > 0))
            for (int i = 0; i < 3; i++)
                tangent[i] = -tangent[i];
        return;
    }
    // No usable texture mapping: a tiny tangent along the longer edge, so that
    // it only matters where nothing better reaches the vertex.
    float l1 = std::sqrt(dot3(e1, e1)), l2 = std::sqrt(dot3(e2, e2));
    const float *edge = l2 >= l1 && l2 > 0 ? e2 : e1;
    float length = edge == e2 ? l2 : l1;
    if (length > 0 && std::isfinite(length)) {
        for (int i = 0; i < 3; i++)
            tangent[i] = tiny_tangent * edge[i] / length;
    } else {
        tangent[0] = tiny_tangent, tangent[1] = 0, tangent[2] = 0;
    }
}

void compute_tangents(Model *m)
{
    size_t half = (size_t)m->nv * 3;
    std::fill(m->tangents.begin(), m->tangents.begin() + (ptrdiff_t)half, 0.0f);
    const float *p = m->positions.data(), *uv = m->texcoords.data();
    float *t = m->tangents.data();
    for (int i = 0; i < m->nt; i++) {
        const int32_t *tri = &m->triangles[(size_t)i * 3];
        float tangent[3];
        triangle_tangent(p + tri[0] * 3, p + tri[1] * 3, p + tri[2] * 3, uv + tri[0] * 2, uv + tri[1] * 2,
                         uv + tri[2] * 2, tangent);
        for (int k = 0; k < 3; k++)
            for (int j = 0; j < 3; j++)
                t[tri[k] * 3 + j] += tangent[j];
    }
    for (int v = 0; v < m->nv; v++) {
        float *tv = t + (size_t)v * 3;
        float length = std::sqrt(dot3(tv, tv));
        // A vertex no triangle uses keeps a zero tangent rather than NaN.
        if (length > 0)
            for (int j = 0; j < 3; j++)
                tv[j] /= length;
    }
    if (m->tangents.size() >= half * 2)
        std::copy(m->tangents.begin(), m->tangents.begin() + (ptrdiff_t)half, m->tangents.begin() + (ptrdiff_t)half);
}

// --- posing and reflection mapping ---------------------------------------------------------

void skin_mesh(Model *m, const BoneData *bones)
{
    if (m->bone_count <= 0 || m->positions.size() < (size_t)m->nv * 6)
        return;
    size_t half = (size_t)m->nv * 3;
    float *p = m->positions.data(), *n = m->normals.data(), *t = m->tangents.data();
    int count = bones && bones->centres && bones->translations && bones->rotations ? bones->count : 0;
    if (count <= 0) {
        std::copy(p + half, p + 2 * half, p);
        std::copy(n + half, n + 2 * half, n);
        std::copy(t + half, t + 2 * half, t);
        return;
    }
    for (int v = 0; v < m->nv; v++) {
        const float *bp = p + half + (size_t)v * 3, *bn = n + half + (size_t)v * 3, *bt = t + half + (size_t)v * 3;
        float op[3] = {0, 0, 0}, on[3] = {0, 0, 0}, ot[3] = {0, 0, 0};
        for (int k = 0; k < MODEL_BONE_SLOTS; k++) {
            float w = m->bone_weights[(size_t)v * 4 + k];
            int b = m->bone_indices[(size_t)v * 4 + k];
            if (w == 0 || b < 0 || b >= count)
                continue;
            const float *c = bones->centres + b * 3, *tr = bones->translations + b * 3, *r = bones->rotations + b * 9;
            float d[3];
            sub3(bp, c, d);
            for (int i = 0; i < 3; i++) {
                op[i] += w * (dot3(r + i * 3, d) + tr[i]);
                on[i] += w * dot3(r + i * 3, bn);
                ot[i] += w * dot3(r + i * 3, bt);
            }
        }
        std::copy(op, op + 3, p + (size_t)v * 3);
        std::copy(on, on + 3, n + (size_t)v * 3);
        std::copy(ot, ot + 3, t + (size_t)v * 3);
    }
}

void env_map_coordinates(const Model *m, const float model_position[3], const float eye[3], const float view[9],
                         float *uv)
{
    const float two_pi = 6.28318530717958647692f;
    for (int v = 0; v < m->nv; v++) {
        const float *p = &m->positions[(size_t)v * 3], *n = &m->normals[(size_t)v * 3];
        float d[3], r[3], e[3];
        for (int i = 0; i < 3; i++)
            d[i] = p[i] + model_position[i] - eye[i];
        float dn = dot3(d, n);
        for (int i = 0; i < 3; i++)
            r[i] = d[i] - 2 * dn * n[i];
        for (int i = 0; i < 3; i++)
            e[i] = dot3(view + i * 3, r);
        float length = std::sqrt(dot3(e, e));
        float x = 0, y = 1, z = 0;
        if (length > 0 && std::isfinite(length))
            x = e[0] / length, y = e[1] / length, z = e[2] / length;
        float a = std::acos(std::clamp(y, -1.0f, 1.0f)) / two_pi;
        float h = std::sqrt(x * x + z * z);
        if (h > 0) {
            uv[v * 2] = a * x / h + 0.5f;
            uv[v * 2 + 1] = a * z / h + 0.5f;
        } else {
            uv[v * 2] = a + 0.5f;  // straight down the axis: any direction on the rim will do
            uv[v * 2 + 1] = 0.5f;
        }
    }
}

// --- level of detail ---------------------------------------------------------------------

bool lod_variant_number(const char *name, const char *base, double *number)
{
    size_t base_length = strlen(base);
    if (strncasecmp(name, base, base_length) != 0 || strncasecmp(name + base_length, "_lod", 4) != 0)
        return false;
    const char *p = name + base_length + 4;
    double value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        digits++;
    }
    if (*p == '.') {
        const char *q = p + 1;
        double scale = 0.1;
        int fraction_digits = 0;
        while (*q >= '0' && *q <= '9') {
            value += (*q++ - '0') * scale;
            scale *= 0.1;
            fraction_digits++;
        }
        // "1.qm": the dot belongs to the extension when no digit follows it.
        if (fraction_digits > 0 || digits == 0) {
            p = q;
            digits += fraction_digits;
        }
    }
    if (digits == 0 || *p == '\0')
        return false;
    *number = value;
    return true;
}

const Model *select_lod(const Model *model, float distance, float bias, float scale)
{
    const Model *chosen = model;
    for (const Model *v = model ? model->next_variant : nullptr; v; v = v->next_variant) {
        float d = v->lod_distance - bias;
        if (d <= 0 || scale * distance >= d)
            chosen = v;
        else
            break;
    }
    return chosen;
}

static bool ends_with(const std::string &s, const char *suffix)
{
    size_t n = strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// Loads the "_lod" variants of a data name into the model's variant chain.
static void load_lod_variants(Model *model, const char *name)
{
    if (name[0] != '@')
        return;
    std::string base = name + 1;
    size_t dot = base.rfind('.');
    if (dot != std::string::npos)
        base.resize(dot);
    std::vector<std::string> loaded;
    for (const char *const *names = data_file_names(); names && *names; names++) {
        double number;
        if (!lod_variant_number(*names, base.c_str(), &number))
            continue;
        // The file layer finds the packed and scrambled forms by itself.
        std::string variant = std::string("@") + *names;
        if (ends_with(variant, ".scram"))
            variant.resize(variant.size() - 6);
        if (ends_with(variant, ".gz"))
            variant.resize(variant.size() - 3);
        if (std::any_of(loaded.begin(), loaded.end(),
                        [&](const std::string &s) { return strcasecmp(s.c_str(), variant.c_str()) == 0; }))
            continue;
        loaded.push_back(variant);
        Model *v = read_model_file(variant.c_str());
        if (!v)
            continue;
        v->lod_distance = (float)std::pow(2.0, number);
        v->generation = model->generation;
        Model *at = model;
        while (at->next_variant && at->next_variant->lod_distance <= v->lod_distance)
            at = at->next_variant;
        v->next_variant = at->next_variant;
        at->next_variant = v;
    }
}

// --- cache -------------------------------------------------------------------------------

static void prepare_graphics(Model *model)
{
    if (!model_graphics.prepare)
        return;
    for (Model *variant = model; variant; variant = variant->next_variant)
        for (Model *mesh = variant; mesh; mesh = mesh->next)
            model_graphics.prepare(mesh);
}

Model *load_model(const char *name)
{
    if (!name || !*name)
        return nullptr;
    std::vector<const char *> names;
    names.reserve(cached_models().size());
    for (const Model *m : cached_models())
        names.push_back(m->name.c_str());
    int found = find_cached_name(names, name);
    if (found >= 0) {
        Model *m = cached_models()[(size_t)found];
        // Models of generation 0 were loaded at start-up and are kept for good.
        if (m->generation != 0)
            m->generation = load_generation;
        return m;
    }
    Model *model = read_model_file(name);
    if (!model)
        return nullptr;
    model->generation = load_generation;
    load_lod_variants(model, name);
    prepare_graphics(model);
    cached_models().push_back(model);
    return model;
}

void free_model(Model *model)
{
    while (model) {
        Model *next_variant = model->next_variant;
        for (Model *mesh = model; mesh;) {
            Model *next = mesh->next;
            if (model_graphics.release)
                model_graphics.release(mesh);
            delete mesh;
            mesh = next;
        }
        model = next_variant;
    }
}

void purge_models()
{
    size_t kept = 0;
    for (Model *m : cached_models()) {
        if (m->generation == 0 || m->generation == load_generation) {
            cached_models()[kept++] = m;
            continue;
        }
        if (debug_level > 0)
            vark_log("deleting model %.900s\n", m->name.c_str());
        free_model(m);
    }
    cached_models().resize(kept);
}

void free_model_cache()
{
    for (Model *m : cached_models())
        free_model(m);
    cached_models().clear();
}

const std::vector<Model *> &model_cache()
{
    return cached_models();
}

const char *model_name(const Model *model)
{
    return model ? model->name.c_str() : nullptr;
}

bool model_has_reflections(const Model *model)
{
    return model && render_settings.reflections && model->reflective;
}

// --- scene export ------------------------------------------------------------------------

bool write_pov_mesh(const Model *m, DataStream *s)
{
    bool ok = stream_printf(s, "mesh2 {\n") >= 0;
    const std::vector<float> *vectors[2] = {&m->positions, &m->normals};
    const char *blocks[2] = {"\tvertex_vectors {\n", "\tnormal_vectors {\n"};
    for (int b = 0; b < 2; b++) {
        ok = ok && stream_printf(s, "%s\t\t%d\n", blocks[b], m->nv) >= 0;
        for (int i = 0; ok && i < m->nv; i++) {
            const float *v = vectors[b]->data() + (size_t)i * 3;
            ok = stream_printf(s, "\t\t<%f,%f,%f>%s\n", v[0], v[1], v[2], i + 1 < m->nv ? "," : "") >= 0;
        }
        ok = ok && stream_printf(s, "\t}\n") >= 0;
    }
    ok = ok && stream_printf(s, "\tuv_vectors {\n\t\t%d\n", m->nv) >= 0;
    for (int i = 0; ok && i < m->nv; i++) {
        const float *t = &m->texcoords[(size_t)i * 2];
        ok = stream_printf(s, "\t\t<%f,%f>%s\n", t[0], t[1], i + 1 < m->nv ? "," : "") >= 0;
    }
    ok = ok && stream_printf(s, "\t}\n\tface_indices {\n\t\t%d\n", m->nt) >= 0;
    for (int i = 0; ok && i < m->nt; i++) {
        const int32_t *t = &m->triangles[(size_t)i * 3];
        ok = stream_printf(s, "\t\t<%d,%d,%d>%s\n", t[0], t[1], t[2], i + 1 < m->nt ? "," : "") >= 0;
    }
    ok = ok && stream_printf(s, "\t}\n}\n") >= 0;
    return ok;
}
