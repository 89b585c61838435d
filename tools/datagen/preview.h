// Software renders of models for judging the generated looks without a GL
// context: textured, lit triangles with a depth buffer.
#pragma once
#include <string>
#include <vector>

#include "datagen/datagen.h"
#include "datagen/image_out.h"

struct Model;

struct PlacedModel {
    const Model *model;
    double offset[3];        // where the model's origin goes
    const Picture *skin;     // RGB or RGBA; null draws grey
};

// Renders the models seen from `yaw` degrees about the vertical and `pitch`
// degrees down, fitted into a width x height picture.
Picture render_preview(const std::vector<PlacedModel> &models, int width, int height, double yaw, double pitch);
// The same render as RGBA without the background: alpha is the share of
// each pixel the models cover. Deterministic, so it may go into the set.
Picture render_cutout(const std::vector<PlacedModel> &models, int width, int height, double yaw, double pitch);
bool write_picture_file(const std::string &path, const Picture &picture);

// Models parsed from the members of a data set for rendering; they are
// freed with the scene.
struct PreviewScene {
    std::vector<PlacedModel> placed;
    std::vector<Model *> loaded;
    PreviewScene() = default;
    PreviewScene(const PreviewScene &) = delete;
    PreviewScene &operator=(const PreviewScene &) = delete;
    ~PreviewScene();
};
// Adds member `name` with its origin at `at`; a member that is missing or
// does not read is left out. Returns whether it was added.
bool scene_add(PreviewScene *scene, const DataSet *set, const std::string &name, const float at[3],
               const Picture *skin);
// A white plate with a black number, for the plate models of a preview.
Picture preview_plate(const char *number);
