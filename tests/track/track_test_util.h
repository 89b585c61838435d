// Helpers for the track tests: a data directory per test and the bytes of
// the track files (terrain, shading, tile map...) built in code.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "test_util.h"

// A home directory and a data directory (ZV_HOME) in one temporary tree,
// with the search paths and the file index forgotten so "@" names find them.
struct TrackDirs {
    TempDir temp;
    std::string data;  // ends in "/"
    TrackDirs();
    ~TrackDirs();
    // Writes data/<name>; the index is forgotten so the file is found.
    std::string write(const std::string &name, const std::string &bytes) const;
};

// "terrain.hf" with ":" and the samples (little-endian) in grid order.
std::string hf_raw(int exponent, float spacing, float low, float high, const std::vector<uint16_t> &samples);
// "terrain.hf" header only (samples from terrain.png).
std::string hf_header(int exponent, float spacing, float low, float high);
std::string ppm_bytes(int width, int height, const std::vector<uint8_t> &rgb);
std::string pgm_bytes(int width, int height, const std::vector<uint8_t> &grey);

// A complete small track "<id>/" in `dirs`: terrain of exponent n with
// heights from `height_sample`, flat shading, one or more surface types,
// a tile map and timing gates when given.
struct FixtureTrack {
    std::string id = "fixture";
    int exponent = 2;
    float spacing = 2.0f;
    float low = 0, high = 100;
    std::string tileinfo = "texture @dirt.png\naddtile\ntexture @grass.png\naddtile\n";
    std::string tilemap;      // empty: all type 0
    std::string timing_gates; // empty: no file
    std::string extra_name[4], extra_bytes[4];
};
// Writes the track and returns the sample of grid point k (for checks).
std::vector<uint16_t> write_fixture_track(const TrackDirs &dirs, const FixtureTrack &track);
