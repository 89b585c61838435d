// The data generator's shared pieces: file list, formatting, portable maths.
#include "datagen/datagen.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void add_file(DataSet *set, const std::string &name, std::vector<uint8_t> bytes)
{
    if (has_file(set, name)) {
        fprintf(stderr, "zorvex-data: %s is generated twice\n", name.c_str());
        exit(1);
    }
    ArchiveInput input;
    input.name = name;
    input.bytes = std::move(bytes);
    set->files.push_back(std::move(input));
}

void add_text(DataSet *set, const std::string &name, const std::string &text)
{
    add_file(set, name, std::vector<uint8_t>(text.begin(), text.end()));
}

bool has_file(const DataSet *set, const std::string &name)
{
    for (const ArchiveInput &file : set->files)
        if (file.name == name)
            return true;
    return false;
}

std::string format(const char *pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(small, sizeof small, pattern, copy);
    va_end(copy);
    std::string text;
    if (length < (int)sizeof small) {
        text = small;
    } else {
        text.resize((size_t)length + 1);
        vsnprintf(text.data(), text.size(), pattern, args);
        text.resize((size_t)length);
    }
    va_end(args);
    return text;
}

double dg_floor(double x)
{
    // Exact for the magnitudes we use (well inside 2^52).
    double t = (double)(int64_t)x;
    return t > x ? t - 1 : t;
}

// Range-reduced Taylor series: |error| below 1e-15 on the reduced interval.
static double sin_reduced(double x)
{
    double x2 = x * x, term = x, sum = x;
    for (int k = 1; k <= 11; k++) {
        term = -term * x2 / ((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

double dg_sin(double x)
{
    double turns = dg_floor(x / (2 * DG_PI) + 0.5);
    x -= turns * (2 * DG_PI);           // -pi .. pi
    if (x > DG_PI / 2)
        x = DG_PI - x;
    else if (x < -DG_PI / 2)
        x = -DG_PI - x;
    return sin_reduced(x);
}

double dg_cos(double x)
{
    return dg_sin(x + DG_PI / 2);
}

// atan for |t| <= 1 by halving the argument twice and a series.
static double atan_unit(double t)
{
    for (int k = 0; k < 3; k++)
        t = t / (1 + std::sqrt(1 + t * t));  // atan(t) = 2 atan(t / (1 + sqrt(1 + t^2)))
    double t2 = t * t, term = t, sum = t;
    for (int k = 1; k <= 12; k++) {
        term = -term * t2;
        sum += term / (2 * k + 1);
    }
    return sum * 8;
}

double dg_atan2(double y, double x)
{
    if (x == 0 && y == 0)
        return 0;
    double ax = x < 0 ? -x : x, ay = y < 0 ? -y : y;
    double a = ay <= ax ? atan_unit(ay / ax) : DG_PI / 2 - atan_unit(ax / ay);
    if (x < 0)
        a = DG_PI - a;
    return y < 0 ? -a : a;
}

uint32_t dg_hash(uint32_t seed, int32_t a, int32_t b, int32_t c)
{
    uint32_t h = seed * 0x9E3779B1u ^ (uint32_t)a * 0x85EBCA77u;
    h ^= h >> 15;
    h = h * 0xC2B2AE3Du ^ (uint32_t)b * 0x27D4EB2Fu;
    h ^= h >> 13;
    h = h * 0x165667B1u ^ (uint32_t)c * 0x9E3779B1u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

static int wrap(int v, int period)
{
    if (period <= 0)
        return v;
    v %= period;
    return v < 0 ? v + period : v;
}

double dg_value_noise(uint32_t seed, double x, double y, double cell, int period)
{
    double u = x / cell, v = y / cell;
    double fu = dg_floor(u), fv = dg_floor(v);
    int i = (int)fu, j = (int)fv;
    double tu = dg_smoothstep(u - fu), tv = dg_smoothstep(v - fv);
    int i0 = wrap(i, period), i1 = wrap(i + 1, period), j0 = wrap(j, period), j1 = wrap(j + 1, period);
    double a = dg_unit(dg_hash(seed, i0, j0)), b = dg_unit(dg_hash(seed, i1, j0));
    double c = dg_unit(dg_hash(seed, i0, j1)), d = dg_unit(dg_hash(seed, i1, j1));
    return dg_lerp(dg_lerp(a, b, tu), dg_lerp(c, d, tu), tv);
}

double dg_fractal_noise(uint32_t seed, double x, double y, double cell, int octaves, int period)
{
    double sum = 0, amplitude = 1, total = 0;
    for (int k = 0; k < octaves; k++) {
        sum += amplitude * dg_value_noise(seed + (uint32_t)k * 7919u, x, y, cell, period);
        total += amplitude;
        amplitude *= 0.5;
        cell *= 0.5;
        if (period > 0)
            period *= 2;
    }
    return sum / total;
}
