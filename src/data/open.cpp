// Opening a data stream: plain paths with backups and variants, data names
// through the search paths and then the file index.
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/types.h>
#include <vector>

#include "data/file_index.h"
#include "data/scram.h"
#include "data/search_path.h"
#include "data/stream.h"
#include "data/stream_local.h"

constexpr size_t backup_path_max = 1000;
constexpr int backup_number_max = 9999;
constexpr size_t backup_block = 65536;
constexpr size_t variant_path_max = 1024;  // a variant's full name must be shorter
constexpr size_t data_path_max = 511;

static bool is_reading_mode(const char *mode)
{
    return strchr(mode, 'r') && !strchr(mode, '+');
}

static bool readable(const char *path)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    fclose(f);
    return true;
}

// Copies the whole of `source` into the first free "path.~n~". A failure
// leaves no partial backup behind.
static bool make_backup(const char *path, FILE *source)
{
    char backup[backup_path_max + 16];
    int n = 1;
    for (; n <= backup_number_max; n++) {
        snprintf(backup, sizeof backup, "%s.~%d~", path, n);
        if (!readable(backup))
            break;
    }
    if (n > backup_number_max)
        return false;
    // "x": never write through a name that appeared since the probe.
    FILE *out = fopen(backup, "wbx");
    if (!out)
        return false;
    std::vector<char> block(backup_block);
    bool ok = true;
    for (;;) {
        size_t got = fread(block.data(), 1, block.size(), source);
        if (got > 0 && fwrite(block.data(), 1, got, out) != got) {
            ok = false;
            break;
        }
        if (got < block.size()) {
            ok = !ferror(source);
            break;
        }
    }
    if (fclose(out) != 0)
        ok = false;
    if (!ok)
        remove(backup);
    return ok;
}

// Sets up decoders for a freshly opened file; frees the stream and returns
// null when the data is not what the variant promises.
static DataStream *finish_stream(FILE *file, uint32_t base, uint32_t limit, bool compressed, bool scrambled)
{
    DataStream *s = stream_new(file, base, limit);
    if (scrambled) {
        s->decoder = scram_open(file, limit);
        if (!s->decoder) {
            stream_free(s);
            return nullptr;
        }
        s->scrambled = true;
    }
    if (compressed && !stream_start_gzip(s)) {
        stream_free(s);
        return nullptr;
    }
    return s;
}

static DataStream *open_plain(const char *path, const char *mode)
{
    bool reading = is_reading_mode(mode);
    if (!reading)
        make_directories(path);
    FILE *file = nullptr;
    if (mode[0] == '~') {
        // A long path cannot get a backup name, and opening it without one
        // would risk the only copy.
        if (strlen(path) > backup_path_max)
            return nullptr;
        FILE *old = fopen(path, "rb");
        if (old) {
            bool backed_up = make_backup(path, old);
            fclose(old);
            if (!backed_up)
                return nullptr;
        }
        file = fopen(path, mode + 1);
    } else {
        file = fopen(path, mode);
    }
    bool compressed = false, scrambled = false;
    if (!file && reading) {
        static const struct {
            const char *suffix;
            bool compressed, scrambled;
        } variants[3] = {{".gz", true, false}, {".scram", false, true}, {".gz.scram", true, true}};
        for (const auto &v : variants) {
            std::string name = std::string(path) + v.suffix;
            if (name.size() >= variant_path_max)
                continue;
            file = fopen(name.c_str(), "rb");
            if (file) {
                compressed = v.compressed;
                scrambled = v.scrambled;
                break;
            }
        }
    }
    if (!file)
        return nullptr;
    return finish_stream(file, 0, stream_unlimited, compressed, scrambled);
}

static DataStream *open_indexed(const char *name)
{
    int variant = 0;
    const FileIndexEntry *e = file_index_lookup(name, &variant);
    if (!e)
        return nullptr;
    FILE *file = fopen(e->container, "rb");
    if (!file)
        return nullptr;
    if (fseeko(file, (off_t)e->offset, SEEK_SET) != 0) {
        fclose(file);
        return nullptr;
    }
    return finish_stream(file, e->offset, e->size, variant == 1 || variant == 3, variant >= 2);
}

DataStream *stream_open(const char *name, const char *mode)
{
    if (!name || !mode)
        return nullptr;
    file_index_build();
    if (name[0] != '@')
        return open_plain(name, mode);
    for (int i = 0;; i++) {
        const char *root = data_search_path(i);
        if (!root)
            break;
        std::string path = std::string(root) + (name + 1);
        if (path.size() > data_path_max)
            path.resize(data_path_max);
        if (DataStream *s = open_plain(path.c_str(), mode))
            return s;
    }
    if (!is_reading_mode(mode))
        return nullptr;
    return open_indexed(name + 1);
}
