// Small helpers shared by the test suites.
#include "test_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

// Every test process, also when run by hand: windows offscreen, sound to
// nowhere, and llvmpipe drawing on the calling thread (its worker threads
// can crash the sanitizer's leak check at exit). Set before main, so before
// any driver loads; a value the caller chose is kept.
static const bool test_environment = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("LP_NUM_THREADS", "0", 0);
    return true;
}();

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "zvtest-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data()))
        path = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!path.empty())
        fs::remove_all(path, ignored);
}

std::string TempDir::write(const std::string &name, const std::string &bytes) const
{
    std::string full = file(name);
    fs::create_directories(fs::path(full).parent_path());
    std::ofstream out(full, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return full;
}

std::string read_file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool file_exists(const std::string &path)
{
    std::error_code ignored;
    return fs::exists(path, ignored);
}

void set_env(const char *name, const char *value)
{
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}
