// Software renders of models for judging the generated looks without a GL
// context: textured, lit triangles with a depth buffer.
#pragma once
#include <string>
#include <vector>

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
