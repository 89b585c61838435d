// Track benchmarks: terrain height and normal queries per second, and the
// headless load time of a 1025 x 1025 track generated here.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "data/file_index.h"
#include "data/search_path.h"
#include "track/terrain.h"
#include "track/track.h"

static double seconds_now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor time of this thread: query rates measure the code, not how
// many other programs share the machine.
static double cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

static void write_file(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(1);
    }
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// A 1025 x 1025 track with hills, three surfaces and eight gates.
static void make_track(const std::string &dir)
{
    const int n = 1025, r = 512;
    std::string hf = "9 1.0 -20 80 :";
    hf.reserve(hf.size() + (size_t)n * n * 2);
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++) {
            double h = 0.5 + 0.25 * sin(i * 0.031) * cos(j * 0.017) + 0.2 * sin((i + j) * 0.005);
            unsigned u = (unsigned)(h * 65535);
            hf += (char)(u & 255);
            hf += (char)(u >> 8);
        }
    write_file(dir + "terrain.hf", hf);
    std::string ppm = "P6\n1025 1025\n255\n";
    ppm.append((size_t)n * n * 3, (char)100);
    write_file(dir + "shadingx2.ppm", ppm);
    write_file(dir + "tileinfo", "texture @dirt.png\naddtile\ntexture @grass.png\naddtile\ntexture @sand.png\naddtile\n");
    std::string tilemap((size_t)r * r, 0);
    for (int k = 0; k < r * r; k++)
        tilemap[k] = (char)((k % r / 64 + k / r / 64) % 3);
    write_file(dir + "tilemap", tilemap);
    std::string gates = "startinggate:\n[500 0 200] 1.57\n[504 0 200] 1.57\ncheckpoints:\n";
    for (int g = 0; g < 8; g++) {
        char line[128];
        double a = 6.283185307 * g / 8;
        snprintf(line, sizeof line, "20 [%f 0 %f] [%f 0 %f]\n", 512 + 300 * cos(a), 512 + 300 * sin(a), -sin(a),
                 cos(a));
        gates += line;
    }
    gates += "firstlap: 0 1 2 3 4 5 6 7\nnormallap: 0 1 2 3 4 5 6 7\n";
    write_file(dir + "timing_gates", gates);
    write_file(dir + "billboards", "[10 0 10] 5 1 tree.png\n[20 0 10] 5 1 tree.png\n");
    write_file(dir + "statues", "[30 0 30] 0 null null null\n");
}

int main()
{
    char pattern[] = "/tmp/zv_bench_track_XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    std::string root = pattern;
    mkdir((root + "/data").c_str(), 0755);
    mkdir((root + "/data/bench").c_str(), 0755);
    mkdir((root + "/xdg").c_str(), 0755);
    make_track(root + "/data/bench/");
    setenv("ZV_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/xdg").c_str(), 1);
    data_search_path_reset();
    file_index_reset();

    // Headless load: best of three.
    double best = 1e9;
    for (int run = 0; run < 3; run++) {
        free_track();
        requested_track_id = "bench";
        double t0 = seconds_now();
        if (!load_track()) {
            fprintf(stderr, "load failed\n");
            return 1;
        }
        double t = seconds_now() - t0;
        best = t < best ? t : best;
    }

    // Query points: a bike-like walk mixed with random jumps, precomputed.
    const int count = 1 << 22;
    std::vector<float> xs(count), zs(count);
    uint32_t seed = 12345;
    float x = 500, z = 500;
    for (int k = 0; k < count; k++) {
        seed = seed * 1664525u + 1013904223u;
        if ((k & 255) == 0) {
            x = (float)(seed >> 8) / (1 << 24) * 1024;
            seed = seed * 1664525u + 1013904223u;
            z = (float)(seed >> 8) / (1 << 24) * 1024;
        }
        x += ((seed >> 16) & 255) / 255.0f - 0.5f;
        z += ((seed >> 8) & 255) / 255.0f - 0.5f;
        xs[k] = x;
        zs[k] = z;
    }
    const Terrain *terrain = current_terrain;
    volatile float sink = 0;
    double t0 = cpu_seconds();
    int rounds = 0;
    float sum = 0;
    while (cpu_seconds() - t0 < 1.0 || rounds < 3) {
        for (int k = 0; k < count; k++)
            sum += terrain_height_at(terrain, xs[k], zs[k]);
        rounds++;
    }
    double height_rate = (double)rounds * count / (cpu_seconds() - t0);
    sink = sum;

    t0 = cpu_seconds();
    rounds = 0;
    sum = 0;
    while (cpu_seconds() - t0 < 1.0 || rounds < 3) {
        for (int k = 0; k < count; k++) {
            float n[3];
            terrain_normal_at(terrain, xs[k], zs[k], n);
            sum += n[0] + n[1] + n[2];
        }
        rounds++;
    }
    double normal_rate = (double)rounds * count / (cpu_seconds() - t0);
    sink = sink + sum;

    printf("terrain_height_queries_per_s=%.0f\n", height_rate);
    printf("terrain_normal_queries_per_s=%.0f\n", normal_rate);
    printf("track_load_1025_s=%.3f\n", best);
    free_track();
    std::string remove = "rm -rf '" + root + "'";
    if (system(remove.c_str()) != 0)
        return 1;
    return 0;
}
