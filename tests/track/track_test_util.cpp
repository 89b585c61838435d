// Helpers for the track tests.
#include "track_test_util.h"

#include <cstdio>

#include "data/file_index.h"
#include "data/search_path.h"

TrackDirs::TrackDirs()
{
    data = temp.path + "/data/";
    temp.write("data/.keep", "");
    temp.write("xdg/Zorvex/.keep", "");
    set_env("XDG_DATA_HOME", (temp.path + "/xdg").c_str());
    set_env("ZV_HOME", (temp.path + "/data").c_str());
    data_search_path_reset();
    file_index_reset();
}

TrackDirs::~TrackDirs()
{
    file_index_reset();
    data_search_path_reset();
}

std::string TrackDirs::write(const std::string &name, const std::string &bytes) const
{
    file_index_reset();
    return temp.write("data/" + name, bytes);
}

std::string hf_header(int exponent, float spacing, float low, float high)
{
    char text[128];
    snprintf(text, sizeof text, "%d %f %f %f\n", exponent, spacing, low, high);
    return text;
}

std::string hf_raw(int exponent, float spacing, float low, float high, const std::vector<uint16_t> &samples)
{
    char text[128];
    snprintf(text, sizeof text, "%d %f %f %f :", exponent, spacing, low, high);
    std::string out = text;
    for (uint16_t u : samples) {
        out += (char)(u & 0xff);
        out += (char)(u >> 8);
    }
    return out;
}

std::string ppm_bytes(int width, int height, const std::vector<uint8_t> &rgb)
{
    char text[64];
    snprintf(text, sizeof text, "P6\n%d %d\n255\n", width, height);
    return text + std::string(rgb.begin(), rgb.end());
}

std::string pgm_bytes(int width, int height, const std::vector<uint8_t> &grey)
{
    char text[64];
    snprintf(text, sizeof text, "P5\n%d %d\n255\n", width, height);
    return text + std::string(grey.begin(), grey.end());
}

std::vector<uint16_t> write_fixture_track(const TrackDirs &dirs, const FixtureTrack &t)
{
    int n = (2 << t.exponent) + 1, r = 1 << t.exponent;
    std::vector<uint16_t> samples((size_t)n * n);
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++)
            samples[(size_t)j * n + i] = (uint16_t)((i * 37 + j * 101 + (i * j) % 13 * 400) % 65536);
    std::string dir = t.id + "/";
    dirs.write(dir + "terrain.hf", hf_raw(t.exponent, t.spacing, t.low, t.high, samples));
    dirs.write(dir + "shadingx2.ppm", ppm_bytes(n, n, std::vector<uint8_t>((size_t)n * n * 3, 100)));
    dirs.write(dir + "tileinfo", t.tileinfo);
    dirs.write(dir + "tilemap", t.tilemap.empty() ? std::string((size_t)r * r, '\0') : t.tilemap);
    if (!t.timing_gates.empty())
        dirs.write(dir + "timing_gates", t.timing_gates);
    for (int k = 0; k < 4; k++)
        if (!t.extra_name[k].empty())
            dirs.write(dir + t.extra_name[k], t.extra_bytes[k]);
    return samples;
}
