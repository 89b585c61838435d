// Small helpers shared by the test suites: temporary directories and files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
struct TempDir {
    std::string path;  // without a trailing "/"
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // Writes `bytes` to path + "/" + name, creating directories on the way.
    std::string write(const std::string &name, const std::string &bytes) const;
    std::string file(const std::string &name) const { return path + "/" + name; }
};

std::string read_file_bytes(const std::string &path);
bool file_exists(const std::string &path);
// Sets (or, with null, removes) an environment variable for the rest of the test process.
void set_env(const char *name, const char *value);
