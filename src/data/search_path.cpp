// Search paths (home directory, then the data directory), the start-up data
// check and the home directory in the file browser.
#include "data/search_path.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/sha1.h"
#include "platform/log.h"

extern char **environ;

enum {
    MAX_SEARCH_PATHS = 2,
    HOME_PATH_LIMIT = 1024,      // longer home paths are not created on disk
    CHECK_BYTES = 1048576,       // the data check hashes this much of "zzzz.saf"
    CHECK_READ_SIZE = 256,
};

// Per process: built on the first query and kept for the whole run.
// Entries are heap strings ending in one "/", followed by a null entry.
static char *search_paths[MAX_SEARCH_PATHS + 1];
static int search_path_count = -1;

// Concatenates `first` and `second`, turning "\" into "/" and collapsing runs
// of "/". A missing first part gives no entry.
static char *join_path(const char *first, const char *second)
{
    if (!first)
        return nullptr;
    std::string joined = std::string(first) + second;
    std::string path;
    path.reserve(joined.size());
    for (char c : joined) {
        if (c == '\\')
            c = '/';
        if (c == '/' && !path.empty() && path.back() == '/')
            continue;
        path += c;
    }
    return strdup(path.c_str());
}

static const char *absolute_env(const char *name)
{
    const char *value = getenv(name);
    return value && value[0] == '/' ? value : nullptr;
}

// The per-user data directory of the desktop with "Zorvex/" below it.
static char *home_directory()
{
    if (const char *data_home = absolute_env("XDG_DATA_HOME"))
        return join_path(data_home, "/Zorvex/");
    if (const char *home = absolute_env("HOME"))
        return join_path(home, "/.local/share/Zorvex/");
    return nullptr;
}

// ZV_HOME, else the directory that holds the running executable.
static char *data_directory()
{
    const char *zv_home = getenv("ZV_HOME");
    if (zv_home && zv_home[0])
        return join_path(zv_home, "/");
    char exe[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof exe);
    if (length <= 0 || length >= (ssize_t)sizeof exe)
        return nullptr;
    exe[length] = 0;
    char *slash = strrchr(exe, '/');
    if (!slash)
        return nullptr;
    *slash = 0;
    return join_path(exe, "/");
}

static void build_search_paths()
{
    search_path_count = 0;
    if (char *home = home_directory())
        search_paths[search_path_count++] = home;
    if (char *data = data_directory())
        search_paths[search_path_count++] = data;
    search_paths[search_path_count] = nullptr;
}

const char *data_search_path(int index)
{
    if (search_path_count < 0)
        build_search_paths();
    if (index < 0 || index >= search_path_count)
        return nullptr;
    return search_paths[index];
}

void data_search_path_reset()
{
    for (char *&entry : search_paths) {
        free(entry);
        entry = nullptr;
    }
    search_path_count = -1;
}

void make_directories(const char *path)
{
    if (!path)
        return;
    std::string prefix;
    for (const char *p = path; *p; p++) {
        if (*p == '/' && !prefix.empty() && prefix.back() != '/')
            mkdir(prefix.c_str(), 0777);
        prefix += *p;
    }
}

static bool fits_home_limit(const char *path)
{
    return strlen(path) + 1 <= HOME_PATH_LIMIT;
}

// True when the first MiB of `path` hashes to `digest_hex`.
static bool archive_matches(const std::string &path, const char *digest_hex)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    Sha1 sha;
    sha1_init(&sha);
    unsigned char buffer[CHECK_READ_SIZE];
    size_t total = 0;
    while (total < CHECK_BYTES) {
        size_t got = fread(buffer, 1, sizeof buffer, file);
        if (got == 0)
            break;
        sha1_update(&sha, buffer, got);
        total += got;
    }
    fclose(file);
    uint8_t digest[20];
    sha1_final(&sha, digest);
    return sha1_matches_hex(digest, digest_hex);
}

bool check_game_data(const char *digest_hex)
{
    if (const char *home = data_search_path(0)) {
        if (fits_home_limit(home))
            make_directories(home);
        // The log's first message: the run's log goes to lastlog.txt at home.
        char request[HOME_PATH_LIMIT];
        snprintf(request, sizeof request, "VARK_LOGFILE=%slastlog.txt", home);
        vark_log("%s", request);
    }
    if (!digest_hex)
        return false;
    for (int i = 0; const char *entry = data_search_path(i); i++)
        if (archive_matches(std::string(entry) + "zzzz.saf", digest_hex))
            return true;
    return false;
}

void open_home_directory()
{
    const char *home = data_search_path(0);
    if (!home)
        return;
    if (fits_home_limit(home))
        make_directories(home);
    std::string directory = home;
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();

    // Run directly, never through a shell: the path is passed untouched.
    char program[] = "xdg-open";
    char *argv[] = {program, directory.data(), nullptr};
    pid_t pid = 0;
    int error = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
    if (error != 0) {
        vark_log("Can't run xdg-open: %s\n", strerror(error));
        return;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        vark_log("xdg-open could not open \"%s\"\n", directory.c_str());
}
