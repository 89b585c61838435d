// The file index: every loose file under the search paths and every member of
// the ".saf" archives among them, sorted by name without regard to case.
#include "data/file_index.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "data/archive.h"
#include "data/search_path.h"

// Built once on first use and kept for the whole run (tests may reset it).
// Plain arrays with no destructor: the index stays valid until the process
// is gone, also while other static objects are destroyed at exit.
static bool index_built = false;
static FileIndexEntry *file_index = nullptr;   // grows by doubling from 16
static size_t index_count = 0;
static size_t index_capacity = 0;
static const char **distinct_names = nullptr;  // null-terminated

static void *grow_or_die(void *block, size_t bytes)
{
    void *grown = realloc(block, bytes);
    if (!grown) {
        fputs("Error: Out of virtual memory\n", stderr);
        exit(1);
    }
    return grown;
}

static void index_append(const FileIndexEntry &entry)
{
    if (index_count == index_capacity) {
        index_capacity = index_capacity ? index_capacity * 2 : 16;
        file_index = (FileIndexEntry *)grow_or_die(file_index, index_capacity * sizeof *file_index);
    }
    file_index[index_count++] = entry;
}

// A member's name is its own copy; a loose file's name is the tail of its container.
static bool owns_name(const FileIndexEntry &e)
{
    return e.name < e.container || e.name > e.container + strlen(e.container);
}

static int lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Byte order after lowering ASCII letters; a prefix sorts first.
static int compare_names(const char *a, const char *b)
{
    for (;; a++, b++) {
        int ca = lower((unsigned char)*a), cb = lower((unsigned char)*b);
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

// Name, then rank; the exact bytes and the offset only make the order total
// so that equal-looking names come out the same way on every run.
static bool entry_before(const FileIndexEntry &a, const FileIndexEntry &b)
{
    int c = compare_names(a.name, b.name);
    if (c != 0)
        return c < 0;
    if (a.rank != b.rank)
        return a.rank < b.rank;
    c = strcmp(a.name, b.name);
    if (c != 0)
        return c < 0;
    c = strcmp(a.container, b.container);
    if (c != 0)
        return c < 0;
    return a.offset < b.offset;
}

static void heap_sort_index()
{
    std::make_heap(file_index, file_index + index_count, entry_before);
    std::sort_heap(file_index, file_index + index_count, entry_before);
}

struct DirectoryId {
    dev_t device;
    ino_t inode;
};

// Depth first below `directory`; `root_length` bytes of every path are the
// search path itself. `open` holds the directories being walked, so a
// symbolic link back up the tree is not followed round and round.
static void walk(const std::string &directory, size_t root_length, uint32_t rank,
                 std::vector<DirectoryId> *open)
{
    DIR *dir = opendir(directory.c_str());
    if (!dir)
        return;
    std::string prefix = directory;
    while (!prefix.empty() && prefix.back() == '/')
        prefix.pop_back();
    prefix += '/';
    while (struct dirent *e = readdir(dir)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        std::string path = prefix + e->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            bool looping = false;
            for (const DirectoryId &d : *open)
                if (d.device == st.st_dev && d.inode == st.st_ino)
                    looping = true;
            if (looping)
                continue;
            open->push_back({st.st_dev, st.st_ino});
            walk(path, root_length, rank, open);
            open->pop_back();
            continue;
        }
        if (path.size() <= root_length)
            continue;
        FileIndexEntry entry;
        entry.container = strdup(path.c_str());
        if (!entry.container)
            continue;
        entry.name = entry.container + root_length;
        entry.offset = 0;
        entry.size = st.st_size > (off_t)UINT32_MAX ? UINT32_MAX : (uint32_t)st.st_size;
        entry.rank = rank;
        index_append(entry);
    }
    closedir(dir);
}

static bool is_archive_name(const char *name)
{
    size_t n = strlen(name);
    return n >= 5 && compare_names(name + n - 4, ".saf") == 0;
}

static void add_archive(const FileIndexEntry &archive, uint32_t ordinal)
{
    FILE *file = fopen(archive.container, "rb");
    if (!file)
        return;
    std::vector<ArchiveMember> members;
    bool ok = archive_read_header(file, &members);
    fclose(file);
    if (!ok)
        return;  // rejected whole: nothing of it enters the index
    for (const ArchiveMember &m : members) {
        FileIndexEntry entry;
        entry.container = strdup(archive.container);
        char *name = strdup(m.name.c_str());
        if (!entry.container || !name) {
            free(entry.container);
            free(name);
            continue;
        }
        entry.name = name;
        entry.offset = m.offset;
        entry.size = m.size;
        entry.rank = ordinal;
        index_append(entry);
    }
}

static void build_index()
{
    if (index_built)
        return;
    index_built = true;
    uint32_t paths = 0;
    for (const char *root; (root = data_search_path((int)paths)) != nullptr; paths++) {
        std::vector<DirectoryId> open;
        struct stat st;
        if (stat(root, &st) == 0)
            open.push_back({st.st_dev, st.st_ino});
        walk(root, strlen(root), paths, &open);
    }
    heap_sort_index();

    size_t loose = index_count;
    uint32_t ordinal = paths;
    for (size_t i = 0; i < loose; i++) {
        if (!is_archive_name(file_index[i].name))
            continue;
        FileIndexEntry archive = file_index[i];  // the array may move while members are added
        add_archive(archive, ordinal++);
    }
    heap_sort_index();

    distinct_names = (const char **)grow_or_die(nullptr, (index_count + 1) * sizeof *distinct_names);
    size_t distinct = 0;
    for (size_t i = 0; i < index_count; i++) {
        if (distinct > 0 && compare_names(distinct_names[distinct - 1], file_index[i].name) == 0)
            continue;
        distinct_names[distinct++] = file_index[i].name;
    }
    distinct_names[distinct] = nullptr;
}

const char *const *data_file_names()
{
    build_index();
    return distinct_names;
}

bool data_file_entry(int index, char *buffer, int size)
{
    build_index();
    if (index < 0 || (size_t)index >= index_count)
        return false;
    if (size > 0)
        snprintf(buffer, (size_t)size, "%s -> %s", file_index[index].name, file_index[index].container);
    return true;
}

// The first entry named `name` (without regard to case), or null.
static const FileIndexEntry *find_first(const char *name)
{
    const FileIndexEntry *end = file_index + index_count;
    const FileIndexEntry *it = std::partition_point(
        (const FileIndexEntry *)file_index, end, [name](const FileIndexEntry &e) { return compare_names(e.name, name) < 0; });
    if (it == end || compare_names(it->name, name) != 0)
        return nullptr;
    return it;
}

const FileIndexEntry *file_index_lookup(const char *name, int *variant)
{
    static const char *const suffixes[4] = {"", ".gz", ".scram", ".gz.scram"};
    build_index();
    const FileIndexEntry *best = nullptr;
    int best_variant = 0;
    for (int v = 0; v < 4; v++) {
        std::string wanted = std::string(name) + suffixes[v];
        const FileIndexEntry *e = find_first(wanted.c_str());
        if (e && (!best || e->rank < best->rank)) {
            best = e;
            best_variant = v;
        }
    }
    if (variant)
        *variant = best_variant;
    return best;
}

void file_index_build()
{
    build_index();
}

// "@" names are in the home directory; each name is cut to 511 characters.
static bool rename_path(const char *name, char out[512])
{
    if (name[0] == '@') {
        const char *home = data_search_path(0);
        if (!home)
            return false;
        snprintf(out, 512, "%s%s", home, name + 1);
    } else {
        snprintf(out, 512, "%s", name);
    }
    return true;
}

bool stream_rename(const char *from, const char *to)
{
    char from_path[512], to_path[512];
    if (!rename_path(from, from_path) || !rename_path(to, to_path))
        return false;
    // rename() replaces `to` in one step; removing it first would lose it
    // whenever `from` turns out to be missing.
    return rename(from_path, to_path) == 0;
}

void file_index_reset()
{
    for (size_t i = 0; i < index_count; i++) {
        if (owns_name(file_index[i]))
            free((char *)file_index[i].name);
        free(file_index[i].container);
    }
    free(file_index);
    free(distinct_names);
    file_index = nullptr;
    distinct_names = nullptr;
    index_count = 0;
    index_capacity = 0;
    index_built = false;
}
