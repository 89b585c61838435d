// Bike appearance files: the part models of every appearance stem of the
// bike model table, their skins and "-alt" skins, the shared wheels and
// the seven fixed collision shapes.
#pragma once
#include <string>

#include "datagen/datagen.h"
#include "datagen/image_out.h"

void build_bikes(DataSet *set);
// The skin "<skin>.png" of a bike texture stem, and the default wheel skin.
Picture bike_skin_picture(const std::string &skin);
Picture wheels_skin_picture();
// Side and three-quarter software renders of two bikes into `dir`.
void preview_bikes(const DataSet *set, const std::string &dir);
