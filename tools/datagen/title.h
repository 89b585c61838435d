// The title screen image, drawn with the data set's own bike and rider.
#pragma once

#include "datagen/datagen.h"

// Adds "title.png"; needs the bike and rider files already in `set`.
void build_title(DataSet *set);
