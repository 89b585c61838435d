// The data generator's shared pieces: the in-memory file list, text
// formatting, and arithmetic that gives the same bits on every machine.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "data/archive.h"

// Every file of the data set, in memory until the archive is written.
struct DataSet {
    std::vector<ArchiveInput> files;
};

// Adds a file; a name given twice is a generator bug and aborts the run.
void add_file(DataSet *set, const std::string &name, std::vector<uint8_t> bytes);
void add_text(DataSet *set, const std::string &name, const std::string &text);
bool has_file(const DataSet *set, const std::string &name);

// printf into a std::string.
std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

// --- deterministic arithmetic --------------------------------------------------
// Only +, -, *, / and sqrt (all correctly rounded by IEEE 754) feed the
// bytes we write; the library's transcendental functions may differ in the
// last bit between machines, so we carry our own.

constexpr double DG_PI = 3.14159265358979323846;

double dg_sin(double x);
double dg_cos(double x);
double dg_atan2(double y, double x);
double dg_floor(double x);

inline double dg_clamp(double v, double lo, double hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}
inline double dg_smoothstep(double t)
{
    t = dg_clamp(t, 0, 1);
    return t * t * (3 - 2 * t);
}
inline double dg_lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

// A 32-bit integer hash (well mixed) of up to three integers and a seed.
uint32_t dg_hash(uint32_t seed, int32_t a, int32_t b = 0, int32_t c = 0);
// Uniform in [0, 1) from a hash.
inline double dg_unit(uint32_t h)
{
    return (h >> 8) * (1.0 / 16777216.0);
}

// Value noise in [0, 1] on a lattice of `cell` units; with `period` > 0 the
// lattice wraps every `period` cells, so tiles of period*cell are seamless.
double dg_value_noise(uint32_t seed, double x, double y, double cell, int period = 0);
// Sum of `octaves` value-noise layers, each half the cell and amplitude of
// the previous; result roughly in [0, 1].
double dg_fractal_noise(uint32_t seed, double x, double y, double cell, int octaves, int period = 0);
