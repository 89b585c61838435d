// The shipped tracks: their designs and the driver that builds them all.
#pragma once
#include <string>
#include <vector>

#include "datagen/track_build.h"

// Builds the shared track objects and every shipped track into `set`;
// previews (top-down relief with gates) go to `preview_dir` when it is not empty.
std::vector<TrackSummary> build_tracks(DataSet *set, const std::string &preview_dir);

constexpr int SHIPPED_TRACKS = 3;
// Fills `design` with shipped track number `index` (0 to SHIPPED_TRACKS - 1,
// in build order) as build_tracks lays it out: courses, ground and looks.
void design_shipped_track(int index, TrackDesign *design);
