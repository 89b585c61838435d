// The rider's models (body, first-person body, head, back plate) and its
// gear and helmet skins with the alternates the robot roster names.
#pragma once

#include <string>

#include "datagen/datagen.h"
#include "datagen/image_out.h"
#include "datagen/preview.h"

void build_rider(DataSet *set);
// The gear and helmet skins: 0 the default, 1 to 3 the "-alt" variants.
Picture rider_gear_picture(int variant);
Picture rider_helmet_picture(int variant);
// The rider's body, head and back plate with the body's origin at `origin`.
void scene_add_rider(PreviewScene *scene, const DataSet *set, const float origin[3], const Picture *gear,
                     const Picture *helmet, const Picture *plate);
// Software renders of the rider alone and on a bike into `dir`.
void preview_rider(const DataSet *set, const std::string &dir);
