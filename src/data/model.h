// Model files (".qm"): the readers, bone weights, tangents, level-of-detail
// variants and the model cache. Headless; the GL half (display lists and
// drawing) is render/model_draw and plugs in through `model_graphics`.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DataStream;

enum {
    MODEL_BONE_SLOTS = 4,     // bone influences kept per vertex
    MODEL_MAX_BONES = 10,     // bones the shaders take (MAX_BONE)
};

// Largest model file read, after decompression.
constexpr size_t MODEL_FILE_MAX_BYTES = 128u << 20;

// One mesh. A model is its first mesh; the other meshes follow through
// `next`, the coarser variants through `next_variant` (first meshes only).
struct Model {
    std::string name;              // the model's file name
    Model *next = nullptr;
    int generation = 0;            // of the whole model; kept on the first mesh
    bool reflective = false;       // shininess -1; on the first mesh: any mesh of the model is
    unsigned display_list = 0;     // 0 when the mesh is drawn directly
    int nv = 0;
    int nt = 0;
    int bone_count = 0;            // weights per vertex in the file; 0 = not skinned
    float colour[3] = {1, 1, 1};   // specular colour, or the reflection colour
    float factor = 1;              // 1 when shininess >= 0, else the file's second value
    float shininess = 32;          // >= 0 specular exponent, -1 reflective, -2 flat colour
    // 3 floats per vertex; skinned meshes hold 2 * nv vertices, the second
    // half being the bind pose and the first half the posed copy.
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> tangents;
    std::vector<float> texcoords;     // 2 per vertex, v already flipped
    std::vector<float> bone_weights;  // 4 per vertex, skinned meshes only
    std::vector<int32_t> bone_indices;
    std::vector<int32_t> triangles;   // nt * 3 indices, each below nv
    float lod_distance = 0;           // 0 for the model itself, 2^n for "_lod<n>"
    Model *next_variant = nullptr;
    bool old_format = false;          // read from the header-less format
};
using Mesh = Model;

// Bone data for posing a skinned model: rotation matrices are row-major.
struct BoneData {
    int count = 0;                    // at most MODEL_MAX_BONES are used
    const float *centres = nullptr;   // 3 per bone
    const float *translations = nullptr;
    const float *rotations = nullptr; // 9 per bone
};

// The GL half installs these when a context exists; headless they are null.
struct ModelGraphics {
    void (*prepare)(Model *mesh);  // after a mesh was read: display list
    void (*release)(Model *mesh);  // before a mesh is freed
};
// Per process: set by the renderer at start-up.
extern ModelGraphics model_graphics;

// Returns the model, loading and caching it as needed; null when it cannot
// be loaded. The model belongs to the cache until purge_models frees it.
Model *load_model(const char *name);
// Frees models whose generation is neither 0 nor the current one.
void purge_models();
const char *model_name(const Model *model);
// True when reflections are on and the model has a reflective mesh.
bool model_has_reflections(const Model *model);
// Writes the mesh as a scene-description "mesh2" block; false when a write failed.
bool write_pov_mesh(const Model *mesh, DataStream *stream);

// Reads a model from the bytes of one file (no cache, no variants, no GL);
// `name` is kept and used in messages. Null, with a message, when the file
// is not a model or its first mesh cannot be read.
Model *parse_model(const char *bytes, size_t size, const char *name);
// Frees a model with all its meshes and variants (releasing GL objects).
void free_model(Model *model);

// The variant to draw at `distance` from the eye: the model or one of its variants.
const Model *select_lod(const Model *model, float distance, float bias, float scale);
// When `name` is `base` followed by "_lod", a decimal number and at least one
// more character, stores the number and returns true.
bool lod_variant_number(const char *name, const char *base, double *number);

// The tangent one triangle adds to its vertices.
void triangle_tangent(const float p0[3], const float p1[3], const float p2[3], const float t0[2], const float t1[2],
                      const float t2[2], float tangent[3]);
// Sums the triangle tangents per vertex and normalises them; skinned meshes
// get them copied into the bind-pose half.
void compute_tangents(Model *mesh);

// Poses a skinned mesh on the CPU: the first half of positions, normals and
// tangents from the bind pose and the bones. Slots naming a bone at or past
// `bones->count` are skipped; without bones the bind pose is copied.
void skin_mesh(Model *mesh, const BoneData *bones);

// Angular environment-map coordinates (2 per vertex into `uv`) for the
// mesh's current vertices: the eye-to-vertex vector (vertex + model_position
// - eye) reflected about the normal, turned by `view` (rows give x, y, z).
void env_map_coordinates(const Model *mesh, const float model_position[3], const float eye[3], const float view[9],
                         float *uv);

// Tests and shutdown: the cache in loading order, and freeing all of it.
const std::vector<Model *> &model_cache();
void free_model_cache();
