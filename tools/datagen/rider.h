// The rider's models (body, first-person body, head, back plate) and its
// gear and helmet skins with the alternates the robot roster names.
#pragma once

#include <string>

#include "datagen/datagen.h"

void build_rider(DataSet *set);
// Software renders of the rider alone and on a bike into `dir`.
void preview_rider(const DataSet *set, const std::string &dir);
