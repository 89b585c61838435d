// The sky box faces, the environment map and the plain colour textures.
#pragma once
#include "datagen/datagen.h"

void build_sky(DataSet *set);
