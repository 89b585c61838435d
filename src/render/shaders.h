// The shader programs (lighting, normal maps, environment reflections,
// skinning, terrain) and the program switch cache every drawing goes through.
#pragma once

enum {
    PROGRAM_FIXED = 0,  // the fixed-function pipeline
    PROGRAM_LIT,
    PROGRAM_ENV,
    PROGRAM_NORM_LIT,
    PROGRAM_NORM_ENV,
    PROGRAM_NORM_SPEC_LIT,
    PROGRAM_TERRAIN_NORMALS,
    PROGRAM_TERRAIN,
    PROGRAM_SLOTS,
    SHADER_MAX_BONES = 10,  // MAX_BONE of the programs
};

// True when both shader extensions exist and all seven programs were built.
// Per process: the program core stores build_shaders' result here.
extern bool shaders_in_use;

// Builds the seven programs (after renderer_init); false, with nothing left
// built, when an extension is missing or a shader fails.
bool build_shaders();
// Switches to a slot's program unless it is current, counting the switch.
void use_program(int slot);
int current_program();
unsigned program_handle(int slot);   // 0 for slot 0, out of range or unbuilt
const char *program_name(int slot);  // "lit" ... "terrain"; "fixed" for 0
// Loads a row-major 3x3 matrix into "envmat" of "env" and "norm_env";
// leaves the fixed-function pipeline current.
void set_env_matrix(const float matrix[9]);
// Bone data for the current program: centres and translations 3 floats per
// bone, rotations 9 row-major floats per bone; at most SHADER_MAX_BONES used.
void set_bones(int count, const float *centres, const float *translations, const float *rotations);
// Detaches and deletes every program and shader object.
void destroy_shaders();
