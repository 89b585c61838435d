// Bike appearance files: the part models of every appearance stem of the
// bike model table, their skins and "-alt" skins, the shared wheels and
// the seven fixed collision shapes.
#pragma once
#include <string>

#include "datagen/datagen.h"
#include "datagen/image_out.h"
#include "datagen/preview.h"

struct BikeModel;

void build_bikes(DataSet *set);
// The skin "<skin>.png" of a bike texture stem, and the default wheel skin.
Picture bike_skin_picture(const std::string &skin);
Picture wheels_skin_picture();
// The stem of a model's appearance files ("crf450v2013").
std::string appearance_stem(const BikeModel &model);
// The bike's parts at their bodies' rest positions, for a render.
void scene_add_bike(PreviewScene *scene, const DataSet *set, const BikeModel &model, const Picture *skin,
                    const Picture *wheels, const Picture *plate);
// Software renders of a few bikes from several sides into `dir`.
void preview_bikes(const DataSet *set, const std::string &dir);
