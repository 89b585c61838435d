// Reads the written data set back with the game's own readers.
#pragma once
#include <string>
#include <vector>

#include "datagen/datagen.h"
#include "datagen/track_build.h"

// Every image, model and shape of `set` must load from `data_dir` (where
// zzzz.saf was just written), every track must load with its gates and
// surfaces, and every file a track names must be part of the set. Prints
// "zorvex-data: <file>: <problem>" for each failure; true when all is well.
bool validate_data_set(const std::string &data_dir, const DataSet &set, const std::vector<TrackSummary> &tracks);

// Every bike model of the table finds its part models, skins and shapes in
// `set` (the rider's files excepted until they are generated).
bool validate_bike_files(const DataSet &set);
