// Fuzzes the command-line parser: the input is the argument list, NUL-separated.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "data/render_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> args = {"zorvex"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < 64; i++) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back((char)data[i]);
        }
    }
    if (!current.empty())
        args.push_back(current);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    static FILE *sink = fopen("/dev/null", "w");
    LaunchSettings launch;
    RenderSettings render;
    parse_command_line((int)args.size(), argv.data(), &launch, &render, sink);
    return 0;
}
