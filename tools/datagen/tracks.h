// The shipped tracks: their designs and the driver that builds them all.
#pragma once
#include <string>
#include <vector>

#include "datagen/track_build.h"

// Builds the shared track objects and every shipped track into `set`;
// previews (top-down relief with gates) go to `preview_dir` when it is not empty.
std::vector<TrackSummary> build_tracks(DataSet *set, const std::string &preview_dir);
