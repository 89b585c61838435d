// The command line: every option kind, "=" values, clamps, files and errors.
#include "core/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "data/render_settings.h"

namespace {

struct ParseResult {
    int status;
    std::string err;
    LaunchSettings launch;
    RenderSettings render;
};

ParseResult parse(std::vector<std::string> args, int mmx = 0)
{
    args.insert(args.begin(), "zorvex");
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    ParseResult result = {};
    result.render.mmx = mmx;
    char *text = nullptr;
    size_t size = 0;
    FILE *err = open_memstream(&text, &size);
    result.status = parse_command_line((int)args.size(), argv.data(), &result.launch, &result.render, err);
    fclose(err);
    result.err = text;
    free(text);
    // Texts point into argv, which is about to go: keep copies the checks can compare.
    static std::deque<std::string> kept;
    for (const char **field : {&result.launch.demo_file, &result.launch.track, &result.launch.server,
                               &result.launch.password, &result.launch.audio_record_file})
        if (*field) {
            kept.push_back(*field);
            *field = kept.back().c_str();
        }
    return result;
}

std::string text(const char *value)
{
    return value ? value : "(null)";
}

struct Case {
    const char *title;
    std::vector<std::string> args;
    int status;
    const char *err;
    std::function<void(const ParseResult &)> check;
};

const Case cases[] = {
    {"no arguments", {}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.launch.colour_depth, 16);
         EXPECT_EQ(r.launch.depth_bits, 16);
         EXPECT_EQ(r.launch.draw_paused, 1);
         EXPECT_EQ(r.render.xres, 640);
         EXPECT_FLOAT_EQ(r.launch.chase_center[1], 2.52f);
         EXPECT_EQ(r.launch.demo_file, nullptr);
     }},
    {"flags", {"--fugly", "--nosound", "--learn", "--warp", "--hidden-pause", "--hidden-hud", "--editor"},
     COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.render.plain_rendering, 1);
         EXPECT_EQ(r.launch.no_sound, 1);
         EXPECT_EQ(r.launch.learn, 1);
         EXPECT_EQ(r.launch.warp, 1);
         EXPECT_EQ(r.launch.draw_paused, 0);
         EXPECT_EQ(r.launch.draw_hud, 0);
         EXPECT_EQ(r.launch.editor, 1);
     }},
    {"a later flag overrides", {"--learn", "--nolearn", "--super-debug"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.launch.learn, 0);
         EXPECT_EQ(r.launch.debug_level, 2);
     }},
    {"a flag takes no = value", {"--debug=1"}, 1, "bad option '--debug=1'\n", nullptr},
    {"width as next argument", {"--width", "800"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) { EXPECT_EQ(r.render.xres, 800); }},
    {"width joined by =", {"--width=800", "--height=600"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.render.xres, 800);
         EXPECT_EQ(r.render.yres, 600);
     }},
    {"plain integer that is no number is 0", {"--depth", "deep"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) { EXPECT_EQ(r.launch.colour_depth, 0); }},
    {"texture detail clamped high", {"--texture-detail", "9"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.render.model_texture_reduction, 4);
         EXPECT_EQ(r.render.ground_texture_reduction, 4);
     }},
    {"texture detail clamped low", {"--texture-detail=-3"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.render.model_texture_reduction, 0);
         EXPECT_EQ(r.render.ground_texture_reduction, 0);
     }},
    {"ground texture detail alone", {"--ground-texture-detail", "3"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.render.ground_texture_reduction, 3);
         EXPECT_EQ(r.render.model_texture_reduction, 1);
     }},
    {"huge integer saturates before clamping", {"--roostfrequency", "99999999999999"}, COMMAND_LINE_CONTINUE,
     "", [](const ParseResult &r) { EXPECT_EQ(r.render.roost_frequency, 1000); }},
    {"bad integer", {"--texture-detail", "x"}, 1, "Bad arg for --texture-detail\n", nullptr},
    {"bad fake loss", {"--fake-loss=lots"}, 1, "Bad arg for --fake-loss\n", nullptr},
    {"reals and clamps", {"--erode", "250", "--lod-scale", "0", "--lod-bias", "-2.5", "--detail", "0.01"},
     COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_FLOAT_EQ(r.render.erosion_rate, 100);
         EXPECT_FLOAT_EQ(r.render.lod_scale, 0.000001f);
         EXPECT_FLOAT_EQ(r.render.lod_bias, -2.5f);
         EXPECT_FLOAT_EQ(r.render.terrain_detail, 0.01f);
     }},
    {"max detail distance moves its companion", {"--max-detail-distance=100"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_FLOAT_EQ(r.render.max_detail_distance, 100);
         EXPECT_FLOAT_EQ(r.render.max_detail_fade_distance, 105);
     }},
    {"fake lag in milliseconds, at most a second", {"--fake-lag", "250", "--fake-loss", "150"},
     COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_FLOAT_EQ(r.launch.fake_lag, 0.25f);
         EXPECT_EQ(r.launch.fake_loss, 100);
     }},
    {"fake lag clamped", {"--fake-lag=5000"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) { EXPECT_FLOAT_EQ(r.launch.fake_lag, 1); }},
    {"lock rate", {"--lock-fps", "30"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) { EXPECT_FLOAT_EQ(r.launch.lock_fps, 30); }},
    {"bad real", {"--lock-fps", "fast"}, 1, "Bad arg for --lock-fps\n", nullptr},
    {"a rate that is not finite is refused", {"--lock-fps=nan"}, 1, "Bad arg for --lock-fps\n", nullptr},
    {"chase centre", {"--chase-center", "1,2.5,-3"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_FLOAT_EQ(r.launch.chase_center[0], 1);
         EXPECT_FLOAT_EQ(r.launch.chase_center[1], 2.5f);
         EXPECT_FLOAT_EQ(r.launch.chase_center[2], -3);
     }},
    {"chase centre with two numbers", {"--chase-center", "1,2"}, 1, "Bad arg for --chase-center\n", nullptr},
    {"texts", {"--track", "mudpit", "--password=secret", "--record-audio", "out.raw"}, COMMAND_LINE_CONTINUE,
     "",
     [](const ParseResult &r) {
         EXPECT_EQ(text(r.launch.track), "mudpit");
         EXPECT_EQ(text(r.launch.password), "secret");
         EXPECT_EQ(text(r.launch.audio_record_file), "out.raw");
     }},
    {"connect strips the scheme and clears the track", {"--track", "mudpit", "--connect", "zorvex:host:19800"},
     COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(text(r.launch.server), "host:19800");
         EXPECT_EQ(r.launch.track, nullptr);
     }},
    {"connect without the scheme", {"--connect=example.org"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) { EXPECT_EQ(text(r.launch.server), "example.org"); }},
    {"bikes is ignored with a notice", {"--bikes", "3", "--nosound"}, COMMAND_LINE_CONTINUE,
     "--bikes doesn't do anything anymore\n", [](const ParseResult &r) { EXPECT_EQ(r.launch.no_sound, 1); }},
    {"display toggles", {"--draw-fps", "1", "--draw-ping=0"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(r.render.draw_fps, 1);
         EXPECT_EQ(r.render.draw_ping, 0);
     }},
    {"demo file", {"race.zvdemo"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) { EXPECT_EQ(text(r.launch.demo_file), "race.zvdemo"); }},
    {"after -- a dash argument is the demo file", {"--", "-odd.zvdemo"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) { EXPECT_EQ(text(r.launch.demo_file), "-odd.zvdemo"); }},
    {"after -- options are files too", {"--", "--nosound"}, COMMAND_LINE_CONTINUE, "",
     [](const ParseResult &r) {
         EXPECT_EQ(text(r.launch.demo_file), "--nosound");
         EXPECT_EQ(r.launch.no_sound, 0);
     }},
    {"second file", {"a.zvdemo", "b.zvdemo"}, 1, "Too many files!\n", nullptr},
    {"bad option", {"--bogus"}, 1, "bad option '--bogus'\n", nullptr},
    {"lone dash", {"-"}, 1, "bad option '-'\n", nullptr},
    {"prefix of an option is no match", {"--widthx=3"}, 1, "bad option '--widthx=3'\n", nullptr},
    {"value option last", {"--nosound", "--width"}, 1, "Bad arg for --width\n", nullptr},
    {"checked value option last", {"--erode"}, 1, "Bad arg for --erode\n", nullptr},
    {"open home stops parsing", {"--open-home", "--bogus"}, COMMAND_LINE_OPEN_HOME, "", nullptr},
    {"an error before open home wins", {"--bogus", "--open-home"}, 1, "bad option '--bogus'\n", nullptr},
};

TEST(CommandLine, Cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        ParseResult result = parse(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
        if (c.check)
            c.check(result);
    }
}

TEST(CommandLine, NoMmxClearsTheFlag)
{
    EXPECT_EQ(parse({"--nommx"}, 1).render.mmx, 0);
    EXPECT_EQ(parse({"--nommx"}, 0).render.mmx, 0);
    EXPECT_EQ(parse({}, 1).render.mmx, 1);
}

} // namespace
