// Data stream throughput (plain file, archive member, gzip) against fgetc,
// and the time to build the file index over 10,000 loose files.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <zlib.h>

#include "data/file_index.h"
#include "data/search_path.h"
#include "data/stream.h"

namespace fs = std::filesystem;

constexpr size_t content_size = 32u << 20;
constexpr int rounds = 3;

static double now_s()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static void write_file(const std::string &path, const std::string &bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    FILE *f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(1);
    }
    fclose(f);
}

// Text-like bytes: deflate shrinks them about as much as the game's text files.
static std::string make_content()
{
    std::string out;
    out.reserve(content_size);
    uint32_t seed = 12345;
    while (out.size() < content_size) {
        seed = seed * 1664525u + 1013904223u;
        out += "line " + std::to_string(seed >> 12) + " value " + std::to_string((seed >> 3) % 977) + "\n";
    }
    out.resize(content_size);
    return out;
}

static std::string gzip_bytes(const std::string &content)
{
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, content.size()), '\0');
    z.next_in = (Bytef *)content.data();
    z.avail_in = (uInt)content.size();
    z.next_out = (Bytef *)out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Best MB/s of a few rounds of reading `name` byte by byte; exits if the
// byte count is wrong, so a broken reader cannot post a good figure.
static double stream_mbps(const char *name)
{
    double best = 0;
    for (int r = 0; r < rounds; r++) {
        double start = now_s();
        DataStream *s = stream_open(name, "rb");
        if (!s) {
            fprintf(stderr, "cannot open %s\n", name);
            exit(1);
        }
        size_t n = 0;
        unsigned sum = 0;
        int c;
        while ((c = stream_getc(s)) >= 0) {
            sum += (unsigned)c;
            n++;
        }
        stream_close(s);
        double t = now_s() - start;
        if (n != content_size || sum == 0) {
            fprintf(stderr, "%s: read %zu bytes\n", name, n);
            exit(1);
        }
        best = std::max(best, content_size / 1e6 / t);
    }
    return best;
}

static double fgetc_mbps(const char *path)
{
    double best = 0;
    for (int r = 0; r < rounds; r++) {
        double start = now_s();
        FILE *f = fopen(path, "rb");
        size_t n = 0;
        unsigned sum = 0;
        int c;
        while ((c = fgetc(f)) != EOF) {
            sum += (unsigned)c;
            n++;
        }
        fclose(f);
        double t = now_s() - start;
        if (n != content_size || sum == 0)
            exit(1);
        best = std::max(best, content_size / 1e6 / t);
    }
    return best;
}

int main()
{
    char pattern[] = "/tmp/zvbench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    std::string root = pattern;
    std::string data = root + "/data/";
    setenv("XDG_DATA_HOME", (root + "/xdg").c_str(), 1);
    setenv("ZV_HOME", data.c_str(), 1);
    data_search_path_reset();
    file_index_reset();

    std::string content = make_content();
    std::string plain = root + "/plain.bin";
    write_file(plain, content);
    std::string archive = "5 first\n" + std::to_string(content.size()) + " member.bin\n-\nfirst" + content;
    write_file(data + "pack.saf", archive);
    write_file(root + "/packed.bin.gz", gzip_bytes(content));
    std::string().swap(content);

    double fgetc_rate = fgetc_mbps(plain.c_str());
    double plain_rate = stream_mbps(plain.c_str());
    double member_rate = stream_mbps("@member.bin");
    double gz_rate = stream_mbps((root + "/packed.bin").c_str());
    printf("stream_getc_plain_MBps=%.1f\n", plain_rate);
    printf("stream_getc_member_MBps=%.1f\n", member_rate);
    printf("stream_getc_gz_MBps=%.1f\n", gz_rate);
    printf("fgetc_plain_MBps=%.1f\n", fgetc_rate);
    printf("stream_getc_plain_to_fgetc_ratio=%.2f\n", plain_rate / fgetc_rate);

    // 10,000 loose files in 100 directories, plus the archive already there.
    for (int d = 0; d < 100; d++)
        for (int f = 0; f < 100; f++)
            write_file(data + "dir" + std::to_string(d) + "/File" + std::to_string(f) + ".txt", "x");
    double best = 1e9;
    size_t listed = 0;
    for (int r = 0; r < rounds; r++) {
        file_index_reset();
        double start = now_s();
        const char *const *names = data_file_names();
        best = std::min(best, now_s() - start);
        for (listed = 0; names[listed]; listed++) {
        }
    }
    if (listed < 10000)
        return 1;
    printf("file_index_10k_s=%.4f\n", best);

    file_index_reset();
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
