// zorvex-data: builds the data set. Packs every file under the project's
// data/ folder into OUTPUT_DIR/zzzz.saf, sorted by name, so that the same
// sources always give the same bytes.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "data/archive.h"

#ifndef ZV_DATA_SOURCE_DIR
#error "ZV_DATA_SOURCE_DIR names the data source folder"
#endif

namespace fs = std::filesystem;

namespace {

// Editor back-ups and version-control files are not data: skip hidden entries.
bool hidden(const fs::path &relative)
{
    for (const fs::path &part : relative)
        if (!part.empty() && part.native()[0] == '.')
            return true;
    return false;
}

bool read_file(const fs::path &path, std::vector<uint8_t> *bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: zorvex-data OUTPUT_DIR\n");
        return 2;
    }
    const fs::path source = ZV_DATA_SOURCE_DIR;
    std::vector<ArchiveInput> members;
    std::error_code error;
    if (fs::is_directory(source, error)) {
        fs::recursive_directory_iterator walk(source, error), end;
        for (; !error && walk != end; walk.increment(error)) {
            if (!walk->is_regular_file(error))
                continue;
            fs::path relative = walk->path().lexically_relative(source);
            if (hidden(relative))
                continue;
            ArchiveInput member;
            member.name = relative.generic_string();
            if (!read_file(walk->path(), &member.bytes)) {
                fprintf(stderr, "zorvex-data: can't read %s\n", walk->path().c_str());
                return 1;
            }
            members.push_back(std::move(member));
        }
        if (error) {
            fprintf(stderr, "zorvex-data: can't list %s: %s\n", source.c_str(), error.message().c_str());
            return 1;
        }
    }
    std::sort(members.begin(), members.end(),
              [](const ArchiveInput &a, const ArchiveInput &b) { return a.name < b.name; });

    std::string output = std::string(argv[1]) + "/zzzz.saf";
    fs::create_directories(argv[1], error);
    if (!archive_write(output.c_str(), members)) {
        fprintf(stderr, "zorvex-data: can't write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
