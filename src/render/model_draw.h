// Drawing models: display lists, materials, level of detail, skinning and
// the reflection pass with its environment mapping.
#pragma once
#include "data/model.h"

// Installs the display-list hooks of the model cache; call after the
// renderer and the shaders are set up, before models are loaded.
void model_draw_init();
// Removes the hooks (shutdown, after the model cache was freed).
void model_draw_shutdown();

// Compiles the mesh's display list where the rules allow one.
void build_display_list(Model *mesh);
void release_display_list(Model *mesh);

// Draws the non-reflective meshes of the level of detail chosen for the eye
// position, up to the first reflective mesh. `bones` may be null.
void draw_model(Model *model, const float model_position[3], const float eye[3], const BoneData *bones);
// Draws the reflective meshes with their reflection colour; without a shader
// program their texture coordinates come from env_map_coordinates with `view`.
void draw_model_reflections(Model *model, const float model_position[3], const float eye[3], const float view[9],
                            const BoneData *bones);
